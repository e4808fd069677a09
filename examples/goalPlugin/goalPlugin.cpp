// A goal counter that uses every facility of the host interface: a variable with
// bounds and a change callback, commands with arguments, a one-shot and a repeating
// timer, every event hook, drawing, logging and a file in the data folder.
// Everything a module needs comes with Quillfort::plugin (see CMakeLists.txt).
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "quillfort/events.h"
#include "quillfort/plugin.h"

namespace {

class goalPlugin : public Quillfort::Plugin::QuillfortPlugin {
public:
    void onLoad() override
    {
        // A variable held within 1 to 3 by the host; a change is heard with the old text.
        cvarManager->registerCvar("gp_scale", "1", "Size of the goal box", true, true, 1.0f, true, 3.0f)
            .addOnValueChanged([this](std::string old, CVarWrapper now) {
                cvarManager->log("gp: scale " + old + " -> " + now.getStringValue());
            });

        // A command's arguments start with its own name: "gp_add 3" gives {"gp_add", "3"}.
        // The permission value belongs to the host; 0 offers the command everywhere.
        cvarManager->registerNotifier(
            "gp_add",
            [this](std::vector<std::string> arguments) {
                int count = 1;
                if (arguments.size() > 1) {
                    const std::string& text = arguments[1];
                    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
                    if (error != std::errc() || end != text.data() + text.size() || count < 0) {
                        cvarManager->log("gp: usage: gp_add [count], a whole number of at least 0");
                        return;
                    }
                }
                goals += count;
                report();
            },
            "Adds goals by hand: gp_add [count]", 0);
        cvarManager->registerNotifier(
            "gp_report", [this](std::vector<std::string>) { report(); }, "Logs the goals counted", 0);

        // Every event the host offers. The match's server is there from the first
        // kickoff to the match's end; at the menu event it is already gone.
        gameWrapper->HookEvent(Quillfort::Events::firstBallHit, [this](std::string) { ++kickoffs; });
        gameWrapper->HookEvent(Quillfort::Events::playerScored, [this](std::string) { scored(); });
        gameWrapper->HookEvent(Quillfort::Events::matchEnded, [this](std::string) { ended(); });
        gameWrapper->HookEvent(Quillfort::Events::enteredMenu, [this](std::string) {
            cvarManager->log(std::string("gp: in the menu, a match ") +
                             (gameWrapper->GetOnlineGame().IsNull() ? "no longer there" : "still there"));
        });

        gameWrapper->RegisterDrawable([this](CanvasWrapper canvas) { draw(canvas); });
        everyMinute();
        cvarManager->log("gp: loaded");
    }

    // Hooks, drawables and timers end with the module; nothing to undo by hand.
    void onUnload() override { cvarManager->log("gp: unloaded after " + std::to_string(goals) + " goals"); }

private:
    void report() { cvarManager->log("gp: " + std::to_string(goals) + " goals"); }

    // The score lives with the match's replay director; team 0 and team 1 as the game numbers them.
    void scored()
    {
        ++goals;
        ServerWrapper server = gameWrapper->GetOnlineGame();
        if (server.IsNull())
            return; // offline: no online match to read
        ReplaySoccarWrapper replay = server.GetReplayDirector().GetReplay();
        cvarManager->log("gp: score " + std::to_string(replay.GetTeam0Score()) + "-" +
                         std::to_string(replay.GetTeam1Score()));
    }

    // The winner is a team, or null before the end; the player's team comes from their PRI.
    void ended()
    {
        ServerWrapper server = gameWrapper->GetOnlineGame();
        TeamWrapper winner = server.GetMatchWinner();
        if (!server.IsNull() && !winner.IsNull()) {
            const bool won = winner.GetTeamNum2() == server.GetLocalPrimaryPlayer().GetPRI().GetTeamNum();
            cvarManager->log(won ? "gp: won" : "gp: lost");
        }
        save();
        // A one-shot timer: game time, in seconds.
        gameWrapper->SetTimeout([this](GameWrapper*) { cvarManager->log("gp: a second after the end"); },
                                1.0f);
    }

    // A repeating timer sets itself again from its own callback.
    void everyMinute()
    {
        gameWrapper->SetTimeout(
            [this](GameWrapper*) {
                ++minutes;
                cvarManager->log("gp: minute " + std::to_string(minutes) + ", " + std::to_string(kickoffs) +
                                 " kickoffs");
                everyMinute();
            },
            60.0f);
    }

    // The host's data folder comes as UTF-16 units: a path from them works on every platform.
    void save()
    {
        const std::filesystem::path file =
            std::filesystem::path(gameWrapper->GetQuillfortPathW()) / "goals.txt";
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << "Goals : " << goals << "\n";
        if (!out.flush())
            cvarManager->log("gp: cannot write goals.txt in the data folder");
    }

    void draw(CanvasWrapper& canvas)
    {
        const float scale = cvarManager->getCvar("gp_scale").getFloatValue();
        canvas.SetPosition({20.0f, 20.0f});
        canvas.SetColor(0, 0, 0, 150);
        canvas.FillBox({100.0f * scale, 26.0f * scale});
        canvas.SetPosition({20.0f + 5.0f * scale, 20.0f + 5.0f * scale});
        canvas.SetColor(255, 255, 255, 255);
        canvas.DrawString("Goals : " + std::to_string(goals), scale, scale);
    }

    int goals = 0;
    int kickoffs = 0;
    int minutes = 0;
};

// The module's one plugin object, which getPlugin hands out by this handle's address.
Quillfort::PluginHandle instance;

} // namespace

extern "C" {

QUILLFORT_PLUGIN_EXPORT std::uintptr_t getPlugin()
{
    if (!instance)
        instance = std::make_shared<goalPlugin>();
    return reinterpret_cast<std::uintptr_t>(&instance);
}

QUILLFORT_PLUGIN_EXPORT void deleteMe() { instance.reset(); }

// `extern`: a const record at namespace scope is otherwise private to this file.
QUILLFORT_PLUGIN_EXPORT extern const Quillfort::PluginExports exports;
const Quillfort::PluginExports exports = {
    Quillfort::kInterfaceVersion, 0, __FILE__,   "goalPlugin", "goal counter", "1.0",
    Quillfort::kPluginKind,       0, &getPlugin, &deleteMe};
}
