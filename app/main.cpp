// Process entry.
#include "app/MiranoApp.h"

int main(int argc, char** argv) { return mirano::MiranoApp::run(argc, argv); }
