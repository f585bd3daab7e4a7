// Global shortcuts that record what was bound; the test fires them as the desktop would.
#pragma once

#include <QList>

#include "platform/GlobalShortcuts.h"

namespace mirano::fakes {

struct FakeGlobalShortcuts final : GlobalShortcuts {
    /// Records the binding; its completion never comes, as with a desktop that never answers.
    void bind(Modifier m, const QString& key, Completion) override { bound.append({m, key}); }

    QList<std::pair<Modifier, QString>> bound;
};

}  // namespace mirano::fakes
