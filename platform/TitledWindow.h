// Which of Mirano's top-levels are titled windows: the ones that activate Mirano.
#pragma once

class QWidget;

namespace mirano {

/// Whether `window` is a titled window that can take focus (not a panel, popup or tool).
bool isTitledActivatingWindow(const QWidget* window);

}  // namespace mirano
