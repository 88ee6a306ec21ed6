#include "variants/firmware_image.h"
#include "variants/model_variant.h"

namespace km37 {

// __DATE__ is the compiler's build date; SOURCE_DATE_EPOCH fixes it for a
// reproducible build.
const ModelVariant kModelVariant{"KM-37", 103, __DATE__, FirmwareImage(kFirmwareImageBytes)};

}  // namespace km37
