// Process entry.
#include "app/MiranoApp.h"
#include "platform/RealPlatform.h"

int main(int argc, char** argv) {
    // A backend that is not built in is a usage error, like an unknown option.
    if (!mirano::startRealPlatform()) return 2;
    return mirano::MiranoApp::run(argc, argv);
}
