#include <clocale>
#include <csignal>

#include "catalogue/load_message.h"
#include "run/console_posix.h"
#include "run/platform.h"
#include "serial/serial_posix.h"

namespace km37 {
namespace {

class PosixPlatform final : public Platform {
public:
    PosixPlatform() {
        // The character set of the user's locale decides how messages are converted.
        std::setlocale(LC_CTYPE, "");
        // A reader of our output that goes away must not end a transfer halfway.
        std::signal(SIGPIPE, SIG_IGN);
        set_up_console_output();
    }

    int read_char() override { return console_read_char(); }
    void print(std::string_view text) override { console_print(text); }
    void wait_for_key() override { console_wait_for_key(); }
    void load_message(MessageId id, MessageBuffer& buffer) override { km37::load_message(id, buffer); }
    DeviceNaming device_naming() const override { return DeviceNaming::Posix; }

    SerialPort* open_serial_port(const DeviceName& device) override {
        return port_.open(device.c_str()) ? &port_ : nullptr;
    }
    void close_serial_port(SerialPort&) override { port_.close(); }

private:
    PosixSerialPort port_;
};

}  // namespace

Platform& native_platform() {
    static PosixPlatform platform;
    return platform;
}

}  // namespace km37
