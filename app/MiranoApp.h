// Process entry: the tray application.
#pragma once

namespace mirano {

class MiranoApp {
public:
    /// Runs the application until it quits; returns the exit code.
    static int run(int argc, char** argv);
};

}  // namespace mirano
