// The Windows programs, cross-built with mingw-w64, run under wine against the
// simulated analyzer: wine's COM3 is a link to the analyzer's pseudo-terminal.

#include <gtest/gtest.h>
#include <iconv.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "catalogue/catalogue.h"
#include "support/process.h"
#include "support/simulator.h"

namespace km37::testing {
namespace {

namespace fs = std::filesystem;

// One wine prefix for the whole run, with its server kept up so that each
// program starts in a moment and leaves no process holding our pipes.
class WinePrefix final : public ::testing::Environment {
public:
    void SetUp() override {
        if (!fs::exists(KM37_WINE) || !fs::exists(KM37_WINESERVER)) {
            problem_ = "wine is not installed (scripts/setup.sh installs it as root)";
            return;
        }
        folder_ = std::make_unique<TemporaryFolder>();
        prefix_ = folder_->path("prefix");
        run_quietly({KM37_WINESERVER, "-p"});
        const Ending boot = run_quietly({KM37_WINE, "wineboot", "-i"});
        if (!boot.exited || boot.status != 0 || !fs::exists(prefix_ + "/dosdevices")) {
            problem_ = "wineboot failed";
            return;
        }
        // COM1 is a real UART on these machines: unmapped. The ports the tests
        // name but do not use lead nowhere, so that wine never falls back to a
        // serial device of the system.
        std::error_code ignored;
        fs::remove(port_link(1), ignored);
        for (int port : {7, 8, 12, 31}) {
            fs::remove(port_link(port), ignored);
            fs::create_symlink(folder_->path("no-such-port"), port_link(port));
        }
        ready_ = true;
    }

    void TearDown() override {
        if (folder_ != nullptr) run_quietly({KM37_WINESERVER, "-k"});
        folder_.reset();
    }

    bool ready() const { return ready_; }
    const std::string& problem() const { return problem_; }

    std::string port_link(int port) const { return prefix_ + "/dosdevices/com" + std::to_string(port); }

    void connect_com3(const std::string& device) const {
        std::error_code ignored;
        fs::remove(port_link(3), ignored);
        fs::create_symlink(device, port_link(3));
    }

    std::vector<std::string> environment(const std::string& lang) const {
        return {"WINEPREFIX=" + prefix_, "WINEDLLOVERRIDES=mscoree,mshtml=", "WINEDEBUG=-all",
                "HOME=" + folder_->path(), "PATH=/usr/bin:/bin", "LANG=" + lang};
    }

private:
    Ending run_quietly(const std::vector<std::string>& argv) const {
        Process::Options options{argv, environment("C"), "", false, true};
        Process process(options);
        return process.finish(300s);
    }

    std::unique_ptr<TemporaryFolder> folder_;
    std::string prefix_;
    std::string problem_;
    bool ready_ = false;
};

WinePrefix* const wine = static_cast<WinePrefix*>(::testing::AddGlobalTestEnvironment(new WinePrefix));

#define REQUIRE_WINE()                                                           \
    do {                                                                         \
        if (!wine->ready()) {                                                    \
            if (std::getenv("CI") != nullptr) FAIL() << wine->problem();         \
            GTEST_SKIP() << "Windows programs not tried: " << wine->problem();   \
        }                                                                        \
    } while (false)

struct Exe {
    std::string path;
    const char* model;
    const char* image;
};

const Exe kKm37{KM37_WINDOWS_PROGRAMS "/fwupdate_km37.exe", "KM-37", KM37_IMAGE};
const Exe kKm37b{KM37_WINDOWS_PROGRAMS "/fwupdate_km37b.exe", "KM-37(rev.B)", KM37B_IMAGE};

struct WindowsRun {
    Ending ending;
    std::string output;
};

WindowsRun run_exe(const Exe& exe, std::vector<std::string> arguments, const std::string& input = "",
                   const std::string& lang = "C") {
    std::vector<std::string> argv{KM37_WINE, exe.path};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    Process process({argv, wine->environment(lang), input, false});
    WindowsRun run;
    run.ending = process.finish(120s);
    run.output = process.output();
    return run;
}

// A console program's text as it reaches a file: every line feed as CR LF.
std::string crlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

std::string encode(const std::string& utf8, const char* code_page) {
    iconv_t cd = iconv_open(code_page, "UTF-8");
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << code_page;
    std::string out(utf8.size() * 2 + 16, '\0');
    char* in = const_cast<char*>(utf8.data());
    std::size_t in_left = utf8.size();
    char* out_next = out.data();
    std::size_t out_left = out.size();
    EXPECT_NE(iconv(cd, &in, &in_left, &out_next, &out_left), static_cast<std::size_t>(-1)) << code_page;
    iconv_close(cd);
    out.resize(out.size() - out_left);
    return out;
}

const std::string kBuildDate = __DATE__;

// The screen of a run whose port fails to open, from the catalogue's texts.
std::string cannot_open_screen(Language language, const char* model, const std::string& device) {
    std::string banner(message_text(language, MessageId::MSG_BANNER));
    banner.replace(banner.find("%s"), 2, model);
    banner.replace(banner.find("%i"), 2, "103");
    banner.replace(banner.find("%s"), 2, kBuildDate);
    std::string cannot_open(message_text(language, MessageId::MSG_CANNOT_OPEN));
    cannot_open.replace(cannot_open.find("%s"), 2, device);
    return "\n" + banner + std::string(message_text(language, MessageId::MSG_INSTRUCTIONS)) + cannot_open +
           std::string(message_text(language, MessageId::MSG_PRESS_ANY_KEY));
}

const std::string kPressAnyKey = "\r\nPress any key to exit from this program.\r\n";

TEST(WindowsPrograms, EachUploadsItsOwnImageThroughCom3) {
    REQUIRE_WINE();
    for (const Exe& exe : {kKm37, kKm37b}) {
        TemporaryFolder folder;
        Simulator analyzer({"--save", folder.path("received.bin")});
        wine->connect_com3(analyzer.device());
        const WindowsRun run = run_exe(exe, {"3"});
        const Received received = analyzer.finish();

        EXPECT_TRUE(exited_with_zero(run.ending)) << exe.path;
        std::string screen = cannot_open_screen(Language::English, exe.model, "");
        screen = screen.substr(0, screen.find("\nCannot open"));
        screen += "\nNow you will hear a programming sound from the beeper.\n"
                  "Please do not abort this process (it may take a minute or so).\n\n" +
                  std::string(65, '*') + "\n" + std::string(66, '*') +
                  "\nThe firmware was successfully updated.\n\nPress any key to exit from this program.\n";
        EXPECT_EQ(run.output, crlf(screen));
        EXPECT_TRUE(run.output.starts_with("\r\nFirmware Update for " + std::string(exe.model) + ", version 103 (" +
                                           kBuildDate + ")\r\n"));
        ASSERT_TRUE(received.valid);
        EXPECT_EQ(received.wake_up_bytes, 4u);
        EXPECT_EQ(received.image_bytes, 64512u);
        EXPECT_EQ(received.acknowledgements, 252u);
        EXPECT_EQ(received.extra_bytes, 0u);
        EXPECT_TRUE(read_file(folder.path("received.bin")) == read_file(exe.image)) << exe.path;
    }
}

TEST(WindowsPrograms, NameComPortsTheWindowsWay) {
    REQUIRE_WINE();
    const WindowsRun twelve = run_exe(kKm37, {"12"});
    EXPECT_TRUE(exited_with_zero(twelve.ending));
    EXPECT_EQ(twelve.output, crlf(cannot_open_screen(Language::English, "KM-37", "\\\\.\\COM12")));

    const std::string prompt =
        "\r\nEnter the COM port number (or full pathname if this program is running under Linux or Mac OS): ";
    struct Answer {
        const char* input;
        const char* device;
    };
    for (const Answer& answer : {Answer{"010\r\n", "COM8"}, Answer{"0x1F\n", "\\\\.\\COM31"},
                                 Answer{"abc\n08\n7\n", "COM7"}}) {
        const WindowsRun run = run_exe(kKm37, {}, answer.input);
        EXPECT_TRUE(exited_with_zero(run.ending));
        EXPECT_TRUE(run.output.ends_with(": \r\nCannot open " + std::string(answer.device) + "!\r\n" + kPressAnyKey))
            << answer.input << ":\n" << run.output;
        EXPECT_NE(run.output.find(prompt), std::string::npos);
    }

    // Ctrl+Z ends standard input: what follows it is never read as an answer.
    const WindowsRun ended = run_exe(kKm37, {}, "abc\r\n\x1a" "7\r\n");
    EXPECT_TRUE(exited_with_zero(ended.ending));
    EXPECT_TRUE(ended.output.ends_with(prompt + prompt + kPressAnyKey)) << ended.output;
}

TEST(WindowsPrograms, ReportAnAnalyzerThatFails) {
    REQUIRE_WINE();
    struct Case {
        std::vector<std::string> misbehaviour;
        std::string ending;
        std::size_t image_bytes;
    };
    const Case cases[] = {
        {{"--silent"}, "\r\n*\r\nNo response, please retry!\r\n", 256},
        {{"--wrong-high", "2"}, "\r\n*\r\nProgramming error, please retry!\r\n", 512},
        {{"--short-reply", "1"}, "\r\n*\r\nProgramming error, please retry!\r\n", 256},
    };
    for (const Case& c : cases) {
        Simulator analyzer(c.misbehaviour);
        wine->connect_com3(analyzer.device());
        const WindowsRun run = run_exe(kKm37b, {"3"});
        const Received received = analyzer.finish();
        EXPECT_TRUE(exited_with_zero(run.ending));
        EXPECT_TRUE(run.output.ends_with(std::string(65, '*') + c.ending + kPressAnyKey))
            << c.misbehaviour[0] << ":\n" << run.output;
        EXPECT_EQ(received.image_bytes, c.image_bytes) << c.misbehaviour[0];
    }
}

TEST(WindowsPrograms, SpeakTheUsersLanguageInTheConsolesCodePage) {
    REQUIRE_WINE();
    struct Case {
        const char* lang;
        Language language;
        const char* code_page;
        std::string first_line;  // as the console receives it
    };
    const Case cases[] = {
        // "Обновление программы KM-37 - версия 103 (" in code page 866.
        {"ru_RU.UTF-8", Language::Russian, "CP866",
         "\r\n\x8e\xa1\xad\xae\xa2\xab\xa5\xad\xa8\xa5 \xaf\xe0\xae\xa3\xe0\xa0\xac\xac\xeb KM-37 - "
         "\xa2\xa5\xe0\xe1\xa8\xef 103 ("},
        {"ja_JP.UTF-8", Language::Japanese, "CP932", "\r\nFirmware Update for KM-37, version 103 ("},
        {"de_DE.UTF-8", Language::English, "CP850", "\r\nFirmware Update for KM-37, version 103 ("},
    };
    for (const Case& c : cases) {
        const WindowsRun run = run_exe(kKm37, {"7"}, "", c.lang);
        EXPECT_TRUE(exited_with_zero(run.ending)) << c.lang;
        EXPECT_TRUE(run.output.starts_with(c.first_line)) << c.lang;
        EXPECT_EQ(run.output, crlf(encode(cannot_open_screen(c.language, "KM-37", "COM7"), c.code_page))) << c.lang;
    }
    // The Japanese prompt in code page 932: "COM ポート番号を入力（半角）: ".
    const WindowsRun prompt = run_exe(kKm37, {}, "", "ja_JP.UTF-8");
    EXPECT_NE(prompt.output.find("\r\nCOM \x83\x7c\x81\x5b\x83\x67\x94\xd4\x8d\x86\x82\xf0\x93\xfc\x97\xcd"
                                 "\x81\x69\x94\xbc\x8a\x70\x81\x6a: "),
              std::string::npos);
}

TEST(WindowsPrograms, WaitForAKeyPressOnTheConsole) {
    REQUIRE_WINE();
    // On a terminal, wine gives the program a console; standard input stays
    // the terminal too, but the wait reads the console's own input.
    TerminalProcess program({KM37_WINE, kKm37.path, "7"}, wine->environment("C"));
    ASSERT_TRUE(program.read_until("Press any key to exit from this program.", 60s)) << program.screen();
    std::this_thread::sleep_for(500ms);
    int status = 0;
    EXPECT_EQ(waitpid(program.pid(), &status, WNOHANG), 0) << "the wait ended without a key";
    program.type("\x03");
    const Ending ending = program.finish(30s);
    EXPECT_TRUE(exited_with_zero(ending)) << "signal " << ending.signal;
}

TEST(WindowsPrograms, ImportOnlyWindowsOwnLibraries) {
    if (!fs::exists(KM37_MINGW_OBJDUMP)) GTEST_SKIP() << "no mingw-w64 objdump";
    const std::set<std::string> windows_own{"KERNEL32.dll", "USER32.dll", "msvcrt.dll", "ADVAPI32.dll",
                                            "ntdll.dll"};
    for (const Exe& exe : {kKm37, kKm37b}) {
        Process objdump({{KM37_MINGW_OBJDUMP, "-p", exe.path}, {"LANG=C"}, "", false});
        ASSERT_TRUE(exited_with_zero(objdump.finish()));
        std::istringstream lines(objdump.output());
        std::string line;
        std::size_t imports = 0;
        while (std::getline(lines, line)) {
            const std::size_t at = line.find("DLL Name: ");
            if (at == std::string::npos) continue;
            const std::string dll = line.substr(at + 10);
            EXPECT_TRUE(windows_own.contains(dll)) << exe.path << " imports " << dll;
            ++imports;
        }
        EXPECT_GE(imports, 2u) << exe.path;
    }
}

}  // namespace
}  // namespace km37::testing
