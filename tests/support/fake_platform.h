#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "run/platform.h"
#include "support/fake_analyzer.h"

namespace km37::testing {

// A console and a serial port in memory: the screen is a string, standard
// input a scripted string, and the port a FakeAnalyzer.
class FakePlatform final : public Platform {
public:
    std::string screen;
    std::string input;
    bool input_ends = true;  // past `input`, the input is ended
    DeviceNaming naming = DeviceNaming::Windows;
    Language language = Language::English;
    bool device_exists = true;
    FakeAnalyzer analyzer;

    std::vector<std::string> devices_opened;
    int closes = 0;
    std::size_t screen_size_at_close = std::string::npos;
    int key_waits = 0;
    std::size_t screen_size_at_key_wait = std::string::npos;
    std::size_t input_reads_past_end = 0;

    int read_char() override {
        if (input_at_ < input.size()) return static_cast<unsigned char>(input[input_at_++]);
        ++input_reads_past_end;
        return kEndOfInput;
    }
    void print(std::string_view text) override { screen += text; }
    void wait_for_key() override {
        ++key_waits;
        screen_size_at_key_wait = screen.size();
    }
    void load_message(MessageId id, MessageBuffer& buffer) override {
        const std::string_view text = message_text(language, id);
        const std::size_t length = std::min(text.size(), buffer.size() - 2);
        text.copy(buffer.data(), length);
        buffer[length] = '\0';
    }
    DeviceNaming device_naming() const override { return naming; }
    SerialPort* open_serial_port(const DeviceName& device) override {
        devices_opened.emplace_back(device.c_str());
        return device_exists ? &analyzer : nullptr;
    }
    void close_serial_port(SerialPort& port) override {
        EXPECT_EQ(&port, &analyzer);
        ++closes;
        screen_size_at_close = screen.size();
    }

private:
    std::size_t input_at_ = 0;
};

}  // namespace km37::testing
