# The shot page's files, built into the formats library: the template and the
# viewer's scripts from this folder and three.js with its orbit controls from
# Debian's libjs-three (scripts/install-deps.sh). The generated source sets
# KESTRIN_PAGE_ASSETS; page_assets.h names each file, shot_page.cpp puts the
# scripts in the page in the order they need each other.
set(KESTRIN_THREE_DIR /usr/share/javascript/three CACHE PATH "Where libjs-three puts three.js")
set(three ${KESTRIN_THREE_DIR}/three.min.js)
set(orbit ${KESTRIN_THREE_DIR}/examples/js/controls/OrbitControls.js)
foreach(file IN ITEMS ${three} ${orbit})
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "${file} is missing: install libjs-three (scripts/install-deps.sh)")
  endif()
endforeach()
set(page_dir ${CMAKE_CURRENT_LIST_DIR})
set(page_files
    pageHtml=${page_dir}/shot_page.html
    pageDataScript=${page_dir}/page_data.js
    heatColoursScript=${page_dir}/heat_colours.js
    cameraFramingScript=${page_dir}/camera_framing.js
    sceneScript=${page_dir}/shot_scene.js
    viewerScript=${page_dir}/shot_viewer.js
    threeScript=${three}
    orbitScript=${orbit})
set(page_paths ${page_files})
list(TRANSFORM page_paths REPLACE "^[^=]*=" "")
string(JOIN "|" page_files ${page_files})
set(KESTRIN_PAGE_ASSETS ${CMAKE_CURRENT_BINARY_DIR}/page_assets.cpp)
add_custom_command(OUTPUT ${KESTRIN_PAGE_ASSETS}
    COMMAND ${CMAKE_COMMAND} -DOUTPUT=${KESTRIN_PAGE_ASSETS} -DNAMESPACE=kestrin::formats::page_assets
            "-DFILES=${page_files}" -P ${PROJECT_SOURCE_DIR}/cmake/embed_files.cmake
    DEPENDS ${page_paths} ${PROJECT_SOURCE_DIR}/cmake/embed_files.cmake
    COMMENT "Building the shot page's files into the tool"
    VERBATIM)
