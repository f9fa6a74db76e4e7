// The plug-in check as the child process runs it: a fresh host, the
// provider, the plug-in's entry, then every message in a working order, each
// step announced to the parent before it is taken.
#ifndef KESTRIN_HOST_PLUGIN_CHECK_RUN_H
#define KESTRIN_HOST_PLUGIN_CHECK_RUN_H

#include <string>

namespace kestrin::host::check {

// Runs the check and ends the process: status 0 once the done record is
// written (failures the check found included), other statuses when the
// plug-in ended it.
[[noreturn]] void runChild(const std::string& pluginPath, const std::string& providerPath, int pipe);

}  // namespace kestrin::host::check

#endif
