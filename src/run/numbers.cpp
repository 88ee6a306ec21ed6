#include "run/numbers.h"

#include <limits>

namespace km37 {
namespace {

bool is_conversion_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int digit_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

struct Cursor {
    std::string_view text;
    std::size_t at = 0;

    bool done() const { return at >= text.size(); }
    char peek(std::size_t ahead = 0) const { return at + ahead < text.size() ? text[at + ahead] : '\0'; }
};

// Skips white space and reads the sign; true for "-".
bool read_sign(Cursor& cursor) {
    while (!cursor.done() && is_conversion_space(cursor.peek())) ++cursor.at;
    const char sign = cursor.peek();
    if (sign == '+' || sign == '-') ++cursor.at;
    return sign == '-';
}

// Reads digits of the base from the cursor; nullopt when there is none.
std::optional<std::int32_t> read_digits(Cursor& cursor, int base, bool negative) {
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    bool any_digit = false;
    while (!cursor.done() && digit_value(cursor.peek()) < base) {
        magnitude = magnitude * base + digit_value(cursor.peek());
        if (magnitude > kLimit) magnitude = kLimit;  // saturate; more digits cannot matter
        any_digit = true;
        ++cursor.at;
    }
    if (!any_digit) return std::nullopt;
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(value);  // -2^31 itself fits
}

}  // namespace

std::int32_t port_number_from_argument(std::string_view argument) {
    Cursor cursor{argument};
    const bool negative = read_sign(cursor);
    return read_digits(cursor, 10, negative).value_or(0);
}

std::optional<std::int32_t> number_from_answer(std::string_view answer) {
    Cursor cursor{answer};
    const bool negative = read_sign(cursor);
    if (cursor.peek() == '0' && (cursor.peek(1) == 'x' || cursor.peek(1) == 'X')) {
        cursor.at += 2;
        return read_digits(cursor, 16, negative);
    }
    if (cursor.peek() == '0') return read_digits(cursor, 8, negative);
    return read_digits(cursor, 10, negative);
}

}  // namespace km37
