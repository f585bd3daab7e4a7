// Global shortcuts that record what was bound; the test fires them as the desktop would.
#pragma once

#include <QList>

#include "platform/GlobalShortcuts.h"

namespace mirano::fakes {

struct FakeGlobalShortcuts final : GlobalShortcuts {
    /// Records the binding; its completion never comes, as with a desktop that never answers.
    void bind(Modifier modifier, const QString& triggerKey, Completion) override {
        bound.append({modifier, triggerKey});
    }

    QList<std::pair<Modifier, QString>> bound;
};

}  // namespace mirano::fakes
