// The game: events, frames, timers and the queries on the current state.
#pragma once

#include <functional>
#include <string>

#include "quillfort/api.h"
#include "quillfort/wrappers/canvasWrapper.h"
#include "quillfort/wrappers/mmrWrapper.h"
#include "quillfort/wrappers/serverWrapper.h"

class PLUGINSDK_API GameWrapper {
public:
    explicit GameWrapper(simhost::Host* host = nullptr) : host_(host) {}

    // Runs the callback, with the event name, each time the named game function runs.
    void HookEvent(const std::string& eventName, std::function<void(std::string)> callback);
    void RegisterDrawable(std::function<void(CanvasWrapper)> callback);
    // Runs the callback once, after the delay in seconds of game time.
    void SetTimeout(std::function<void(GameWrapper*)> callback, float seconds);

    bool IsInOnlineGame();
    bool IsInFreeplay();
    bool IsInReplay();
    bool IsInCustomTraining();
    // The current online match; a null handle when there is none.
    ServerWrapper GetOnlineGame();
    MMRWrapper GetMMRWrapper();
    UniqueIDWrapper GetUniqueID();
    // The host data folder as UTF-16 units, one per wchar_t on every platform.
    std::wstring GetQuillfortPathW();

private:
    simhost::Host* host_;
};
