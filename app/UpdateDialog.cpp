#include "app/UpdateDialog.h"

#include <QMessageBox>

#include "app/TitledWindowWatch.h"

namespace mirano {

UpdateDialog::~UpdateDialog() {
    if (box_) delete box_.data();
}

QString UpdateDialog::headline(const UpdateCheckResult& result) {
    switch (result.status) {
        case UpdateCheckResult::Status::upToDate:
            return QStringLiteral("You're up to date!");
        case UpdateCheckResult::Status::updateAvailable:
            return QStringLiteral("A new version of Mirano is available!");
        case UpdateCheckResult::Status::failed:
            return QStringLiteral("Could not check for updates");
    }
    return {};
}

QString UpdateDialog::details(const UpdateCheckResult& result) {
    switch (result.status) {
        case UpdateCheckResult::Status::upToDate:
            return QStringLiteral("Mirano %1 is the newest version available.")
                .arg(result.currentVersion.toHtmlEscaped());
        case UpdateCheckResult::Status::updateAvailable: {
            QString text = QStringLiteral("Mirano %1 is available; you have %2.")
                               .arg(result.latestVersion.toHtmlEscaped(),
                                    result.currentVersion.toHtmlEscaped());
            if (result.releaseNotes.isValid() && !result.releaseNotes.isEmpty()) {
                const QString url =
                    result.releaseNotes.toString(QUrl::FullyEncoded).toHtmlEscaped();
                text += QStringLiteral("<br><a href=\"%1\">Release notes</a>").arg(url);
            }
            return text;
        }
        case UpdateCheckResult::Status::failed:
            return QStringLiteral("Mirano could not check for updates: %1")
                .arg(result.error.toHtmlEscaped());
    }
    return {};
}

void UpdateDialog::present(const UpdateCheckResult& result) {
    if (!box_) {
        box_ = new QMessageBox();
        box_->setAttribute(Qt::WA_DeleteOnClose);
        box_->setWindowTitle(QStringLiteral("Software Update"));
        box_->setTextFormat(Qt::RichText);
        box_->setStandardButtons(QMessageBox::Ok);
        box_->setWindowModality(Qt::NonModal);
        TitledWindowWatch::shared().watch(box_);
    }
    box_->setIcon(result.status == UpdateCheckResult::Status::failed ? QMessageBox::Warning
                                                                     : QMessageBox::Information);
    box_->setText(QStringLiteral("<b>%1</b><br>%2").arg(headline(result), details(result)));
    box_->setTextInteractionFlags(Qt::TextBrowserInteraction);
    box_->show();
    box_->raise();
    box_->activateWindow();
}

}  // namespace mirano
