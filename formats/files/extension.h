// A file's extension as the readers and the output registry match it.
#ifndef KESTRIN_FORMATS_EXTENSION_H
#define KESTRIN_FORMATS_EXTENSION_H

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>

namespace kestrin::formats {

// The extension of the path's file name, with its dot, in lower case
// ("Shot.MDD" -> ".mdd"); "" for none.
inline std::string lowerExtension(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

}  // namespace kestrin::formats

#endif
