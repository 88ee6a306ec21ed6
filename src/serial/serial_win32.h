#pragma once

#include <windows.h>

#include "serial/serial_port.h"

namespace km37 {

// A COM port opened for exclusive use and configured for the analyzer: 38,400
// baud 8N1, no CTS or XON/XOFF flow control, DTR and RTS held off, a total read
// time-out of 5,000 ms and 4,096-byte driver queues. Settings not named here
// stay as the port had them.
class Win32SerialPort final : public SerialPort {
public:
    Win32SerialPort() = default;
    ~Win32SerialPort() { close(); }
    Win32SerialPort(const Win32SerialPort&) = delete;
    Win32SerialPort& operator=(const Win32SerialPort&) = delete;

    // False when the device cannot be opened (no such port, held by another
    // program, access refused). The configuration steps' results are not
    // examined: the update goes on with whatever settings the port takes.
    bool open(const char* device_name);
    void close();

    void write(std::span<const std::uint8_t> bytes) override;
    std::size_t read(std::span<std::uint8_t> into) override;
    void pause(std::chrono::milliseconds duration) override;

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace km37
