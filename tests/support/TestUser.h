// A user for one test run: "nobody" in a user namespace of its own when the tests run as root,
// else ourselves; each with a private runtime directory, and a way to start programs as that user.
#pragma once

#include <QDir>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "tests/support/ChildProcess.h"

namespace mirano::testing {

/// Compositors refuse to run as root, so as root each program runs as "nobody" in a user
/// namespace of its own (unshare), mapped to root outside: no account to make, and the test's
/// files, its runtime directory among them, are the user's own.
class TestUser {
public:
    /// Empty when the runtime directory is ready; otherwise why not.
    QString error() const;
    /// A private XDG_RUNTIME_DIR (mode 700), also the user's HOME; removed at the end.
    QString runtimeDir() const { return runtimeDir_.path(); }

    /// HOME, USER, PATH, LANG and XDG_RUNTIME_DIR of the user, nothing else.
    QProcessEnvironment environment() const;
    /// Starts `program` as the user with exactly `environment`; standard output discarded when
    /// `discardOutput`.
    std::unique_ptr<ChildProcess> start(const QString& program, const QStringList& args,
                                        const QProcessEnvironment& environment,
                                        bool discardOutput = true) const;

private:
    QTemporaryDir runtimeDir_{QDir::tempPath() + "/mirano-runtime.XXXXXX"};
};

/// Writes a file (for configuration); false when that failed.
bool writeFile(const QString& path, const QByteArray& content);

}  // namespace mirano::testing
