#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <vector>

#include "serial/serial_port.h"
#include "serial/upload.h"

namespace km37::testing {

// An analyzer in memory: takes the wake-up command and the image and answers
// each 256-byte block with the running sum it computes itself, unless a block
// is told to answer otherwise.
class FakeAnalyzer final : public SerialPort {
public:
    enum class Answer { Correct, Nothing, WrongLow, WrongHigh, LowByteOnly };

    // `woken`: the wake-up command has already been taken (for transfers that
    // are tried without send_wake_up).
    explicit FakeAnalyzer(bool woken = false) : woken_(woken) {}

    // How block k (1 to 252) is answered; Correct by default.
    std::map<std::size_t, Answer> answers;
    // A block answered with exactly these two bytes.
    std::map<std::size_t, std::array<std::uint8_t, 2>> literal_answers;
    // Answer every block wrongly/not at all unless listed.
    Answer default_answer = Answer::Correct;

    std::vector<std::uint8_t> wake_up_bytes;
    std::vector<std::uint8_t> image_bytes;
    std::size_t write_calls = 0;
    std::size_t reads = 0;
    std::vector<std::chrono::milliseconds> pauses;
    // Image bytes written when each pause was made (pause order vs writes).
    std::vector<std::size_t> bytes_at_pause;

    void write(std::span<const std::uint8_t> bytes) override {
        ++write_calls;
        if (!woken_) {
            wake_up_bytes.insert(wake_up_bytes.end(), bytes.begin(), bytes.end());
            woken_ = wake_up_bytes.size() >= kWakeUpCommand.size();
            return;
        }
        image_bytes.insert(image_bytes.end(), bytes.begin(), bytes.end());
    }

    std::size_t read(std::span<std::uint8_t> into) override {
        ++reads;
        const std::size_t block = image_bytes.size() / kBlockSize;
        std::uint32_t sum = 0;
        for (std::uint8_t byte : image_bytes) sum += byte;
        std::array<std::uint8_t, 2> reply{static_cast<std::uint8_t>(sum & 0xFF),
                                          static_cast<std::uint8_t>((sum >> 8) & 0xFF)};
        if (const auto literal = literal_answers.find(block); literal != literal_answers.end()) {
            reply = literal->second;
        }
        const auto listed = answers.find(block);
        const Answer answer = listed != answers.end() ? listed->second : default_answer;
        std::size_t length = 2;
        switch (answer) {
            case Answer::Correct: break;
            case Answer::Nothing: length = 0; break;
            case Answer::WrongLow: reply[0] ^= 0x01; break;
            case Answer::WrongHigh: reply[1] ^= 0x01; break;
            case Answer::LowByteOnly: length = 1; break;
        }
        for (std::size_t i = 0; i < length && i < into.size(); ++i) into[i] = reply[i];
        return length < into.size() ? length : into.size();
    }

    void pause(std::chrono::milliseconds duration) override {
        pauses.push_back(duration);
        bytes_at_pause.push_back(wake_up_bytes.size() + image_bytes.size());
    }

private:
    bool woken_;
};

}  // namespace km37::testing
