// Names and texts that more than one file of the plugin uses.
#pragma once

namespace names {
inline constexpr char posx[] = "posx";
inline constexpr char posy[] = "posy";
inline constexpr char scale[] = "scale";
inline constexpr char enablePlugin[] = "enable_plugin";
inline constexpr char hidePlugin[] = "hide_plugin";
inline constexpr char inputMmr[] = "input_mmr";

// The plugin's files in the host data folder.
inline constexpr char statsFile[] = "WinsLossesStats.txt";
inline constexpr char settingsFolder[] = "plugins/settings";
inline constexpr char settingsPage[] = "tarnuplugin.set";
} // namespace names
