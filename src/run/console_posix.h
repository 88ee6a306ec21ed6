#pragma once

#include <string_view>

namespace km37 {

// Standard output: unbuffered on a terminal, so every star shows the moment
// it is printed; in 4,096-byte blocks on a file or pipe. Call before any output.
void set_up_console_output();

void console_print(std::string_view text);

// One byte of standard input, or kEndOfInput. Output is flushed first, so a
// program reading our output through a pipe sees the prompt.
int console_read_char();

// One key press on the controlling terminal, in raw mode; the terminal's mode
// is restored afterwards, also when the process is ended by a signal during
// the wait. Without a controlling terminal it returns at once.
void console_wait_for_key();

}  // namespace km37
