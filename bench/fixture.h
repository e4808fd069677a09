// A plugin object loaded into a simulated host, for the benchmarks.
#pragma once

#include <string>

#include "conversions.h"
#include "dataFolder.h"
#include "host.h"
#include "tarnuPlugin.h"

namespace bench {

struct Loaded {
    Loaded()
    {
        host.setDataFolder(files::utf8FromPath(data.path()));
        plugin.cvarManager = host.cvarManager();
        plugin.gameWrapper = host.gameWrapper();
        plugin.onLoad();
    }
    void console(std::vector<std::string> words) { host.console(words); }

    simhost::Host host;
    qsim::DataFolder data;
    tarnuPlugin plugin;
};

} // namespace bench
