#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace km37 {

// Converts UTF-8 text into the named character set (an iconv name such as
// "KOI8-R" or "ANSI_X3.4-1968") and terminates it. Every character the set
// lacks becomes one space, never a question mark. Output that does not fit
// is cut at a character boundary. Returns the length, terminator excluded.
std::size_t convert_from_utf8(std::string_view utf8, const char* charset, std::span<char> out);

}  // namespace km37
