// The plugin object: every figure of the session and the members that keep them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "lifetime.h"
#include "overlay.h"
#include "quillfort/plugin.h"
#include "wholeFile.h"

class tarnuPlugin final : public Quillfort::Plugin::QuillfortPlugin {
public:
    // Frame and load (tarnuPlugin.cpp).
    void onLoad() override;
    void onUnload() override;
    void onEnableChanged(CVarWrapper variable);
    void onHideChanged(CVarWrapper variable);

    // Match tracking (matchTracking.cpp).
    bool isTrackedMatch();
    void onFirstBallHit();
    void onGoalScored();
    void onMatchEnded();
    void onMenuEntered();
    void refreshRating(UniqueIDWrapper id);
    void countResult(bool win);
    void reset();
    void addWin();
    void addLoss();
    void updateMmr();

    void drawOverlay(CanvasWrapper canvas); // overlay.cpp
    void writeStatsFile();                  // statsFile.cpp
    void writeSettingsFile();               // settingsPage.cpp

    float posX = 10.0f;
    float posY = 790.0f;
    float overlayScale = 1.0f;
    bool matchActive = false;
    std::uint8_t winnerTeam = 0;
    std::uint8_t localTeam = 0;
    std::int32_t wins = 0;
    std::int32_t losses = 0;
    std::int32_t streak = 0;
    float ratingChange = 0.0f;
    bool lastWasWin = false;
    bool noResultYet = true;
    bool enabled = true;
    bool hidden = false;
    std::int32_t screenWidth = 0;
    std::int32_t screenHeight = 0;
    bool leadingAtLastGoal = false;
    std::uint8_t leadingTeam = 0;
    std::int32_t playlistId = 0;
    UniqueIDWrapper playerId;
    std::string dataFolder;
    float lastRating13 = 0.0f;
    float lastRating11 = 0.0f;
    float lastRating10 = 0.0f;
    float lastRating28 = 0.0f;
    float lastRating29 = 0.0f;
    float lastRating27 = 0.0f;
    float lastRating30 = 0.0f;
    bool identityPending = true;
    std::string playerIdString;
    std::int32_t ratingRetries = 0;

    Lifetime lifetime;
    PluginRef<tarnuPlugin> ref() { return {this, lifetime.ticket()}; }

private:
    // Runs the member once, after the delay, if the object still exists then.
    void after(float seconds, void (tarnuPlugin::*member)());
    float* ratingField(std::int32_t playlist);
    void refreshTimer();
    static constexpr std::size_t statsTextSize = 4 * 64;
    std::string_view statsText(char (&text)[statsTextSize]) const;
    files::FileWrite putStatsFile(files::WhenHeld whenHeld);
    files::WhenHeld statsWhenHeld() const;
    float statsRetryDelay() const;
    void startStatsFile();
    void retryStatsFile();
    void lastStatsWrite();
    void scheduleStatsRetry();
    void statsCaughtUp();

    FigureLines figureLines;
    bool statsBehind = false;       // the stats file does not show the figures
    bool statsRetryPending = false; // a retry of the stats file is scheduled
    float statsBehindFor = 0.0f;    // seconds of retries since an update could not be written
};
