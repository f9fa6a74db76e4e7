# What the engine outputs (.exr, .glb) build with. tinygltf is a header
# (libtinygltf-dev). OpenEXR (libopenexr-dev) is a library, found only for
# the machine's own architecture: a build without it (the 32-bit one) writes
# no .exr and says so when asked for one.
find_path(KESTRIN_TINYGLTF_INCLUDE tiny_gltf.h REQUIRED)
find_package(OpenEXR 3 CONFIG QUIET)
function(kestrin_engine_formats target)
  target_include_directories(${target} PRIVATE ${KESTRIN_TINYGLTF_INCLUDE})
  if(OpenEXR_FOUND)
    target_link_libraries(${target} PUBLIC OpenEXR::OpenEXR)
    target_compile_definitions(${target} PUBLIC KESTRIN_WITH_OPENEXR)
  else()
    message(STATUS "kestrin: OpenEXR not found for this build, .exr outputs are left out")
  endif()
endfunction()
