#include "catalogue/charset_conversion.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace km37 {
namespace {

// Length of the UTF-8 sequence that starts with this byte (1 for a stray byte,
// so that skipping always makes progress).
std::size_t utf8_sequence_length(unsigned char lead) {
    if (lead >= 0xF0 && lead < 0xF8) return 4;
    if (lead >= 0xE0) return lead < 0xF0 ? 3 : 1;
    if (lead >= 0xC0) return 2;
    return 1;
}

// Without a converter for the set, ASCII is the one thing every console shows.
std::size_t copy_ascii_only(std::string_view utf8, std::span<char> out) {
    std::size_t written = 0;
    for (std::size_t i = 0; i < utf8.size() && written + 1 < out.size();) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x80) {
            out[written++] = static_cast<char>(byte);
            ++i;
        } else {
            out[written++] = ' ';
            i += utf8_sequence_length(byte);
        }
    }
    out[written] = '\0';
    return written;
}

class Converter {
public:
    explicit Converter(const char* charset) : cd_(iconv_open(charset, "UTF-8")) {}
    ~Converter() {
        if (valid()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

}  // namespace

std::size_t convert_from_utf8(std::string_view utf8, const char* charset, std::span<char> out) {
    if (out.empty()) return 0;
    Converter converter(charset);
    if (!converter.valid()) return copy_ascii_only(utf8, out);

    char* in = const_cast<char*>(utf8.data());
    std::size_t in_left = utf8.size();
    char* out_next = out.data();
    std::size_t out_left = out.size() - 1;  // room for the terminator

    while (in_left > 0) {
        if (iconv(converter.get(), &in, &in_left, &out_next, &out_left) != static_cast<std::size_t>(-1)) break;
        if (errno != EILSEQ) break;  // E2BIG: full; EINVAL: cut-off input
        const std::size_t skip = std::min(utf8_sequence_length(static_cast<unsigned char>(*in)), in_left);
        in += skip;
        in_left -= skip;
        // The space goes through the converter too, so that a stateful set
        // gets its shift sequence first.
        char space[] = " ";
        char* space_in = space;
        std::size_t space_left = 1;
        if (iconv(converter.get(), &space_in, &space_left, &out_next, &out_left) == static_cast<std::size_t>(-1)) break;
    }
    // Return a stateful set to its initial state at the end of the text.
    iconv(converter.get(), nullptr, nullptr, &out_next, &out_left);
    *out_next = '\0';
    return static_cast<std::size_t>(out_next - out.data());
}

}  // namespace km37
