// The in-memory game and the wrappers that query it. Queries on a missing
// object (no online match, no winner yet, a level score) answer plain values.
#include <algorithm>

#include "conversions.h"
#include "host.h"
#include "quillfort/events.h"

namespace simhost {

Host::Host() = default;
Host::~Host() = default;

std::shared_ptr<CVarManagerWrapper> Host::cvarManager() { return std::make_shared<CVarManagerWrapper>(this); }

std::shared_ptr<GameWrapper> Host::gameWrapper() { return std::make_shared<GameWrapper>(this); }

void Host::setPlayerId(std::string id) { game_.playerId = std::move(id); }

void Host::setDataFolderUnits(std::u16string units) { game_.dataFolder = std::move(units); }

void Host::setDataFolder(std::string_view utf8)
{
    const std::wstring units = files::unitsFromUtf8(utf8);
    game_.dataFolder.assign(units.begin(), units.end());
}

GameFacts factsOf(Place place)
{
    switch (place) {
    case Place::OnlinePublic: return {.online = true, .playingPublic = true};
    case Place::OnlinePrivate: return {.online = true};
    case Place::Freeplay: return {.freeplay = true};
    case Place::CustomTraining: return {.customTraining = true};
    case Place::Replay: return {.replay = true};
    case Place::Menu:
    case Place::Offline: break;
    }
    return {};
}

void Host::startMatch(GameFacts facts, int playlist, int localTeam)
{
    game_.facts = facts;
    game_.matchOn = true;
    game_.playlist = playlist;
    game_.localTeam = localTeam;
    game_.score[0] = game_.score[1] = 0;
    game_.winner.reset();
}

void Host::kickoff() { fireEvent(Quillfort::Events::firstBallHit); }

void Host::score(int team)
{
    game_.score[team == 0 ? 0 : 1] += 1;
    fireEvent(Quillfort::Events::playerScored);
}

void Host::endMatch(std::optional<int> winner)
{
    if (!winner && game_.score[0] != game_.score[1])
        winner = game_.score[0] > game_.score[1] ? 0 : 1;
    game_.winner = winner;
    fireEvent(Quillfort::Events::matchEnded);
}

void Host::enterMenu()
{
    game_.facts = factsOf(Place::Menu);
    game_.matchOn = false;
    game_.playlist = 0;
    game_.score[0] = game_.score[1] = 0;
    game_.winner.reset();
    fireEvent(Quillfort::Events::enteredMenu);
}

void Host::setRating(int playlist, float value, std::optional<double> from)
{
    const std::int64_t start = std::max(from ? ticksFrom(*from) : now_, now_);
    // The newest report hides older ones of the playlist from its start on.
    std::erase_if(ratings_,
                  [&](const RatingReport& old) { return old.playlist == playlist && old.from >= start; });
    if (start <= now_)
        std::erase_if(ratings_,
                      [&](const RatingReport& old) { return old.playlist == playlist && old.from <= now_; });
    ratings_.push_back({start, playlist, value});
}

float Host::ratingFor(const std::string& playerId, int playlist) const
{
    if (playerId != game_.playerId)
        return 0.0f;
    for (auto report = ratings_.rbegin(); report != ratings_.rend(); ++report) {
        if (report->playlist == playlist && report->from <= now_)
            return report->value;
    }
    return 0.0f;
}

void Host::addHook(const std::string& name, std::function<void(std::string)> callback)
{
    registered("HookEvent " + name);
    hooks_.push_back({name, owner_, std::move(callback)});
}

void Host::fireEvent(std::string_view name)
{
    // Hooks added while firing are kept for the next event (deque references stay valid).
    const std::size_t count = hooks_.size();
    for (std::size_t i = 0; i < count; ++i) {
        Hook& hook = hooks_[i];
        if (hook.name != name)
            continue;
        callPlugin(hook.owner, {"hook", &hook.name}, [&] { hook.callback(hook.name); });
    }
}

std::vector<std::string> Host::hookedEvents() const
{
    std::vector<std::string> names;
    for (const Hook& hook : hooks_)
        names.push_back(hook.name);
    return names;
}

std::vector<std::string> Host::registrations() const
{
    std::vector<std::string> texts;
    for (const Registration& registration : registrations_)
        texts.push_back(registration.text);
    return texts;
}

void Host::dropOwner(int owner)
{
    auto owned = [owner](const auto& entry) { return entry.owner == owner; };
    std::erase_if(hooks_, owned);
    std::erase_if(drawables_, owned);
    std::erase_if(timers_, [owner](const auto& timer) { return timer.second.owner == owner; });
    std::erase_if(registrations_, owned);
    std::erase_if(notifiers_, owned);
    for (ConsoleVariable* variable : variableOrder_)
        std::erase_if(variable->listeners, owned);
}

} // namespace simhost

void GameWrapper::HookEvent(const std::string& eventName, std::function<void(std::string)> callback)
{
    host_->addHook(eventName, std::move(callback));
}

void GameWrapper::RegisterDrawable(std::function<void(CanvasWrapper)> callback)
{
    host_->addDrawable(std::move(callback));
}

void GameWrapper::SetTimeout(std::function<void(GameWrapper*)> callback, float seconds)
{
    host_->addTimer(std::move(callback), seconds);
}

bool GameWrapper::IsInOnlineGame() { return host_->game().facts.online; }
bool GameWrapper::IsInFreeplay() { return host_->game().facts.freeplay; }
bool GameWrapper::IsInReplay() { return host_->game().facts.replay; }
bool GameWrapper::IsInCustomTraining() { return host_->game().facts.customTraining; }

// The real host has no server to hand out outside an online game.
ServerWrapper GameWrapper::GetOnlineGame()
{
    const auto& game = host_->game();
    return ServerWrapper(game.matchOn && game.facts.online ? host_ : nullptr);
}

MMRWrapper GameWrapper::GetMMRWrapper() { return MMRWrapper(host_); }

UniqueIDWrapper GameWrapper::GetUniqueID() { return UniqueIDWrapper(host_->game().playerId); }

std::wstring GameWrapper::GetQuillfortPathW()
{
    const std::u16string& units = host_->game().dataFolder;
    return std::wstring(units.begin(), units.end());
}

TeamWrapper GameEventWrapper::GetMatchWinner()
{
    if (host_ == nullptr || !host_->game().winner)
        return TeamWrapper();
    return TeamWrapper(host_, *host_->game().winner);
}

TeamWrapper GameEventWrapper::GetWinningTeam()
{
    if (host_ == nullptr)
        return TeamWrapper();
    const int* score = host_->game().score;
    if (score[0] == score[1])
        return TeamWrapper();
    return TeamWrapper(host_, score[0] > score[1] ? 0 : 1);
}

PlayerControllerWrapper GameEventWrapper::GetLocalPrimaryPlayer() { return PlayerControllerWrapper(host_); }

bool ServerWrapper::IsPlayingPublic() { return host_ != nullptr && host_->game().facts.playingPublic; }

ReplayDirectorWrapper ServerWrapper::GetReplayDirector() { return ReplayDirectorWrapper(host_); }

std::uint8_t TeamWrapper::GetTeamNum2() { return host_ == nullptr ? 0 : static_cast<std::uint8_t>(team_); }

PriWrapper PlayerControllerWrapper::GetPRI() { return PriWrapper(host_); }

std::uint8_t PriWrapper::GetTeamNum()
{
    return host_ == nullptr ? 0 : static_cast<std::uint8_t>(host_->game().localTeam);
}

ReplaySoccarWrapper ReplayDirectorWrapper::GetReplay() { return ReplaySoccarWrapper(host_); }

int ReplaySoccarWrapper::GetTeam0Score() { return host_ == nullptr ? 0 : host_->game().score[0]; }
int ReplaySoccarWrapper::GetTeam1Score() { return host_ == nullptr ? 0 : host_->game().score[1]; }

int MMRWrapper::GetCurrentPlaylist() { return host_ == nullptr ? 0 : host_->game().playlist; }

float MMRWrapper::GetPlayerMMR(UniqueIDWrapper player, int playlist)
{
    return host_ == nullptr ? 0.0f : host_->ratingFor(player.GetIdString(), playlist);
}
