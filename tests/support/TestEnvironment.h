// What every test main does: check first that under a sanitizer build the sanitizer options of
// the test environment (tests/CMakeLists.txt) have reached the test, then run the tests in a Qt
// application (on a private display session for the GUI mains).
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QString>
#include <QStringList>
#include <cstdio>

namespace mirano::testing {

/// Whether each of the build's sanitizer option variables is set; says which one is not.
inline bool hasSanitizerOptions() {
    for (const QString& name : QString(MIRANO_SANITIZER_OPTIONS).split(' ', Qt::SkipEmptyParts)) {
        if (qEnvironmentVariableIsSet(name.toLatin1().constData())) continue;
        std::fprintf(stderr, "%s is not set: run the test through ctest, in its environment\n",
                     qPrintable(name));
        return false;
    }
    return true;
}

/// Runs the tests in a Qt application.
inline int runTests(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

/// Runs the tests once `session` has started, with `current` pointing at it; 1 when it did not
/// start.
template <typename Session>
int runTestsIn(Session& session, Session*& current, int argc, char** argv) {
    if (!session.error().isEmpty()) {
        std::fprintf(stderr, "the test session did not start: %s\n", qPrintable(session.error()));
        return 1;
    }
    current = &session;
    return runTests(argc, argv);
}

}  // namespace mirano::testing
