// A window list answering with scripted descriptions; records the requests.
#pragma once

#include "platform/WindowList.h"
#include "tests/fakes/CallLog.h"

#include <map>
#include <utility>
#include <vector>

namespace mirano::fakes {

class FakeWindowList final : public WindowList {
public:
    /// Descriptions by window number; unknown windows give an empty list.
    std::map<WindowNumber, std::optional<std::vector<WindowDescription>>> windows;
    std::vector<std::pair<unsigned, WindowNumber>> requests;
    CallLog* log = nullptr;

    /// Scripts a window with complete bounds (top-left origin).
    void setBounds(WindowNumber id, double x, double y, double width, double height) {
        windows[id] = std::vector<WindowDescription>{
            WindowDescription{WindowBounds{x, y, width, height}}};
    }

    std::optional<std::vector<WindowDescription>> copyWindowInfo(unsigned option,
                                                                 WindowNumber windowID) override {
        logCall(log, QStringLiteral("windowList %1 %2").arg(option).arg(windowID));
        requests.emplace_back(option, windowID);
        const auto it = windows.find(windowID);
        if (it == windows.end()) return std::vector<WindowDescription>{};
        return it->second;
    }
};

}  // namespace mirano::fakes
