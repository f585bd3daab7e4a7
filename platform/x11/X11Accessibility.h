// Accessibility on X11: elements are client windows (or an application's process id).
#pragma once

#include "platform/Accessibility.h"

namespace mirano::x11 {

class X11Desktop;

/// A window element's handle is the client window's XID; an application element's handle is
/// the process id with the top bit set.
class X11Accessibility final : public Accessibility {
public:
    explicit X11Accessibility(X11Desktop& desktop);

    WindowElement applicationElement(ProcessID pid) override;
    AXAttributeResult copyAttributeValue(WindowElement element, const QString& attribute) override;
    void setAttributeValue(WindowElement element, const QString& attribute,
                           const AXValue& value) override;
    void performAction(WindowElement element, const QString& action) override;
    std::pair<AXError, WindowNumber> windowNumber(WindowElement element) override;

    static constexpr std::uint64_t kApplicationTag = 1ull << 63;

private:
    /// The XID of a window element, or XCB_NONE for other handles.
    static std::uint32_t windowOf(WindowElement element);

    X11Desktop& desktop_;
};

}  // namespace mirano::x11
