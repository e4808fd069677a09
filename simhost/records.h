// What the simulated host keeps: console variables and commands, canvas calls,
// and the text forms the trace and quillfort-sim print them in.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "quillfort/plugin.h"

namespace Quillfort {

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

// The fact a scenario names (online, public, replay, freeplay, training), or null.
PLUGINSDK_API bool* factNamed(GameFacts& facts, std::string_view name);

// Common places, as short names for their facts.
enum class Place { Menu, OnlinePublic, OnlinePrivate, Offline, Freeplay, CustomTraining, Replay };
PLUGINSDK_API GameFacts factsOf(Place place);

struct CanvasCall {
    enum class Kind { SetPosition, SetColor, FillBox, DrawString } kind;
    float x = 0, y = 0; // position, size or text scale
    std::uint8_t color[4] = {0, 0, 0, 0};
    std::string text;
};

// One canvas call as a trace line: `SetPosition 110 510`, `SetColor 255 255 0 255`,
// `FillBox 90 125`, `DrawString "Wins : 3" 1 1`; numbers in their shortest exact form.
PLUGINSDK_API std::string describe(const CanvasCall& call);
// Text in double quotes with the escapes \\ \" \r \n \t, as trace lines and scenarios write it.
PLUGINSDK_API std::string quoted(const std::string& text);
// A word as a message echoes it: in single quotes, and past 200 bytes cut at a
// character's start and marked with "...", so a huge word prints a short line.
PLUGINSDK_API std::string echoed(std::string_view word);
// The shortest text that reads back as the same float: 110, 62.5, 0.5, -3.
PLUGINSDK_API std::string shortest(float value);

struct ExecutedCommand {
    std::string command;
    bool log;
};

// What a console line did: `ok` false for an unknown name; `message` for the user.
struct ConsoleResult {
    bool ok;
    std::string message;
};

} // namespace Quillfort
