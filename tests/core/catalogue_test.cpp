#include "catalogue/catalogue.h"

#include <gtest/gtest.h>

#include <string>

namespace km37 {
namespace {

constexpr Language kLanguages[] = {Language::English, Language::Japanese, Language::Russian};

TEST(LanguageForMessages, FirstSetVariableDecides) {
    struct Case {
        const char* lc_all;
        const char* lc_messages;
        const char* lang;
        Language language;
    };
    const Case cases[] = {
        {nullptr, nullptr, nullptr, Language::English},
        {nullptr, nullptr, "ru_RU.UTF-8", Language::Russian},
        {nullptr, nullptr, "ru_RU.KOI8-R", Language::Russian},
        {nullptr, nullptr, "ja_JP.UTF-8", Language::Japanese},
        {nullptr, nullptr, "de_DE.UTF-8", Language::English},
        {nullptr, nullptr, "C", Language::English},
        {nullptr, "ru_RU.UTF-8", "C", Language::Russian},
        {"ja_JP.UTF-8", "ru_RU.UTF-8", "ru_RU.UTF-8", Language::Japanese},
        {"", "", "ru_RU.UTF-8", Language::Russian},  // empty counts as unset
        {"", "de_DE.UTF-8", "ru_RU.UTF-8", Language::English},
        {nullptr, nullptr, "r", Language::English},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(language_for_messages(c.lc_all, c.lc_messages, c.lang), c.language)
            << (c.lc_all ? c.lc_all : "-") << " " << (c.lc_messages ? c.lc_messages : "-") << " "
            << (c.lang ? c.lang : "-");
    }
}

// Only messages 1 and 6 are templates, with exactly their placeholders, and
// every message fits the loader's 998 bytes.
TEST(MessageText, PlaceholdersAndSizesFitTheRun) {
    for (Language language : kLanguages) {
        for (int id = kFirstMessageId; id <= kLastMessageId; ++id) {
            const std::string text(message_text(language, static_cast<MessageId>(id)));
            std::string placeholders;
            for (std::size_t at = text.find('%'); at != std::string::npos; at = text.find('%', at + 1)) {
                placeholders += text.substr(at, 2);
            }
            const char* expected = id == 1 ? "%s%i%s" : id == 6 ? "%s" : "";
            EXPECT_EQ(placeholders, expected) << "message " << id;
            EXPECT_LT(text.size(), 998u) << "message " << id;
            EXPECT_FALSE(text.empty());
        }
    }
}

TEST(MessageText, SampleTextsByteForByte) {
    EXPECT_EQ(message_text(Language::English, MessageId::MSG_CANNOT_OPEN), "\nCannot open %s!\n");
    EXPECT_EQ(message_text(Language::Japanese, MessageId::MSG_BANNER),
              message_text(Language::English, MessageId::MSG_BANNER));
    EXPECT_EQ(message_text(Language::Japanese, MessageId::MSG_PORT_PROMPT),
              "\nCOM \xe3\x83\x9d\xe3\x83\xbc\xe3\x83\x88\xe7\x95\xaa\xe5\x8f\xb7\xe3\x82\x92\xe5\x85\xa5"
              "\xe5\x8a\x9b\xef\xbc\x88\xe5\x8d\x8a\xe8\xa7\x92\xef\xbc\x89: ");
    EXPECT_EQ(message_text(Language::Russian, MessageId::MSG_NO_RESPONSE),
              "\n\xd0\x90\xd0\xbd\xd0\xb0\xd0\xbb\xd0\xb8\xd0\xb7\xd0\xb0\xd1\x82\xd0\xbe\xd1\x80 "
              "\xd0\xbd\xd0\xb5 \xd0\xbe\xd1\x82\xd0\xb2\xd0\xb5\xd1\x87\xd0\xb0\xd0\xb5\xd1\x82! "
              "\xd0\x9f\xd0\xbe\xd0\xbf\xd1\x80\xd0\xbe\xd0\xb1\xd1\x83\xd0\xb9\xd1\x82\xd0\xb5 "
              "\xd0\xb7\xd0\xb0\xd0\xbd\xd0\xbe\xd0\xb2\xd0\xbe.\n");
}

}  // namespace
}  // namespace km37
