#pragma once

#include <string_view>

#include "catalogue/message_id.h"

namespace km37 {

// The message in the given language, as UTF-8 text. Every language carries
// every id, so this never fails for a valid id.
std::string_view message_text(Language language, MessageId id);

// The language for a POSIX locale name such as "ru_RU.KOI8-R": Russian for
// "ru...", Japanese for "ja...", English for anything else.
Language language_for_locale(std::string_view locale_name);

// The language for messages from the locale variables, in their order of
// precedence: the first of LC_ALL, LC_MESSAGES and LANG that is set and not
// empty decides. Null stands for an unset variable.
Language language_for_messages(const char* lc_all, const char* lc_messages, const char* lang);

}  // namespace km37
