// The floor of a transfer: only the system calls a transfer cannot do without
// (the wake-up write, 64,512 one-byte writes and 252 two-byte reads) on the
// same pseudo-terminal, with no run, messages or checks around them.
//   floor_transfer DEVICE IMAGE

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: floor_transfer DEVICE IMAGE\n");
        return 2;
    }
    std::vector<std::uint8_t> image(64512);
    FILE* file = std::fopen(argv[2], "rb");
    if (file == nullptr || std::fread(image.data(), 1, image.size(), file) != image.size()) return 1;
    std::fclose(file);

    const int fd = open(argv[1], O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return 1;
    termios settings{};
    tcgetattr(fd, &settings);
    cfmakeraw(&settings);
    cfsetspeed(&settings, B38400);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    tcsetattr(fd, TCSANOW, &settings);

    const std::uint8_t wake_up[] = {'\n', '\n', 'W', 'R'};
    if (write(fd, wake_up, sizeof wake_up) != 4) return 1;
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < image.size(); ++i) {
        if (write(fd, &image[i], 1) != 1) return 1;
        sum += image[i];
        if (i % 256 != 255) continue;
        std::uint8_t reply[2];
        std::size_t got = 0;
        while (got < 2) {
            pollfd watch{fd, POLLIN, 0};
            if (poll(&watch, 1, 5000) <= 0) return 1;
            const ssize_t n = read(fd, reply + got, 2 - got);
            if (n <= 0) return 1;
            got += static_cast<std::size_t>(n);
        }
        if (reply[0] != (sum & 0xFF) || reply[1] != ((sum >> 8) & 0xFF)) return 1;
    }
    close(fd);
    return 0;
}
