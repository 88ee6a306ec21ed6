// A run keeps its data in fixed buffers: no heap allocation from the start of
// the run to its end, the transfer through a real serial port included.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <new>
#include <string_view>
#include <thread>

#include "catalogue/catalogue.h"
#include "run/platform.h"
#include "run/run_update.h"
#include "serial/serial_posix.h"
#include "serial/upload.h"

namespace {

// Allocations made by the thread that counts; other threads (the analyzer's)
// do not count.
thread_local std::size_t allocations = 0;

void* allocate(std::size_t size) {
    ++allocations;
    if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    ++allocations;
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    ++allocations;
    return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

namespace km37 {
namespace {

std::array<std::uint8_t, kFirmwareImageSize> image_bytes() {
    std::array<std::uint8_t, kFirmwareImageSize> image{};
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 13 + 7);
    return image;
}
const std::array<std::uint8_t, kFirmwareImageSize> kImage = image_bytes();

// An analyzer in memory that keeps nothing but its running sum.
class SummingAnalyzer final : public SerialPort {
public:
    void write(std::span<const std::uint8_t> bytes) override {
        for (std::uint8_t byte : bytes) {
            if (bytes_seen_++ >= kWakeUpCommand.size()) sum_ += byte;
        }
    }
    std::size_t read(std::span<std::uint8_t> into) override {
        into[0] = static_cast<std::uint8_t>(sum_ & 0xFF);
        into[1] = static_cast<std::uint8_t>((sum_ >> 8) & 0xFF);
        return 2;
    }
    void pause(std::chrono::milliseconds) override {}

private:
    std::size_t bytes_seen_ = 0;
    std::uint32_t sum_ = 0;
};

// A console and port in memory that allocate nothing themselves.
class FixedPlatform final : public Platform {
public:
    std::size_t printed = 0;
    bool success_printed = false;

    int read_char() override { return kEndOfInput; }
    void print(std::string_view text) override {
        printed += text.size();
        success_printed = success_printed || text == message_text(Language::English, MessageId::MSG_SUCCESS);
    }
    void wait_for_key() override {}
    void load_message(MessageId id, MessageBuffer& buffer) override {
        const std::string_view text = message_text(Language::English, id);
        text.copy(buffer.data(), text.size());
        buffer[text.size()] = '\0';
    }
    DeviceNaming device_naming() const override { return DeviceNaming::Windows; }
    SerialPort* open_serial_port(const DeviceName&) override { return &analyzer_; }
    void close_serial_port(SerialPort&) override {}

private:
    SummingAnalyzer analyzer_;
};

class NoProgress final : public ProgressSink {
public:
    void start() override {}
    void mark() override {}
    void finish() override {}
};

TEST(NoAllocation, AWholeRunAllocatesNothing) {
    FixedPlatform platform;
    const ModelVariant variant{"KM-37", 103, "Jul  5 2011", FirmwareImage(kImage)};
    const char* arguments[] = {"3"};
    const std::size_t before = allocations;
    EXPECT_EQ(run_update(arguments, variant, platform), 0);
    EXPECT_EQ(allocations - before, 0u);
    EXPECT_TRUE(platform.success_printed);
}

TEST(NoAllocation, ATransferThroughASerialPortAllocatesNothing) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    PosixSerialPort port;
    ASSERT_TRUE(port.open(ptsname(master)));

    // The analyzer, on a thread of its own: acknowledges each block.
    std::thread analyzer([master] {
        std::uint32_t sum = 0;
        std::size_t received = 0;
        while (received < kFirmwareImageSize) {
            std::array<std::uint8_t, 4096> buffer{};
            pollfd watch{master, POLLIN, 0};
            if (poll(&watch, 1, 10000) <= 0) return;
            const ssize_t got = ::read(master, buffer.data(), buffer.size());
            if (got <= 0) return;
            for (ssize_t i = 0; i < got; ++i) {
                sum += buffer[static_cast<std::size_t>(i)];
                if (++received % kBlockSize == 0) {
                    const std::uint8_t reply[2] = {static_cast<std::uint8_t>(sum & 0xFF),
                                                   static_cast<std::uint8_t>((sum >> 8) & 0xFF)};
                    if (::write(master, reply, 2) != 2) return;
                }
            }
        }
    });

    NoProgress progress;
    const std::size_t before = allocations;
    const UploadOutcome outcome = stream_image(port, FirmwareImage(kImage), progress);
    const std::size_t during = allocations - before;
    analyzer.join();
    port.close();
    ::close(master);
    EXPECT_EQ(outcome, UploadOutcome::Success);
    EXPECT_EQ(during, 0u);
}

TEST(NoAllocation, TheCounterSeesAnAllocation) {
    const std::size_t before = allocations;
    void* memory = ::operator new(16);  // a direct call: never optimised away
    EXPECT_EQ(allocations - before, 1u);
    ::operator delete(memory);
}

}  // namespace
}  // namespace km37
