#include "run/key_press.h"

namespace km37 {

bool KeyPressScanner::add(std::uint8_t byte) {
    // A sequence that never ends is cut off rather than swallowing every key.
    if (++bytes_ >= kLongestSequence) return true;
    switch (state_) {
        case State::First:
            if (byte == 0x1B) {
                state_ = State::AfterEscape;
                return false;
            }
            if (byte >= 0xC0 && byte < 0xF8) {
                continuation_left_ = byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : 1;
                state_ = State::Utf8;
                return false;
            }
            return true;
        case State::AfterEscape:
            if (byte == '[') {
                state_ = State::ControlSequence;
                return false;
            }
            if (byte == 'O') {
                state_ = State::SingleShift;
                return false;
            }
            return true;  // Alt with a key
        case State::ControlSequence:
            if (byte == '[' && bytes_ == 3) return false;  // the Linux console's F1 to F5: ESC [ [ A
            return byte >= 0x40 && byte <= 0x7E;         // the final byte
        case State::SingleShift:
            return true;
        case State::Utf8:
            return --continuation_left_ == 0 || (byte & 0xC0) != 0x80;
    }
    return true;
}

}  // namespace km37
