// Builds the real services. Each lives until the process ends.
#include "platform/Platform.h"
#include "platform/qt/JsonDefaultsStore.h"
#include "platform/qt/QtScheduler.h"

namespace mirano {

Scheduler& Platform::scheduler() {
    static auto* scheduler = new QtScheduler();
    return *scheduler;
}

DefaultsStore& Platform::defaults() {
    static auto* store = new JsonDefaultsStore(JsonDefaultsStore::defaultPath());
    return *store;
}

}  // namespace mirano
