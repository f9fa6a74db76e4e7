#include "call_log.h"

#include <charconv>
#include <cstdio>

namespace kestrin::host {

std::string HostCall::text() const {
    std::string out = function + "(";
    for (size_t i = 0; i < args.size(); ++i) {
        if (i > 0) out += ", ";
        out += args[i];
    }
    return out + ")";
}

std::string formatArg(int32_t value) { return std::to_string(value); }
std::string formatArg(uint32_t value) { return std::to_string(value); }
std::string formatArg(int64_t value) { return std::to_string(value); }
std::string formatArg(uint64_t value) { return std::to_string(value); }

std::string formatArg(double value) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string formatArg(const char* value) {
    if (value == nullptr) return "null";
    return "\"" + std::string(value) + "\"";
}

std::string formatArg(const void* value) { return value == nullptr ? "null" : "&"; }

std::vector<std::string> CallLog::texts() const {
    std::vector<std::string> out;
    out.reserve(calls_.size());
    for (const HostCall& call : calls_) out.push_back(call.text());
    return out;
}

std::vector<std::string> CallLog::texts(const std::string& function) const {
    std::vector<std::string> out;
    for (const HostCall& call : calls_) {
        if (call.function == function) out.push_back(call.text());
    }
    return out;
}

}  // namespace kestrin::host
