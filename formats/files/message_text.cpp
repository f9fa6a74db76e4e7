#include "files/message_text.h"

#include <cstdio>

namespace kestrin::formats {
namespace {

constexpr size_t quotedLength = 40;

void appendByteEscape(std::string& out, unsigned char byte) {
    switch (byte) {
        case '\n': out += "\\n"; return;
        case '\r': out += "\\r"; return;
        case '\t': out += "\\t"; return;
        default: break;
    }
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\x%02x", byte);
    out += escape;
}

// The length of the well-formed UTF-8 sequence at text[at] that is not a
// control character (C1 controls, U+0080 to U+009F, included); 0 when the
// byte there starts none.
size_t printableSequence(std::string_view text, size_t at) {
    const unsigned char first = static_cast<unsigned char>(text[at]);
    if (first >= 0x20 && first < 0x7f) return 1;
    size_t length = 0;
    unsigned char low = 0x80, high = 0xbf;  // the second byte's range
    if (first >= 0xc2 && first <= 0xdf) {
        length = 2;
        if (first == 0xc2) low = 0xa0;  // not U+0080..U+009F
    } else if (first >= 0xe0 && first <= 0xef) {
        length = 3;
        if (first == 0xe0) low = 0xa0;   // no overlong forms
        if (first == 0xed) high = 0x9f;  // no surrogates
    } else if (first >= 0xf0 && first <= 0xf4) {
        length = 4;
        if (first == 0xf0) low = 0x90;
        if (first == 0xf4) high = 0x8f;  // nothing beyond U+10FFFF
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        const unsigned char next = static_cast<unsigned char>(text[at + k]);
        if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xbf)) return 0;
    }
    return length;
}

void appendPrintable(std::string& out, std::string_view text, bool escapeBackslash) {
    for (size_t at = 0; at < text.size();) {
        const size_t length = printableSequence(text, at);
        if (length == 0) {
            appendByteEscape(out, static_cast<unsigned char>(text[at]));
            ++at;
            continue;
        }
        if (escapeBackslash && text[at] == '\\') out += '\\';
        out.append(text, at, length);
        at += length;
    }
}

}  // namespace

std::string printableText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    appendPrintable(out, text, false);
    return out;
}

std::string quotedBytes(std::string_view bytes) {
    std::string out = "'";
    appendPrintable(out, bytes.substr(0, quotedLength), true);
    out += bytes.size() > quotedLength ? "'..." : "'";
    return out;
}

}  // namespace kestrin::formats
