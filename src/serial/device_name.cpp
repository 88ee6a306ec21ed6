#include "serial/device_name.h"

#include <cstdio>

namespace km37 {

void make_device_name(int port_number, DeviceNaming naming, DeviceName& name) {
    int length = 0;
    if (naming == DeviceNaming::Windows) {
        // COM10 and above exist only in the device namespace.
        const char* format = port_number < 10 ? "COM%d" : "\\\\.\\COM%d";
        length = std::snprintf(name.text.data(), name.text.size(), format, port_number);
    } else {
        length = std::snprintf(name.text.data(), name.text.size(), "/dev/ttyS%d", port_number - 1);
    }
    name.usable = length > 0 && static_cast<std::size_t>(length) < name.text.size();
}

void set_device_path(std::string_view path, DeviceName& name) {
    const std::size_t shown = path.size() < name.text.size() ? path.size() : name.text.size() - 1;
    path.copy(name.text.data(), shown);
    name.text[shown] = '\0';
    name.usable = shown == path.size() && path.find('\0') == std::string_view::npos && !path.empty();
}

}  // namespace km37
