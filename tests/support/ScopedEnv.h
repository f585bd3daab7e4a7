// A test's own change to the environment, undone at the end of its scope.
#pragma once

#include <QFile>
#include <QScopeGuard>
#include <optional>

namespace mirano::testing {

/// Sets an environment variable (nullopt: unsets it) until the end of the scope.
inline auto scopedEnv(const char* name, const std::optional<QString>& value) {
    const QByteArray old = qgetenv(name);  // null when unset
    value ? qputenv(name, QFile::encodeName(*value)) : qunsetenv(name);
    return qScopeGuard([=] { old.isNull() ? qunsetenv(name) : qputenv(name, old); });
}

}  // namespace mirano::testing
