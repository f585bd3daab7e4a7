// Looks for a newer Mirano in an appcast feed (RSS items carrying version numbers) over HTTPS.
#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <memory>
#include <optional>

#include "app/UpdateCheck.h"

namespace mirano {

/// One item of the feed.
struct AppcastItem {
    QString title;
    /// The version compared and shown: the short version string when given, else the version.
    QString version;
    QUrl releaseNotes;
};

/// Downloads the feed (at most 1 MiB; the whole check, connection to last byte, within
/// `timeoutMs`) and compares its newest item with the running version. Never downloads or
/// installs anything else. Main thread only.
class AppcastChecker final : public UpdateSource {
public:
    AppcastChecker(QUrl feed, QString currentVersion, int timeoutMs = kTimeoutMs);
    ~AppcastChecker() override;

    bool isConfigured() const override { return !feed_.isEmpty(); }
    void check(std::function<void(UpdateCheckResult)> done) override;

    /// The newest item of a feed, or the reason there is none.
    struct Parsed {
        std::optional<AppcastItem> newest;
        QString error;
    };
    static Parsed parse(const QByteArray& xml);
    /// Negative, zero or positive as `a` is older than, equal to or newer than `b`. Numeric
    /// components compare as numbers (1.10 > 1.9), missing ones count as 0, and a pre-release
    /// suffix ("1.0-beta") is older than the release.
    static int compareVersions(const QString& a, const QString& b);
    /// Whether the feed may be fetched from this address: HTTPS, or plain HTTP on loopback.
    static bool isAllowedFeedUrl(const QUrl& url);

    static constexpr qint64 kMaxFeedBytes = 1024 * 1024;
    static constexpr int kTimeoutMs = 20000;

private:
    UpdateCheckResult evaluate(const QByteArray& body) const;

    QUrl feed_;
    QString currentVersion_;
    int timeoutMs_;
    std::unique_ptr<QNetworkAccessManager> network_;
};

}  // namespace mirano
