// kestrin check: what a plug-in registers, and whether it answers every
// message with 0, the effect passes run with the tangent-space provider
// included. The simulator runs the check in a child process under a time
// limit; this command prints its report and fails when the plug-in did.
#include <cstdio>
#include <filesystem>
#include <memory>

#include "commands.h"
#include "session.h"
#include "plugin_check.h"
#include "plugin_folder.h"
#include "tool_error.h"

namespace kestrin::tool {
namespace {

// What `kestrin check --help` says the command does.
constexpr const char* summary =
    "Load a plug-in in the host simulator, report what it registered and check "
    "that it answers every message class with 0 without crashing or hanging; an "
    "effect's passes run with the tangent-space provider found beside it or in "
    "kestrin's plug-in folder";

struct CheckOptions {
    std::string plugin;
    int timeoutSeconds = 10;
};

bool isFile(const std::filesystem::path& path) {
    std::error_code ignored;
    return std::filesystem::is_regular_file(path, ignored);
}

// A bare file name is a file of the current folder, else one of the plug-ins
// kestrin uses.
std::string pluginPath(const std::string& plugin) {
    const std::filesystem::path ours = std::filesystem::path(pluginFolder()) / plugin;
    if (plugin.find('/') == std::string::npos && !isFile(plugin) && isFile(ours)) {
        return ours.string();
    }
    return plugin;
}

// The provider beside the plug-in, else the one kestrin uses; none when
// the file checked is the provider itself.
std::string providerPath(const std::string& plugin) {
    if (std::filesystem::path(plugin).filename() == host::Session::providerFile) return "";
    for (const std::filesystem::path& folder :
         {std::filesystem::path(plugin).parent_path(), std::filesystem::path(pluginFolder())}) {
        if (isFile(folder / host::Session::providerFile)) return (folder / host::Session::providerFile).string();
    }
    return "";
}

void printRegistration(const host::PluginReport& report) {
    std::printf("%s\n", report.path.c_str());
    const PluginRegistration& registered = report.registration;
    std::printf("  interface version  0x%x\n", static_cast<unsigned>(registered.apiVersion));
    std::printf("  entry result       %d\n", registered.entryResult);
    std::printf("  module name        \"%s\"\n", registered.name.c_str());
    std::printf("  description        \"%s\"\n", registered.description.c_str());
    std::printf("  register class     %d, flags 0x%x\n", registered.moduleClass,
                static_cast<unsigned>(registered.registerFlags));
    std::printf("  host functions     %zu looked up\n", report.lookups);
    std::printf("  messages declared\n");
    for (const host::DeclaredMessages& declared : report.declared) {
        const char* name = host::messageClassName(declared.messageClass);
        std::printf("    class %-3u %-16s 0x%-10llx %s\n", declared.messageClass, name != nullptr ? name : "",
                    static_cast<unsigned long long>(declared.subKindMask),
                    host::subKindNames(declared.messageClass, declared.subKindMask).c_str());
    }
}

void printProvider(const host::PluginReport& report) {
    const std::string name = std::filesystem::path(report.provider).filename().string();
    if (report.provider.empty()) {
        std::printf("  provider           none found%s\n",
                    report.effectPasses ? "; effect passes ran without one" : "");
    } else if (report.effectPasses) {
        std::printf("  provider           %s loaded; effect passes ran with it\n", name.c_str());
    } else {
        std::printf("  provider           %s loaded; the plug-in declares no effect passes\n", name.c_str());
    }
    if (report.effectPasses) {
        std::printf("  effect passes      %zu targets chosen; %zu of %zu points moved; "
                    "%zu tangent-space calls\n",
                    report.targetsChosen, report.pointsMoved, report.pointCount, report.tangentCalls);
    }
}

void printMessages(const host::PluginReport& report) {
    std::printf("  messages sent      %zu, answered %zu\n", report.planned, report.answered.size());
    for (const host::AnsweredMessage& message : report.answered) {
        if (message.answer == 0) continue;
        std::printf("    %s answered %d\n",
                    host::describeMessage(message.messageClass, message.subKind).c_str(), message.answer);
    }
}

void runCheck(const CheckOptions& options) {
    const std::string plugin = pluginPath(options.plugin);
    const host::PluginReport report =
        host::checkPlugin(plugin, providerPath(plugin), std::chrono::seconds(options.timeoutSeconds));
    if (report.entered) printRegistration(report);
    for (const host::ShownText& shown : report.shown) {
        std::printf("  message shown      %s: %s\n", shown.title.c_str(), shown.text.c_str());
    }
    if (report.planned > 0) {
        printProvider(report);
        printMessages(report);
    }
    if (!report.passed()) throw ToolError(options.plugin + ": " + report.failure);
    std::printf("  result             every message answered 0\n");
}

}  // namespace

void addCheckCommand(CLI::App& app) {
    const auto [command, options] = addCommand<CheckOptions>(app, "check", summary, runCheck);
    command->add_option("plugin", options->plugin, "Plug-in library (.so)")->required()->type_name("PLUGIN.so");
    command->add_option("--timeout", options->timeoutSeconds,
                        "Seconds the whole check may take before the plug-in is reported as hanging")
        ->check(CLI::Range(1, 3600))
        ->type_name("SECONDS")
        ->capture_default_str();
}

}  // namespace kestrin::tool
