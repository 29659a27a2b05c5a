# The Debian package, made from the install rules: in the build directory, `cpack -G DEB`
# writes mervane_<version>_<architecture>.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mervane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Mervane developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "operator tool for the automatic ON/OFF cycle of LAN digital I/O units")
# Lines of the long description stay within 80 columns, as dpkg shows them.
set(CPACK_PACKAGE_DESCRIPTION
    "Mervane finds one LAN-attached digital I/O unit, reads its automatic ON/OFF
settings (which of its up to eight outputs join the cycle, their ON and OFF
times or the common interval), lets the operator edit and write them back,
and starts or stops the unit's cycle. It never switches an output itself.

The package holds the window (mervane), the same from a shell (mervane-cli)
and a simulated unit for trying both without hardware (mervane-unit).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# RelWithDebInfo programs carry their debug information; the package does not.
set(CPACK_STRIP_FILES ON)

set(MERVANE_PACKAGE_MAINTAINER "The Mervane developers <mervane@users.noreply.github.com>"
    CACHE STRING "Maintainer field of the Debian package: name <e-mail>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${MERVANE_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/mervane/mervane)
# Depends comes from the libraries the programs link, through dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window's labels are Japanese (English by the locale, Qt's own buttons in Japanese from
# qt6-translations-l10n); Qt reaches Wayland through its plug-in, X11 without one.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic | fonts-noto-cjk, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS qt6-wayland)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

include(CPack)
