# A Debian package of everything `cmake --install` puts in place:
#   cmake -B build -DCMAKE_INSTALL_PREFIX=/usr && cmake --build build
#   cd build && cpack -G DEB
# Packages go to /usr unless the build chose another prefix on purpose.
set(CPACK_PACKAGE_NAME pelmora)
set(CPACK_PACKAGE_VENDOR "Pelmora developers")
# PELMORA_MAINTAINER (resources/CMakeLists.txt) is the package's maintainer.
set(CPACK_PACKAGE_CONTACT "${PELMORA_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "charged spheres that attract and repel each other, as a screen saver")
# CPack puts the summary first; these lines become the long description.
set(CPACK_PACKAGE_DESCRIPTION "A few dozen spheres with whole-number electric charges attract and repel
each other through a 1/d field and bounce off the edges of the screen, over
a slowly pulsing dark-blue background. Runs in a window or full screen, as
an XScreenSaver or xsecurelock hack, as a screen saver or live wallpaper on
Wayland compositors with layer shell (sway, Hyprland, river, KDE Plasma), or
renders frames without a display.")
if(NOT CPACK_PACKAGING_INSTALL_PREFIX)
  if(CMAKE_INSTALL_PREFIX STREQUAL "/usr/local" OR CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  else()
    set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
  endif()
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries the binary links (GTK, Cairo, Pango, X11) become the
# package's dependencies through dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xscreensaver | xsecurelock, ffmpeg")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_STRIP_FILES ON)

set(CPACK_GENERATOR DEB)
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/")
include(CPack)
