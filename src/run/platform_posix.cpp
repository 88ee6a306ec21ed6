#include "run/system_platform.h"
#include "serial/serial_posix.h"

namespace km37 {

Platform& native_platform() {
    static SystemPlatform<PosixSerialPort, DeviceNaming::Posix> platform;
    return platform;
}

}  // namespace km37
