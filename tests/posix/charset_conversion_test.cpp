#include "catalogue/charset_conversion.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace km37 {
namespace {

std::string convert(std::string_view utf8, const char* charset, std::size_t room = 1000) {
    std::array<char, 1000> out{};
    out.fill('#');
    const std::size_t length = convert_from_utf8(utf8, charset, std::span<char>(out.data(), room));
    EXPECT_EQ(out[length], '\0');
    return {out.data(), length};
}

TEST(ConvertFromUtf8, IntoTheLocalesCharacterSet) {
    struct Case {
        const char* charset;
        std::string utf8;
        std::string expected;
    };
    const Case cases[] = {
        {"UTF-8", "Версия 103\n", "Версия 103\n"},
        {"KOI8-R", "Версия 103\n", "\xf7\xc5\xd2\xd3\xc9\xd1 103\n"},
        {"CP866", "Версия", "\x82\xa5\xe0\xe1\xa8\xef"},
        // Every character the set lacks is one space, never a question mark.
        {"ANSI_X3.4-1968", "Версия 103 (KM-37)\n", "       103 (KM-37)\n"},
        {"KOI8-R", "ポート COM3", "    COM3"},
        {"EUC-JP", "ポート", "\xa5\xdd\xa1\xbc\xa5\xc8"},
        {"ISO-8859-1", "é ä €", "\xe9 \xe4  "},
        // No converter for the set: ASCII is shown, the rest is spaces.
        {"NO-SUCH-CHARSET", "Порт COM3!", "     COM3!"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(convert(c.utf8, c.charset), c.expected) << c.charset << ": " << c.utf8;
    }
}

TEST(ConvertFromUtf8, CutsAtACharacterBoundaryWhenFull) {
    // Room for 5 bytes and the terminator: two 2-byte letters fit, a third does not.
    EXPECT_EQ(convert("ЖЖЖЖ", "UTF-8", 6), "ЖЖ");
    EXPECT_EQ(convert("ЖЖЖЖ", "KOI8-R", 3), "\xf6\xf6");
    EXPECT_EQ(convert("abc", "UTF-8", 1), "");
}

TEST(ConvertFromUtf8, StatefulSetEndsInItsInitialState) {
    // ISO-2022-JP shifts into JIS X 0208 for the kana and must shift back.
    const std::string out = convert("ポートA", "ISO-2022-JP");
    EXPECT_TRUE(out.starts_with("\x1b$B")) << out;
    EXPECT_TRUE(out.ends_with("\x1b(BA")) << out;
}

}  // namespace
}  // namespace km37
