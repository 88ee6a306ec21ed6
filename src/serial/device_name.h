#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace km37 {

// How a port number names a device on the platform the program is built for.
enum class DeviceNaming {
    Windows,  // "COM1".."COM9", then "\\.\COM10".."\\.\COM255"
    Posix,    // port N is "/dev/ttyS{N-1}"; a device path may be given instead
};

inline constexpr int kFirstPortNumber = 1;
inline constexpr int kLastPortNumber = 255;

constexpr bool is_valid_port_number(int port_number) {
    return port_number >= kFirstPortNumber && port_number <= kLastPortNumber;
}

// Room for a device path on a POSIX system (PATH_MAX), which also holds any
// name a port number gives.
inline constexpr std::size_t kDeviceNameCapacity = 4096;

struct DeviceName {
    std::array<char, kDeviceNameCapacity> text{};
    // False when the name given did not fit or held a NUL byte: such a name
    // is never opened, since a cut-short path could name another file.
    bool usable = false;

    const char* c_str() const { return text.data(); }
};

// The device for a port number from 1 to 255, in decimal without leading zeros.
void make_device_name(int port_number, DeviceNaming naming, DeviceName& name);

// Takes a device path exactly as given.
void set_device_path(std::string_view path, DeviceName& name);

}  // namespace km37
