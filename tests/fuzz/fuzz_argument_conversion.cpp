// The command-line conversion against the C library's strtoll, for any bytes:
// decimal only, saturating at the 32-bit limits.

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

#include "run/numbers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::int32_t port = km37::port_number_from_argument(text);

    // strtoll reads the same white space and sign; a NUL ends the text for it
    // as any other non-digit ends it for the conversion.
    const long long reference = std::strtoll(text.c_str(), nullptr, 10);
    const long long clamped =
        std::max<long long>(std::numeric_limits<std::int32_t>::min(),
                            std::min<long long>(std::numeric_limits<std::int32_t>::max(), reference));
    if (port != clamped) std::abort();
    return 0;
}
