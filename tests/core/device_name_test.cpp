#include "serial/device_name.h"

#include <gtest/gtest.h>

#include <string>

namespace km37 {
namespace {

struct NamingCase {
    int port;
    DeviceNaming naming;
    const char* name;
};

TEST(MakeDeviceName, NamesEachPlatformsDevice) {
    const NamingCase cases[] = {
        {1, DeviceNaming::Windows, "COM1"},         {9, DeviceNaming::Windows, "COM9"},
        {10, DeviceNaming::Windows, "\\\\.\\COM10"}, {12, DeviceNaming::Windows, "\\\\.\\COM12"},
        {255, DeviceNaming::Windows, "\\\\.\\COM255"}, {1, DeviceNaming::Posix, "/dev/ttyS0"},
        {3, DeviceNaming::Posix, "/dev/ttyS2"},     {255, DeviceNaming::Posix, "/dev/ttyS254"},
    };
    for (const NamingCase& c : cases) {
        DeviceName name;
        make_device_name(c.port, c.naming, name);
        EXPECT_STREQ(name.c_str(), c.name) << "port " << c.port;
        EXPECT_TRUE(name.usable);
    }
}

TEST(SetDevicePath, RefusesAPathItCannotHoldWhole) {
    DeviceName name;
    set_device_path("/dev/ttyUSB0", name);
    EXPECT_STREQ(name.c_str(), "/dev/ttyUSB0");
    EXPECT_TRUE(name.usable);

    // Cut short, "/dev/ttyUSB0-something-long..." could name another device.
    const std::string too_long = "/dev/" + std::string(kDeviceNameCapacity, 'x');
    set_device_path(too_long, name);
    EXPECT_FALSE(name.usable);
    EXPECT_EQ(std::string(name.c_str()).size(), kDeviceNameCapacity - 1);

    set_device_path(std::string_view("/dev/pts/3\0/x", 13), name);
    EXPECT_FALSE(name.usable);

    set_device_path("", name);
    EXPECT_FALSE(name.usable);
}

}  // namespace
}  // namespace km37
