// The current match and what hangs off it. A handle onto a missing object
// answers every query with a plain value (0, false, empty).
#pragma once

#include <cstdint>

#include "quillfort/api.h"

class PLUGINSDK_API TeamWrapper {
public:
    TeamWrapper(simhost::Host* host = nullptr, int team = -1) : host_(host), team_(team) {}
    // A missing team (no winner yet, a level score) answers team 0, as every missing
    // object answers plain values: this tells it from team 0.
    bool IsNull() const { return host_ == nullptr; }
    std::uint8_t GetTeamNum2();

private:
    simhost::Host* host_;
    int team_;
};

class PLUGINSDK_API PriWrapper {
public:
    explicit PriWrapper(simhost::Host* host = nullptr) : host_(host) {}
    std::uint8_t GetTeamNum();

private:
    simhost::Host* host_;
};

class PLUGINSDK_API PlayerControllerWrapper {
public:
    explicit PlayerControllerWrapper(simhost::Host* host = nullptr) : host_(host) {}
    PriWrapper GetPRI();

private:
    simhost::Host* host_;
};

class PLUGINSDK_API ReplaySoccarWrapper {
public:
    explicit ReplaySoccarWrapper(simhost::Host* host = nullptr) : host_(host) {}
    int GetTeam0Score();
    int GetTeam1Score();

private:
    simhost::Host* host_;
};

class PLUGINSDK_API ReplayDirectorWrapper {
public:
    explicit ReplayDirectorWrapper(simhost::Host* host = nullptr) : host_(host) {}
    ReplaySoccarWrapper GetReplay();

private:
    simhost::Host* host_;
};

class PLUGINSDK_API GameEventWrapper {
public:
    explicit GameEventWrapper(simhost::Host* host = nullptr) : host_(host) {}
    bool IsNull() const { return host_ == nullptr; }
    // The team that has won the match; missing until the match has ended.
    TeamWrapper GetMatchWinner();
    // The team with more goals; missing while the score is level.
    TeamWrapper GetWinningTeam();
    PlayerControllerWrapper GetLocalPrimaryPlayer();

protected:
    simhost::Host* host_;
};

class PLUGINSDK_API ServerWrapper : public GameEventWrapper {
public:
    using GameEventWrapper::GameEventWrapper;
    bool IsPlayingPublic();
    ReplayDirectorWrapper GetReplayDirector();
};
