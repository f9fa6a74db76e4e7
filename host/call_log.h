// A record of the host calls the plug-ins make, for tests that assert exact
// sequences. Off unless asked for: a host that records nothing pays one
// branch per call.
#ifndef KESTRIN_HOST_CALL_LOG_H
#define KESTRIN_HOST_CALL_LOG_H

#include <stdint.h>

#include <string>
#include <type_traits>
#include <vector>

#include "kestrin_types.h"

namespace kestrin::host {

// One call: the function's name and its arguments as text. Numbers are written
// as C would print them (doubles in their shortest exact form), strings
// quoted, null pointers as "null", other data pointers as "&" and function
// pointers as "fn"; their raw values are kept in `pointers`, argument by
// argument (0 for arguments that are not pointers).
struct HostCall {
    std::string function;
    std::vector<std::string> args;
    std::vector<uintptr_t> pointers;

    // "fxConSetPos(7, 75, 4)"
    std::string text() const;
};

std::string formatArg(int32_t value);
std::string formatArg(uint32_t value);
std::string formatArg(int64_t value);
std::string formatArg(uint64_t value);
std::string formatArg(double value);
std::string formatArg(const char* value);
std::string formatArg(const void* value);

class CallLog {
public:
    bool enabled() const { return enabled_; }
    void enable(bool on) { enabled_ = on; }
    void clear() { calls_.clear(); }
    const std::vector<HostCall>& calls() const { return calls_; }
    // The calls' texts, in order; handy for exact-sequence assertions.
    std::vector<std::string> texts() const;
    // Texts of the calls of one function only.
    std::vector<std::string> texts(const std::string& function) const;

    // The check is inline; the recording is not, so that a host function
    // stays small when nothing is recorded. Arguments are scalars and
    // pointers, taken by value.
    template <typename... Args>
    void record(const char* function, Args... args) {
        if (enabled_) recordCall(function, args...);
    }

private:
    template <typename... Args>
    __attribute__((noinline)) void recordCall(const char* function, Args... args) {
        HostCall call;
        call.function = function;
        (append(call, args), ...);
        calls_.push_back(std::move(call));
    }

    template <typename T>
    static void append(HostCall& call, const T& value) {
        if constexpr (std::is_pointer_v<T>) {
            call.pointers.push_back(reinterpret_cast<uintptr_t>(value));
            if constexpr (std::is_function_v<std::remove_pointer_t<T>>) {
                call.args.push_back(value == nullptr ? "null" : "fn");
            } else if constexpr (std::is_same_v<T, const char*> || std::is_same_v<T, char*>) {
                call.args.push_back(formatArg(static_cast<const char*>(value)));
            } else {
                call.args.push_back(formatArg(static_cast<const void*>(value)));
            }
        } else if constexpr (std::is_floating_point_v<T>) {
            call.pointers.push_back(0);
            call.args.push_back(formatArg(static_cast<double>(value)));
        } else if constexpr (std::is_signed_v<T>) {
            call.pointers.push_back(0);
            call.args.push_back(formatArg(static_cast<int64_t>(value)));
        } else {
            call.pointers.push_back(0);
            call.args.push_back(formatArg(static_cast<uint64_t>(value)));
        }
    }

    bool enabled_ = false;
    std::vector<HostCall> calls_;
};

}  // namespace kestrin::host

#endif
