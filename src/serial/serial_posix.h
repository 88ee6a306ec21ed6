#pragma once

#include <termios.h>

#include "run/ending_signals_posix.h"
#include "serial/serial_port.h"

namespace km37 {

// A serial device on a POSIX system, opened for exclusive use and configured
// for the analyzer: raw 8N1 at 38,400 baud, no flow control, DTR and RTS off,
// reads bounded by a total time-out of 5,000 ms.
class PosixSerialPort final : public SerialPort {
public:
    PosixSerialPort() = default;
    ~PosixSerialPort() { close(); }
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    // False when the device cannot be had: it does not exist or cannot be
    // opened, is not a terminal, or another program holds it. Nothing is
    // written to a device that failed here. Configuration steps that fail
    // are passed over, as a port may lack some of them (a pseudo-terminal has
    // no modem lines).
    bool open(const char* path);

    // Gives the line settings back as they were found, lifts exclusive use and
    // closes the device. A signal that ends the process while the port is open
    // does the same but for the closing, which the system does.
    void close();

    bool is_open() const { return fd_ >= 0; }

    void write(std::span<const std::uint8_t> bytes) override;
    std::size_t read(std::span<std::uint8_t> into) override;
    void pause(std::chrono::milliseconds duration) override;

private:
    int fd_ = -1;
    termios settings_found_{};
    bool settings_found_valid_ = false;
    EndingSignalGuard restore_on_signal_;
};

}  // namespace km37
