#include "run/console.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>

#include "run/answer_line.h"
#include "run/ending_signals_posix.h"
#include "run/key_press.h"

namespace km37 {
namespace {

constexpr std::size_t kOutputBlockSize = 4096;
char output_block[kOutputBlockSize];

// How long the rest of a key's byte sequence may take to follow its first byte.
constexpr int kSequenceGapMilliseconds = 50;

// Raw mode for the length of one key wait; an ending signal meanwhile
// restores the mode before the process goes.
class RawMode {
public:
    RawMode(int fd, const termios& saved) : fd_(fd), saved_(saved) {
        restore_on_signal_.arm(fd, saved, false);
        termios raw = saved;
        // No echo, no line editing and no signals: Ctrl+C is a key like any other.
        raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL | ISIG | IEXTEN);
        raw.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL | INLCR | IGNCR);
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        // TCSANOW, not TCSAFLUSH: a key typed before the wait still counts.
        tcsetattr(fd, TCSANOW, &raw);
    }
    ~RawMode() {
        tcsetattr(fd_, TCSANOW, &saved_);
        restore_on_signal_.disarm();
    }
    RawMode(const RawMode&) = delete;
    RawMode& operator=(const RawMode&) = delete;

private:
    int fd_;
    termios saved_;
    EndingSignalGuard restore_on_signal_;
};

bool read_byte(int fd, std::uint8_t& byte) {
    for (;;) {
        const ssize_t got = ::read(fd, &byte, 1);
        if (got == 1) return true;
        if (got < 0 && errno == EINTR) continue;
        return false;
    }
}

bool byte_follows(int fd) {
    pollfd watch{fd, POLLIN, 0};
    return poll(&watch, 1, kSequenceGapMilliseconds) > 0 && (watch.revents & POLLIN) != 0;
}

void read_one_key_press(int fd) {
    std::uint8_t byte = 0;
    if (!read_byte(fd, byte)) return;
    KeyPressScanner scanner;
    while (!scanner.add(byte)) {
        if (!byte_follows(fd) || !read_byte(fd, byte)) return;  // a lone Esc, say
    }
}

}  // namespace

void set_up_console() {
    // Messages are converted for the character set of the user's locale.
    std::setlocale(LC_CTYPE, "");
    // A reader of our output that goes away must not end a transfer halfway.
    std::signal(SIGPIPE, SIG_IGN);
    if (isatty(STDOUT_FILENO)) {
        std::setvbuf(stdout, nullptr, _IONBF, 0);
    } else {
        std::setvbuf(stdout, output_block, _IOFBF, sizeof output_block);
    }
}

void console_print(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
}

int console_read_char() {
    std::fflush(stdout);
    const int c = std::getchar();
    return c == EOF ? kEndOfInput : c;
}

void console_wait_for_key() {
    std::fflush(stdout);
    const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return;  // no controlling terminal
    termios saved{};
    if (tcgetattr(fd, &saved) == 0) {
        RawMode raw(fd, saved);
        read_one_key_press(fd);
    }
    ::close(fd);
}

}  // namespace km37
