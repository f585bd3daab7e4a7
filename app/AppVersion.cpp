#include "app/AppVersion.h"

#ifndef MIRANO_VERSION
#define MIRANO_VERSION ""
#endif

namespace mirano {

QString displayVersion(const QString& raw) {
    const QString v = raw.trimmed();
    return v.isEmpty() ? QStringLiteral("?") : v;
}

QString appVersion() { return displayVersion(QStringLiteral(MIRANO_VERSION)); }

}  // namespace mirano
