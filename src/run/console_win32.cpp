#include <windows.h>

#include <cstdio>

#include "run/answer_line.h"
#include "run/console.h"

namespace km37 {
namespace {

constexpr std::size_t kOutputBlockSize = 4096;
char output_block[kOutputBlockSize];

bool is_console(HANDLE handle) {
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != 0;
}

// A key press that ends the wait: one that yields a character, or a known
// extended key. Modifiers and lock keys alone yield nothing and are passed over.
bool ends_wait(const KEY_EVENT_RECORD& key) {
    if (!key.bKeyDown) return false;
    if (key.uChar.UnicodeChar != 0) return true;
    const WORD code = key.wVirtualKeyCode;
    return (code >= VK_PRIOR && code <= VK_DOWN) ||  // PgUp, PgDn, End, Home, arrows
           code == VK_INSERT || code == VK_DELETE || (code >= VK_F1 && code <= VK_F12);
}

// Raw mode for the length of one key wait: no line input, no echo, and no
// processed input, so Ctrl+C arrives as a key.
class RawInputMode {
public:
    RawInputMode(HANDLE input, DWORD saved) : input_(input), saved_(saved) { SetConsoleMode(input, 0); }
    ~RawInputMode() { SetConsoleMode(input_, saved_); }
    RawInputMode(const RawInputMode&) = delete;
    RawInputMode& operator=(const RawInputMode&) = delete;

private:
    HANDLE input_;
    DWORD saved_;
};

}  // namespace

void set_up_console() {
    if (is_console(GetStdHandle(STD_OUTPUT_HANDLE))) {
        std::setvbuf(stdout, nullptr, _IONBF, 0);
    } else {
        std::setvbuf(stdout, output_block, _IOFBF, sizeof output_block);
    }
}

void console_print(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);  // text mode: each line feed becomes CR LF
}

int console_read_char() {
    std::fflush(stdout);
    const int c = std::getchar();  // text mode: CR LF arrives as LF, Ctrl+Z ends the input
    return c == EOF ? kEndOfInput : c;
}

void console_wait_for_key() {
    std::fflush(stdout);
    // The console's own input, also when standard input is redirected.
    const HANDLE input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
    if (input == INVALID_HANDLE_VALUE) return;
    DWORD saved = 0;
    if (GetConsoleMode(input, &saved)) {
        RawInputMode raw(input, saved);
        // Key presses already waiting are not discarded: an earlier one ends the wait at once.
        for (;;) {
            INPUT_RECORD record{};
            DWORD count = 0;
            if (!ReadConsoleInputW(input, &record, 1, &count) || count == 0) break;
            if (record.EventType == KEY_EVENT && ends_wait(record.Event.KeyEvent)) break;
        }
    }
    CloseHandle(input);
}

}  // namespace km37
