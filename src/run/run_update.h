#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "catalogue/message_id.h"
#include "run/answer_line.h"
#include "run/platform.h"
#include "variants/model_variant.h"

namespace km37 {

inline constexpr std::size_t kRulerLength = 65;

// The whole run of one program: banner, instructions, port, transfer, result,
// key wait. `arguments` are the command-line arguments after the program's
// name. Returns the exit status, which is 0 on every path: the outcome is
// told on the console.
int run_update(std::span<const char* const> arguments, const ModelVariant& variant, Platform& platform);

struct PortSelection {
    enum class Kind {
        PortNumber,  // port_number is valid (1 to 255)
        DevicePath,  // device_path names the device (platforms with device paths)
        InputEnded,  // standard input ended before a port was chosen
    };
    Kind kind = Kind::InputEnded;
    std::int32_t port_number = 0;
    std::string_view device_path;  // points into the arguments or the answer line
};

// Settles the port from the first argument (decimal) or, while it is not 1 to
// 255, by asking at the prompt (the answer's base follows its prefix). Where
// the platform has device paths, an argument or answer that begins with "/"
// is a path.
PortSelection choose_port_number(std::span<const char* const> arguments, Platform& platform,
                                 AnswerLine& answer, MessageBuffer& message);

}  // namespace km37
