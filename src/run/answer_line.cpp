#include "run/answer_line.h"

namespace km37 {
namespace {

constexpr int kCtrlZ = 0x1A;

void store(AnswerLine& line, char c) {
    if (line.length + 1 < line.text.size()) line.text[line.length++] = c;
}

}  // namespace

LineStatus AnswerReader::read_line(AnswerLine& line) {
    line.length = 0;
    bool read_any = false;
    bool carriage_return_pending = false;
    while (!ended_) {
        const int c = input_.read_char();
        if (c == kEndOfInput || c == kCtrlZ) {
            ended_ = true;
            break;
        }
        read_any = true;
        if (c == '\n') {
            carriage_return_pending = false;  // a CR right before LF is dropped
            break;
        }
        if (carriage_return_pending) store(line, '\r');
        carriage_return_pending = c == '\r';
        if (!carriage_return_pending) store(line, static_cast<char>(c));
    }
    if (carriage_return_pending) store(line, '\r');
    line.text[line.length] = '\0';
    return read_any ? LineStatus::Line : LineStatus::EndOfInput;
}

}  // namespace km37
