// The final key wait, with the program's controlling terminal a
// pseudo-terminal on which the test types.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "support/process.h"

namespace km37::testing {
namespace {

const std::string kPressAnyKey = "Press any key to exit from this program.";

// The program on a terminal, past a failed open, in its key wait.
class KeyWait : public ::testing::Test {
protected:
    void SetUp() override {
        program_ = std::make_unique<TerminalProcess>(std::vector<std::string>{FWUPDATE_KM37, "/nonexistent/port"});
        observer_ = ::open(program_->terminal_path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(observer_, 0);
        ASSERT_EQ(tcgetattr(observer_, &mode_before_), 0);
        ASSERT_NE(mode_before_.c_lflag & ICANON, 0u);
    }
    void TearDown() override {
        if (observer_ >= 0) ::close(observer_);
    }

    // True once the program has put the terminal into raw mode for the wait.
    bool waiting() {
        if (!program_->read_until(kPressAnyKey)) return false;
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < deadline) {
            termios now{};
            if (tcgetattr(observer_, &now) == 0 && (now.c_lflag & ICANON) == 0) return true;
            std::this_thread::sleep_for(5ms);
        }
        return false;
    }

    void expect_mode_restored() {
        termios after{};
        ASSERT_EQ(tcgetattr(observer_, &after), 0);
        EXPECT_EQ(after.c_lflag, mode_before_.c_lflag);
        EXPECT_EQ(after.c_iflag, mode_before_.c_iflag);
        EXPECT_EQ(after.c_oflag, mode_before_.c_oflag);
        EXPECT_EQ(after.c_cc[VMIN], mode_before_.c_cc[VMIN]);
        EXPECT_EQ(after.c_cc[VTIME], mode_before_.c_cc[VTIME]);
    }

    // What is left unread on the terminal's input.
    std::string left_unread() {
        termios raw{};
        tcgetattr(observer_, &raw);
        cfmakeraw(&raw);
        tcsetattr(observer_, TCSANOW, &raw);
        std::string bytes;
        pollfd watch{observer_, POLLIN, 0};
        while (poll(&watch, 1, 200) > 0 && (watch.revents & POLLIN) != 0) {
            char c = 0;
            if (::read(observer_, &c, 1) != 1) break;
            bytes += c;
        }
        return bytes;
    }

    std::unique_ptr<TerminalProcess> program_;
    int observer_ = -1;
    termios mode_before_{};
};

TEST_F(KeyWait, OneKeyEndsItAndTheModeIsRestored) {
    ASSERT_TRUE(waiting());
    termios raw{};
    ASSERT_EQ(tcgetattr(observer_, &raw), 0);
    EXPECT_EQ(raw.c_lflag & (ECHO | ISIG), 0u);

    program_->type("q");
    const Ending ending = program_->finish(10s);
    EXPECT_TRUE(ending.exited && ending.status == 0);
    expect_mode_restored();
    EXPECT_EQ(program_->screen().find('q'), std::string::npos);  // not echoed
}

TEST_F(KeyWait, CtrlCIsAnOrdinaryKey) {
    ASSERT_TRUE(waiting());
    program_->type("\x03");
    const Ending ending = program_->finish(10s);
    EXPECT_TRUE(ending.exited && ending.status == 0) << "signal " << ending.signal;
    expect_mode_restored();
}

TEST_F(KeyWait, AnArrowKeyIsConsumedWhole) {
    ASSERT_TRUE(waiting());
    program_->type("\x1b[Az");
    const Ending ending = program_->finish(10s);
    EXPECT_TRUE(ending.exited && ending.status == 0);
    expect_mode_restored();
    EXPECT_EQ(left_unread(), "z");
}

TEST_F(KeyWait, AKeyTypedBeforeTheWaitEndsIt) {
    program_->type("k");  // typed while the program still prints
    const Ending ending = program_->finish(10s);
    EXPECT_TRUE(ending.exited && ending.status == 0);
    EXPECT_NE(program_->screen().find(kPressAnyKey), std::string::npos);
    expect_mode_restored();
}

TEST_F(KeyWait, ModeIsRestoredWhenTheProgramIsTerminatedDuringTheWait) {
    ASSERT_TRUE(waiting());
    kill(program_->pid(), SIGTERM);
    EXPECT_EQ(program_->finish(10s).signal, SIGTERM);
    expect_mode_restored();
}

TEST_F(KeyWait, ModeIsRestoredWhenTheProgramIsHungUpDuringTheWait) {
    ASSERT_TRUE(waiting());
    kill(program_->pid(), SIGHUP);
    EXPECT_EQ(program_->finish(10s).signal, SIGHUP);
    expect_mode_restored();
}

}  // namespace
}  // namespace km37::testing
