#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

namespace km37 {

// An open, configured serial device as the upload protocol uses it. Each
// platform supplies one; tests supply an in-memory analyzer.
class SerialPort {
public:
    // One write call with these bytes. Its result does not decide anything:
    // a lost byte shows up as a missing acknowledgement.
    virtual void write(std::span<const std::uint8_t> bytes) = 0;

    // One logical read: returns when the span is full or when the port's total
    // read time-out has run out, whichever comes first, or at once when the
    // device hangs up or fails. Returns how many bytes it delivered.
    virtual std::size_t read(std::span<std::uint8_t> into) = 0;

    virtual void pause(std::chrono::milliseconds duration) = 0;

protected:
    ~SerialPort() = default;
};

}  // namespace km37
