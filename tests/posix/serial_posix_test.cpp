// The POSIX serial port against a pseudo-terminal whose master side the test
// plays as the analyzer.

#include "serial/serial_posix.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/process.h"

namespace km37 {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A pseudo-terminal pair; the test keeps a descriptor of the device side too,
// to see the line settings from outside.
class PseudoTerminal {
public:
    PseudoTerminal() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        EXPECT_GE(master_, 0);
        EXPECT_EQ(grantpt(master_), 0);
        EXPECT_EQ(unlockpt(master_), 0);
        path_ = ptsname(master_);
        observer_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        EXPECT_GE(observer_, 0);
    }
    ~PseudoTerminal() {
        if (observer_ >= 0) ::close(observer_);
        hang_up();
    }

    const std::string& path() const { return path_; }
    int master() const { return master_; }
    termios settings() const {
        termios now{};
        EXPECT_EQ(tcgetattr(observer_, &now), 0);
        return now;
    }
    void send(const std::string& bytes) const {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Everything the port has written, as far as it has arrived.
    std::string received() const {
        std::string bytes;
        pollfd watch{master_, POLLIN, 0};
        while (poll(&watch, 1, 200) > 0 && (watch.revents & POLLIN) != 0) {
            char buffer[4096];
            const ssize_t got = ::read(master_, buffer, sizeof buffer);
            if (got <= 0) break;
            bytes.append(buffer, static_cast<std::size_t>(got));
        }
        return bytes;
    }
    void hang_up() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }
    void close_observer() {
        ::close(observer_);
        observer_ = -1;
    }

private:
    int master_ = -1;
    int observer_ = -1;
    std::string path_;
};

TEST(PosixSerialPort, ConfiguresRawLineAndRestoresTheSettingsItFound) {
    PseudoTerminal terminal;
    const termios found = terminal.settings();
    ASSERT_NE(found.c_lflag & ECHO, 0u);  // the system's default: a cooked terminal

    PosixSerialPort port;
    ASSERT_TRUE(port.open(terminal.path().c_str()));
    const termios set = terminal.settings();
    EXPECT_EQ(cfgetispeed(&set), static_cast<speed_t>(B38400));
    EXPECT_EQ(cfgetospeed(&set), static_cast<speed_t>(B38400));
    EXPECT_EQ(set.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(set.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(set.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(set.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP | INPCK), 0u);
    EXPECT_EQ(set.c_oflag & OPOST, 0u);
    EXPECT_EQ(set.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);

    // Line feeds and the bytes of flow control go out as they are.
    port.write(std::array<std::uint8_t, 6>{'\n', '\n', 'W', 'R', 0x11, 0x13});
    EXPECT_EQ(terminal.received(), "\n\nWR\x11\x13");

    port.close();
    const termios restored = terminal.settings();
    EXPECT_EQ(restored.c_lflag, found.c_lflag);
    EXPECT_EQ(restored.c_iflag, found.c_iflag);
    EXPECT_EQ(restored.c_oflag, found.c_oflag);
    EXPECT_EQ(restored.c_cflag, found.c_cflag);
}

TEST(PosixSerialPort, RefusesWhatIsNoTerminalAndLeavesItAlone) {
    testing::TemporaryFolder folder;
    const std::string file = folder.path("image.bin");
    {
        FILE* f = std::fopen(file.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("data", f);
        std::fclose(f);
    }
    for (const std::string& path : {file, folder.path(), std::string("/dev/null"), folder.path("missing")}) {
        PosixSerialPort port;
        EXPECT_FALSE(port.open(path.c_str())) << path;
        EXPECT_FALSE(port.is_open());
    }
    EXPECT_EQ(testing::read_file(file), "data");
}

TEST(PosixSerialPort, OneHolderAtATime) {
    PseudoTerminal terminal;
    PosixSerialPort first;
    PosixSerialPort second;
    ASSERT_TRUE(first.open(terminal.path().c_str()));
    EXPECT_FALSE(second.open(terminal.path().c_str()));

    // Another program's lock keeps the updater out too.
    first.close();
    const int other = ::open(terminal.path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_FALSE(second.open(terminal.path().c_str()));
    ::close(other);

    EXPECT_TRUE(second.open(terminal.path().c_str()));
}

TEST(PosixSerialPort, ReadCollectsARepliesBytesAsTheyCome) {
    PseudoTerminal terminal;
    PosixSerialPort port;
    ASSERT_TRUE(port.open(terminal.path().c_str()));

    std::thread analyzer([&] {
        terminal.send("\x34");
        std::this_thread::sleep_for(50ms);
        terminal.send("\x12\x99");
    });
    std::array<std::uint8_t, 2> reply{};
    EXPECT_EQ(port.read(reply), 2u);
    analyzer.join();
    EXPECT_EQ(reply[0], 0x34);
    EXPECT_EQ(reply[1], 0x12);

    // The byte beyond the two asked for waits for the next read.
    std::array<std::uint8_t, 1> next{};
    EXPECT_EQ(port.read(next), 1u);
    EXPECT_EQ(next[0], 0x99);
}

extern "C" void ignore_signal(int) {}

TEST(PosixSerialPort, ReadGoesOnThroughSignals) {
    PseudoTerminal terminal;
    PosixSerialPort port;
    ASSERT_TRUE(port.open(terminal.path().c_str()));

    struct sigaction action {};
    action.sa_handler = ignore_signal;  // no SA_RESTART: poll fails with EINTR
    struct sigaction previous {};
    sigaction(SIGUSR1, &action, &previous);

    const pthread_t reader = pthread_self();
    std::thread analyzer([&] {
        for (int i = 0; i < 5; ++i) {
            std::this_thread::sleep_for(20ms);
            pthread_kill(reader, SIGUSR1);
        }
        terminal.send("\xAB\xCD");
    });
    std::array<std::uint8_t, 2> reply{};
    EXPECT_EQ(port.read(reply), 2u);
    analyzer.join();
    sigaction(SIGUSR1, &previous, nullptr);
    EXPECT_EQ(reply[0], 0xAB);
    EXPECT_EQ(reply[1], 0xCD);
}

TEST(PosixSerialPort, ReadEndsWithWhatItHasAtTheTimeOut) {
    PseudoTerminal terminal;
    PosixSerialPort port;
    ASSERT_TRUE(port.open(terminal.path().c_str()));
    terminal.send("\x42");
    std::array<std::uint8_t, 2> reply{};
    const auto start = Clock::now();
    EXPECT_EQ(port.read(reply), 1u);
    // The total time-out is 5,000 ms; the read must not give up before it.
    EXPECT_GE(Clock::now() - start, 4990ms);
    EXPECT_EQ(reply[0], 0x42);
}

TEST(PosixSerialPort, ReadEndsWhenTheDeviceHangsUp) {
    PseudoTerminal terminal;
    PosixSerialPort port;
    ASSERT_TRUE(port.open(terminal.path().c_str()));
    terminal.close_observer();
    terminal.send("\x42");
    std::thread analyzer([&] {
        std::this_thread::sleep_for(50ms);
        terminal.hang_up();
    });
    std::array<std::uint8_t, 2> reply{};
    const auto start = Clock::now();
    const std::size_t delivered = port.read(reply);
    analyzer.join();
    EXPECT_LE(delivered, 1u);
    // A hang-up is not a silent analyzer: the read does not wait out the time-out.
    EXPECT_LT(Clock::now() - start, 4000ms);
}

}  // namespace
}  // namespace km37
