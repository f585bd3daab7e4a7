// The small window that tells the user the outcome of an update check they asked for.
#pragma once

#include <QMessageBox>
#include <QPointer>

#include "app/UpdateCheck.h"

namespace mirano {

/// One message box at a time; a new result replaces the text of an open one. Never modal.
class UpdateDialog final : public UpdatePresenter {
public:
    ~UpdateDialog() override;
    void present(const UpdateCheckResult& result) override;

    /// The open box, if any.
    QMessageBox* box() const { return box_; }

    /// Headline and details (rich text; the release-notes link is escaped) for a result.
    static QString headline(const UpdateCheckResult& result);
    static QString details(const UpdateCheckResult& result);

private:
    QPointer<QMessageBox> box_;
};

}  // namespace mirano
