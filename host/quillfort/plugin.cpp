// The plugin base class, compiled into each plugin module.
#include "quillfort/plugin.h"

namespace Quillfort::Plugin {

QuillfortPlugin::QuillfortPlugin() = default;
QuillfortPlugin::QuillfortPlugin(const QuillfortPlugin& other) = default;
QuillfortPlugin::QuillfortPlugin(QuillfortPlugin&& other) noexcept = default;
// Member by member, cvarManager first: each takes the new handle, then releases the old one.
QuillfortPlugin& QuillfortPlugin::operator=(const QuillfortPlugin& other) = default;
QuillfortPlugin& QuillfortPlugin::operator=(QuillfortPlugin&& other) noexcept = default;
QuillfortPlugin::~QuillfortPlugin() = default;

void QuillfortPlugin::onLoad() {}
void QuillfortPlugin::onUnload() {}

} // namespace Quillfort::Plugin
