// The prompt's conversion against the C library's strtoll with base 0, for
// any bytes: the same numbers, saturating at the 32-bit limits, except that
// "0x" without a hexadecimal digit is no number at all.

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>

#include "run/numbers.h"

namespace {

std::optional<long long> reference(const std::string& text) {
    const char* at = text.c_str();
    while (*at == ' ' || (*at >= '\t' && *at <= '\r')) ++at;
    const char* digits = at + ((*at == '+' || *at == '-') ? 1 : 0);
    if (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X') &&
        !std::isxdigit(static_cast<unsigned char>(digits[2]))) {
        return std::nullopt;
    }
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 0);
    if (end == text.c_str()) return std::nullopt;
    return std::max<long long>(std::numeric_limits<std::int32_t>::min(),
                               std::min<long long>(std::numeric_limits<std::int32_t>::max(), value));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::optional<std::int32_t> number = km37::number_from_answer(text);
    const std::optional<long long> expected = reference(text);
    if (number.has_value() != expected.has_value()) std::abort();
    if (number.has_value() && *number != *expected) std::abort();
    return 0;
}
