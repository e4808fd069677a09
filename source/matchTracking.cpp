// When a match counts, whether it was won, the streak and the rating change.
#include <cmath>
#include <limits>
#include <string>

#include "names.h"
#include "tarnuPlugin.h"

namespace {

// The tracked playlists with their stored ratings, in the order the baselines are read.
struct TrackedPlaylist {
    std::int32_t id;
    float tarnuPlugin::*rating;
};
constexpr TrackedPlaylist trackedPlaylists[] = {
    {10, &tarnuPlugin::lastRating10}, {11, &tarnuPlugin::lastRating11}, {13, &tarnuPlugin::lastRating13},
    {28, &tarnuPlugin::lastRating28}, {29, &tarnuPlugin::lastRating29}, {27, &tarnuPlugin::lastRating27},
    {30, &tarnuPlugin::lastRating30},
};

// The refresh reads the rating this long after a match end, then re-reads it at
// most `refreshRetries` times, `retryDelay` apart, while it has not changed.
constexpr float firstRefreshDelay = 1.0f;
constexpr float retryDelay = 3.0f;
constexpr std::int32_t refreshRetries = 3;

// The host reports 0 for a rating it does not know yet, and a reading that is not
// finite is no reading either: neither becomes a baseline nor a difference.
bool isKnown(float rating) { return std::isfinite(rating) && rating != 0.0f; }

} // namespace

bool tarnuPlugin::isTrackedMatch()
{
    return enabled && !gameWrapper->IsInReplay() && !gameWrapper->IsInFreeplay() &&
           !gameWrapper->IsInCustomTraining() && gameWrapper->IsInOnlineGame() &&
           gameWrapper->GetOnlineGame().IsPlayingPublic();
}

// The streak never shows +1 or -1: the first result and every break leave it at 0.
void tarnuPlugin::countResult(bool win)
{
    if (noResultYet || lastWasWin != win)
        streak = 0;
    else if (win)
        streak = streak == 0 ? 2 : streak + 1;
    else
        streak = streak == 0 ? -2 : streak - 1;
    (win ? wins : losses) += 1;
    lastWasWin = win;
    noResultYet = false;
}

void tarnuPlugin::onFirstBallHit()
{
    if (!isTrackedMatch())
        return;
    // Only when a match opens: later kickoffs of the same match keep the last goal's lead.
    if (!matchActive)
        leadingAtLastGoal = false;
    matchActive = true;
    playlistId = gameWrapper->GetMMRWrapper().GetCurrentPlaylist();
    if (!identityPending)
        return;
    identityPending = false;
    playerId = gameWrapper->GetUniqueID();
    playerIdString = playerId.GetIdString();
    for (const TrackedPlaylist& playlist : trackedPlaylists) {
        // An unknown rating is kept as NaN until the first known reading sets it.
        const float rating = gameWrapper->GetMMRWrapper().GetPlayerMMR(playerId, playlist.id);
        this->*playlist.rating = isKnown(rating) ? rating : std::numeric_limits<float>::quiet_NaN();
    }
}

void tarnuPlugin::onGoalScored()
{
    if (!isTrackedMatch() || !matchActive)
        return;
    const int team0 = gameWrapper->GetOnlineGame().GetReplayDirector().GetReplay().GetTeam0Score();
    const int team1 = gameWrapper->GetOnlineGame().GetReplayDirector().GetReplay().GetTeam1Score();
    if (team0 == team1) {
        leadingAtLastGoal = false;
        return;
    }
    leadingTeam = gameWrapper->GetOnlineGame().GetWinningTeam().GetTeamNum2();
    leadingAtLastGoal =
        leadingTeam == gameWrapper->GetOnlineGame().GetLocalPrimaryPlayer().GetPRI().GetTeamNum();
}

void tarnuPlugin::onMatchEnded()
{
    if (!isTrackedMatch() || !matchActive)
        return;
    matchActive = false;
    winnerTeam = gameWrapper->GetOnlineGame().GetMatchWinner().GetTeamNum2();
    localTeam = gameWrapper->GetOnlineGame().GetLocalPrimaryPlayer().GetPRI().GetTeamNum();
    countResult(winnerTeam == localTeam);
    writeStatsFile();
    after(firstRefreshDelay, &tarnuPlugin::refreshTimer);
}

void tarnuPlugin::onMenuEntered()
{
    if (!matchActive)
        return;
    matchActive = false;
    countResult(leadingAtLastGoal);
    writeStatsFile();
}

// The timer passes a copy of the id it finds when it runs.
void tarnuPlugin::refreshTimer() { refreshRating(playerId); }

float* tarnuPlugin::ratingField(std::int32_t playlist)
{
    for (const TrackedPlaylist& tracked : trackedPlaylists) {
        if (tracked.id == playlist)
            return &(this->*tracked.rating);
    }
    return nullptr;
}

void tarnuPlugin::refreshRating(UniqueIDWrapper id)
{
    playerIdString = playerId.GetIdString();
    const std::string idString = id.GetIdString();
    cvarManager->log(playerIdString);
    cvarManager->log(idString);
    cvarManager->log(std::to_string(playlistId));
    if (!enabled || playlistId <= 0 || idString != playerIdString)
        return;
    playerId = gameWrapper->GetUniqueID();
    cvarManager->log("uniqueid : " + playerId.GetIdString());
    const float rating = gameWrapper->GetMMRWrapper().GetPlayerMMR(playerId, playlistId);

    // An unknown reading is no reading: the stored rating stays and the chain
    // retries. With no known rating yet, a known reading only sets it.
    float delta = 0.0f;
    if (float* last = ratingField(playlistId); last != nullptr && isKnown(rating)) {
        if (isKnown(*last))
            delta = rating - *last;
        *last = rating;
    }
    if (delta == 0.0f) {
        if (ratingRetries < refreshRetries) {
            ratingRetries += 1;
            after(retryDelay, &tarnuPlugin::refreshTimer);
        } else {
            ratingRetries = 0;
        }
        return;
    }
    // The total stays a number even if the two readings are at opposite ends of float.
    if (std::isfinite(ratingChange + delta))
        ratingChange += delta;
    ratingRetries = 0;
}

void tarnuPlugin::reset()
{
    wins = 0;
    losses = 0;
    streak = 0;
    noResultYet = true;
    ratingChange = 0.0f;
    writeStatsFile();
}

void tarnuPlugin::addWin()
{
    countResult(true);
    writeStatsFile();
}

void tarnuPlugin::addLoss()
{
    countResult(false);
    writeStatsFile();
}

// A value that is not a finite number is ignored, so the total stays a number.
void tarnuPlugin::updateMmr()
{
    const float value = cvarManager->getCvar(names::inputMmr).getFloatValue();
    if (std::isfinite(value))
        ratingChange = value;
}
