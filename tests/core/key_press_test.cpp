#include "run/key_press.h"

#include <gtest/gtest.h>

#include <string>

namespace km37 {
namespace {

// How many of the bytes the scanner takes as the first key press.
std::size_t first_key_length(const std::string& bytes) {
    KeyPressScanner scanner;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (scanner.add(static_cast<std::uint8_t>(bytes[i]))) return i + 1;
    }
    return bytes.size() + 1000;  // not complete
}

struct KeyCase {
    const char* what;
    std::string bytes;
    std::size_t length;
};

TEST(KeyPressScanner, TakesOneWholeKeyPress) {
    const KeyCase cases[] = {
        {"letter", "ax", 1},
        {"Ctrl+C", "\x03x", 1},
        {"Enter", "\rx", 1},
        {"arrow up", "\x1b[Ax", 3},
        {"arrow in application mode", "\x1bOAx", 3},
        {"F5", "\x1b[15~x", 5},
        {"Shift+F5", "\x1b[15;2~x", 7},
        {"Linux console F1", "\x1b[[Ax", 4},
        {"Alt+x", "\x1bxy", 2},
        {"two-byte character", "\xc3\xa9x", 2},
        {"three-byte character", "\xe3\x81\x82x", 3},
        {"four-byte character", "\xf0\x9f\x98\x80x", 4},
        {"broken character", "\xc3x", 2},
        {"endless sequence", "\x1b[" + std::string(40, '1'), 16},
    };
    for (const KeyCase& c : cases) {
        EXPECT_EQ(first_key_length(c.bytes), c.length) << c.what;
    }
}

TEST(KeyPressScanner, WaitsForMoreAfterALoneEscape) {
    // Whether Esc is a key alone is told by the time that passes, which is the
    // reader's to judge; the scanner must ask for more.
    KeyPressScanner scanner;
    EXPECT_FALSE(scanner.add(0x1B));
}

}  // namespace
}  // namespace km37
