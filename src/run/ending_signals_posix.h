#pragma once

#include <termios.h>

namespace km37 {

// While armed, a signal that ends the process (SIGTERM, SIGHUP, SIGINT,
// SIGQUIT) first gives a terminal back the settings it had, and its exclusive
// use where the program took it, so that neither the user's terminal nor the
// serial port is left in raw mode or locked. The process then ends as the
// signal would have ended it. Two guards may be armed at a time.
class EndingSignalGuard {
public:
    EndingSignalGuard() = default;
    ~EndingSignalGuard() { disarm(); }
    EndingSignalGuard(const EndingSignalGuard&) = delete;
    EndingSignalGuard& operator=(const EndingSignalGuard&) = delete;

    void arm(int fd, const termios& settings, bool release_exclusive_use);
    void disarm();

private:
    int slot_ = -1;
};

}  // namespace km37
