// Test entry point: a Qt application (offscreen) around GoogleTest.
#include "tests/support/TestEnvironment.h"

int main(int argc, char** argv) {
    if (!mirano::testing::hasSanitizerOptions()) return 1;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return mirano::testing::runTests(argc, argv);
}
