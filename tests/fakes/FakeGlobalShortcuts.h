// Global shortcuts that record what was bound; the test fires them as the desktop would.
#pragma once

#include <QList>
#include <utility>

#include "platform/GlobalShortcuts.h"

namespace mirano::fakes {

class FakeGlobalShortcuts final : public GlobalShortcuts {
public:
    void bind(Modifier modifier, const QString& triggerKey, Completion done) override {
        bound.append({modifier, triggerKey});
        pending = std::move(done);
    }

    QList<std::pair<Modifier, QString>> bound;
    Completion pending;
};

}  // namespace mirano::fakes
