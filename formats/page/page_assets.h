// The shot page's template, viewer scripts and rendering library, built into
// the formats library from formats/page/ and Debian's three.js by cmake/embed_files.cmake.
#ifndef KESTRIN_FORMATS_PAGE_ASSETS_H
#define KESTRIN_FORMATS_PAGE_ASSETS_H

#include <string_view>

namespace kestrin::formats::page_assets {

extern const std::string_view pageHtml;             // formats/page/shot_page.html
extern const std::string_view pageDataScript;       // formats/page/page_data.js
extern const std::string_view heatColoursScript;    // formats/page/heat_colours.js
extern const std::string_view cameraFramingScript;  // formats/page/camera_framing.js
extern const std::string_view sceneScript;          // formats/page/shot_scene.js
extern const std::string_view viewerScript;         // formats/page/shot_viewer.js
extern const std::string_view threeScript;    // three.js, minified
extern const std::string_view orbitScript;    // three.js's orbit controls

}  // namespace kestrin::formats::page_assets

#endif
