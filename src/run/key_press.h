#pragma once

#include <cstddef>
#include <cstdint>

namespace km37 {

// Tells which bytes from a terminal make up one key press, so that an arrow
// or function key (an escape sequence), Alt with a key, or a character that
// takes several UTF-8 bytes is consumed whole and leaves nothing behind.
class KeyPressScanner {
public:
    // Feeds the next byte; returns true when the key press is complete.
    bool add(std::uint8_t byte);

private:
    enum class State { First, AfterEscape, ControlSequence, SingleShift, Utf8 };

    static constexpr std::size_t kLongestSequence = 16;

    State state_ = State::First;
    std::size_t bytes_ = 0;
    std::size_t continuation_left_ = 0;
};

}  // namespace km37
