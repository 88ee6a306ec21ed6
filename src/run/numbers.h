#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace km37 {

// Both conversions skip leading white space (tab, line feed, vertical tab,
// form feed, carriage return, space), allow one "+" or "-", and stop at the
// first character that does not belong to the number. A value beyond 32 bits
// saturates at the nearest 32-bit limit, so it can never wrap into a valid
// port number.

// The command-line argument: always decimal; no digits give 0.
std::int32_t port_number_from_argument(std::string_view argument);

// The prompt's answer: "0x"/"0X" starts hexadecimal, another leading "0"
// octal, anything else decimal. No digit at all ("", "abc", "-", "0x") is no
// number; "0" alone is the number 0.
std::optional<std::int32_t> number_from_answer(std::string_view answer);

}  // namespace km37
