#include "output_names.h"

#include <cctype>
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "tool_error.h"

namespace kestrin::tool {
namespace {

// Longer fields cannot fit a file name with its extension on any system.
constexpr size_t maxFieldWidth = 240;

// Finds the one integer field ("%d", "%04d", "%3d"); npos when there is none.
size_t integerField(const std::string& pattern, size_t* length) {
    size_t found = std::string::npos;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') continue;
        if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
            ++i;
            continue;
        }
        size_t end = i + 1;
        while (end < pattern.size() && std::isdigit(static_cast<unsigned char>(pattern[end]))) ++end;
        if (end >= pattern.size() || pattern[end] != 'd' || end - i > 4) {
            throw ToolError(pattern + ": the only % field an output name may hold is one integer "
                                      "field such as %04d (write %% for a percent sign)");
        }
        if (found != std::string::npos) {
            throw ToolError(pattern + ": an output name may hold only one %d field");
        }
        found = i;
        *length = end + 1 - i;
    }
    return found;
}

std::string unescapePercent(const std::string& text) {
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        result += text[i];
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '%') ++i;
    }
    return result;
}

// Finds the run of '#' that stands for the frame number, as in the 3D
// packages' file sequences ("w_####.csv"); npos when there is none. Only in
// the file's own name: a folder may have a '#' in its name.
size_t hashField(const std::string& pattern, size_t* length) {
    const size_t slash = pattern.rfind('/');
    const size_t start = pattern.find('#', slash == std::string::npos ? 0 : slash + 1);
    if (start == std::string::npos) return start;
    const size_t end = std::min(pattern.find_first_not_of('#', start), pattern.size());
    if (pattern.find('#', end) != std::string::npos) {
        throw ToolError(pattern + ": an output name may hold only one run of # for the pose number");
    }
    *length = end - start;
    return start;
}

// The number in a field `width` wide, padded with zeros or spaces. A field
// wider than a file name may be is refused here; one that only makes the
// name too long for its folder, when the outputs are planned.
std::string paddedNumber(int number, size_t width, bool zeros, const std::string& pattern) {
    if (width > maxFieldWidth) {
        throw ToolError(pattern + ": a frame number field " + std::to_string(width) +
                        " wide does not fit in a file name (at most " + std::to_string(maxFieldWidth) + ")");
    }
    std::string digits = std::to_string(number);
    if (digits.size() < width) digits.insert(0, width - digits.size(), zeros ? '0' : ' ');
    return digits;
}

}  // namespace

std::string numberedOutput(const std::string& pattern, int number, bool sequence) {
    size_t length = 0;
    const size_t hashes = hashField(pattern, &length);
    if (hashes != std::string::npos) {
        if (integerField(pattern, &length) != std::string::npos) {
            throw ToolError(pattern + ": an output name may number poses with # or with %d, not both");
        }
        hashField(pattern, &length);
        const std::string digits = paddedNumber(number, length, true, pattern);
        return unescapePercent(pattern.substr(0, hashes)) + digits +
               unescapePercent(pattern.substr(hashes + length));
    }
    const size_t field = integerField(pattern, &length);
    if (field != std::string::npos) {
        const std::string width = pattern.substr(field + 1, length - 2);
        const std::string digits =
            paddedNumber(number, width.empty() ? 0 : std::stoul(width), !width.empty() && width[0] == '0', pattern);
        return unescapePercent(pattern.substr(0, field)) + digits +
               unescapePercent(pattern.substr(field + length));
    }
    const std::string plain = unescapePercent(pattern);
    if (!sequence) return plain;
    const std::filesystem::path path(plain);
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, "_%04d", number);
    const std::string stem = path.stem().string() + suffix + path.extension().string();
    return (path.parent_path() / stem).string();
}

}  // namespace kestrin::tool
