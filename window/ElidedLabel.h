// A one-line label that cuts its text at the tail when it does not fit.
#pragma once

#include <QWidget>

namespace mirano {

class ElidedLabel : public QWidget {
    Q_OBJECT
public:
    ElidedLabel(const QString& text, QWidget* parent = nullptr);
    QString text() const { return text_; }
    /// The text as drawn at the current width.
    QString elidedText() const;
    void setColor(const QColor& color);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    QColor color_;
};

}  // namespace mirano
