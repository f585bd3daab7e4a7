// Process entry.
#include "app/MiranoApp.h"
#include "platform/RealPlatform.h"

int main(int argc, char** argv) {
    mirano::startRealPlatform();
    return mirano::MiranoApp::run(argc, argv);
}
