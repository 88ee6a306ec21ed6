#pragma once

#include "catalogue/load_message.h"
#include "run/console.h"
#include "run/platform.h"

namespace km37 {

// The Platform of a real system: its console functions, its message loader and
// its serial port type, which has open(const char*) and close().
template <class SystemSerialPort, DeviceNaming kNaming>
class SystemPlatform final : public Platform {
public:
    SystemPlatform() { set_up_console(); }

    int read_char() override { return console_read_char(); }
    void print(std::string_view text) override { console_print(text); }
    void wait_for_key() override { console_wait_for_key(); }
    void load_message(MessageId id, MessageBuffer& buffer) override { km37::load_message(id, buffer); }
    DeviceNaming device_naming() const override { return kNaming; }

    SerialPort* open_serial_port(const DeviceName& device) override {
        return port_.open(device.c_str()) ? &port_ : nullptr;
    }
    void close_serial_port(SerialPort&) override { port_.close(); }

private:
    SystemSerialPort port_;
};

}  // namespace km37
