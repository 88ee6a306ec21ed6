#pragma once

#include <string_view>

// The console: standard output, standard input, and the console's own input
// for the key wait. One implementation per platform.

namespace km37 {

// Sets up the console before any output. Standard output: unbuffered on a
// terminal, so every star shows the moment it is printed; in 4,096-byte
// blocks on a file or pipe.
void set_up_console();

void console_print(std::string_view text);

// One byte of standard input, or kEndOfInput. Output is flushed first, so a
// program reading our output through a pipe sees the prompt.
int console_read_char();

// One key press read from the console itself (not standard input), in raw
// mode, without echo; the console's mode is restored afterwards, also when the
// process is ended during the wait. Keys typed earlier are not discarded.
// Without a console it returns at once.
void console_wait_for_key();

}  // namespace km37
