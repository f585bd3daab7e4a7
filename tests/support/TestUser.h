// A user for one test run: a throw-away account when the tests run as root, else ourselves;
// each with a private runtime directory, and a way to start programs as that user.
#pragma once

#include <sys/types.h>

#include <QDir>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "tests/support/ChildProcess.h"

namespace mirano::testing {

/// Compositors refuse to run as root, so as root this makes a new account (useradd -m) and
/// removes it with its home at the end; as anyone else it is that user. Stop every process
/// started as the user before this ends.
class TestUser {
public:
    TestUser();
    ~TestUser();

    /// Empty when the user and its runtime directory are ready; otherwise why not.
    QString error() const { return error_; }
    /// A private XDG_RUNTIME_DIR: mode 700, owned by the user, removed at the end.
    QString runtimeDir() const { return runtimeDir_.path(); }

    /// HOME, USER, PATH, LANG and XDG_RUNTIME_DIR of the user, nothing else.
    QProcessEnvironment environment() const;
    /// Starts `program` as the user with exactly `environment`; standard output discarded when
    /// `discardOutput`.
    std::unique_ptr<ChildProcess> start(const QString& program, const QStringList& args,
                                        const QProcessEnvironment& environment,
                                        bool discardOutput = true) const;
    /// Writes a file the user owns (for configuration).
    bool writeFile(const QString& path, const QByteArray& content) const;

private:
    QString error_, name_, home_;
    uid_t uid_ = 0;
    gid_t gid_ = 0;
    QTemporaryDir runtimeDir_{QDir::tempPath() + "/mirano-runtime.XXXXXX"};
    bool created_ = false;
};

}  // namespace mirano::testing
