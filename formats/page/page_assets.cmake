# The shot page's files, built into the formats library: the template and viewer from
# this folder and three.js with its orbit controls from Debian's libjs-three
# (scripts/install-deps.sh). The generated source sets KESTRIN_PAGE_ASSETS.
set(KESTRIN_THREE_DIR /usr/share/javascript/three CACHE PATH "Where libjs-three puts three.js")
set(three ${KESTRIN_THREE_DIR}/three.min.js)
set(orbit ${KESTRIN_THREE_DIR}/examples/js/controls/OrbitControls.js)
foreach(file IN ITEMS ${three} ${orbit})
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "${file} is missing: install libjs-three (scripts/install-deps.sh)")
  endif()
endforeach()
set(page_dir ${CMAKE_CURRENT_LIST_DIR})
set(KESTRIN_PAGE_ASSETS ${CMAKE_CURRENT_BINARY_DIR}/page_assets.cpp)
add_custom_command(OUTPUT ${KESTRIN_PAGE_ASSETS}
    COMMAND ${CMAKE_COMMAND} -DOUTPUT=${KESTRIN_PAGE_ASSETS} -DNAMESPACE=kestrin::formats::page_assets
            "-DFILES=pageHtml=${page_dir}/shot_page.html|viewerScript=${page_dir}/shot_viewer.js|threeScript=${three}|orbitScript=${orbit}"
            -P ${PROJECT_SOURCE_DIR}/cmake/embed_files.cmake
    DEPENDS ${page_dir}/shot_page.html ${page_dir}/shot_viewer.js ${three} ${orbit}
            ${PROJECT_SOURCE_DIR}/cmake/embed_files.cmake
    COMMENT "Building the shot page's files into the tool"
    VERBATIM)
