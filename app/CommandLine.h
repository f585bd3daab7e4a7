// What `mirano` is asked to do by its command line: run, or print help or its version.
#pragma once

#include <QString>
#include <QStringList>

namespace mirano {

/// The outcome of reading the arguments. Everything is decided before Qt starts, so --help
/// and --version work without a display.
class CommandLine {
public:
    enum class Action { run, print };

    /// Reads the arguments that follow the program name.
    static CommandLine parse(const QStringList& arguments);

    Action action() const { return action_; }
    /// What to print (with a final newline) before exiting, when the action is print.
    QString text() const { return text_; }
    /// True when the text goes to standard error (a usage error).
    bool toStandardError() const { return toStandardError_; }
    /// The process's exit status when the action is print: 0, or 2 for a usage error.
    int exitCode() const { return exitCode_; }

    static QString usageLine();

private:
    Action action_ = Action::run;
    QString text_;
    bool toStandardError_ = false;
    int exitCode_ = 0;
};

}  // namespace mirano
