// Export macros of the host SDK library and of plugin modules.
#pragma once

#if defined(_WIN32)
#  if defined(PLUGINSDK_BUILDING)
#    define PLUGINSDK_API __declspec(dllexport)
#  else
#    define PLUGINSDK_API __declspec(dllimport)
#  endif
#  if defined(QUILLFORT_BUILDING_PLUGIN)
#    define QUILLFORT_PLUGIN_EXPORT __declspec(dllexport)
#  else
#    define QUILLFORT_PLUGIN_EXPORT
#  endif
#else
#  define PLUGINSDK_API __attribute__((visibility("default")))
#  define QUILLFORT_PLUGIN_EXPORT __attribute__((visibility("default")))
#endif

// The host's own state, which wrappers are small handles onto; the host library
// defines it (this project's is the simulated host).
namespace simhost {
class Host;
struct ConsoleVariable;
} // namespace simhost
