# The Debian package: `cpack -G DEB` in a build folder (tools/package.sh does it all).
# Its dependencies are read from the shared libraries the programs link
# (dpkg-shlibdeps, from dpkg-dev).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR "The Quorvel developers")
set(CPACK_PACKAGE_CONTACT "Quorvel developers <dev@quorvel.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "read and configure sunshine sensors and pyranometers")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Quorvel configures and reads the ZQ2, ZQ3, ZQ4 and ZQ5 sunshine sensors and the\n"
    "VTA1 sunshine pyranometer on a serial port: live readings, logging on the\n"
    "computer, the instrument's own data logger and the download of its memory.\n"
    "\n"
    "The package holds the desktop program quorvel, vantplot (graphs and daily sums\n"
    "of the files it writes), quorvel-cli for stations without a display, and\n"
    "quorvel-sim, a simulated instrument on a pseudo-terminal.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quorvel.github.io/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The windows need a platform plugin, which Qt's library only recommends.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
