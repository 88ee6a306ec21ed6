#include "run/ending_signals_posix.h"

#include <signal.h>
#include <sys/ioctl.h>

#include <array>
#include <csignal>

namespace km37 {
namespace {

struct GuardedTerminal {
    volatile sig_atomic_t armed = 0;
    int fd = -1;
    termios settings{};
    bool release_exclusive_use = false;
};

std::array<GuardedTerminal, 2> guarded;
int armed_count = 0;

constexpr std::array kEndingSignals{SIGTERM, SIGHUP, SIGINT, SIGQUIT};
std::array<struct sigaction, kEndingSignals.size()> previous_actions{};

extern "C" void restore_terminals_and_end(int signal_number) {
    for (const GuardedTerminal& terminal : guarded) {
        if (terminal.armed == 0) continue;
        tcsetattr(terminal.fd, TCSANOW, &terminal.settings);
        if (terminal.release_exclusive_use) ioctl(terminal.fd, TIOCNXCL);
    }
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);  // delivered when the handler returns
}

// Keeps the ending signals away while the guards change.
class SignalsHeld {
public:
    SignalsHeld() {
        sigset_t ending;
        sigemptyset(&ending);
        for (int signal_number : kEndingSignals) sigaddset(&ending, signal_number);
        sigprocmask(SIG_BLOCK, &ending, &previous_);
    }
    ~SignalsHeld() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t previous_{};
};

}  // namespace

void EndingSignalGuard::arm(int fd, const termios& settings, bool release_exclusive_use) {
    disarm();
    SignalsHeld held;
    for (std::size_t i = 0; i < guarded.size(); ++i) {
        if (guarded[i].armed != 0) continue;
        guarded[i].fd = fd;
        guarded[i].settings = settings;
        guarded[i].release_exclusive_use = release_exclusive_use;
        guarded[i].armed = 1;
        slot_ = static_cast<int>(i);
        break;
    }
    if (slot_ < 0 || ++armed_count > 1) return;
    struct sigaction action {};
    action.sa_handler = restore_terminals_and_end;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < kEndingSignals.size(); ++i) {
        sigaction(kEndingSignals[i], &action, &previous_actions[i]);
    }
}

void EndingSignalGuard::disarm() {
    if (slot_ < 0) return;
    SignalsHeld held;
    guarded[static_cast<std::size_t>(slot_)].armed = 0;
    slot_ = -1;
    if (--armed_count > 0) return;
    for (std::size_t i = 0; i < kEndingSignals.size(); ++i) {
        sigaction(kEndingSignals[i], &previous_actions[i], nullptr);
    }
}

}  // namespace km37
