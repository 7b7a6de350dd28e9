# `make package`: a Debian package of whatever the install rules install, its dependencies
# computed by dpkg-shlibdeps from the installed programs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavrinel)
set(CPACK_PACKAGE_VERSION ${TAVRINEL_VERSION_TEXT})
set(CPACK_PACKAGE_VENDOR Tavrinel)
set(CPACK_PACKAGE_CONTACT "${TAVRINEL_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TAVRINEL_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${TAVRINEL_HOMEPAGE}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "cut articles into paragraphs for web pages")
set(CPACK_PACKAGE_DESCRIPTION
    "Tavrinel cuts an article into paragraphs - by number of characters, ending at\n"
    "a whole sentence or word, or by number of sentences - and wraps each paragraph\n"
    "in <p> and </p>.\n")
if(TARGET tavrinel)
    list(APPEND CPACK_PACKAGE_DESCRIPTION
        "The window tavrinel does this for an article pasted into it, tavrinel-cli from\n"
        "the command line, also for many files at once.")
else()
    list(APPEND CPACK_PACKAGE_DESCRIPTION
        "tavrinel-cli does this from the command line, also for many files at once.")
endif()
string(CONCAT CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

# One package of everything installed, with the Debian changelog that plain installs leave out.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Unspecified debian)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
if(TARGET tavrinel)
    # Loaded at run time, so dpkg-shlibdeps cannot see them: the X11/Wayland platform plugins,
    # without which the window does not open, and the Chinese button texts and font.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, fonts-wqy-microhei")
endif()

include(CPack)
