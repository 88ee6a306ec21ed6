#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace km37 {

inline constexpr int kEndOfInput = -1;

// Where the answer to the prompt comes from: one byte (0 to 255) per call, or
// kEndOfInput once the input is closed or exhausted.
class CharacterInput {
public:
    virtual int read_char() = 0;

protected:
    ~CharacterInput() = default;
};

// One line of the user's answer: at most 99 characters and a terminator.
inline constexpr std::size_t kAnswerLineSize = 100;

struct AnswerLine {
    std::array<char, kAnswerLineSize> text{};
    std::size_t length = 0;

    std::string_view view() const { return {text.data(), length}; }
};

enum class LineStatus { Line, EndOfInput };

// Reads answer lines as text: a line ends at a line feed, which is consumed
// and not stored; a carriage return right before it is dropped; Ctrl+Z ends
// the input for good. Characters beyond the 99th are read and dropped.
class AnswerReader {
public:
    explicit AnswerReader(CharacterInput& input) : input_(input) {}

    // EndOfInput only when the input ended before any character of the line.
    LineStatus read_line(AnswerLine& line);

private:
    CharacterInput& input_;
    bool ended_ = false;
};

}  // namespace km37
