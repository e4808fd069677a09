// Player identity and skill ratings.
#pragma once

#include <string>

#include "quillfort/api.h"

class PLUGINSDK_API UniqueIDWrapper {
public:
    UniqueIDWrapper() = default;
    explicit UniqueIDWrapper(std::string id) : id_(std::move(id)) {}
    std::string GetIdString() const { return id_; }

private:
    std::string id_;
};

class PLUGINSDK_API MMRWrapper {
public:
    explicit MMRWrapper(simhost::Host* host = nullptr) : host_(host) {}
    int GetCurrentPlaylist();
    // The player's rating in the playlist; 0 for a player the host does not know.
    float GetPlayerMMR(UniqueIDWrapper player, int playlist);

private:
    simhost::Host* host_;
};
