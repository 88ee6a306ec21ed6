#include "run/answer_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace km37 {
namespace {

class ScriptedInput final : public CharacterInput {
public:
    explicit ScriptedInput(std::string text) : text_(std::move(text)) {}
    int read_char() override {
        if (at_ < text_.size()) return static_cast<unsigned char>(text_[at_++]);
        ++reads_past_end;
        return kEndOfInput;
    }
    std::size_t consumed() const { return at_; }
    int reads_past_end = 0;

private:
    std::string text_;
    std::size_t at_ = 0;
};

// Every line the reader gives until the input ends.
std::vector<std::string> read_all(const std::string& input) {
    ScriptedInput source(input);
    AnswerReader reader(source);
    AnswerLine line;
    std::vector<std::string> lines;
    while (reader.read_line(line) == LineStatus::Line) {
        EXPECT_EQ(line.text[line.length], '\0');
        lines.emplace_back(line.view());
        if (lines.size() > 10) break;
    }
    return lines;
}

struct LineCase {
    std::string input;
    std::vector<std::string> lines;
};

TEST(AnswerReader, SplitsTextIntoLines) {
    const LineCase cases[] = {
        {"", {}},
        {"7\n", {"7"}},
        {"\n", {""}},
        {"abc\n12\n", {"abc", "12"}},
        {"12", {"12"}},                          // a last line without a line feed
        {"12\r\n", {"12"}},                      // CR before LF dropped
        {"1\r2\n", {"1\r2"}},                    // a CR elsewhere stays
        {"12\r", {"12\r"}},
        {"12\r\r\n", {"12\r"}},
        {"3\x1A" "4\n", {"3"}},                  // Ctrl+Z ends the input for good
        {"\x1A" "5\n", {}},
        {std::string("1\0" "2\n", 4), {std::string("1\0" "2", 3)}},
    };
    for (const LineCase& c : cases) {
        EXPECT_EQ(read_all(c.input), c.lines) << "input \"" << c.input << "\"";
    }
}

TEST(AnswerReader, KeepsTheFirst99CharactersAndDropsTheRestOfTheLine) {
    const std::string long_line = std::string(99, '1') + "23456789";
    const auto lines = read_all(long_line + "\n7\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string(99, '1'));
    EXPECT_EQ(lines[1], "7");  // the rest of the long line is not taken as a new answer
}

TEST(AnswerReader, DoesNotReadPastTheEndOnceEnded) {
    ScriptedInput source("5\x1A" "6\n");
    AnswerReader reader(source);
    AnswerLine line;
    EXPECT_EQ(reader.read_line(line), LineStatus::Line);
    EXPECT_EQ(reader.read_line(line), LineStatus::EndOfInput);
    EXPECT_EQ(reader.read_line(line), LineStatus::EndOfInput);
    EXPECT_EQ(source.consumed(), 2u);
    EXPECT_EQ(source.reads_past_end, 0);
}

}  // namespace
}  // namespace km37
