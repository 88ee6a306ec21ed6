#include "run/run_update.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/fake_platform.h"

namespace km37 {
namespace {

using testing::FakeAnalyzer;
using testing::FakePlatform;

const std::array<std::uint8_t, kFirmwareImageSize>& test_image() {
    static const auto image = [] {
        std::array<std::uint8_t, kFirmwareImageSize> bytes{};
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 31 + (i >> 8));
        return bytes;
    }();
    return image;
}

const ModelVariant kRevB{"KM-37(rev.B)", 103, "Jul  5 2011", FirmwareImage(test_image())};

std::vector<std::string> lines_of(const std::string& screen) {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream stream(screen);
    while (std::getline(stream, line)) lines.push_back(line);
    return lines;
}

int run(FakePlatform& platform, std::vector<const char*> arguments, const ModelVariant& variant = kRevB) {
    return run_update(arguments, variant, platform);
}

const std::vector<std::string> kHeadOfEveryRun = {
    "",
    "Firmware Update for KM-37(rev.B), version 103 (Jul  5 2011)",
    "This program writes new firmware into the analyzer.",
    "",
    "1) Connect the analyzer to the PC",
    "",
    "2) Windows: open the \"Show serial ports\" program to see the analyzer's COM port number",
    "",
    "3) Turn off the analyzer.",
    "",
    "4) Holding the F key, turn on the analyzer.",
    "",
    "5) Turn on the analyzer.",
    "",
    "6) The LCD will be blank.",
};

const std::string kPrompt =
    "\nEnter the COM port number (or full pathname if this program is running under Linux or Mac OS): ";
const std::string kRuler(65, '*');

std::vector<std::string> joined(std::vector<std::string> head, const std::vector<std::string>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

TEST(RunUpdate, ScreenOfASuccessfulRunLineByLine) {
    FakePlatform platform;
    EXPECT_EQ(run(platform, {"3"}), 0);
    EXPECT_EQ(lines_of(platform.screen),
              joined(kHeadOfEveryRun, {
                                          "",
                                          "Now you will hear a programming sound from the beeper.",
                                          "Please do not abort this process (it may take a minute or so).",
                                          "",
                                          kRuler,
                                          std::string(66, '*'),
                                          "The firmware was successfully updated.",
                                          "",
                                          "Press any key to exit from this program.",
                                      }));
    EXPECT_EQ(platform.devices_opened, std::vector<std::string>{"COM3"});
    EXPECT_EQ(platform.analyzer.wake_up_bytes.size(), 4u);
    EXPECT_TRUE(std::equal(platform.analyzer.image_bytes.begin(), platform.analyzer.image_bytes.end(),
                           test_image().begin(), test_image().end()));
    EXPECT_EQ(platform.key_waits, 1);
    EXPECT_EQ(platform.input_reads_past_end, 0u);  // no prompt, no input read
}

TEST(RunUpdate, FailedTransferLeavesTheStarLineOpenForItsMessage) {
    struct Case {
        FakeAnalyzer::Answer answer;
        std::size_t block;
        const char* message;
        std::size_t stars;
    };
    const Case cases[] = {
        {FakeAnalyzer::Answer::Nothing, 1, "No response, please retry!", 1},
        {FakeAnalyzer::Answer::WrongHigh, 1, "Programming error, please retry!", 1},
        {FakeAnalyzer::Answer::WrongLow, 252, "Programming error, please retry!", 66},
    };
    for (const Case& c : cases) {
        FakePlatform platform;
        platform.analyzer.answers[c.block] = c.answer;
        EXPECT_EQ(run(platform, {"3"}), 0);
        const auto lines = lines_of(platform.screen);
        ASSERT_GE(lines.size(), 5u);
        const std::vector<std::string> tail(lines.end() - 5, lines.end());
        EXPECT_EQ(tail, (std::vector<std::string>{kRuler, std::string(c.stars, '*'), c.message, "",
                                                  "Press any key to exit from this program."}))
            << c.message;
        EXPECT_EQ(platform.closes, 1);
    }
}

TEST(RunUpdate, ClosesThePortBeforeTheLastMessageOnEveryPathThatOpenedIt) {
    for (auto answer : {FakeAnalyzer::Answer::Correct, FakeAnalyzer::Answer::Nothing, FakeAnalyzer::Answer::WrongLow}) {
        FakePlatform platform;
        platform.analyzer.default_answer = answer;
        run(platform, {"5"});
        EXPECT_EQ(platform.closes, 1);
        const std::size_t press_any_key = platform.screen.rfind("\nPress any key");
        EXPECT_EQ(platform.screen_size_at_close, press_any_key);
        EXPECT_EQ(platform.screen_size_at_key_wait, platform.screen.size());
    }
}

TEST(RunUpdate, FailedOpenNamesTheDeviceAndClosesNothing) {
    struct Case {
        const char* argument;
        DeviceNaming naming;
        const char* line;
    };
    const Case cases[] = {
        {"7", DeviceNaming::Windows, "Cannot open COM7!"},
        {"12", DeviceNaming::Windows, "Cannot open \\\\.\\COM12!"},
        {"12", DeviceNaming::Posix, "Cannot open /dev/ttyS11!"},
        {"/dev/ttyUSB0", DeviceNaming::Posix, "Cannot open /dev/ttyUSB0!"},
    };
    for (const Case& c : cases) {
        FakePlatform platform;
        platform.naming = c.naming;
        platform.device_exists = false;
        EXPECT_EQ(run(platform, {c.argument}), 0);
        EXPECT_EQ(lines_of(platform.screen),
                  joined(kHeadOfEveryRun, {"", c.line, "", "Press any key to exit from this program."}));
        EXPECT_EQ(platform.closes, 0);
        EXPECT_EQ(platform.key_waits, 1);
        EXPECT_TRUE(platform.analyzer.wake_up_bytes.empty());
    }
}

TEST(RunUpdate, TemplateValuesArePrintedAsTheyAre) {
    FakePlatform platform;
    platform.naming = DeviceNaming::Posix;
    platform.device_exists = false;
    run(platform, {"/dev/%s%i%n"});
    EXPECT_NE(platform.screen.find("\nCannot open /dev/%s%i%n!\n"), std::string::npos);
}

// The arguments and answers, and the device the run then opens ("" for none).
struct SelectionCase {
    std::vector<const char*> arguments;
    std::string input;
    DeviceNaming naming;
    int prompts;
    std::string device;
};

TEST(ChoosePortNumber, FromTheArgumentOrThePrompt) {
    const auto W = DeviceNaming::Windows;
    const auto P = DeviceNaming::Posix;
    const SelectionCase cases[] = {
        {{"3"}, "", W, 0, "COM3"},
        {{"12"}, "", W, 0, "\\\\.\\COM12"},
        {{"3", "4"}, "", W, 0, "COM3"},
        {{"010"}, "", W, 0, "\\\\.\\COM10"},  // the argument is always decimal
        {{"COM3"}, "4\n", W, 1, "COM4"},
        {{"0"}, "4\n", W, 1, "COM4"},
        {{"-4"}, "4\n", W, 1, "COM4"},
        {{"300"}, "4\n", W, 1, "COM4"},
        {{"4294967299"}, "5\n", W, 1, "COM5"},  // never wraps to 3
        {{}, "010\n", W, 1, "COM8"},
        {{}, "0x1F\n", W, 1, "\\\\.\\COM31"},
        {{}, "7abc\n", W, 1, "COM7"},
        {{}, "  7\n", W, 1, "COM7"},
        {{}, "7 \r\n", W, 1, "COM7"},
        {{}, "abc\n\n256\n-1\n0\n08\n0x\n0x100000001\n9\n", W, 9, "COM9"},
        {{"300"}, "abc\n\n2\n", W, 3, "COM2"},  // no number keeps 300
        {{}, std::string(150, ' ') + "6\n4\n", W, 2, "COM4"},  // the 6 lies beyond the 99th character
        {{}, "/dev/ttyUSB0\n", W, 2, ""},   // no device paths on Windows; then input ends
        {{"/dev/ttyUSB0"}, "", P, 0, "/dev/ttyUSB0"},
        {{}, "abc\n/dev/serial/by-id/usb-KM37 \n", P, 2, "/dev/serial/by-id/usb-KM37 "},
        {{}, " /dev/ttyUSB0\n", P, 2, ""},  // a path begins with "/"
        {{}, "3\n", P, 1, "/dev/ttyS2"},
    };
    for (const SelectionCase& c : cases) {
        FakePlatform platform;
        platform.naming = c.naming;
        platform.input = c.input;
        platform.device_exists = false;
        EXPECT_EQ(run(platform, c.arguments), 0);
        std::size_t prompts = 0;
        for (std::size_t at = platform.screen.find(kPrompt); at != std::string::npos;
             at = platform.screen.find(kPrompt, at + 1)) {
            ++prompts;
        }
        EXPECT_EQ(prompts, static_cast<std::size_t>(c.prompts)) << "input \"" << c.input << "\"";
        EXPECT_EQ(platform.devices_opened,
                  c.device.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.device})
            << "input \"" << c.input << "\"";
        EXPECT_EQ(platform.key_waits, 1);
    }
}

TEST(RunUpdate, EndOfInputAtThePromptEndsTheRunWithoutAPort) {
    for (const std::string input : {"", "abc\n", "0\n\n", "abc\x1A" "5\n"}) {
        FakePlatform platform;
        platform.input = input;
        EXPECT_EQ(run(platform, {}), 0);
        EXPECT_TRUE(platform.devices_opened.empty());
        EXPECT_LE(platform.input_reads_past_end, 1u) << "input \"" << input << "\"";
        EXPECT_TRUE(platform.screen.ends_with(": \nPress any key to exit from this program.\n"));
        EXPECT_EQ(platform.key_waits, 1);
    }
}

TEST(RunUpdate, PromptAndAnswerShareALine) {
    FakePlatform platform;
    platform.input = "x\n";
    platform.device_exists = false;
    run(platform, {});
    const auto lines = lines_of(platform.screen);
    ASSERT_GT(lines.size(), kHeadOfEveryRun.size() + 1);
    EXPECT_EQ(lines[kHeadOfEveryRun.size()], "");
    EXPECT_EQ(lines[kHeadOfEveryRun.size() + 1],
              "Enter the COM port number (or full pathname if this program is running under Linux or Mac OS): ");
}

TEST(RunUpdate, BannerOfEachVariantAndLanguage) {
    struct Case {
        const char* model;
        Language language;
        const char* first_line;
    };
    const Case cases[] = {
        {"KM-37", Language::English, "Firmware Update for KM-37, version 103 (Jul  5 2011)"},
        {"KM-37(rev.B)", Language::English, "Firmware Update for KM-37(rev.B), version 103 (Jul  5 2011)"},
        {"KM-37", Language::Japanese, "Firmware Update for KM-37, version 103 (Jul  5 2011)"},
        {"KM-37", Language::Russian, "Обновление программы KM-37 - версия 103 (Jul  5 2011)"},
    };
    for (const Case& c : cases) {
        FakePlatform platform;
        platform.language = c.language;
        platform.device_exists = false;
        const ModelVariant variant{c.model, 103, "Jul  5 2011", FirmwareImage(test_image())};
        run(platform, {"2"}, variant);
        const auto lines = lines_of(platform.screen);
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[1], c.first_line);
    }
}

}  // namespace
}  // namespace km37
