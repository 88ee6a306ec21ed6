#include "serial/serial_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "serial/upload.h"

namespace km37 {
namespace {

// Closes a descriptor on every early return of the open sequence.
class DescriptorGuard {
public:
    explicit DescriptorGuard(int fd) : fd_(fd) {}
    ~DescriptorGuard() {
        if (fd_ >= 0) ::close(fd_);
    }
    DescriptorGuard(const DescriptorGuard&) = delete;
    DescriptorGuard& operator=(const DescriptorGuard&) = delete;

    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

void apply_line_settings(int fd) {
    termios settings{};
    if (tcgetattr(fd, &settings) == 0) {
        cfmakeraw(&settings);  // 8 data bits, no parity, no line editing, echo or output processing
        settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
        settings.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CRTSCTS);
        settings.c_cflag |= CLOCAL | CREAD | CS8;
        // poll() waits for data; a read then takes what is there without blocking.
        settings.c_cc[VMIN] = 0;
        settings.c_cc[VTIME] = 0;
        cfsetispeed(&settings, B38400);
        cfsetospeed(&settings, B38400);
        tcsetattr(fd, TCSANOW, &settings);
    }
    int lines = TIOCM_DTR | TIOCM_RTS;
    ioctl(fd, TIOCMBIC, &lines);  // fails on a pseudo-terminal: no modem lines
}

int milliseconds_until(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

bool PosixSerialPort::open(const char* path) {
    close();
    // O_NONBLOCK: the open must not wait for a carrier.
    const int descriptor = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) return false;
    DescriptorGuard owned(descriptor);

    if (!isatty(descriptor)) return false;  // a file, a directory or /dev/null is no port
    // flock keeps out another updater (and binds root, which TIOCEXCL does not);
    // TIOCEXCL keeps out any other program's later open.
    if (flock(descriptor, LOCK_EX | LOCK_NB) != 0) return false;
    if (ioctl(descriptor, TIOCEXCL) != 0) return false;
    const int flags = fcntl(descriptor, F_GETFL);
    if (flags < 0 || fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ioctl(descriptor, TIOCNXCL);
        return false;
    }

    settings_found_valid_ = tcgetattr(descriptor, &settings_found_) == 0;
    if (settings_found_valid_) restore_on_signal_.arm(descriptor, settings_found_, true);
    apply_line_settings(descriptor);
    fd_ = owned.release();
    return true;
}

void PosixSerialPort::close() {
    if (fd_ < 0) return;
    if (settings_found_valid_) tcsetattr(fd_, TCSANOW, &settings_found_);
    ioctl(fd_, TIOCNXCL);
    restore_on_signal_.disarm();
    ::close(fd_);  // also releases the flock
    fd_ = -1;
    settings_found_valid_ = false;
}

void PosixSerialPort::write(std::span<const std::uint8_t> bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t result = ::write(fd_, bytes.data() + written, bytes.size() - written);
        if (result > 0) {
            written += static_cast<std::size_t>(result);
        } else if (result < 0 && errno == EINTR) {
            continue;
        } else {
            return;  // a lost byte shows as a missing acknowledgement
        }
    }
}

std::size_t PosixSerialPort::read(std::span<std::uint8_t> into) {
    const auto deadline = std::chrono::steady_clock::now() + kAcknowledgementTimeout;
    std::size_t delivered = 0;
    while (delivered < into.size()) {
        const int wait = milliseconds_until(deadline);
        if (wait == 0) break;
        pollfd watch{fd_, POLLIN, 0};
        const int ready = poll(&watch, 1, wait);
        if (ready < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (ready == 0) continue;  // the deadline decides
        if ((watch.revents & POLLIN) != 0) {
            const ssize_t got = ::read(fd_, into.data() + delivered, into.size() - delivered);
            if (got > 0) {
                delivered += static_cast<std::size_t>(got);
                continue;
            }
            if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            break;  // end of file or an I/O error: the device hung up or failed
        }
        if ((watch.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) break;
    }
    return delivered;
}

void PosixSerialPort::pause(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);  // resumes after a signal
}

}  // namespace km37
