// The updater under faults of the line and of its own process. These tests
// run alone (one pseudo-terminal at a time on the machine), so that a device
// that disappears cannot come back as another test's.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/process.h"
#include "support/simulator.h"

namespace km37::testing {
namespace {

using Clock = std::chrono::steady_clock;

const std::string kPressAnyKey = "\nPress any key to exit from this program.\n";
const std::string kNoResponse = "\nNo response, please retry!\n" + kPressAnyKey;
const std::string kProgrammingError = "\nProgramming error, please retry!\n" + kPressAnyKey;

struct Update {
    Ending ending;
    std::string output;
    Clock::duration took{};
};

Update update(const std::string& device) {
    const auto start = Clock::now();
    Process updater({{FWUPDATE_KM37, device}, {"LANG=C"}, "", false});
    Update result;
    result.ending = updater.finish(60s);
    result.took = Clock::now() - start;
    result.output = updater.output();
    return result;
}

TEST(Faults, AnAnalyzerThatHangsUpEndsTheRunAtOnce) {
    for (int block : {1, 2, 3, 4, 7, 16, 31, 32, 33, 63, 64, 100, 128, 129, 200, 240, 250, 251, 252, 170}) {
        Simulator analyzer({"--hang-up", std::to_string(block)});
        const Update run = update(analyzer.device());
        const Received received = analyzer.finish();
        EXPECT_TRUE(exited_with_zero(run.ending)) << "block " << block;
        EXPECT_TRUE(run.output.ends_with(kNoResponse)) << "block " << block << ":\n" << run.output;
        EXPECT_EQ(received.image_bytes, 256u * static_cast<unsigned>(block));
        // A hang-up is told apart from silence: no wait for the 5 s time-out.
        EXPECT_LT(run.took, 4s) << "block " << block;
    }
}

TEST(Faults, LineNoiseInOneAcknowledgementStopsTheTransfer) {
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> any_block(1, 252);
    for (int i = 0; i < 6; ++i) {
        const int block = any_block(random);
        const char* byte = random() % 2 == 0 ? "--wrong-low" : "--wrong-high";
        Simulator analyzer({byte, std::to_string(block)});
        const Update run = update(analyzer.device());
        const Received received = analyzer.finish();
        EXPECT_TRUE(exited_with_zero(run.ending));
        EXPECT_TRUE(run.output.ends_with(kProgrammingError)) << byte << " " << block << ":\n" << run.output;
        EXPECT_EQ(received.image_bytes, 256u * static_cast<unsigned>(block)) << byte << " " << block;
        EXPECT_EQ(received.extra_bytes, 0u);
    }
}

// The updater is ended while it waits for an acknowledgement: the port gets
// its settings back and is free for the next updater at once.
class EndedDuringTransfer : public ::testing::TestWithParam<int> {};

TEST_P(EndedDuringTransfer, LeavesThePortAsItFoundIt) {
    Simulator analyzer({"--silent"});
    const int observer = ::open(analyzer.device().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(observer, 0);
    termios before{};
    ASSERT_EQ(tcgetattr(observer, &before), 0);

    Process updater({{FWUPDATE_KM37, analyzer.device()}, {"LANG=C"}, "", false});
    ASSERT_TRUE(analyzer.wait_for_wake_up());
    termios during{};
    ASSERT_EQ(tcgetattr(observer, &during), 0);
    ASSERT_EQ(during.c_lflag & ICANON, 0u);  // the updater's raw mode is on

    kill(updater.pid(), GetParam());
    EXPECT_EQ(updater.finish(10s).signal, GetParam());

    termios after{};
    ASSERT_EQ(tcgetattr(observer, &after), 0);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    int exclusive = -1;
    ASSERT_EQ(ioctl(observer, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);

    const Update next = update(analyzer.device());
    EXPECT_TRUE(next.output.ends_with(kNoResponse)) << next.output;  // opened, woke, sent; silence
    ::close(observer);
}

INSTANTIATE_TEST_SUITE_P(Signals, EndedDuringTransfer, ::testing::Values(SIGTERM, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param == SIGTERM ? std::string("Terminated") : std::string("HungUp");
                         });

TEST(Faults, ADeviceThatDisappearedCannotBeOpened) {
    Simulator analyzer;
    const std::string device = analyzer.device();
    ASSERT_TRUE(std::filesystem::exists(device));
    analyzer.stop();
    for (int i = 0; i < 200 && std::filesystem::exists(device); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_FALSE(std::filesystem::exists(device));

    const Update run = update(device);
    EXPECT_TRUE(exited_with_zero(run.ending));
    EXPECT_TRUE(run.output.ends_with("\nCannot open " + device + "!\n" + kPressAnyKey)) << run.output;
}

}  // namespace
}  // namespace km37::testing
