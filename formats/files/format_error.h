// The one kind of failure the readers and writers report: a message that
// names the file (and, for text, the line) at fault, ready to show the user
// as it stands.
#ifndef KESTRIN_FORMATS_FORMAT_ERROR_H
#define KESTRIN_FORMATS_FORMAT_ERROR_H

#include <stdexcept>
#include <string>

namespace kestrin::formats {

class FormatError : public std::runtime_error {
public:
    explicit FormatError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace kestrin::formats

#endif
