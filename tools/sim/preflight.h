// What a statement's own text and the statements before it decide, found for the
// whole scenario before any of it runs. Each statement's check and what it tells
// the ones after it are named in its row of the statement table.
#pragma once

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>

#include "runner.h"

namespace qsim {

// Why a wait cannot run: the game clock would pass its end.
std::string clockEnd();

class Preflight {
public:
    explicit Preflight(const Options& options) : options_(options) {}

    // What keeps the statement from running after those that passed, or "".
    std::string check(const Statement& s) const;
    // The statement ran (or will): what it changes for the ones after it.
    void passed(const Statement& s);

    // The checks, by statement.
    std::string load(const Statement& s) const;
    std::string unload(const Statement& s) const;
    std::string console(const Statement& s) const;
    std::string page(const Statement& s) const;
    std::string end(const Statement& s) const;
    std::string wait(const Statement& s) const;
    std::string frame(const Statement& s) const;
    std::string background(const Statement& s) const;
    std::string lastFrame(const Statement& s) const;

    // What statements tell the ones after them.
    void loaded(const Statement& s);
    void unloaded(const Statement& s);
    void desktopSet(const Statement& s);
    void matchStarted(const Statement& s);
    void scored(const Statement& s);
    void waited(const Statement& s);
    void framed(const Statement& s);

private:
    std::filesystem::path picturePath(const Statement& s) const;

    const Options& options_;
    bool loaded_ = false, everLoaded_ = false, everFramed_ = false;
    std::int64_t clock_ = 0;
    long long score_[2] = {0, 0};
    simhost::DesktopSize desktop_ = simhost::startingDesktop();
    std::set<std::filesystem::path> pictures_, pictureFolders_; // what frames before make
};

} // namespace qsim
