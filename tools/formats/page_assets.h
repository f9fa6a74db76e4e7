// The shot page's template, viewer script and rendering library, built into
// the tool from tools/page/ and Debian's three.js by cmake/embed_files.cmake.
#ifndef KESTRIN_TOOL_FORMATS_PAGE_ASSETS_H
#define KESTRIN_TOOL_FORMATS_PAGE_ASSETS_H

#include <string_view>

namespace kestrin::tool::page_assets {

extern const std::string_view pageHtml;       // tools/page/shot_page.html
extern const std::string_view viewerScript;   // tools/page/shot_viewer.js
extern const std::string_view threeScript;    // three.js, minified
extern const std::string_view orbitScript;    // three.js's orbit controls

}  // namespace kestrin::tool::page_assets

#endif
