#include "app/MiranoApp.h"

#include <QApplication>

namespace mirano {

int MiranoApp::run(int argc, char** argv) {
    QApplication app(argc, argv);
    return app.exec();
}

}  // namespace mirano
