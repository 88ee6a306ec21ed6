#pragma once

#include "catalogue/message_id.h"

namespace km37 {

// Fills the buffer with the message in the user's language, converted to
// what the console shows and terminated; a character the console cannot show
// becomes one space. Implemented once per platform.
void load_message(MessageId id, MessageBuffer& buffer);

}  // namespace km37
