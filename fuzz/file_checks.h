// What the fuzz targets of the file readers share: the input written to a
// file of this process, and the one check every refusal must pass.
#ifndef KESTRIN_FUZZ_FILE_CHECKS_H
#define KESTRIN_FUZZ_FILE_CHECKS_H

#include <stddef.h>

#include <fstream>
#include <string>
#include <string_view>

#include "format_error.h"
#include "fuzz_host.h"
#include "message_text.h"

namespace kestrin::fuzz {

inline void writeFile(const std::string& path, std::string_view bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), std::streamsize(bytes.size()));
}

// A reader's refusal names the file first and is one line of printable
// text, whatever bytes the file held.
inline void requireRefusal(const formats::FormatError& error, const std::string& path) {
    const std::string message = error.what();
    require(message.rfind(path, 0) == 0, "the error names the file");
    require(formats::printableText(message) == message, "the error is one line of printable text");
}

}  // namespace kestrin::fuzz

#endif
