#include "run/run_update.h"

#include <charconv>
#include <cstring>
#include <initializer_list>

#include "run/numbers.h"
#include "serial/upload.h"

namespace km37 {
namespace {

// A value for a %s or %i of a message template.
struct TemplateValue {
    TemplateValue(const char* text) : text(text) {}
    TemplateValue(int number) : number(number), is_number(true) {}

    std::string_view text;
    int number = 0;
    bool is_number = false;
};

std::string_view loaded_text(const MessageBuffer& buffer) {
    return {buffer.data(), strnlen(buffer.data(), buffer.size())};
}

// Prints a loaded message as a template: %s and %i take the next value in
// turn and %% is a percent sign. The texts are the program's own, and the
// values are printed as they are, never read as templates themselves.
void print_template(Platform& platform, std::string_view text, std::initializer_list<TemplateValue> values) {
    const TemplateValue* next_value = values.begin();
    std::size_t plain_from = 0;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '%') continue;
        const char conversion = text[i + 1];
        if (conversion != 's' && conversion != 'i' && conversion != '%') continue;
        platform.print(text.substr(plain_from, i - plain_from));
        if (conversion == '%') {
            platform.print("%");
        } else if (next_value != values.end()) {
            if (next_value->is_number) {
                char digits[16];
                const auto result = std::to_chars(digits, digits + sizeof digits, next_value->number);
                platform.print({digits, static_cast<std::size_t>(result.ptr - digits)});
            } else {
                platform.print(next_value->text);
            }
            ++next_value;
        }
        plain_from = i + 2;
        ++i;
    }
    platform.print(text.substr(plain_from));
}

// Messages with values are templates; the others are printed as they are.
void print_message(Platform& platform, MessageBuffer& buffer, MessageId id,
                   std::initializer_list<TemplateValue> values = {}) {
    platform.load_message(id, buffer);  // loaded just before it is printed
    if (values.size() == 0) {
        platform.print(loaded_text(buffer));
    } else {
        print_template(platform, loaded_text(buffer), values);
    }
}

// The star display: an empty line and a ruler of 65 stars, then one star per
// 992 bytes under it.
class StarLine final : public ProgressSink {
public:
    explicit StarLine(Platform& platform) : platform_(platform) {}

    void start() override {
        static constexpr std::string_view kRuler =
            "\n*****************************************************************\n";
        static_assert(kRuler.size() == kRulerLength + 2);
        platform_.print(kRuler);
    }
    void mark() override { platform_.print("*"); }
    void finish() override { platform_.print("\n"); }

private:
    Platform& platform_;
};

// Holds an open port and gives it back to the platform when it goes, so that
// no path leaves the port open.
class OpenPort {
public:
    OpenPort(Platform& platform, SerialPort* port) : platform_(platform), port_(port) {}
    ~OpenPort() { close(); }
    OpenPort(const OpenPort&) = delete;
    OpenPort& operator=(const OpenPort&) = delete;

    SerialPort* get() const { return port_; }
    void close() {
        if (port_ != nullptr) platform_.close_serial_port(*port_);
        port_ = nullptr;
    }

private:
    Platform& platform_;
    SerialPort* port_;
};

MessageId message_for(UploadOutcome outcome) {
    switch (outcome) {
        case UploadOutcome::Success: return MessageId::MSG_SUCCESS;
        case UploadOutcome::ProgrammingError: return MessageId::MSG_PROGRAMMING_ERROR;
        case UploadOutcome::NoResponse: return MessageId::MSG_NO_RESPONSE;
    }
    return MessageId::MSG_NO_RESPONSE;
}

void update_through(const DeviceName& device, const ModelVariant& variant, Platform& platform,
                    MessageBuffer& message) {
    OpenPort port(platform, device.usable ? platform.open_serial_port(device) : nullptr);
    if (port.get() == nullptr) {
        print_message(platform, message, MessageId::MSG_CANNOT_OPEN, {device.c_str()});
        return;
    }
    send_wake_up(*port.get());
    print_message(platform, message, MessageId::MSG_BEEPER_NOTICE);
    print_message(platform, message, MessageId::MSG_DO_NOT_ABORT);
    StarLine stars(platform);
    const UploadOutcome outcome = stream_image(*port.get(), variant.firmware_image, stars);
    print_message(platform, message, message_for(outcome));
    port.close();
}

bool is_device_path(std::string_view text, const Platform& platform) {
    return platform.device_naming() == DeviceNaming::Posix && text.starts_with('/');
}

}  // namespace

PortSelection choose_port_number(std::span<const char* const> arguments, Platform& platform,
                                 AnswerLine& answer, MessageBuffer& message) {
    PortSelection selection;
    if (!arguments.empty() && arguments[0] != nullptr) {
        const std::string_view first = arguments[0];
        if (is_device_path(first, platform)) {
            selection.kind = PortSelection::Kind::DevicePath;
            selection.device_path = first;
            return selection;
        }
        selection.port_number = port_number_from_argument(first);
    }

    AnswerReader reader(platform);
    while (!is_valid_port_number(selection.port_number)) {
        print_message(platform, message, MessageId::MSG_PORT_PROMPT);
        if (reader.read_line(answer) == LineStatus::EndOfInput) {
            selection.kind = PortSelection::Kind::InputEnded;
            return selection;
        }
        if (is_device_path(answer.view(), platform)) {
            selection.kind = PortSelection::Kind::DevicePath;
            selection.device_path = answer.view();
            return selection;
        }
        // An answer without a number keeps the value the port number had.
        selection.port_number = number_from_answer(answer.view()).value_or(selection.port_number);
    }
    selection.kind = PortSelection::Kind::PortNumber;
    return selection;
}

int run_update(std::span<const char* const> arguments, const ModelVariant& variant, Platform& platform) {
    MessageBuffer message{};
    AnswerLine answer;
    DeviceName device;

    platform.print("\n");
    print_message(platform, message, MessageId::MSG_BANNER,
                  {variant.model_name, variant.release_number, variant.build_date});
    print_message(platform, message, MessageId::MSG_INSTRUCTIONS);

    const PortSelection selection = choose_port_number(arguments, platform, answer, message);
    if (selection.kind != PortSelection::Kind::InputEnded) {
        if (selection.kind == PortSelection::Kind::DevicePath) {
            set_device_path(selection.device_path, device);
        } else {
            make_device_name(selection.port_number, platform.device_naming(), device);
        }
        update_through(device, variant, platform, message);
    }

    print_message(platform, message, MessageId::MSG_PRESS_ANY_KEY);
    platform.wait_for_key();
    return 0;
}

}  // namespace km37
