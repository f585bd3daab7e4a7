// The check every test main makes first: under a sanitizer build the sanitizer options of the
// test environment (tests/CMakeLists.txt) must have reached the test.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdio>

namespace mirano::testing {

/// Whether each of the build's sanitizer option variables is set; says which one is not.
inline bool hasSanitizerOptions() {
    for (const QString& name :
         QStringLiteral(MIRANO_SANITIZER_OPTIONS).split(' ', Qt::SkipEmptyParts)) {
        if (qEnvironmentVariableIsSet(name.toLatin1().constData())) continue;
        std::fprintf(stderr, "%s is not set: run the test through ctest, in its environment\n",
                     qPrintable(name));
        return false;
    }
    return true;
}

}  // namespace mirano::testing
