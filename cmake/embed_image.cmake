# Turns a firmware image file into a C++ source that defines it as a read-only
# constant, and stops the build when the image is not exactly 64,512 bytes.
#   cmake -DIMAGE=<file> -DOUTPUT=<source> -P embed_image.cmake
cmake_minimum_required(VERSION 3.20)

set(expected_size 64512)
if(NOT EXISTS "${IMAGE}")
  message(FATAL_ERROR "Firmware image ${IMAGE} does not exist.")
endif()
file(SIZE "${IMAGE}" image_size)
if(NOT image_size EQUAL expected_size)
  message(FATAL_ERROR "Firmware image ${IMAGE} is ${image_size} bytes; an image must be exactly ${expected_size} bytes.")
endif()

file(READ "${IMAGE}" hex HEX)
# 0x.., 16 bytes a line.
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n" bytes "${bytes}")

file(WRITE "${OUTPUT}.tmp"
"// Generated from ${IMAGE} by cmake/embed_image.cmake; do not edit.
#include \"variants/firmware_image.h\"

namespace km37 {

extern const std::uint8_t kFirmwareImageBytes[kFirmwareImageSize] = {
${bytes}};

}  // namespace km37
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
