// The module boundary (getPlugin, deleteMe, exports) and the load sequence.
#include "tarnuPlugin.h"

#include <cstddef>
#include <string>
#include <vector>

#include "conversions.h"
#include "names.h"
#include "quillfort/desktop.h"
#include "quillfort/events.h"

namespace {
// The module's one handle to the plugin object; empty until getPlugin.
Quillfort::PluginHandle pluginInstance;
} // namespace

extern "C" {

QUILLFORT_PLUGIN_EXPORT std::uintptr_t getPlugin()
{
    if (!pluginInstance)
        pluginInstance = Quillfort::PluginHandle(new tarnuPlugin());
    return reinterpret_cast<std::uintptr_t>(&pluginInstance);
}

QUILLFORT_PLUGIN_EXPORT void deleteMe() { pluginInstance.reset(); }

// The host reads the record at these offsets, whatever header declares it: one
// that bridges the host's own must lay it out exactly so.
using Record = Quillfort::PluginExports;
static_assert(sizeof(Record) == 64 && alignof(Record) == 8);
static_assert(offsetof(Record, interfaceVersion) == 0 && offsetof(Record, sourceFile) == 8 &&
              offsetof(Record, typeName) == 16 && offsetof(Record, displayName) == 24 &&
              offsetof(Record, versionText) == 32 && offsetof(Record, kindValue) == 40 &&
              offsetof(Record, createFunction) == 48 && offsetof(Record, releaseFunction) == 56);

QUILLFORT_PLUGIN_EXPORT extern const Quillfort::PluginExports exports;
constinit const Quillfort::PluginExports exports = {
    Quillfort::kInterfaceVersion, 0, __FILE__,   "tarnuPlugin", "tarnu plugin", TARNU_VERSION,
    Quillfort::kPluginKind,       0, &getPlugin, &deleteMe,
};

} // extern "C"

namespace {

using Member = void (tarnuPlugin::*)();

// A host callback bound to a member: it drops the arguments the member does not
// take, and does nothing once the object is gone.
template <class... Ignored> auto bound(PluginRef<tarnuPlugin> self, Member member)
{
    return [self, member](Ignored...) {
        if (tarnuPlugin* plugin = self.get())
            (plugin->*member)();
    };
}

template <void (tarnuPlugin::*member)(CVarWrapper)> auto onValueChanged(PluginRef<tarnuPlugin> self)
{
    return [self](std::string, CVarWrapper variable) {
        if (tarnuPlugin* plugin = self.get())
            (plugin->*member)(variable);
    };
}

} // namespace

void tarnuPlugin::onLoad()
{
    RECT desktop{};
    GetWindowRect(GetDesktopWindow(), &desktop);
    screenWidth = desktop.right;
    screenHeight = desktop.bottom;

    const auto self = ref();
    gameWrapper->RegisterDrawable([self](CanvasWrapper canvas) {
        if (tarnuPlugin* plugin = self.get())
            plugin->drawOverlay(canvas);
    });

    // A 64-bit product: a 32-bit one would overflow for heights above 33 million.
    const auto posyDefault = static_cast<std::int32_t>(std::int64_t{screenHeight} * 65 / 100);
    cvarManager->registerCvar(names::posx, std::to_string(screenWidth / 100), "La position en X", true, true,
                              0.0f, true, static_cast<float>(screenWidth), true);
    cvarManager->registerCvar(names::posy, std::to_string(posyDefault), "La position en Y", true, true, 0.0f,
                              true, static_cast<float>(screenHeight), true);
    cvarManager->registerCvar(names::scale, "1", "Scale", true, true, 1.0f, true, 3.0f, true);
    cvarManager->registerCvar(names::enablePlugin, "1", "Enable Plugin", true, true, 0.0f, true, 1.0f, true);
    cvarManager->registerCvar(names::hidePlugin, "0", "Hide Plugin", true, true, 0.0f, true, 1.0f, true);
    cvarManager->registerCvar(names::inputMmr, "0", "", true, false, 0.0f, false, 0.0f, true);

    cvarManager->getCvar(names::enablePlugin)
        .addOnValueChanged(onValueChanged<&tarnuPlugin::onEnableChanged>(self));
    cvarManager->getCvar(names::hidePlugin)
        .addOnValueChanged(onValueChanged<&tarnuPlugin::onHideChanged>(self));

    using Arguments = std::vector<std::string>;
    cvarManager->registerNotifier("reset", bound<Arguments>(self, &tarnuPlugin::reset), "Reset", 0);
    cvarManager->registerNotifier("add_win", bound<Arguments>(self, &tarnuPlugin::addWin), "Add Win", 0);
    cvarManager->registerNotifier("add_loss", bound<Arguments>(self, &tarnuPlugin::addLoss), "Add Loss", 0);
    cvarManager->registerNotifier("update_mmr", bound<Arguments>(self, &tarnuPlugin::updateMmr), "Update MMR",
                                  0);

    const auto hook = [&](const char* event, Member handler) {
        gameWrapper->HookEvent(event, bound<std::string>(self, handler));
    };
    hook(Quillfort::Events::matchEnded, &tarnuPlugin::onMatchEnded);
    hook(Quillfort::Events::playerScored, &tarnuPlugin::onGoalScored);
    hook(Quillfort::Events::firstBallHit, &tarnuPlugin::onFirstBallHit);
    hook(Quillfort::Events::enteredMenu, &tarnuPlugin::onMenuEntered);

    dataFolder = files::utf8FromUnits(gameWrapper->GetQuillfortPathW());
    startStatsFile();
    writeSettingsFile();
}

void tarnuPlugin::onUnload() { lastStatsWrite(); }

void tarnuPlugin::after(float seconds, Member member)
{
    gameWrapper->SetTimeout(bound<GameWrapper*>(ref(), member), seconds);
}

void tarnuPlugin::onEnableChanged(CVarWrapper variable) { enabled = variable.getBoolValue(); }

void tarnuPlugin::onHideChanged(CVarWrapper variable) { hidden = variable.getBoolValue(); }
