// The real programs against the simulated analyzer on a pseudo-terminal.

#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <clocale>
#include <cstdlib>
#include <locale.h>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "support/process.h"
#include "support/simulator.h"

namespace km37::testing {
namespace {

struct Program {
    const char* path;
    const char* model;
    const char* image;
};

const Program kKm37{FWUPDATE_KM37, "KM-37", KM37_IMAGE};
const Program kKm37b{FWUPDATE_KM37B, "KM-37(rev.B)", KM37B_IMAGE};

struct ProgramRun {
    Ending ending;
    std::string output;
};

ProgramRun run_program(const Program& program, std::vector<std::string> arguments, std::string input = "",
                std::vector<std::string> environment = {"LANG=C"}) {
    std::vector<std::string> argv{program.path};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    Process process({argv, environment, input, false});
    ProgramRun run;
    run.ending = process.finish(60s);
    run.output = process.output();
    return run;
}

// Built in the same build as the programs, so the same compiler date.
const std::string kBuildDate = __DATE__;

std::string banner(const char* model) {
    return "\nFirmware Update for " + std::string(model) + ", version 103 (" + kBuildDate +
           ")\nThis program writes new firmware into the analyzer.\n\n";
}

const std::string kInstructions =
    "1) Connect the analyzer to the PC\n\n2) Windows: open the \"Show serial ports\" program to see the "
    "analyzer's COM port number\n\n3) Turn off the analyzer.\n\n4) Holding the F key, turn on the analyzer.\n\n"
    "5) Turn on the analyzer.\n\n6) The LCD will be blank.\n";
const std::string kPrompt =
    "\nEnter the COM port number (or full pathname if this program is running under Linux or Mac OS): ";
const std::string kTransferStart =
    "\nNow you will hear a programming sound from the beeper.\n"
    "Please do not abort this process (it may take a minute or so).\n\n" +
    std::string(65, '*') + "\n";
const std::string kPressAnyKey = "\nPress any key to exit from this program.\n";

std::string success_screen(const char* model) {
    return banner(model) + kInstructions + kTransferStart + std::string(66, '*') +
           "\nThe firmware was successfully updated.\n" + kPressAnyKey;
}

TEST(Programs, EachUploadsItsOwnImageByteForByte) {
    for (const Program& program : {kKm37, kKm37b}) {
        TemporaryFolder folder;
        const std::string saved = folder.path("received.bin");
        Simulator analyzer({"--save", saved});
        const ProgramRun run = run_program(program, {analyzer.device()});
        const Received received = analyzer.finish();

        EXPECT_TRUE(exited_with_zero(run.ending)) << program.path;
        EXPECT_EQ(run.output, success_screen(program.model));
        ASSERT_TRUE(received.valid);
        EXPECT_EQ(received.wake_up_bytes, 4u);
        EXPECT_EQ(received.image_bytes, 64512u);
        EXPECT_EQ(received.acknowledgements, 252u);
        EXPECT_EQ(received.extra_bytes, 0u);
        const std::string image = read_file(program.image);
        EXPECT_EQ(image.size(), 64512u);
        EXPECT_TRUE(read_file(saved) == image) << program.path << " sent another image";
    }
    EXPECT_NE(read_file(kKm37.image), read_file(kKm37b.image));
}

// The locales the language cases need; the test command makes them.
bool locales_available(std::initializer_list<const char*> names) {
    for (const char* name : names) {
        const locale_t locale = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(nullptr));
        if (locale == static_cast<locale_t>(nullptr)) return false;
        freelocale(locale);
    }
    return true;
}

// The text as a terminal that shows ASCII alone receives it: every other
// character one space.
std::string ascii_only(const std::string& utf8) {
    std::string shown;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x80) {
            shown += static_cast<char>(byte);
        } else if (byte >= 0xC0) {
            shown += ' ';
        }
    }
    return shown;
}

struct LanguageCase {
    std::vector<std::string> environment;
    std::vector<std::string> expected_parts;  // in the order they appear
};

TEST(Programs, SpeakTheUsersLanguageInTheLocalesCharacterSet) {
    if (!locales_available({"ru_RU.UTF-8", "ru_RU.KOI8-R", "ja_JP.UTF-8", "de_DE.UTF-8"})) {
        if (std::getenv("CI") != nullptr) FAIL() << "the test command must make the locales";
        GTEST_SKIP() << "locales ru_RU.UTF-8, ru_RU.KOI8-R, ja_JP.UTF-8, de_DE.UTF-8 not made (locale-gen)";
    }
    const std::string russian_banner = "\nОбновление программы KM-37 - версия 103 (" + kBuildDate + ")\n";
    const std::string russian_cannot_open = "\nНевозможно открыть порт /nonexistent/port!\n";
    const std::string russian_press_any_key = "\nНажмите любую клавишу для выхода из этой программы.\n";
    const LanguageCase cases[] = {
        {{"LANG=ru_RU.UTF-8"}, {russian_banner, "1) Подключите анализатор к компьютеру\n", russian_cannot_open,
                                russian_press_any_key}},
        {{"LANG=ru_RU.KOI8-R"},
         {"\n\xef\xc2\xce\xcf\xd7\xcc\xc5\xce\xc9\xc5 \xd0\xd2\xcf\xc7\xd2\xc1\xcd\xcd\xd9 KM-37 - "
          "\xd7\xc5\xd2\xd3\xc9\xd1 103 (" + kBuildDate + ")\n",
          "\n\xee\xc5\xd7\xcf\xda\xcd\xcf\xd6\xce\xcf \xcf\xd4\xcb\xd2\xd9\xd4\xd8 \xd0\xcf\xd2\xd4 "
          "/nonexistent/port!\n",
          "\n\xee\xc1\xd6\xcd\xc9\xd4\xc5 \xcc\xc0\xc2\xd5\xc0 \xcb\xcc\xc1\xd7\xc9\xdb\xd5 \xc4\xcc\xd1 "
          "\xd7\xd9\xc8\xcf\xc4\xc1 \xc9\xda \xdc\xd4\xcf\xca \xd0\xd2\xcf\xc7\xd2\xc1\xcd\xcd\xd9.\n"}},
        {{"LC_MESSAGES=ru_RU.UTF-8", "LANG=C"},
         {ascii_only(russian_banner), ascii_only(russian_cannot_open), ascii_only(russian_press_any_key)}},
        {{"LANG=ja_JP.UTF-8"},
         {banner("KM-37"), "1) アナライザー（電源OFF)とPCをUSBケーブルで接続する。\n",
          "\n/nonexistent/portポートが開けません!\n", "\n終了するにはどれかキーを押してください。\n"}},
        {{"LC_ALL=ja_JP.UTF-8", "LANG=ru_RU.UTF-8"}, {banner("KM-37"), "ポートが開けません!\n", "\n終了するにはどれかキーを押してください。\n"}},
        {{"LANG=de_DE.UTF-8"},
         {banner("KM-37") + kInstructions + "\nCannot open /nonexistent/port!\n" + kPressAnyKey}},
    };
    for (const LanguageCase& c : cases) {
        const ProgramRun run = run_program(kKm37, {"/nonexistent/port"}, "", c.environment);
        EXPECT_TRUE(exited_with_zero(run.ending));
        EXPECT_TRUE(run.output.starts_with(c.expected_parts.front())) << c.environment[0] << "\n" << run.output;
        EXPECT_TRUE(run.output.ends_with(c.expected_parts.back())) << c.environment[0] << "\n" << run.output;
        std::size_t at = 0;
        for (const std::string& part : c.expected_parts) {
            at = run.output.find(part, at);
            EXPECT_NE(at, std::string::npos) << c.environment[0] << ": missing " << part;
        }
        EXPECT_EQ(run.output.find('?'), std::string::npos) << c.environment[0];
    }

    // The Japanese prompt, as the program asks for a port.
    const ProgramRun prompt = run_program(kKm37, {}, "", {"LANG=ja_JP.UTF-8"});
    EXPECT_TRUE(prompt.output.starts_with(banner("KM-37")));
    EXPECT_TRUE(prompt.output.ends_with("\nCOM ポート番号を入力（半角）: \n終了するにはどれかキーを押してください。\n"))
        << prompt.output;
}

TEST(Programs, BuildDateFollowsSourceDateEpoch) {
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    if (epoch == nullptr || std::string(epoch) != "1309824000") {
        GTEST_SKIP() << "built without SOURCE_DATE_EPOCH=1309824000";
    }
    EXPECT_EQ(kBuildDate, "Jul  5 2011");
    const ProgramRun run = run_program(kKm37, {"/nonexistent/device"});
    EXPECT_TRUE(run.output.starts_with("\nFirmware Update for KM-37, version 103 (Jul  5 2011)\n"));
}

struct FailureCase {
    std::vector<std::string> misbehaviour;
    std::string message;
    std::size_t image_bytes;
    std::size_t stars;
};

TEST(Programs, ReportEachFailureOfTheAnalyzer) {
    const FailureCase cases[] = {
        {{"--silent"}, "\nNo response, please retry!\n", 256, 1},
        {{"--hang-up", "5"}, "\nNo response, please retry!\n", 1280, 2},
        {{"--wrong-low", "1"}, "\nProgramming error, please retry!\n", 256, 1},
        {{"--wrong-high", "3"}, "\nProgramming error, please retry!\n", 768, 1},
        {{"--short-reply", "2"}, "\nProgramming error, please retry!\n", 512, 1},
        {{"--wrong-low", "252"}, "\nProgramming error, please retry!\n", 64512, 66},
    };
    for (const FailureCase& c : cases) {
        Simulator analyzer(c.misbehaviour);
        const ProgramRun run = run_program(kKm37, {analyzer.device()});
        const Received received = analyzer.finish();

        EXPECT_TRUE(exited_with_zero(run.ending)) << c.misbehaviour[0];
        EXPECT_EQ(run.output, banner("KM-37") + kInstructions + kTransferStart + std::string(c.stars, '*') +
                                  c.message + kPressAnyKey)
            << c.misbehaviour[0];
        ASSERT_TRUE(received.valid) << c.misbehaviour[0];
        EXPECT_EQ(received.wake_up_bytes, 4u);
        // Nothing is sent after the failing block.
        EXPECT_EQ(received.image_bytes, c.image_bytes) << c.misbehaviour[0];
        EXPECT_EQ(received.extra_bytes, 0u);
    }
}

TEST(Programs, PromptTakesAnswersFromStandardInput) {
    Simulator analyzer;
    Process updater({{kKm37b.path}, {"LANG=C"}, "", true});
    // The prompt must reach a reader of the pipe before the program waits for
    // the answer.
    ASSERT_TRUE(updater.read_until(kPrompt)) << updater.output();
    updater.write_input("abc\n0\n08\n");
    updater.write_input(analyzer.device() + "\n");
    updater.close_input();
    const Ending ending = updater.finish(60s);
    const Received received = analyzer.finish();

    EXPECT_TRUE(exited_with_zero(ending));
    EXPECT_EQ(updater.output(), banner("KM-37(rev.B)") + kInstructions + kPrompt + kPrompt + kPrompt + kPrompt +
                                    kTransferStart + std::string(66, '*') +
                                    "\nThe firmware was successfully updated.\n" + kPressAnyKey);
    EXPECT_EQ(received.image_bytes, 64512u);
    EXPECT_EQ(received.acknowledgements, 252u);
}

TEST(Programs, EndOfInputAtThePromptOpensNoPort) {
    struct Case {
        std::string input;
        std::size_t prompts;
    };
    const Case cases[] = {{"", 1}, {"abc\n0\n", 3}, {"0x", 2}};
    for (const Case& c : cases) {
        const ProgramRun run = run_program(kKm37, {}, c.input);
        EXPECT_TRUE(exited_with_zero(run.ending));
        std::string expected = banner("KM-37") + kInstructions;
        for (std::size_t i = 0; i < c.prompts; ++i) expected += kPrompt;
        EXPECT_EQ(run.output, expected + kPressAnyKey) << "input \"" << c.input << "\"";
    }
}

TEST(Programs, RefuseWhatIsNotASerialPortAndLeaveItUnchanged) {
    TemporaryFolder folder;
    const std::string file = folder.path("firmware-notes.txt");
    const std::string content = "not a serial port\n";
    {
        FILE* f = std::fopen(file.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(content.data(), 1, content.size(), f);
        std::fclose(f);
    }
    struct stat before {};
    ASSERT_EQ(stat(file.c_str(), &before), 0);

    for (const std::string& device : {file, folder.path(), std::string("/dev/null"), folder.path("missing")}) {
        const ProgramRun run = run_program(kKm37, {device});
        EXPECT_TRUE(exited_with_zero(run.ending));
        EXPECT_EQ(run.output, banner("KM-37") + kInstructions + "\nCannot open " + device + "!\n" + kPressAnyKey);
    }
    struct stat after {};
    ASSERT_EQ(stat(file.c_str(), &after), 0);
    EXPECT_EQ(read_file(file), content);
    EXPECT_EQ(after.st_size, before.st_size);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}

TEST(Programs, RefuseAPortThatARunningUpdaterHolds) {
    Simulator analyzer({"--silent"});
    Process first({{kKm37.path, analyzer.device()}, {"LANG=C"}, "", false});
    ASSERT_TRUE(analyzer.wait_for_wake_up());

    const ProgramRun second = run_program(kKm37b, {analyzer.device()});
    EXPECT_TRUE(exited_with_zero(second.ending));
    EXPECT_TRUE(second.output.ends_with("\nCannot open " + analyzer.device() + "!\n" + kPressAnyKey))
        << second.output;

    EXPECT_TRUE(exited_with_zero(first.finish(60s)));
    EXPECT_TRUE(first.output().ends_with("*\nNo response, please retry!\n" + kPressAnyKey));
    const Received received = analyzer.finish();
    EXPECT_EQ(received.wake_up_bytes, 4u);  // the second updater wrote nothing
    EXPECT_EQ(received.image_bytes, 256u);
}

}  // namespace
}  // namespace km37::testing
