# What `cmake --install` puts where, and the Debian package CPack makes of it.
include(GNUInstallDirs)

set(ORVANE_APP_ID io.github.orvane.Orvane)
set(ORVANE_PACKAGE_MAINTAINER "Orvane developers <orvane@users.noreply.github.com>"
    CACHE STRING "Maintainer named in the Debian package")

# OrvaneTool and the engines are Orvane's alone, so they stay off PATH; see the root
# CMakeLists for how Orvane finds them.

install(TARGETS Orvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS ${ORVANE_ENGINES} LIBRARY DESTINATION ${ORVANE_ENGINE_INSTALL_DIR})
if(TARGET OrvaneTool)
    install(TARGETS OrvaneTool RUNTIME DESTINATION ${ORVANE_TOOL_INSTALL_DIR})
endif()

set(packaging ${PROJECT_SOURCE_DIR}/packaging)
install(FILES ${packaging}/${ORVANE_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging}/${ORVANE_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(icons ${PROJECT_SOURCE_DIR}/resources/icons)
foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${icons}/orvane-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${ORVANE_APP_ID}.png)
endforeach()
install(FILES ${icons}/orvane.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${ORVANE_APP_ID}.svg)

# Debian wants the manual page and the changelog compressed, reproducibly (no name, no time).
find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(compressed ${CMAKE_BINARY_DIR}/packaging)
add_custom_command(
    OUTPUT ${compressed}/Orvane.1.gz ${compressed}/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${compressed}
    COMMAND ${CMAKE_COMMAND} -E copy ${packaging}/Orvane.1 ${packaging}/changelog ${compressed}
    COMMAND ${GZIP_EXECUTABLE} -9nf ${compressed}/Orvane.1 ${compressed}/changelog
    DEPENDS ${packaging}/Orvane.1 ${packaging}/changelog
    VERBATIM)
add_custom_target(orvane_packaging_docs ALL
    DEPENDS ${compressed}/Orvane.1.gz ${compressed}/changelog.gz)
install(FILES ${compressed}/Orvane.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The package's name, not the project's, as Debian requires.
install(FILES ${packaging}/copyright ${compressed}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/orvane)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvane)
set(CPACK_PACKAGE_VENDOR "Orvane developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${ORVANE_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop client for a smart-campus cloud platform")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Orvane signs teachers in to a school's smart-campus public cloud platform
(智慧校园公共云平台) by password or by QR code, remembers accounts,
shows the platform's pages in its main window and keeps a small floating
button at the screen edge that opens the classroom page.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ORVANE_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The windows' Chinese text, and xdg-open for the links handed to the desktop browser. Video
# through GStreamer serves only QtWebKit, no longer the default engine: QtWebEngine plays open
# formats itself.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, xdg-utils, qttranslations5-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gstreamer1.0-plugins-good, gstreamer1.0-libav")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
