#include "run/system_platform.h"
#include "serial/serial_win32.h"

namespace km37 {

Platform& native_platform() {
    static SystemPlatform<Win32SerialPort, DeviceNaming::Windows> platform;
    return platform;
}

}  // namespace km37
