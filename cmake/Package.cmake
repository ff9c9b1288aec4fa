# `cpack` in the build folder makes a Debian package of what `cmake --install`
# installs, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zjedit)
set(CPACK_PACKAGE_VENDOR Zorvane)
set(CPACK_PACKAGE_CONTACT "Zorvane Java Editor developers <editor@zorvane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small, fast editor for Java sources, HTML pages and plain text")
set(CPACK_PACKAGE_DESCRIPTION
  "One window holds any number of documents. Besides editing, find and replace, "
  "it compiles the active Java file with the configured compiler in one click, "
  "shows what the compiler said, and opens the active file in the desktop's web "
  "browser.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads the SVG renderer as a plugin, which the computed dependencies cannot
# see; without it the icons stay blank.
set(CPACK_DEBIAN_PACKAGE_DEPENDS libqt6svg6)
# The compile command needs a Java compiler, which the user configures.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS default-jdk)
include(CPack)
