// The simulated host: console, events, timers, frames and an in-memory game,
// driven by a test or by quillfort-sim and queried through the host wrappers.
#pragma once

#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "quillfort/plugin.h"
#include "records.h"

namespace simhost {

inline constexpr std::size_t logScrollback = 1000;
// What a session has until it says otherwise.
struct DesktopSize {
    int width, height;
};
inline constexpr DesktopSize defaultDesktop{1920, 1080};
// The desktop the plugin measures where a session cannot set one (Windows, where it
// is the machine's own); nothing where setDesktop sets it.
PLUGINSDK_API std::optional<DesktopSize> fixedDesktop();
// The desktop a session starts with, so pictures are the size the plugin draws for.
inline DesktopSize startingDesktop() { return fixedDesktop().value_or(defaultDesktop); }
inline constexpr int defaultPlaylist = 13;

// Game time counts whole microseconds, so waits add up exactly; the clock runs up
// to 2^53 of them (about 285 years), where a double still holds every one.
inline constexpr double ticksPerSecond = 1e6;
inline constexpr std::int64_t clockLimit = std::int64_t{1} << 53;
// The microseconds of a time given in seconds, or nothing when it is not a finite
// number from 0 to the clock's limit in whole microseconds.
PLUGINSDK_API std::optional<std::int64_t> gameTime(double seconds);

// A call into a plugin: what it is ("hook", "command", "timer", ...) and, where
// it has one, its name.
struct PluginCall {
    const char* kind = nullptr;
    const std::string* name = nullptr;
};
// How a message names the call: "hook 'Function ...'", "timer".
PLUGINSDK_API std::string describe(const PluginCall& call);
// The call into a plugin under way in this process, for a crash report: readable
// from a signal handler; no kind when none is.
PLUGINSDK_API PluginCall pluginCallUnderWay();
// Makes `call` the one under way, and gives back the one it replaces.
PLUGINSDK_API PluginCall exchangeCallUnderWay(const PluginCall& call);

// An exception that escaped a plugin's call, which the host caught.
struct PluginThrew {
    std::string call; // as describe() names it
    std::string what;
};

class PLUGINSDK_API Host {
public:
    Host();
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // The handles a plugin receives; registrations through them belong to the current owner.
    std::shared_ptr<CVarManagerWrapper> cvarManager();
    std::shared_ptr<GameWrapper> gameWrapper();

    // Setup. The data folder is UTF-8 here and handed to plugins as UTF-16 units.
    void setDesktop(int width, int height);
    void setPlayerId(std::string id);
    void setDataFolder(std::string_view utf8);
    void setDataFolderUnits(std::u16string units);

    // The game. A match starts 0-0; `endMatch` without a winner gives it to the side ahead.
    // GetOnlineGame gives the match's server from its start to the menu, and only while
    // the game reports an online game; otherwise an empty one that answers plain values.
    void startMatch(GameFacts facts, int playlist = defaultPlaylist, int localTeam = 0);
    void startMatch(Place place, int playlist = defaultPlaylist, int localTeam = 0)
    {
        startMatch(factsOf(place), playlist, localTeam);
    }
    // Changes what the game reports, in or out of a match (a replay shown mid-match).
    void setFacts(const GameFacts& facts) { game_.facts = facts; }
    void kickoff();
    void score(int team);
    void endMatch(std::optional<int> winner = std::nullopt);
    void enterMenu();
    // From game time `from` on (default: now), the host reports `value` for the playlist.
    // Reports that can no longer be seen are forgotten, so a long session stays small.
    void setRating(int playlist, float value, std::optional<double> from = std::nullopt);
    void fireEvent(std::string_view name);

    // The clock, in seconds of game time. Timers that fall due run in due order, each
    // at its own time. False, and the clock stays, when the time is not one that
    // `gameTime` accepts or would take the clock past `clockLimit`.
    double now() const { return static_cast<double>(now_) / ticksPerSecond; }
    bool advance(double seconds);
    // As advance, but stops once `timerRuns` timers have run, with the clock where
    // the last of them fell due: a plugin that keeps setting timers may otherwise
    // keep a long advance busy for days. False when it stopped so.
    bool advance(double seconds, std::uint64_t timerRuns, bool& timersStopped);
    std::size_t pendingTimers() const { return timers_.size(); }

    // Frames: runs every drawable on one canvas and keeps that frame's calls.
    void drawFrame();
    std::span<const CanvasCall> lastFrame() const { return {frame_.data(), frameCalls_}; }

    // The console, as a player types a line: `NAME` runs a command, `NAME VALUE` sets a variable.
    ConsoleResult console(const std::vector<std::string>& words);
    ConsoleVariable* findVariable(std::string_view name);
    const std::vector<ConsoleVariable*>& variables() const { return variableOrder_; }
    const std::deque<Notifier>& notifiers() const { return notifiers_; }
    // The console keeps the last `logScrollback` lines, as a game console does.
    const std::deque<std::string>& logLines() const { return log_; }
    std::size_t loggedLines() const { return logged_; }
    // Hears every line as it is logged, also those the scrollback lets go; one listener.
    void setLogListener(std::function<void(const std::string&)> listener)
    {
        logListener_ = std::move(listener);
    }
    // The last `logScrollback` commands sent, as the console keeps them. A plugin's own
    // command or variable also runs, as a console line would; the host's own are recorded only.
    const std::deque<ExecutedCommand>& executedCommands() const { return executed_; }
    // Hears every command as it is sent, also those the scrollback lets go; one listener.
    void setCommandListener(std::function<void(const ExecutedCommand&)> listener)
    {
        commandListener_ = std::move(listener);
    }
    // Every registration of the modules still loaded, one line each, in order
    // ("HookEvent NAME", ...); an unloaded module's go with it.
    std::vector<std::string> registrations() const;
    std::vector<std::string> hookedEvents() const;

    // Owners: each loaded module gets one; callbacks run inside their owner's scope.
    int newOwner() { return ++lastOwner_; }
    int currentOwner() const { return owner_; }
    void dropOwner(int owner);
    class OwnerScope {
    public:
        OwnerScope(Host& host, int owner) : host_(host), saved_(host.owner_) { host.owner_ = owner; }
        ~OwnerScope() { host_.owner_ = saved_; }
        OwnerScope(const OwnerScope&) = delete;
        OwnerScope& operator=(const OwnerScope&) = delete;

    private:
        Host& host_;
        int saved_;
    };

    // Runs a call into a plugin as its owner, named as the call under way. An
    // exception it throws is kept (the first, until taken), never passed on: false
    // then, and no plugin is called again, but to unload it, until whoever drives
    // the host has taken it (takeThrown). What the real host does with an exception
    // is not known.
    // `always`: also after an exception, as an unload is.
    template <class Run> bool callPlugin(int owner, const PluginCall& call, Run&& run, bool always = false)
    {
        if (thrown_ && !always)
            return false;
        OwnerScope scope(*this, owner);
        const PluginCall outer = exchangeCallUnderWay(call);
        bool returned = false;
        try {
            run();
            returned = true;
        } catch (const std::exception& failure) {
            keepThrown(call, failure.what());
        } catch (...) {
            keepThrown(call, "an exception that is no std::exception");
        }
        exchangeCallUnderWay(outer);
        return returned;
    }
    // The exception a plugin threw, once; nothing when none did since the last take.
    std::optional<PluginThrew> takeThrown() { return std::exchange(thrown_, std::nullopt); }

    // Wrapper side: what the host wrappers call.
    struct Game {
        GameFacts facts;
        bool matchOn = false;
        int playlist = 0;
        int score[2] = {0, 0};
        int localTeam = 0;
        std::optional<int> winner;
        std::string playerId = "player-0";
        std::u16string dataFolder;
    };
    const Game& game() const { return game_; }
    float ratingFor(const std::string& playerId, int playlist) const;
    ConsoleVariable& registerVariable(ConsoleVariable variable);
    void setVariable(ConsoleVariable& variable, const std::string& text);
    void addListener(ConsoleVariable& variable, std::function<void(std::string, CVarWrapper)> callback);
    void addNotifier(Notifier notifier);
    void addHook(const std::string& name, std::function<void(std::string)> callback);
    void addDrawable(std::function<void(CanvasWrapper)> callback);
    void addTimer(std::function<void(GameWrapper*)> callback, float seconds);
    void recordExecute(const std::string& command, bool log);
    void recordLog(const std::string& text);
    void recordCanvas(CanvasCall::Kind kind, float x, float y, const std::uint8_t* color = nullptr,
                      const std::string* text = nullptr);

private:
    static std::int64_t ticksFrom(double seconds);
    void keepThrown(const PluginCall& call, const char* what);

    struct Hook {
        std::string name;
        int owner;
        std::function<void(std::string)> callback;
    };
    struct Drawable {
        int owner;
        std::function<void(CanvasWrapper)> callback;
    };
    // Timers by when they fall due, then in the order they were set.
    using TimerKey = std::pair<std::int64_t, std::uint64_t>;
    struct Timer {
        int owner;
        std::function<void(GameWrapper*)> callback;
    };
    struct Registration {
        int owner;
        std::string text;
    };
    void registered(std::string text) { registrations_.push_back({owner_, std::move(text)}); }
    struct RatingReport {
        std::int64_t from;
        int playlist;
        float value;
    };

    Game game_;
    std::int64_t now_ = 0;
    int owner_ = 0;
    int lastOwner_ = 0;
    std::uint64_t timerSequence_ = 0;
    std::map<std::string, ConsoleVariable, std::less<>> variablesByName_;
    std::vector<ConsoleVariable*> variableOrder_;
    std::deque<Notifier> notifiers_;
    std::deque<Hook> hooks_;
    std::deque<Drawable> drawables_;
    std::map<TimerKey, Timer> timers_;
    std::vector<RatingReport> ratings_;
    std::deque<std::string> log_;
    std::size_t logged_ = 0;
    std::function<void(const std::string&)> logListener_;
    std::vector<Registration> registrations_;
    std::deque<ExecutedCommand> executed_;
    int executing_ = 0; // commands a plugin runs through executeCommand, one within another
    std::function<void(const ExecutedCommand&)> commandListener_;
    std::vector<CanvasCall> frame_;
    std::size_t frameCalls_ = 0;
    std::optional<PluginThrew> thrown_;
};

} // namespace simhost
