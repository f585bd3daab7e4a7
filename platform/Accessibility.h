// Reading and changing other applications' windows: attributes, actions, window numbers.
#pragma once

#include "platform/Types.h"

#include <QString>
#include <optional>
#include <utility>
#include <variant>

namespace mirano {

/// Result code of an accessibility call; 0 is success.
using AXError = int;
inline constexpr AXError kAXErrorSuccess = 0;
/// The element does not carry the attribute.
inline constexpr AXError kAXErrorAttributeUnsupported = -25205;
/// No value for the attribute right now.
inline constexpr AXError kAXErrorNoValue = -25212;
/// The element is gone or cannot be reached.
inline constexpr AXError kAXErrorInvalidUIElement = -25202;
inline constexpr AXError kAXErrorFailure = -25200;

/// Attribute and action names.
inline const QString kAXFocusedWindowAttribute = QStringLiteral("AXFocusedWindow");
inline const QString kAXFullScreenAttribute = QStringLiteral("AXFullScreen");
inline const QString kAXMinimizedAttribute = QStringLiteral("AXMinimized");
inline const QString kAXRaiseAction = QStringLiteral("AXRaise");

/// A number object with a boolean value (true/false).
struct AXBoolean {
    bool value = false;
    bool operator==(const AXBoolean&) const = default;
};
/// A number object.
struct AXNumber {
    double value = 0;
    bool operator==(const AXNumber&) const = default;
};

/// An attribute value: an element, a number object (boolean or numeric) or a string.
using AXValue = std::variant<WindowElement, AXBoolean, AXNumber, QString>;

/// True and the boolean value when `value` is a number object; false otherwise.
std::optional<bool> axBooleanValue(const std::optional<AXValue>& value);

/// Outcome of reading an attribute: error code and a value that may be absent.
struct AXAttributeResult {
    AXError error = kAXErrorFailure;
    std::optional<AXValue> value;
};

/// Accessibility elements are opaque handles (see WindowElement). Main thread only.
class Accessibility {
public:
    virtual ~Accessibility() = default;
    /// The element of the application with that process id.
    virtual WindowElement applicationElement(ProcessID pid) = 0;
    virtual AXAttributeResult copyAttributeValue(WindowElement element,
                                                 const QString& attribute) = 0;
    /// The result is not reported (callers do not read it).
    virtual void setAttributeValue(WindowElement element, const QString& attribute,
                                   const AXValue& value) = 0;
    virtual void performAction(WindowElement element, const QString& action) = 0;
    /// The window server's number of a window element: error code and number.
    virtual std::pair<AXError, WindowNumber> windowNumber(WindowElement element) = 0;
};

}  // namespace mirano
