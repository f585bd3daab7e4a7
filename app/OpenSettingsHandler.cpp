#include "app/OpenSettingsHandler.h"

namespace mirano {

std::function<void()>& openSettingsHandler() {
    static std::function<void()> handler;
    return handler;
}

}  // namespace mirano
