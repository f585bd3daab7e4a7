// Test entry point: a Qt application (offscreen unless a display is requested) around GoogleTest.
#include "tests/support/TestEnvironment.h"

int main(int argc, char** argv) {
    if (!mirano::testing::hasSanitizerOptions()) return 1;
    if (qEnvironmentVariableIsEmpty("MIRANO_TEST_USE_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
