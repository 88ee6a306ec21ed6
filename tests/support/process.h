#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace km37::testing {

using namespace std::chrono_literals;

// How a child process ended.
struct Ending {
    bool exited = false;   // normally, with `status`
    int status = -1;
    int signal = 0;        // the signal that ended it, if not exited
    bool timed_out = false;
};

// Ended by itself, in time, with exit status 0.
inline bool exited_with_zero(const Ending& ending) {
    return ending.exited && ending.status == 0 && !ending.timed_out;
}

// A child process with its standard output (standard error too) read through a
// pipe, in a session of its own without a controlling terminal. A Process that
// goes out of scope kills and reaps its child, so no test leaves one behind.
class Process {
public:
    struct Options {
        std::vector<std::string> argv;
        std::vector<std::string> environment{"LANG=C"};
        std::string input;            // written to standard input
        bool keep_input_open = false; // otherwise standard input ends after `input`
        bool discard_output = false;  // for daemons that would hold the pipe open
    };

    explicit Process(const Options& options);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    pid_t pid() const { return pid_; }

    void write_input(const std::string& text);
    void close_input();

    // Reads output until it contains `text` (true) or the output ends or the
    // limit passes (false). All output read so far is in output().
    bool read_until(const std::string& text, std::chrono::milliseconds limit = 10s);
    // Reads one line (without its line feed); nullopt at the end or the limit.
    std::optional<std::string> read_line(std::chrono::milliseconds limit = 10s);

    // Reads the rest of the output and reaps the child; kills it at the limit.
    Ending finish(std::chrono::milliseconds limit = 30s);

    const std::string& output() const { return output_; }

private:
    bool read_more(std::chrono::steady_clock::time_point deadline);

    pid_t pid_ = -1;
    int output_fd_ = -1;
    int input_fd_ = -1;
    std::string output_;
    std::size_t line_start_ = 0;
    bool reaped_ = false;
};

// A child whose controlling terminal is a pseudo-terminal that the test plays:
// it types on the master side and reads what the child shows there.
class TerminalProcess {
public:
    TerminalProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {"LANG=C"});
    ~TerminalProcess();
    TerminalProcess(const TerminalProcess&) = delete;
    TerminalProcess& operator=(const TerminalProcess&) = delete;

    pid_t pid() const { return pid_; }
    const std::string& terminal_path() const { return terminal_path_; }

    void type(const std::string& keys);
    bool read_until(const std::string& text, std::chrono::milliseconds limit = 10s);
    Ending finish(std::chrono::milliseconds limit = 30s);
    const std::string& screen() const { return screen_; }

private:
    pid_t pid_ = -1;
    int master_ = -1;
    std::string terminal_path_;
    std::string screen_;
    bool reaped_ = false;
};

// A temporary folder, removed with what it holds.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    std::string path(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::string read_file(const std::string& path);

}  // namespace km37::testing
