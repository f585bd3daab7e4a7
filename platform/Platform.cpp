#include "platform/Platform.h"

namespace mirano {

Platform& Platform::real() {
    static Platform platform;
    return platform;
}

}  // namespace mirano
