#include "app/AppcastChecker.h"

#include <QHostAddress>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringList>
#include <QTimer>
#include <QXmlStreamReader>

namespace mirano {

namespace {

UpdateCheckResult failure(const QString& currentVersion, const QString& why) {
    UpdateCheckResult r;
    r.status = UpdateCheckResult::Status::failed;
    r.currentVersion = currentVersion;
    r.error = why;
    return r;
}

/// Only web links are offered to the user; anything else in a feed is ignored.
QUrl webLink(const QString& text) {
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!url.isValid()) return {};
    const QString scheme = url.scheme().toLower();
    return scheme == "https" || scheme == "http" ? url : QUrl();
}

/// Leading digits of a component as a number (a component without digits counts as 0).
qulonglong leadingNumber(const QString& part) {
    int n = 0;
    while (n < part.size() && part[n].isDigit() && n < 18) ++n;
    return n == 0 ? 0 : part.left(n).toULongLong();
}

}  // namespace

AppcastChecker::AppcastChecker(QUrl feed, QString currentVersion, int timeoutMs)
    : feed_(std::move(feed)),
      currentVersion_(std::move(currentVersion)),
      timeoutMs_(timeoutMs),
      network_(std::make_unique<QNetworkAccessManager>()) {}

AppcastChecker::~AppcastChecker() {
    // Pending checks end without calling back: their owner is going away.
    for (QNetworkReply* reply : network_->findChildren<QNetworkReply*>()) {
        QObject::disconnect(reply, nullptr, nullptr, nullptr);
        reply->abort();
    }
}

bool AppcastChecker::isAllowedFeedUrl(const QUrl& url) {
    if (!url.isValid() || url.host().isEmpty()) return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == "https") return true;
    if (scheme != "http") return false;
    const QString host = url.host();
    if (host.compare("localhost", Qt::CaseInsensitive) == 0) return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

void AppcastChecker::check(std::function<void(UpdateCheckResult)> done) {
    auto later = [this, done](UpdateCheckResult result) {
        QMetaObject::invokeMethod(
            network_.get(), [done, result] { done(result); }, Qt::QueuedConnection);
    };
    if (!isConfigured()) {
        later(failure(currentVersion_, QStringLiteral("No update feed is configured.")));
        return;
    }
    if (!isAllowedFeedUrl(feed_)) {
        later(failure(currentVersion_,
                      QStringLiteral("The update feed address is not a secure (HTTPS) address.")));
        return;
    }
    QNetworkRequest request(feed_);
    request.setTransferTimeout(timeoutMs_);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setHeader(QNetworkRequest::UserAgentHeader, "Mirano/" + currentVersion_);
    QNetworkReply* reply = network_->get(request);
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                     [reply](qint64 received, qint64) {
                         if (received > kMaxFeedBytes) {
                             reply->setProperty("mirano.tooLarge", true);
                             reply->abort();
                         }
                     });
    // The transfer timeout only notices silence; a feed that drips a byte now and then must
    // not hold the check (and every later one) forever.
    auto* deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    QObject::connect(deadline, &QTimer::timeout, reply, [reply] {
        reply->setProperty("mirano.timedOut", true);
        reply->abort();
    });
    deadline->start(timeoutMs_);
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply, done] {
        reply->deleteLater();
        if (reply->property("mirano.timedOut").toBool()) {
            done(failure(currentVersion_,
                         QStringLiteral("The update server did not answer in time.")));
            return;
        }
        if (reply->property("mirano.tooLarge").toBool()) {
            done(failure(currentVersion_, QStringLiteral("The update feed is too large.")));
            return;
        }
        if (reply->error() != QNetworkReply::NoError) {
            done(failure(currentVersion_,
                         QStringLiteral("The update feed could not be downloaded (%1).")
                             .arg(reply->errorString())));
            return;
        }
        done(evaluate(reply->read(kMaxFeedBytes + 1)));
    });
}

UpdateCheckResult AppcastChecker::evaluate(const QByteArray& body) const {
    if (body.size() > kMaxFeedBytes)
        return failure(currentVersion_, QStringLiteral("The update feed is too large."));
    const Parsed parsed = parse(body);
    if (!parsed.newest) return failure(currentVersion_, parsed.error);
    UpdateCheckResult r;
    r.currentVersion = currentVersion_;
    r.latestVersion = parsed.newest->version;
    r.releaseNotes = parsed.newest->releaseNotes;
    r.status = compareVersions(parsed.newest->version, currentVersion_) > 0
                   ? UpdateCheckResult::Status::updateAvailable
                   : UpdateCheckResult::Status::upToDate;
    return r;
}

AppcastChecker::Parsed AppcastChecker::parse(const QByteArray& xml) {
    QXmlStreamReader reader(xml);
    std::optional<AppcastItem> newest;
    bool sawRss = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement()) continue;
        if (reader.name() == u"rss") sawRss = true;
        if (reader.name() != u"item") continue;

        // One item: version numbers may sit in elements or on the enclosure's attributes.
        AppcastItem item;
        QString version, shortVersion, link;
        while (!reader.atEnd()) {
            reader.readNext();
            if (reader.isEndElement() && reader.name() == u"item") break;
            if (!reader.isStartElement()) continue;
            const auto name = reader.name();
            if (name == u"enclosure") {
                for (const QXmlStreamAttribute& a : reader.attributes()) {
                    if (a.name() == u"version" && version.isEmpty()) version = a.value().toString();
                    if (a.name() == u"shortVersionString" && shortVersion.isEmpty())
                        shortVersion = a.value().toString();
                }
            } else if (name == u"version") {
                version = reader.readElementText().trimmed();
            } else if (name == u"shortVersionString") {
                shortVersion = reader.readElementText().trimmed();
            } else if (name == u"releaseNotesLink") {
                item.releaseNotes = webLink(reader.readElementText());
            } else if (name == u"link") {
                link = reader.readElementText();
            } else if (name == u"title") {
                item.title = reader.readElementText().trimmed();
            }
        }
        item.version = shortVersion.isEmpty() ? version.trimmed() : shortVersion.trimmed();
        if (item.releaseNotes.isEmpty()) item.releaseNotes = webLink(link);
        if (item.version.isEmpty()) continue;
        if (!newest || compareVersions(item.version, newest->version) > 0) newest = item;
    }
    if (reader.hasError())
        return {
            std::nullopt,
            QStringLiteral("The update feed could not be read (%1).").arg(reader.errorString())};
    if (!sawRss) return {std::nullopt, QStringLiteral("The update feed is not an appcast.")};
    if (!newest) return {std::nullopt, QStringLiteral("The update feed lists no versions.")};
    return {newest, {}};
}

int AppcastChecker::compareVersions(const QString& a, const QString& b) {
    auto split = [](const QString& v) {
        const QString trimmed = v.trimmed();
        const int dash = trimmed.indexOf('-');
        return std::pair{dash < 0 ? trimmed : trimmed.left(dash),
                         dash < 0 ? QString() : trimmed.mid(dash + 1)};
    };
    const auto [releaseA, suffixA] = split(a);
    const auto [releaseB, suffixB] = split(b);
    const QStringList partsA = releaseA.split('.');
    const QStringList partsB = releaseB.split('.');
    for (qsizetype i = 0; i < std::max(partsA.size(), partsB.size()); ++i) {
        const qulonglong x = i < partsA.size() ? leadingNumber(partsA[i]) : 0;
        const qulonglong y = i < partsB.size() ? leadingNumber(partsB[i]) : 0;
        if (x != y) return x < y ? -1 : 1;
    }
    if (suffixA.isEmpty() != suffixB.isEmpty()) return suffixA.isEmpty() ? 1 : -1;
    return QString::compare(suffixA, suffixB);
}

}  // namespace mirano
