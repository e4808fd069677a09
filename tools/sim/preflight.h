// What a statement's own text and the statements before it decide, found for the
// whole scenario before any of it runs: a second load, an unload with nothing
// loaded, game time that runs out, a desktop no picture can hold, a picture path
// that names no file, a background that is no readable PNG.
#pragma once

#include <cstdint>
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

private:
    const Options& options_;
    bool loaded_ = false;
    std::int64_t clock_ = 0;
    simhost::DesktopSize desktop_ = simhost::defaultDesktop;
};

} // namespace qsim
