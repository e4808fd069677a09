// A plugin object loaded into a simulated host, for the benchmarks.
#pragma once

#include <string>

#include "dataFolder.h"
#include "host.h"
#include "tarnuPlugin.h"

namespace bench {

struct Loaded {
    Loaded()
    {
        const std::u8string folder = data.path().u8string();
        host.setDataFolder(std::string(folder.begin(), folder.end()));
        plugin.cvarManager = host.cvarManager();
        plugin.gameWrapper = host.gameWrapper();
        plugin.onLoad();
    }
    void console(std::vector<std::string> words) { host.console(words); }

    sim::Host host;
    sim::DataFolder data;
    tarnuPlugin plugin;
};

} // namespace bench
