// kestrin check: what a plug-in registers, and whether it answers every
// message with 0. The messages go out in a child process, so that a plug-in
// that crashes is reported with the message it died on instead of taking the
// tool down with it.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>

#include "commands.h"
#include "messages.h"
#include "host.h"
#include "session.h"
#include "settings.h"
#include "tool_error.h"

namespace kestrin::tool {
namespace {

struct CheckOptions {
    std::string plugin;
};

struct Message {
    uint32_t messageClass;
    uint64_t subKind;
};

const char* className(uint32_t messageClass) {
    switch (messageClass) {
        case MSG_EFFECT: return "MSG_EFFECT";
        case MSG_OBJECT: return "MSG_OBJECT";
        case MSG_WEIGHT_TOOL: return "MSG_WEIGHT_TOOL";
        case MSG_INTERFACE: return "MSG_INTERFACE";
        case MSG_DISPLAY: return "MSG_DISPLAY";
        case MSG_LINK: return "MSG_LINK";
    }
    return nullptr;
}

const char* subKindName(uint32_t messageClass, uint64_t subKind) {
    struct Name {
        uint32_t messageClass;
        uint64_t subKind;
        const char* name;
    };
    static const Name names[] = {
        {MSG_EFFECT, EFFECT_SETUP, "EFFECT_SETUP"},       {MSG_EFFECT, EFFECT_DISPLACE, "EFFECT_DISPLACE"},
        {MSG_OBJECT, OBJ_CREATE, "OBJ_CREATE"},           {MSG_OBJECT, OBJ_DESTROY, "OBJ_DESTROY"},
        {MSG_OBJECT, OBJ_LOAD, "OBJ_LOAD"},               {MSG_OBJECT, OBJ_SAVE, "OBJ_SAVE"},
        {MSG_WEIGHT_TOOL, WEIGHT_COMPUTE, "WEIGHT_COMPUTE"}, {MSG_INTERFACE, INTERFACE_BUILD, "INTERFACE_BUILD"},
        {MSG_DISPLAY, DISPLAY_SETUP, "DISPLAY_SETUP"},    {MSG_LINK, LINK_FUNCTIONS, "LINK_FUNCTIONS"},
    };
    for (const Name& name : names) {
        if (name.messageClass == messageClass && name.subKind == subKind) return name.name;
    }
    return nullptr;
}

std::string describe(const Message& message) {
    char text[96];
    const char* cls = className(message.messageClass);
    const char* sub = subKindName(message.messageClass, message.subKind);
    std::snprintf(text, sizeof text, "%u/0x%llx", message.messageClass,
                  static_cast<unsigned long long>(message.subKind));
    std::string result = text;
    if (cls != nullptr) {
        result += std::string(" (") + cls + (sub != nullptr ? std::string("/") + sub : "") + ")";
    }
    return result;
}

std::string subKindList(uint32_t messageClass, uint64_t mask) {
    std::string list;
    for (int bit = 0; bit < 64; ++bit) {
        const uint64_t subKind = uint64_t{1} << bit;
        if ((mask & subKind) == 0) continue;
        const char* name = subKindName(messageClass, subKind);
        char hex[24];
        std::snprintf(hex, sizeof hex, "0x%llx", static_cast<unsigned long long>(subKind));
        list += list.empty() ? "" : " ";
        list += name != nullptr ? name : hex;
    }
    return list;
}

void printRegistration(const host::LoadedModule& module, size_t lookups) {
    std::printf("%s\n", module.path.c_str());
    std::printf("  interface version  0x%x\n", static_cast<unsigned>(module.apiVersion));
    std::printf("  entry result       %d\n", module.entryResult);
    std::printf("  module name        \"%s\"\n", module.name.c_str());
    std::printf("  description        \"%s\"\n", module.description.c_str());
    std::printf("  register class     %d, flags 0x%x\n", module.moduleClass,
                static_cast<unsigned>(module.registerFlags));
    std::printf("  host functions     %zu looked up\n", lookups);
    std::printf("  messages declared\n");
    for (const host::ModuleAccessRecord& access : module.access) {
        const char* name = className(access.messageClass);
        std::printf("    class %-3u %-16s 0x%-10llx %s\n", access.messageClass, name != nullptr ? name : "",
                    static_cast<unsigned long long>(access.subKindMask),
                    subKindList(access.messageClass, access.subKindMask).c_str());
    }
}

// Every declared sub-kind in a working order (create first, destroy last),
// then classes and sub-kinds nobody declared, high word included.
std::vector<Message> messagesToSend(const host::LoadedModule& module) {
    std::vector<Message> messages = {{MSG_OBJECT, OBJ_CREATE}, {MSG_LINK, LINK_FUNCTIONS},
                                     {MSG_INTERFACE, INTERFACE_BUILD}, {MSG_DISPLAY, DISPLAY_SETUP},
                                     {MSG_OBJECT, OBJ_SAVE}, {MSG_OBJECT, OBJ_LOAD},
                                     {MSG_WEIGHT_TOOL, WEIGHT_COMPUTE}, {MSG_EFFECT, EFFECT_SETUP},
                                     {MSG_EFFECT, EFFECT_DISPLACE}};
    auto listed = [&](uint32_t messageClass, uint64_t subKind) {
        for (const Message& message : messages) {
            if (message.messageClass == messageClass && message.subKind == subKind) return true;
        }
        return messageClass == MSG_OBJECT && subKind == OBJ_DESTROY;
    };
    for (const host::ModuleAccessRecord& access : module.access) {
        for (int bit = 0; bit < 64; ++bit) {
            const uint64_t subKind = uint64_t{1} << bit;
            if ((access.subKindMask & subKind) != 0 && !listed(access.messageClass, subKind)) {
                messages.push_back({access.messageClass, subKind});
            }
        }
    }
    const uint64_t strays[] = {0, 2, 8, 0x100000001ull, 0xffffffffffffffffull};
    for (uint32_t messageClass = 0; messageClass < 40; ++messageClass) {
        for (uint64_t subKind : strays) {
            if (messageClass == MSG_OBJECT && subKind == 0xffffffffffffffffull) continue;
            messages.push_back({messageClass, subKind});
        }
    }
    messages.push_back({MSG_OBJECT, OBJ_DESTROY});
    return messages;
}

// Runs in the child: sends each message to a one-quad mesh and writes
// "index answer" per message to the pipe.
[[noreturn]] void sendAll(host::Host& host, int module, const std::vector<Message>& messages, int pipe) {
    const HostHandle item =
        host.scene.addObject("check", host::Mesh({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2, 3}}));
    host::SettingsContext context;
    for (size_t i = 0; i < messages.size(); ++i) {
        const Message& message = messages[i];
        int32_t answer = 0;
        if (message.messageClass == MSG_WEIGHT_TOOL && message.subKind == WEIGHT_COMPUTE) {
            host.computeWeights(module, item, "check");
        } else {
            const bool settings = message.messageClass == MSG_OBJECT &&
                                  (message.subKind == OBJ_SAVE || message.subKind == OBJ_LOAD);
            answer = host.send(module, item, message.messageClass, message.subKind,
                               settings ? &context : nullptr);
        }
        char line[48];
        const int length = std::snprintf(line, sizeof line, "%zu %d\n", i, answer);
        if (write(pipe, line, length) != length) _exit(3);
    }
    _exit(0);
}

void runCheck(const CheckOptions& options) {
    host::Host simulator;
    std::string error;
    // The effect fetches the tangent-space functions at link time; with the
    // provider beside it, the effect passes run as they would in a scene.
    const std::filesystem::path provider =
        std::filesystem::path(options.plugin).parent_path() / host::Session::providerFile;
    std::error_code ignored;
    if (std::filesystem::path(options.plugin).filename() != host::Session::providerFile &&
        std::filesystem::exists(provider, ignored)) {
        simulator.load(provider.string(), &error);
        simulator.clearLookups();
        simulator.shown.clear();
    }
    const int module = simulator.load(options.plugin, &error);
    if (module < 0) throw ToolError(options.plugin + ": cannot load plug-in: " + error);
    const host::LoadedModule& loaded = simulator.module(module);
    printRegistration(loaded, simulator.lookups().size());
    for (const host::ShownMessage& shown : simulator.shown) {
        std::printf("  message shown      %s: %s\n", shown.title.c_str(), shown.text.c_str());
    }
    if (loaded.entryResult != 0 || !loaded.registered()) {
        std::string message = options.plugin + ": plug-in entry failed with " +
                               std::to_string(loaded.entryResult);
        for (const host::ShownMessage& shown : simulator.shown) {
            message += ": " + shown.title + ": " + shown.text;
        }
        throw ToolError(message);
    }

    const std::vector<Message> messages = messagesToSend(loaded);
    int pipes[2];
    if (pipe(pipes) != 0) throw ToolError(std::string("cannot make a pipe: ") + std::strerror(errno));
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) throw ToolError(std::string("cannot fork: ") + std::strerror(errno));
    if (child == 0) {
        close(pipes[0]);
        sendAll(simulator, module, messages, pipes[1]);
    }
    close(pipes[1]);
    std::string answers;
    char buffer[4096];
    ssize_t count = 0;
    while ((count = read(pipes[0], buffer, sizeof buffer)) > 0) answers.append(buffer, count);
    close(pipes[0]);
    int status = 0;
    waitpid(child, &status, 0);

    size_t answered = 0;
    std::vector<std::string> nonZero;
    std::istringstream lines(answers);
    size_t index = 0;
    int answer = 0;
    while (lines >> index >> answer) {
        ++answered;
        if (answer != 0 && index < messages.size()) {
            nonZero.push_back(describe(messages[index]) + " answered " + std::to_string(answer));
        }
    }
    std::printf("  messages sent      %zu, answered %zu\n", messages.size(), answered);
    if (WIFSIGNALED(status)) {
        const std::string at = answered < messages.size() ? describe(messages[answered]) : "after the last message";
        throw ToolError(options.plugin + ": crashed (" + strsignal(WTERMSIG(status)) + ") on message " + at);
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || answered != messages.size()) {
        throw ToolError(options.plugin + ": the message run stopped after " + std::to_string(answered) +
                        " of " + std::to_string(messages.size()) + " messages");
    }
    if (!nonZero.empty()) {
        std::string list;
        for (const std::string& item : nonZero) list += "\n  " + item;
        throw ToolError(options.plugin + ": answered messages with other than 0:" + list);
    }
    std::printf("  result             every message answered 0\n");
}

}  // namespace

void addCheckCommand(CLI::App& app) {
    auto options = std::make_shared<CheckOptions>();
    CLI::App* command = app.add_subcommand(
        "check", "Load a plug-in in the host simulator, report what it registered and check "
                 "that it answers every message class with 0 without crashing");
    command->add_option("plugin", options->plugin, "Plug-in library (.so)")->required()->type_name("PLUGIN.so");
    command->callback([options] { runCheck(*options); });
}

}  // namespace kestrin::tool
