// The KM-37 analyzer in its programming mode, on a pseudo-terminal, for trying
// the updater without the device.
//
// It prints the path of its device on the first line of standard output, waits
// for the wake-up command "\n\nWR", then takes the image in 256-byte blocks and
// answers each with the low 16 bits of the running sum of all image bytes so
// far, low byte first. When the updater lets go of the device it prints a
// summary line and ends:
//   summary: wake-up bytes W, image bytes I, acknowledgements A, extra bytes E
//
// Options (at most one misbehaviour at a time):
//   --silent            never acknowledge
//   --wrong-low K       acknowledge block K with a wrong low byte
//   --wrong-high K      acknowledge block K with a wrong high byte
//   --short-reply K     acknowledge block K with its low byte only
//   --hang-up K         hang up instead of acknowledging block K
//   --pace              take and send bytes no faster than 38,400 baud 8N1
//   --save FILE         write the image bytes received to FILE
//   --idle-limit S      end after S seconds without any byte (default 120)

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kImageSize = 64512;
constexpr std::size_t kBlockSize = 256;
constexpr std::array<std::uint8_t, 4> kWakeUp{0x0A, 0x0A, 0x57, 0x52};
// 10 bits a byte (start, 8 data, stop) at 38,400 baud.
constexpr auto kByteTime = std::chrono::nanoseconds(1'000'000'000LL * 10 / 38400);

enum class Fault { None, Silent, WrongLow, WrongHigh, ShortReply, HangUp };

struct Options {
    Fault fault = Fault::None;
    std::size_t fault_block = 0;
    bool pace = false;
    std::string save_path;
    int idle_limit_seconds = 120;
};

[[noreturn]] void usage(const char* problem) {
    std::fprintf(stderr, "simulated_analyzer: %s\n", problem);
    std::fprintf(stderr,
                 "usage: simulated_analyzer [--silent | --wrong-low K | --wrong-high K | --short-reply K |"
                 " --hang-up K] [--pace] [--save FILE] [--idle-limit S]\n");
    std::exit(2);
}

// A whole decimal number from `low` to `high`, or the usage message.
long whole_number(const char* text, long low, long high, const char* problem) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || value < low || value > high) usage(problem);
    return value;
}

std::size_t block_number(const char* text) {
    return static_cast<std::size_t>(
        whole_number(text, 1, static_cast<long>(kImageSize / kBlockSize), "a block number is 1 to 252"));
}

Options parse_options(int argc, char** argv) {
    Options options;
    auto set_fault = [&](Fault fault, std::size_t block) {
        if (options.fault != Fault::None) usage("one misbehaviour at a time");
        options.fault = fault;
        options.fault_block = block;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        const bool has_value = i + 1 < argc;
        if (option == "--silent") {
            set_fault(Fault::Silent, 0);
        } else if (option == "--pace") {
            options.pace = true;
        } else if (!has_value) {
            usage("unknown option or missing value");
        } else if (option == "--wrong-low") {
            set_fault(Fault::WrongLow, block_number(argv[++i]));
        } else if (option == "--wrong-high") {
            set_fault(Fault::WrongHigh, block_number(argv[++i]));
        } else if (option == "--short-reply") {
            set_fault(Fault::ShortReply, block_number(argv[++i]));
        } else if (option == "--hang-up") {
            set_fault(Fault::HangUp, block_number(argv[++i]));
        } else if (option == "--save") {
            options.save_path = argv[++i];
        } else if (option == "--idle-limit") {
            options.idle_limit_seconds =
                static_cast<int>(whole_number(argv[++i], 1, 3600, "the idle limit is 1 to 3600 seconds"));
        } else {
            usage("unknown option");
        }
    }
    return options;
}

class Analyzer {
public:
    Analyzer(int master, const Options& options) : master_(master), options_(options) {}

    // Takes bytes from the updater; false once the analyzer has hung up.
    bool take(const std::uint8_t* bytes, std::size_t count) {
        if (options_.pace) {
            line_clock_ = std::max(line_clock_, Clock::now()) + kByteTime * count;
        }
        for (std::size_t i = 0; i < count; ++i) {
            if (!take_byte(bytes[i])) return false;
        }
        return true;
    }

    void summarize() const {
        std::printf("summary: wake-up bytes %zu, image bytes %zu, acknowledgements %zu, extra bytes %zu\n",
                    wake_up_bytes_, image_.size(), acknowledgements_, extra_bytes_);
        std::fflush(stdout);
    }

    bool save() const {
        if (options_.save_path.empty()) return true;
        FILE* file = std::fopen(options_.save_path.c_str(), "wb");
        if (file == nullptr) return false;
        const bool written = std::fwrite(image_.data(), 1, image_.size(), file) == image_.size();
        return std::fclose(file) == 0 && written;
    }

private:
    bool take_byte(std::uint8_t byte) {
        if (!woken_) {
            ++wake_up_bytes_;
            window_ = {window_[1], window_[2], window_[3], byte};
            if (wake_up_bytes_ >= kWakeUp.size() && window_ == kWakeUp) {
                woken_ = true;
                std::printf("woken after %zu bytes\n", wake_up_bytes_);
                std::fflush(stdout);
            }
            return true;
        }
        if (image_.size() == kImageSize) {
            ++extra_bytes_;
            return true;
        }
        image_.push_back(byte);
        sum_ += byte;
        if (image_.size() % kBlockSize != 0) return true;
        return acknowledge(image_.size() / kBlockSize);
    }

    bool acknowledge(std::size_t block) {
        const bool faulty = block == options_.fault_block;
        if (options_.fault == Fault::Silent) return true;
        if (faulty && options_.fault == Fault::HangUp) return false;
        std::array<std::uint8_t, 2> reply{static_cast<std::uint8_t>(sum_ & 0xFF),
                                          static_cast<std::uint8_t>((sum_ >> 8) & 0xFF)};
        std::size_t length = reply.size();
        if (faulty && options_.fault == Fault::WrongLow) reply[0] ^= 0x01;
        if (faulty && options_.fault == Fault::WrongHigh) reply[1] ^= 0x01;
        if (faulty && options_.fault == Fault::ShortReply) length = 1;
        if (options_.pace) {
            line_clock_ += kByteTime * length;
            std::this_thread::sleep_until(line_clock_);
        }
        for (std::size_t sent = 0; sent < length;) {
            const ssize_t n = ::write(master_, reply.data() + sent, length - sent);
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
            } else if (n < 0 && errno != EINTR) {
                break;
            }
        }
        ++acknowledgements_;
        return true;
    }

    int master_;
    const Options& options_;
    bool woken_ = false;
    std::array<std::uint8_t, 4> window_{};
    std::size_t wake_up_bytes_ = 0;
    std::vector<std::uint8_t> image_;
    std::uint32_t sum_ = 0;
    std::size_t acknowledgements_ = 0;
    std::size_t extra_bytes_ = 0;
    Clock::time_point line_clock_{};
};

}  // namespace

int main(int argc, char** argv) {
    const Options options = parse_options(argc, argv);

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || fcntl(master, F_SETFD, FD_CLOEXEC) != 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("simulated_analyzer: pseudo-terminal");
        return 1;
    }
    const char* device = ptsname(master);
    if (device == nullptr) {
        std::perror("simulated_analyzer: ptsname");
        return 1;
    }
    // Held until the updater's first byte arrives, so that the device does not
    // count as hung up before the updater has opened it. Its settings are left
    // as the system made them: configuring the line is the updater's job.
    int waiting_slave = ::open(device, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (waiting_slave < 0) {
        std::perror("simulated_analyzer: device");
        return 1;
    }
    std::printf("%s\n", device);
    std::fflush(stdout);

    Analyzer analyzer(master, options);
    std::array<std::uint8_t, 4096> buffer{};
    for (;;) {
        pollfd watch{master, POLLIN, 0};
        const int ready = poll(&watch, 1, options.idle_limit_seconds * 1000);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) {
            std::fprintf(stderr, "simulated_analyzer: no byte for %d s, ending\n", options.idle_limit_seconds);
            break;
        }
        const ssize_t got = ::read(master, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;  // the updater has closed the device
        if (waiting_slave >= 0) {
            ::close(waiting_slave);
            waiting_slave = -1;
        }
        if (!analyzer.take(buffer.data(), static_cast<std::size_t>(got))) break;  // hanging up
    }
    ::close(master);
    if (waiting_slave >= 0) ::close(waiting_slave);
    analyzer.summarize();
    if (!analyzer.save()) {
        std::perror("simulated_analyzer: save");
        return 1;
    }
    return 0;
}
