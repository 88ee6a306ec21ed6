#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

#include "serial/serial_port.h"

namespace km37 {

inline constexpr std::size_t kFirmwareImageSize = 64512;
inline constexpr std::size_t kBlockSize = 256;
inline constexpr std::size_t kBlockCount = kFirmwareImageSize / kBlockSize;
inline constexpr std::size_t kBytesPerMark = 992;
inline constexpr std::size_t kAcknowledgementSize = 2;
static_assert(kFirmwareImageSize % kBlockSize == 0, "every image byte must be acknowledged");

// "\n\nWR": puts the analyzer, started in its programming mode, into receiving.
inline constexpr std::array<std::uint8_t, 4> kWakeUpCommand{0x0A, 0x0A, 0x57, 0x52};

inline constexpr std::chrono::milliseconds kWakeUpPause{300};
inline constexpr std::chrono::milliseconds kImagePause{100};
inline constexpr std::chrono::milliseconds kAcknowledgementTimeout{5000};

using FirmwareImage = std::span<const std::uint8_t, kFirmwareImageSize>;

enum class UploadOutcome {
    Success,
    ProgrammingError,  // an acknowledgement did not match
    NoResponse,        // an acknowledgement did not arrive
};

// What the transfer reports as it goes: start once, mark once every 992
// bytes, finish once and only on success.
class ProgressSink {
public:
    virtual void start() = 0;
    virtual void mark() = 0;
    virtual void finish() = 0;

protected:
    ~ProgressSink() = default;
};

// Waits 300 ms, then writes the wake-up command in one write.
void send_wake_up(SerialPort& port);

// Waits 100 ms, then sends the image one byte per write, checking after every
// 256 bytes the analyzer's acknowledgement: the low 16 bits of the sum of all
// image bytes so far, low byte first. Stops at the first missing or wrong one.
UploadOutcome stream_image(SerialPort& port, FirmwareImage image, ProgressSink& progress);

}  // namespace km37
