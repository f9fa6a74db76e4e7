// What the readers and the tool put in a message, so that the one error line
// stays one line of printable text whatever a file or a name holds: a
// newline in a path, a NUL or a terminal escape inside a file, bytes that are
// not UTF-8.
#ifndef KESTRIN_FORMATS_MESSAGE_TEXT_H
#define KESTRIN_FORMATS_MESSAGE_TEXT_H

#include <string>
#include <string_view>

namespace kestrin::formats {

// `text` with each control character (\n, \r, \t, \x00...), DEL, C1 control
// and byte that is not part of well-formed UTF-8 written as an escape; any
// other text, UTF-8 included, as it is.
std::string printableText(std::string_view text);

// Bytes taken from a file, for a message: in single quotes, escaped as
// above and a backslash as \\, cut after the first 40 bytes ("...").
std::string quotedBytes(std::string_view bytes);

}  // namespace kestrin::formats

#endif
