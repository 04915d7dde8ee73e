# `make package`: cinvo_<version>_<arch>.deb. Depends comes from the shared
# libraries the program links (dpkg-shlibdeps) plus the GStreamer plugin sets
# that decode the movies, which no library link reveals.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME cinvo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Vessa)
set(CPACK_PACKAGE_CONTACT "Vessa <cinvo@vessa.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "list, preview and play the movies you keep on disk and on CDs")
# The long description; CPack indents it and puts the summary first.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Cinvo lists the AVI movies in your movies directory and on the CD in the
drive, shows a running preview of the selected one, and plays it over the
whole screen in its own viewer.

For every movie it remembers how often and when you saw it and where you
stopped, and resumes there the next time. A movie opened from the file
manager plays at once, and file managers show its thumbnail.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${CINVO_HELP_SITE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-plugins-bad, gstreamer1.0-libav")
# Opening a movie with the program the desktop associates with it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Only what `cmake --install` puts in place: no source package.
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
