#include <span>

#include "run/platform.h"
#include "run/run_update.h"
#include "variants/model_variant.h"

int main(int argc, char** argv) {
    const std::span<const char* const> arguments(argv + (argc > 0 ? 1 : 0), argc > 1 ? argc - 1 : 0);
    return km37::run_update(arguments, km37::kModelVariant, km37::native_platform());
}
