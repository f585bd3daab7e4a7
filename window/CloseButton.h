// The red round close button of the hint overlay (a filled circle with a white cross).
#pragma once

#include <QAbstractButton>

namespace mirano {

class CloseButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit CloseButton(QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace mirano
