// The answer reader over any bytes (NUL, CR, Ctrl+Z and lines of any length
// among them) against a plain description of its lines: the input up to the
// first Ctrl+Z, split at line feeds, a CR right before each line feed
// dropped, each line cut to 99 characters.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "run/answer_line.h"

namespace {

class BytesInput final : public km37::CharacterInput {
public:
    BytesInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    int read_char() override {
        if (at_ < size_) return data_[at_++];
        if (++reads_past_end > 1) std::abort();  // the reader asks once more at most
        return km37::kEndOfInput;
    }
    int reads_past_end = 0;

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

std::vector<std::string> expected_lines(std::string text) {
    if (const std::size_t ctrl_z = text.find('\x1A'); ctrl_z != std::string::npos) text.resize(ctrl_z);
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t feed = text.find('\n', start);
        std::string line = text.substr(start, feed == std::string::npos ? std::string::npos : feed - start);
        if (feed != std::string::npos && !line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line.substr(0, km37::kAnswerLineSize - 1));
        if (feed == std::string::npos) break;
        start = feed + 1;
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    BytesInput input(data, size);
    km37::AnswerReader reader(input);
    km37::AnswerLine line;
    std::vector<std::string> lines;
    while (reader.read_line(line) == km37::LineStatus::Line) {
        if (line.length >= km37::kAnswerLineSize || line.text[line.length] != '\0') std::abort();
        lines.emplace_back(line.view());
        if (lines.size() > size + 1) std::abort();
    }
    if (reader.read_line(line) != km37::LineStatus::EndOfInput) std::abort();  // ended for good
    if (lines != expected_lines(std::string(reinterpret_cast<const char*>(data), size))) std::abort();
    return 0;
}
