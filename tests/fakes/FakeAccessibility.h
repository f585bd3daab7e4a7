// Accessibility with scripted attributes and window numbers; records every call.
#pragma once

#include "platform/Accessibility.h"
#include "tests/fakes/CallLog.h"

#include <map>
#include <utility>
#include <vector>

namespace mirano::fakes {

class FakeAccessibility final : public Accessibility {
public:
    struct SetCall {
        WindowElement element;
        QString attribute;
        AXValue value;
    };

    /// Attribute results by (element handle, name); unscripted ones fail with "no value".
    std::map<std::pair<std::uint64_t, QString>, AXAttributeResult> attributes;
    /// Window numbers by element handle; unscripted ones fail.
    std::map<std::uint64_t, std::pair<AXError, WindowNumber>> windowNumbers;
    std::vector<SetCall> sets;
    std::vector<std::pair<WindowElement, QString>> actions;
    int windowNumberCalls = 0;
    CallLog* log = nullptr;

    /// The element handle used for an application.
    static WindowElement appElement(ProcessID pid) {
        return WindowElement{0xA000'0000'0000'0000ull | static_cast<std::uint32_t>(pid)};
    }
    void setAttribute(WindowElement element, const QString& name, AXValue value) {
        attributes[{element.handle, name}] = AXAttributeResult{kAXErrorSuccess, std::move(value)};
    }
    /// Scripts `pid`'s focused window with its number.
    void setFocusedWindow(ProcessID pid, WindowElement window, WindowNumber number) {
        setAttribute(appElement(pid), kAXFocusedWindowAttribute, window);
        windowNumbers[window.handle] = {kAXErrorSuccess, number};
    }

    WindowElement applicationElement(ProcessID pid) override {
        logCall(log, QStringLiteral("applicationElement %1").arg(pid));
        return appElement(pid);
    }
    AXAttributeResult copyAttributeValue(WindowElement element, const QString& attribute) override {
        logCall(log, QStringLiteral("copy %1 %2").arg(element.handle, 0, 16).arg(attribute));
        const auto it = attributes.find({element.handle, attribute});
        if (it == attributes.end()) return AXAttributeResult{kAXErrorNoValue, std::nullopt};
        return it->second;
    }
    void setAttributeValue(WindowElement element, const QString& attribute,
                           const AXValue& value) override {
        logCall(log, QStringLiteral("set %1 %2").arg(element.handle, 0, 16).arg(attribute));
        sets.push_back(SetCall{element, attribute, value});
    }
    void performAction(WindowElement element, const QString& action) override {
        logCall(log, QStringLiteral("action %1 %2").arg(element.handle, 0, 16).arg(action));
        actions.emplace_back(element, action);
    }
    std::pair<AXError, WindowNumber> windowNumber(WindowElement element) override {
        logCall(log, QStringLiteral("windowNumber %1").arg(element.handle, 0, 16));
        ++windowNumberCalls;
        const auto it = windowNumbers.find(element.handle);
        if (it == windowNumbers.end()) return {kAXErrorFailure, 0};
        return it->second;
    }
};

}  // namespace mirano::fakes
