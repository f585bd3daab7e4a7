// The titled window that holds the settings form.
#pragma once

#include <QWidget>
#include <functional>

namespace mirano {

class SettingsView;

/// 600 x 400, built afresh each time it opens and deleted when closed; watched by
/// TitledWindowWatch.
class SettingsWindow : public QWidget {
    Q_OBJECT
public:
    explicit SettingsWindow(SettingsView* view);
    SettingsView& view() const { return *view_; }

private:
    SettingsView* view_;
};

}  // namespace mirano
