#include "command_line.h"

#include <CLI/CLI.hpp>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <system_error>
#include <new>
#include <vector>

#include "commands.h"
#include "kestrin_version.h"
#include "nearest_name.h"
#include "files/format_error.h"
#include "files/message_text.h"
#include "session.h"
#include "tool_error.h"

namespace kestrin::tool {
namespace {

// A command line that cannot be run (exit status 2).
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

void buildApp(CLI::App& app) {
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("kestrin ") + kestrinVersion,
                         "Print the version and exit");
    addWeightsCommand(app);
    addMorphCommand(app);
    addCheckCommand(app);
    addDemoCommand(app);
    // After the commands, so that their own help does not repeat it.
    app.footer("Run 'kestrin help COMMAND' (or 'kestrin COMMAND --help') for a command's options.");
}

// "-o=out.csv" is "-o out.csv": a short option takes its value with no sign
// between, and read as CLI11 reads it the value would start with '='.
std::vector<std::string> splitShortAssignments(int argc, char** argv) {
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word.size() >= 3 && word[0] == '-' && std::isalpha(static_cast<unsigned char>(word[1])) &&
            word[2] == '=') {
            words.push_back(word.substr(0, 2));
            words.push_back(word.substr(3));
        } else {
            words.push_back(word);
        }
    }
    return words;
}

std::vector<std::string> commandNames(const CLI::App& app) {
    std::vector<std::string> names;
    for (const CLI::App* command : app.get_subcommands({})) names.push_back(command->get_name());
    return names;
}

const CLI::App* findCommand(const CLI::App& app, const std::string& name) {
    for (const CLI::App* command : app.get_subcommands({})) {
        if (command->get_name() == name) return command;
    }
    return nullptr;
}

UsageError unknownCommand(const CLI::App& app, const std::string& name) {
    std::string message = "unknown command '" + name + "'";
    const std::string nearest = nearestName(name, commandNames(app));
    if (!nearest.empty()) message += "; did you mean '" + nearest + "'?";
    return UsageError(message);
}

// "--name", "--name=value", "-n" or "-nvalue": an option word, not a value
// such as "-0.5" or "-".
bool isOptionWord(const std::string& word) {
    if (word.size() < 2 || word[0] != '-') return false;
    if (word[1] == '-') return word.size() > 2 && std::isalpha(static_cast<unsigned char>(word[2]));
    return std::isalpha(static_cast<unsigned char>(word[1]));
}

// The option's name as typed: "--name" of "--name=value", "-n" of "-nvalue".
std::string optionName(const std::string& word) {
    if (word[1] == '-') return word.substr(0, word.find('='));
    return word.substr(0, 2);
}

void checkOption(const CLI::App& scope, const std::string& word) {
    const std::string name = optionName(word);
    std::vector<std::string> known;
    for (const CLI::Option* option : scope.get_options()) {
        for (const std::string& longName : option->get_lnames()) known.push_back("--" + longName);
        for (const std::string& shortName : option->get_snames()) known.push_back("-" + shortName);
    }
    for (const std::string& option : known) {
        if (option == name) return;
    }
    const std::string where = scope.get_parent() != nullptr ? " for 'kestrin " + scope.get_name() + "'" : "";
    std::string message = "unknown option " + name + where;
    const std::string nearest = nearestName(name, known);
    if (!nearest.empty()) message += "; did you mean " + nearest + "?";
    throw UsageError(message);
}

// Refuses an unknown command or option before CLI11 reads the line, which
// would otherwise report a missing required option first, or take a
// mistyped command for a stray argument. Sets `command` to the command
// named, as soon as it is found.
void checkWords(const CLI::App& app, const std::vector<std::string>& words, const CLI::App*& command) {
    for (const std::string& word : words) {
        if (word == "--") break;
        if (isOptionWord(word)) {
            checkOption(command != nullptr ? *command : app, word);
        } else if (command == nullptr) {
            command = findCommand(app, word);
            if (command == nullptr) throw unknownCommand(app, word);
        }
    }
}

// `kestrin help` and `kestrin help COMMAND`.
int printHelp(const CLI::App& app, const std::vector<std::string>& words) {
    if (words.size() > 2) throw UsageError("help takes one command name at most");
    if (words.size() == 1) {
        std::fputs(app.help().c_str(), stdout);
        return 0;
    }
    const CLI::App* command = findCommand(app, words[1]);
    if (command == nullptr) throw unknownCommand(app, words[1]);
    std::fputs(command->help(app.get_name()).c_str(), stdout);
    return 0;
}

// Every error is one line: a newline, a control character or a byte that is
// not UTF-8 in a name or a file shows as an escape (files/message_text.h).
void printErrorLine(const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "kestrin: error: %s\n", formats::printableText(message).c_str());
}

int usageError(const std::string& message, const CLI::App* command) {
    printErrorLine(message);
    if (command != nullptr) {
        std::fprintf(stderr, "Run 'kestrin help %s' for its options.\n", command->get_name().c_str());
    } else {
        std::fprintf(stderr, "Run 'kestrin help' for the commands.\n");
    }
    return 2;
}

// A failure of the run itself: one line naming what is at fault, status 1.
int runError(const std::exception& error) {
    printErrorLine(error.what());
    return 1;
}

// What a command printed must have reached its reader: a report lost to a
// full disk or a closed pipe is a failure, not a success.
int printedAll(int status) {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
    std::fprintf(stderr, "kestrin: error: standard output: cannot write: %s\n", std::strerror(errno));
    return status == 0 ? 1 : status;
}

}  // namespace

int runCommandLine(int argc, char** argv) {
    CLI::App app("kestrin: run the Strainmark weight tool and the Strainshaper effect on meshes, "
                 "outside the host",
                 "kestrin");
    buildApp(app);
    std::vector<std::string> words = splitShortAssignments(argc, argv);
    const CLI::App* command = nullptr;
    try {
        if (words.empty()) throw UsageError("no command given");
        if (words[0] == "help") return printedAll(printHelp(app, words));
        checkWords(app, words, command);
        std::vector<char*> arguments = {argv[0]};
        for (std::string& word : words) arguments.push_back(word.data());
        app.parse(static_cast<int>(arguments.size()), arguments.data());
    } catch (const UsageError& error) {
        return usageError(error.what(), command);
    } catch (const CLI::ParseError& error) {
        // --help and --version end the parse as "errors" of status 0.
        if (error.get_exit_code() == 0) return app.exit(error);
        return usageError(error.what(), command);
    } catch (const ToolError& error) {
        return runError(error);
    } catch (const formats::FormatError& error) {
        return runError(error);
    } catch (const host::SessionError& error) {
        return runError(error);
    } catch (const std::bad_alloc&) {
        return runError(std::runtime_error("out of memory"));
    } catch (const std::system_error& error) {
        // Most often a thread that could not start (a process limit).
        return runError(std::runtime_error(std::string("the system refused: ") + error.what()));
    } catch (const std::exception& error) {
        return runError(error);
    } catch (...) {
        return runError(std::runtime_error("internal error"));
    }
    return printedAll(0);
}

}  // namespace kestrin::tool
