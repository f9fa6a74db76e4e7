// How the OBJ reader and writer see a file: lines ended by '\n' (one '\r'
// before it belongs to the line end), a keyword that is the whole first word
// up to a space or tab, and values separated by any white space, up to a
// word that starts a comment. Both sides share it, so that the writer
// replaces exactly the coordinates the reader read.
#ifndef KESTRIN_FORMATS_OBJ_TEXT_H
#define KESTRIN_FORMATS_OBJ_TEXT_H

#include <cstring>
#include <string_view>

namespace kestrin::formats::obj {

struct Line {
    const char* begin;
    const char* end;   // before the line end
    const char* next;  // the following line, or the end of the text
};

// The line starting at `at`; at < textEnd.
inline Line lineAt(const char* at, const char* textEnd) {
    const void* newline = std::memchr(at, '\n', static_cast<size_t>(textEnd - at));
    Line line{at, textEnd, textEnd};
    if (newline != nullptr) {
        line.end = static_cast<const char*>(newline);
        line.next = line.end + 1;
    }
    if (line.end > line.begin && line.end[-1] == '\r') --line.end;
    return line;
}

inline bool isBlank(char c) { return c == ' ' || c == '\t'; }
// C's isspace in the "C" locale: a '\r' alone (old Mac line ends) separates
// values too, so such a file reads as one long line.
inline bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

enum class Kind { other, point, face };

// The line's kind; for a point or face line, *values is where its values start.
inline Kind kindOf(const Line& line, const char** values) {
    const char* p = line.begin;
    while (p < line.end && isBlank(*p)) ++p;
    if (p == line.end || (*p != 'v' && *p != 'f')) return Kind::other;
    if (p + 1 < line.end && !isBlank(p[1])) return Kind::other;  // vn, vt, fo...
    *values = p + 1;
    return *p == 'v' ? Kind::point : Kind::face;
}

// The next value of [*at, end) into *word, moving *at past it; false when
// none is left or the next word starts a comment.
inline bool nextWord(const char** at, const char* end, std::string_view* word) {
    const char* p = *at;
    while (p < end && isSpace(*p)) ++p;
    if (p == end || *p == '#') {
        *at = end;
        return false;
    }
    const char* start = p;
    while (p < end && !isSpace(*p)) ++p;
    *word = std::string_view(start, static_cast<size_t>(p - start));
    *at = p;
    return true;
}

}  // namespace kestrin::formats::obj

#endif
