// Helpers for accessibility attribute values.
#include "platform/Accessibility.h"

namespace mirano {

std::optional<bool> axBooleanValue(const std::optional<AXValue>& value) {
    if (!value) return std::nullopt;
    if (const auto* b = std::get_if<AXBoolean>(&*value)) return b->value;
    if (const auto* n = std::get_if<AXNumber>(&*value)) return n->value != 0;
    return std::nullopt;
}

}  // namespace mirano
