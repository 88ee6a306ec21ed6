#include <langinfo.h>

#include <cstdlib>

#include "catalogue/catalogue.h"
#include "catalogue/charset_conversion.h"
#include "catalogue/load_message.h"

namespace km37 {

// The language comes from the locale's message category, the character set
// from its character-type category (set up by the program's start with
// setlocale(LC_CTYPE, "")).
void load_message(MessageId id, MessageBuffer& buffer) {
    const Language language = language_for_messages(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"),
                                                    std::getenv("LANG"));
    convert_from_utf8(message_text(language, id), nl_langinfo(CODESET),
                      std::span<char>(buffer.data(), buffer.size() - 1));
}

}  // namespace km37
