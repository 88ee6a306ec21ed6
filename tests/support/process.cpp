#include "support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#if defined(__APPLE__)
#include <util.h>
#else
#include <pty.h>
#endif

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

namespace km37::testing {
namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void exec_or_die(const std::vector<std::string>& argv, const std::vector<std::string>& environment) {
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<char*> env;
    for (const auto& value : environment) env.push_back(const_cast<char*>(value.c_str()));
    env.push_back(nullptr);
    execve(args[0], args.data(), env.data());
    _exit(127);
}

// Reads what is there within the deadline; false at the end of output or the deadline.
bool read_available(int fd, std::string& into, Clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd watch{fd, POLLIN, 0};
        const int ready = poll(&watch, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        char buffer[4096];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        into.append(buffer, static_cast<std::size_t>(got));
        return true;
    }
}

Ending reap(pid_t pid, Clock::time_point deadline) {
    Ending ending;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) return ending;
        if (Clock::now() >= deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            ending.timed_out = true;
            break;
        }
        std::this_thread::sleep_for(5ms);
    }
    ending.exited = WIFEXITED(status);
    ending.status = ending.exited ? WEXITSTATUS(status) : -1;
    ending.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return ending;
}

void kill_and_reap(pid_t pid) {
    kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

Process::Process(const Options& options) {
    int output_pipe[2];
    int input_pipe[2];
    if (pipe2(output_pipe, O_CLOEXEC) != 0 || pipe2(input_pipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe");
    }
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork");
    if (pid_ == 0) {
        setsid();  // no controlling terminal: the key wait ends at once
        dup2(input_pipe[0], STDIN_FILENO);
        const int output = options.discard_output ? ::open("/dev/null", O_WRONLY) : output_pipe[1];
        dup2(output, STDOUT_FILENO);
        dup2(output, STDERR_FILENO);
        exec_or_die(options.argv, options.environment);
    }
    ::close(output_pipe[1]);
    ::close(input_pipe[0]);
    output_fd_ = output_pipe[0];
    input_fd_ = input_pipe[1];
    signal(SIGPIPE, SIG_IGN);
    write_input(options.input);
    if (!options.keep_input_open) close_input();
}

Process::~Process() {
    close_input();
    if (!reaped_) kill_and_reap(pid_);
    if (output_fd_ >= 0) ::close(output_fd_);
}

void Process::write_input(const std::string& text) {
    std::size_t written = 0;
    while (input_fd_ >= 0 && written < text.size()) {
        const ssize_t n = ::write(input_fd_, text.data() + written, text.size() - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EINTR) {
            break;
        }
    }
}

void Process::close_input() {
    if (input_fd_ >= 0) ::close(input_fd_);
    input_fd_ = -1;
}

bool Process::read_more(Clock::time_point deadline) { return read_available(output_fd_, output_, deadline); }

bool Process::read_until(const std::string& text, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (output_.find(text) == std::string::npos) {
        if (!read_more(deadline)) return false;
    }
    return true;
}

std::optional<std::string> Process::read_line(std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
        const std::size_t end = output_.find('\n', line_start_);
        if (end != std::string::npos) {
            std::string line = output_.substr(line_start_, end - line_start_);
            line_start_ = end + 1;
            return line;
        }
        if (!read_more(deadline)) return std::nullopt;
    }
}

Ending Process::finish(std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (read_more(deadline)) {
    }
    Ending ending = reap(pid_, deadline);
    reaped_ = true;
    return ending;
}

TerminalProcess::TerminalProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment) {
    winsize size{24, 80, 0, 0};
    pid_ = forkpty(&master_, nullptr, nullptr, &size);
    if (pid_ < 0) throw std::runtime_error("forkpty");
    if (pid_ == 0) exec_or_die(argv, environment);
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    terminal_path_ = ptsname(master_);
}

TerminalProcess::~TerminalProcess() {
    if (!reaped_) kill_and_reap(pid_);
    if (master_ >= 0) ::close(master_);
}

void TerminalProcess::type(const std::string& keys) {
    if (::write(master_, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size())) {
        throw std::runtime_error("typing on the terminal");
    }
}

bool TerminalProcess::read_until(const std::string& text, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (screen_.find(text) == std::string::npos) {
        if (!read_available(master_, screen_, deadline)) return false;
    }
    return true;
}

Ending TerminalProcess::finish(std::chrono::milliseconds limit) {
    Ending ending = reap(pid_, Clock::now() + limit);
    reaped_ = true;
    // What the child showed last; its end hangs up the terminal.
    while (read_available(master_, screen_, Clock::now() + 100ms)) {
    }
    return ending;
}

TemporaryFolder::TemporaryFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "km37-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp");
    path_ = pattern;
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

}  // namespace km37::testing
