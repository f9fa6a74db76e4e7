# `cpack -G DEB` in a build folder: the Debian package of what `cmake
# --install` installs (the tool and its plug-ins, the Python module, the
# Blender add-ons), laid out under /usr. Its dependencies are read from what
# the binaries link (dpkg-shlibdeps), plus what the Python module needs to
# run (KESTRIN_PACKAGE_DEPENDS, set where the module is built).
set(KESTRIN_PACKAGE_MAINTAINER "kestrin plug-in developers <kestrin@localhost>" CACHE STRING
    "The Maintainer field of the Debian package")

# The package is made of the build as it stands, as `cmake --install`
# installs it: cpack does not build everything first (nor does `make install`).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrin)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Strainmark and Rimshaper plug-ins, the kestrin tool, the Python module and the Blender add-on")
# The install runs with the prefix /usr itself, into a staging DESTDIR, so
# that the Python module's site folder is the one for /usr, not for a
# staging path.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KESTRIN_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
get_property(depends GLOBAL PROPERTY KESTRIN_PACKAGE_DEPENDS)
list(JOIN depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
include(CPack)
