// The version of this build, as shown to the user.
#pragma once

#include <QString>

namespace mirano {

/// The build's version string, or "?" when the build set none.
QString appVersion();
/// `raw` when it holds a version, otherwise "?".
QString displayVersion(const QString& raw);

}  // namespace mirano
