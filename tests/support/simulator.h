#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "support/process.h"

namespace km37::testing {

// What the simulated analyzer received, from its summary line.
struct Received {
    std::size_t wake_up_bytes = 0;
    std::size_t image_bytes = 0;
    std::size_t acknowledgements = 0;
    std::size_t extra_bytes = 0;
    bool valid = false;
};

// The simulated analyzer on its pseudo-terminal, for one run of an updater.
class Simulator {
public:
    explicit Simulator(std::vector<std::string> options = {}) {
        std::vector<std::string> argv{SIMULATED_ANALYZER, "--idle-limit", "60"};
        argv.insert(argv.end(), options.begin(), options.end());
        process_ = std::make_unique<Process>(Process::Options{argv, {}, "", false});
        device_ = process_->read_line().value_or("");
    }

    const std::string& device() const { return device_; }

    // True once the wake-up command has arrived.
    bool wait_for_wake_up() { return process_->read_until("woken after"); }

    // Ends the analyzer at once; its pseudo-terminal goes with it.
    void stop() { process_.reset(); }

    // Waits for the updater to let go of the device and reads the summary.
    Received finish() {
        const Ending ending = process_->finish();
        Received received;
        const std::string& output = process_->output();
        const std::size_t at = output.find("summary: ");
        if (ending.exited && ending.status == 0 && at != std::string::npos) {
            received.valid = std::sscanf(output.c_str() + at,
                                         "summary: wake-up bytes %zu, image bytes %zu, acknowledgements %zu, "
                                         "extra bytes %zu",
                                         &received.wake_up_bytes, &received.image_bytes,
                                         &received.acknowledgements, &received.extra_bytes) == 4;
        }
        return received;
    }

private:
    std::unique_ptr<Process> process_;
    std::string device_;
};

}  // namespace km37::testing
