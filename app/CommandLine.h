// What `mirano` is asked to do by its command line: run, print help or its version, or hand a
// request to the running Mirano.
#pragma once

#include <QString>
#include <QStringList>

#include "app/SingleInstance.h"

namespace mirano {

/// The outcome of reading the arguments. Everything is decided before Qt starts, so --help
/// and --version work without a display.
class CommandLine {
public:
    enum class Action { run, print, remote };

    /// Reads the arguments that follow the program name.
    static CommandLine parse(const QStringList& arguments);

    Action action() const { return action_; }
    /// What to print (with a final newline) before exiting, when the action is print.
    QString text() const { return text_; }
    /// True when the text goes to standard error (a usage error).
    bool toStandardError() const { return toStandardError_; }
    /// The process's exit status when the action is print: 0, or 2 for a usage error.
    int exitCode() const { return exitCode_; }
    /// What to ask of the running Mirano, when the action is remote.
    InstanceRequest request() const { return request_; }

    static QString usageLine();

private:
    void usageError(const QString& message);

    Action action_ = Action::run;
    QString text_;
    bool toStandardError_ = false;
    int exitCode_ = 0;
    InstanceRequest request_ = InstanceRequest::openSettings;
};

}  // namespace mirano
