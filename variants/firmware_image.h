#pragma once

#include <cstdint>

#include "serial/upload.h"

namespace km37 {

// The program's firmware image, generated at build time from the variant's
// image file (see cmake/embed_image.cmake). Read-only; the program reads no file.
extern const std::uint8_t kFirmwareImageBytes[kFirmwareImageSize];

}  // namespace km37
