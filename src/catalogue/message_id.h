#pragma once

#include <array>
#include <cstddef>

namespace km37 {

// The catalogue's message ids. Names follow the catalogue's own upper-case
// convention so that code and message table read alike.
enum class MessageId : int {
    MSG_BANNER = 1,
    MSG_INSTRUCTIONS = 2,
    MSG_PORT_PROMPT = 3,
    MSG_BEEPER_NOTICE = 4,
    MSG_DO_NOT_ABORT = 5,
    MSG_CANNOT_OPEN = 6,
    MSG_PRESS_ANY_KEY = 7,
    MSG_SUCCESS = 8,
    MSG_PROGRAMMING_ERROR = 9,
    MSG_NO_RESPONSE = 10,
};

inline constexpr int kFirstMessageId = 1;
inline constexpr int kLastMessageId = 10;

enum class Language { English, Japanese, Russian };

// One loaded message, converted for the console and terminated. The loader
// uses at most kMessageBufferSize - 1 bytes of it.
inline constexpr std::size_t kMessageBufferSize = 1000;
using MessageBuffer = std::array<char, kMessageBufferSize>;

}  // namespace km37
