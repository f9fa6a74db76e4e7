// Where the kestrin tool finds Strainmark.so, Rimshaper.so and the
// tangent-space provider when --plugin-dir is not given.
#ifndef KESTRIN_TOOL_PLUGIN_FOLDER_H
#define KESTRIN_TOOL_PLUGIN_FOLDER_H

#include <string>

namespace kestrin::tool {

// The installed plug-in folder relative to the tool (../lib/kestrin from
// bin/, as `cmake --install` and the Debian package lay them out) when it
// exists, else the tool's own folder, where the build places them.
std::string pluginFolder();

}  // namespace kestrin::tool

#endif
