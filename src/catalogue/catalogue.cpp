#include "catalogue/catalogue.h"

#include <array>

namespace km37 {
namespace {

constexpr std::size_t kLanguageCount = 3;
constexpr std::size_t kMessageCount = kLastMessageId - kFirstMessageId + 1;

struct MessageEntry {
    Language language;
    int number;
    MessageId id;
    std::string_view text;
};

constexpr MessageEntry kMessages[] = {
#define KM37_MESSAGE(language, number, id, text) {Language::language, number, MessageId::id, text},
#include "messages.inc"
#undef KM37_MESSAGE
};

using MessageTable = std::array<std::array<std::string_view, kMessageCount>, kLanguageCount>;

constexpr MessageTable build_table() {
    MessageTable table{};
    for (const MessageEntry& entry : kMessages) {
        table[static_cast<std::size_t>(entry.language)]
             [static_cast<std::size_t>(entry.id) - kFirstMessageId] = entry.text;
    }
    return table;
}

constexpr MessageTable kTable = build_table();

constexpr bool every_message_present() {
    for (const auto& language : kTable) {
        for (std::string_view text : language) {
            if (text.empty()) return false;
        }
    }
    return true;
}
static_assert(every_message_present(), "each language must carry all ten messages");

constexpr bool numbers_match_ids() {
    for (const MessageEntry& entry : kMessages) {
        if (entry.number != static_cast<int>(entry.id)) return false;
    }
    return true;
}
static_assert(numbers_match_ids(), "a message's id number must be its MessageId");

}  // namespace

std::string_view message_text(Language language, MessageId id) {
    const int index = static_cast<int>(id) - kFirstMessageId;
    if (index < 0 || index >= static_cast<int>(kMessageCount)) return {};
    return kTable[static_cast<std::size_t>(language)][static_cast<std::size_t>(index)];
}

Language language_for_locale(std::string_view locale_name) {
    if (locale_name.starts_with("ru")) return Language::Russian;
    if (locale_name.starts_with("ja")) return Language::Japanese;
    return Language::English;
}

Language language_for_messages(const char* lc_all, const char* lc_messages, const char* lang) {
    for (const char* value : {lc_all, lc_messages, lang}) {
        if (value != nullptr && value[0] != '\0') return language_for_locale(value);
    }
    return Language::English;
}

}  // namespace km37
