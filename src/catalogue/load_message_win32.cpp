#include <windows.h>

#include "catalogue/load_message.h"

namespace km37 {
namespace {

constexpr int kWideBufferSize = 1000;

// The code page the console shows: the OEM code page, or the console's own
// output code page where the user changed it (chcp).
UINT console_code_page() {
    DWORD mode = 0;
    if (GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode)) {
        const UINT code_page = GetConsoleOutputCP();
        if (code_page != 0) return code_page;
    }
    return GetOEMCP();
}

}  // namespace

// The string loader picks the language version for the user and hands the
// text over in the ANSI code page; the console shows the OEM code page, so the
// text goes through UTF-16 into the console's page, a space standing for
// anything that page lacks.
void load_message(MessageId id, MessageBuffer& buffer) {
    const int limit = static_cast<int>(buffer.size()) - 1;
    buffer[0] = '\0';
    LoadStringA(GetModuleHandleA(nullptr), static_cast<UINT>(id), buffer.data(), limit);

    wchar_t wide[kWideBufferSize];
    wide[0] = L'\0';
    MultiByteToWideChar(CP_ACP, 0, buffer.data(), -1, wide, kWideBufferSize);

    const UINT code_page = console_code_page();
    // UTF-8 can show every character, and the system refuses a default
    // character for it.
    const bool takes_default = code_page != CP_UTF8 && code_page != CP_UTF7;
    const int written = WideCharToMultiByte(code_page, 0, wide, -1, buffer.data(), limit,
                                            takes_default ? " " : nullptr, nullptr);
    buffer[written > 0 ? static_cast<std::size_t>(written) - 1 : 0] = '\0';
    buffer[buffer.size() - 1] = '\0';
}

}  // namespace km37
