#pragma once

#include "serial/upload.h"

namespace km37 {

// The constants that make one program: everything by which the two programs
// differ.
struct ModelVariant {
    const char* model_name;     // the analyzer model the image is for
    int release_number;
    const char* build_date;     // "Mmm dd yyyy", the day right-aligned: "Jul  5 2011"
    FirmwareImage firmware_image;
};

// The program's own variant, defined by the variant source it is built with.
extern const ModelVariant kModelVariant;

}  // namespace km37
