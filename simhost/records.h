// What the simulated host keeps: console variables and commands, the game's
// facts and canvas calls.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "quillfort/plugin.h"

namespace simhost {

struct ConsoleVariable {
    std::string name, defaultValue, description;
    bool searchable = true, hasMin = false, hasMax = false, saveToConfig = true;
    float min = 0.0f, max = 0.0f;
    std::string value;
    struct Listener {
        int owner;
        std::function<void(std::string, CVarWrapper)> callback;
    };
    std::vector<Listener> listeners;
};

struct Notifier {
    std::string name, description;
    std::uint8_t permissions = 0;
    int owner = 0;
    std::function<void(std::vector<std::string>)> callback;
};

// Where the player is, as the game reports it: each fact answers one host query,
// so every combination the host can report can be set.
struct GameFacts {
    bool online = false;         // GameWrapper::IsInOnlineGame
    bool playingPublic = false;  // ServerWrapper::IsPlayingPublic
    bool replay = false;         // GameWrapper::IsInReplay
    bool freeplay = false;       // GameWrapper::IsInFreeplay
    bool customTraining = false; // GameWrapper::IsInCustomTraining
    bool operator==(const GameFacts&) const = default;
};

// Common places, as short names for their facts.
enum class Place { Menu, OnlinePublic, OnlinePrivate, Offline, Freeplay, CustomTraining, Replay };
PLUGINSDK_API GameFacts factsOf(Place place);

struct CanvasCall {
    enum class Kind { SetPosition, SetColor, FillBox, DrawString } kind;
    float x = 0, y = 0; // position, size or text scale
    std::uint8_t color[4] = {0, 0, 0, 0};
    std::string text;
};

// The shortest text that reads back as the same float: 110, 62.5, 0.5, -3.
PLUGINSDK_API std::string shortest(float value);

struct ExecutedCommand {
    std::string command;
    bool log;
    // Whether the host carried it out: a plugin's own command or variable runs as
    // a console line; the host's own commands are recorded only.
    bool carriedOut = false;
};

// What a console line did: `ok` false for an unknown name; `message` for the user.
struct ConsoleResult {
    bool ok;
    std::string message;
};

} // namespace simhost
