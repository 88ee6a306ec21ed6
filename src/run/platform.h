#pragma once

#include <string_view>

#include "catalogue/message_id.h"
#include "run/answer_line.h"
#include "serial/device_name.h"
#include "serial/serial_port.h"

namespace km37 {

// Everything the run needs from the system it runs on. One implementation per
// platform, chosen by the build; tests use an in-memory one.
class Platform : public CharacterInput {
public:
    // Writes text to standard output. Output reaches the user before the
    // program blocks for input or for the key.
    virtual void print(std::string_view text) = 0;

    // Waits for one key press on the console itself (not standard input), in
    // raw mode, and restores the console's mode. Returns at once without a
    // console.
    virtual void wait_for_key() = 0;

    virtual void load_message(MessageId id, MessageBuffer& buffer) = 0;

    virtual DeviceNaming device_naming() const = 0;

    // Opens and configures the device for the analyzer; null when it cannot be
    // opened. The port stays the platform's until close_serial_port.
    virtual SerialPort* open_serial_port(const DeviceName& device) = 0;
    virtual void close_serial_port(SerialPort& port) = 0;

protected:
    ~Platform() = default;
};

// The platform this program was built for.
Platform& native_platform();

}  // namespace km37
