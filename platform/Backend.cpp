// The choice of the backend at start, and the services a backend need not offer.
#include "platform/Backend.h"

#include <QStringList>

#include "platform/GlobalShortcuts.h"

namespace mirano {

std::unique_ptr<GlobalShortcuts> Backend::makeGlobalShortcuts() { return nullptr; }

std::unique_ptr<Backend> chooseBackend(std::vector<std::unique_ptr<Backend>> candidates) {
    for (auto& candidate : candidates)
        if (candidate->canRun()) return std::move(candidate);
    return candidates.empty() ? nullptr : std::move(candidates.front());
}

std::unique_ptr<Backend> chooseBackend(std::vector<std::unique_ptr<Backend>> candidates,
                                       const QString& requested, QString* error) {
    if (requested.isEmpty()) return chooseBackend(std::move(candidates));
    QStringList names;
    for (auto& candidate : candidates) {
        if (candidate->name() == requested) return std::move(candidate);
        names << candidate->name();
    }
    if (error)
        *error = QStringLiteral("MIRANO_BACKEND is '%1'; this Mirano knows %2")
                     .arg(requested, names.join(QStringLiteral(" and ")));
    return nullptr;
}

}  // namespace mirano
