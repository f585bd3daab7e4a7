// Notifications that are recorded instead of shown.
#pragma once

#include <QList>
#include <QPair>

#include "platform/Notifications.h"

namespace mirano::fakes {

struct FakeNotifications final : Notifications {
    void requestAuthorization() override { ++authorizationRequests; }
    void post(const QString& title, const QString& body) override { posted.append({title, body}); }

    int authorizationRequests = 0;
    QList<QPair<QString, QString>> posted;
};

}  // namespace mirano::fakes
