// Activation, showing and closing of Mirano's own titled windows, reported without looking at
// the events of every other window of the process.
#pragma once

#include <QObject>

class QWidget;

namespace mirano {

/// Whoever opens a titled window (the settings window, the update dialog) adds it here; the
/// application delegate listens. Main thread only.
class TitledWindowWatch : public QObject {
    Q_OBJECT
public:
    /// The process-wide watch.
    static TitledWindowWatch& shared();

    /// Reports `window` from now on, until it is destroyed. Adding it again changes nothing.
    void watch(QWidget* window);

signals:
    void activated(QWidget* window);
    void shown(QWidget* window);
    void closing(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace mirano
