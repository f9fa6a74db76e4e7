#include "plugin_check_records.h"

#include <unistd.h>

#include <cstdlib>

namespace kestrin::host::check {
namespace {

// Fields are separated by tabs; a field's own tabs, newlines and
// backslashes are escaped, so that any text a plug-in hands over survives.
std::string escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> fields(1);
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\t') {
            fields.emplace_back();
        } else if (c == '\\' && i + 1 < line.size()) {
            const char next = line[++i];
            fields.back() += next == 't' ? '\t' : next == 'n' ? '\n' : next;
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

long long integer(const std::string& field) { return std::strtoll(field.c_str(), nullptr, 10); }
unsigned long long unsignedInteger(const std::string& field) {
    return std::strtoull(field.c_str(), nullptr, 10);
}

}  // namespace

std::string Stage::crashed() const {
    return kind == Kind::Message ? "crashed on message " + what : "crashed in " + what;
}

std::string Stage::unanswered() const {
    return kind == Kind::Message ? "no answer to message " + what : "no answer from " + what;
}

void RecordWriter::write(const std::vector<std::string>& fields) {
    std::string line;
    for (const std::string& field : fields) {
        if (!line.empty()) line += '\t';
        line += escape(field);
    }
    line += '\n';
    size_t written = 0;
    while (written < line.size()) {
        const ssize_t count = ::write(pipe_, line.data() + written, line.size() - written);
        if (count <= 0) _exit(3);
        written += static_cast<size_t>(count);
    }
}

void RecordWriter::stage(Stage::Kind kind, const std::string& what) {
    write({"stage", kind == Stage::Kind::Message ? "message" : "call", what});
}

void RecordWriter::registration(const PluginReport& report) {
    const PluginRegistration& registered = report.registration;
    write({"registered", std::to_string(registered.apiVersion), std::to_string(registered.entryResult),
           std::to_string(registered.moduleClass), std::to_string(registered.registerFlags),
           std::to_string(report.lookups), registered.name, registered.description});
    for (const DeclaredMessages& declared : report.declared) {
        write({"declared", std::to_string(declared.messageClass), std::to_string(declared.subKindMask)});
    }
}

void RecordWriter::shown(const ShownText& text) { write({"shown", text.title, text.text}); }
void RecordWriter::provider(const std::string& path) { write({"provider", path}); }
void RecordWriter::planned(size_t count) { write({"planned", std::to_string(count)}); }

void RecordWriter::answered(const AnsweredMessage& message) {
    write({"answered", std::to_string(message.messageClass), std::to_string(message.subKind),
           std::to_string(message.answer)});
}

void RecordWriter::effect(const PluginReport& report) {
    write({"effect", std::to_string(report.targetsChosen), std::to_string(report.pointCount),
           std::to_string(report.pointsMoved), std::to_string(report.tangentCalls)});
}

void RecordWriter::failure(const std::string& why) { write({"failure", why}); }
void RecordWriter::done() { write({"done"}); }

bool readRecord(const std::string& line, PluginReport& report, Stage& stage) {
    const std::vector<std::string> f = split(line);
    const std::string& tag = f[0];
    if (tag == "stage" && f.size() == 3) {
        stage.kind = f[1] == "message" ? Stage::Kind::Message : Stage::Kind::Call;
        stage.what = f[2];
    } else if (tag == "registered" && f.size() == 8) {
        report.entered = true;
        PluginRegistration& registered = report.registration;
        registered.apiVersion = static_cast<int32_t>(integer(f[1]));
        registered.entryResult = static_cast<int32_t>(integer(f[2]));
        registered.moduleClass = static_cast<int32_t>(integer(f[3]));
        registered.registerFlags = static_cast<int32_t>(integer(f[4]));
        report.lookups = static_cast<size_t>(unsignedInteger(f[5]));
        registered.name = f[6];
        registered.description = f[7];
    } else if (tag == "declared" && f.size() == 3) {
        report.declared.push_back({static_cast<uint32_t>(unsignedInteger(f[1])), unsignedInteger(f[2])});
    } else if (tag == "shown" && f.size() == 3) {
        report.shown.push_back({f[1], f[2]});
    } else if (tag == "provider" && f.size() == 2) {
        report.provider = f[1];
    } else if (tag == "planned" && f.size() == 2) {
        report.planned = static_cast<size_t>(unsignedInteger(f[1]));
    } else if (tag == "answered" && f.size() == 4) {
        report.answered.push_back({static_cast<uint32_t>(unsignedInteger(f[1])), unsignedInteger(f[2]),
                                   static_cast<int32_t>(integer(f[3]))});
    } else if (tag == "effect" && f.size() == 5) {
        report.effectPasses = true;
        report.targetsChosen = static_cast<size_t>(unsignedInteger(f[1]));
        report.pointCount = static_cast<size_t>(unsignedInteger(f[2]));
        report.pointsMoved = static_cast<size_t>(unsignedInteger(f[3]));
        report.tangentCalls = static_cast<size_t>(unsignedInteger(f[4]));
    } else if (tag == "failure" && f.size() == 2) {
        report.failure = f[1];
    } else if (tag == "done") {
        return true;
    }
    return false;
}

}  // namespace kestrin::host::check
