#include "serial/upload.h"

namespace km37 {

void send_wake_up(SerialPort& port) {
    port.pause(kWakeUpPause);
    port.write(kWakeUpCommand);
}

UploadOutcome stream_image(SerialPort& port, FirmwareImage image, ProgressSink& progress) {
    port.pause(kImagePause);
    progress.start();

    std::uint32_t running_sum = 0;
    for (std::size_t index = 0; index < image.size(); ++index) {
        if (index % kBytesPerMark == 0) progress.mark();
        port.write(image.subspan(index, 1));
        running_sum += image[index];

        if (index % kBlockSize == kBlockSize - 1) {
            // Cleared before every read, so a short reply is never completed
            // by a byte left over from the previous acknowledgement.
            std::array<std::uint8_t, kAcknowledgementSize> reply{};
            const std::size_t delivered = port.read(reply);
            if (delivered == 0) return UploadOutcome::NoResponse;
            if (delivered < reply.size()) return UploadOutcome::ProgrammingError;
            if (reply[0] != (running_sum & 0xFFu)) return UploadOutcome::ProgrammingError;
            if (reply[1] != ((running_sum >> 8) & 0xFFu)) return UploadOutcome::ProgrammingError;
        }
    }
    progress.finish();
    return UploadOutcome::Success;
}

}  // namespace km37
