#include "serial/serial_win32.h"

#include <cstring>

#include "serial/upload.h"

namespace km37 {
namespace {

constexpr DWORD kQueueSize = 4096;
constexpr DWORD kDcbLength = 28;
static_assert(sizeof(DCB) == kDcbLength, "the port state record is 28 bytes");

void configure(HANDLE port) {
    COMMTIMEOUTS timeouts{};
    GetCommTimeouts(port, &timeouts);
    timeouts.ReadTotalTimeoutConstant = static_cast<DWORD>(kAcknowledgementTimeout.count());
    SetCommTimeouts(port, &timeouts);

    SetupComm(port, kQueueSize, kQueueSize);

    DCB state;
    std::memset(&state, 0, sizeof state);
    state.DCBlength = kDcbLength;
    GetCommState(port, &state);
    state.BaudRate = CBR_38400;
    state.ByteSize = 8;
    state.Parity = NOPARITY;
    state.StopBits = ONESTOPBIT;
    state.fBinary = 1;
    state.fParity = 0;
    state.fOutxCtsFlow = 0;
    state.fDtrControl = DTR_CONTROL_DISABLE;
    state.fOutX = 0;
    state.fInX = 0;
    state.fRtsControl = RTS_CONTROL_DISABLE;
    SetCommState(port, &state);
}

}  // namespace

bool Win32SerialPort::open(const char* device_name) {
    close();
    // No sharing: exclusive use. Plain synchronous I/O.
    const HANDLE port =
        CreateFileA(device_name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE) return false;
    configure(port);
    handle_ = port;
    return true;
}

void Win32SerialPort::close() {
    if (handle_ == INVALID_HANDLE_VALUE) return;
    CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
}

void Win32SerialPort::write(std::span<const std::uint8_t> bytes) {
    DWORD written = 0;
    WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::size_t Win32SerialPort::read(std::span<std::uint8_t> into) {
    // The success flag is not examined: the count delivered decides.
    DWORD delivered = 0;
    ReadFile(handle_, into.data(), static_cast<DWORD>(into.size()), &delivered, nullptr);
    return delivered;
}

void Win32SerialPort::pause(std::chrono::milliseconds duration) {
    Sleep(static_cast<DWORD>(duration.count()));
}

}  // namespace km37
