# Installing Quillmot as a desktop program: the executable, its desktop entry and AppStream
# metadata, the icon in the hicolor theme, and the help documents; and a Debian package of it.
#   cmake --install build --prefix /usr/local
#   ./build.sh package          (a Debian package for /usr, made with CPack)
# Expects QUILLMOT_APP_ID, QUILLMOT_DOC_DIR and QUILLMOT_HELP_FILES from the main list.

install(TARGETS quillmot RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${QUILLMOT_HELP_FILES} DESTINATION ${QUILLMOT_DOC_DIR})

install(FILES data/${QUILLMOT_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(data/${QUILLMOT_APP_ID}.metainfo.xml.in
    ${CMAKE_BINARY_DIR}/${QUILLMOT_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/${QUILLMOT_APP_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The icon: the drawing itself, and the pixel sizes that menus and panels without an SVG loader
# want, rendered from it when the program is built.
set(icon_svg ${PROJECT_SOURCE_DIR}/src/feedback/artwork/quillmot.svg)
set(icon_theme ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${icon_svg} DESTINATION ${icon_theme}/scalable/apps RENAME ${QUILLMOT_APP_ID}.svg)
find_program(QUILLMOT_RSVG rsvg-convert)
if(QUILLMOT_RSVG)
    set(icon_pngs "")
    foreach(size 16 22 24 32 48 64 128 256)
        set(png ${CMAKE_BINARY_DIR}/icons/${size}x${size}/${QUILLMOT_APP_ID}.png)
        add_custom_command(OUTPUT ${png}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
            COMMAND ${QUILLMOT_RSVG} -w ${size} -h ${size} -o ${png} ${icon_svg}
            DEPENDS ${icon_svg} VERBATIM)
        list(APPEND icon_pngs ${png})
        install(FILES ${png} DESTINATION ${icon_theme}/${size}x${size}/apps)
    endforeach()
    add_custom_target(quillmot_icons ALL DEPENDS ${icon_pngs})
else()
    message(WARNING "rsvg-convert (librsvg2-bin) is missing: only the scalable icon installs")
endif()

# The manual page, compressed the way Debian keeps them.
find_program(QUILLMOT_GZIP gzip)
set(man_page ${CMAKE_BINARY_DIR}/man/quillmot.1.gz)
add_custom_command(OUTPUT ${man_page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${QUILLMOT_GZIP} -n -9 -c ${PROJECT_SOURCE_DIR}/data/quillmot.1 > ${man_page}
    DEPENDS ${PROJECT_SOURCE_DIR}/data/quillmot.1)
add_custom_target(quillmot_man ALL DEPENDS ${man_page})
install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The Debian package. Its dependencies are read off the program by dpkg-shlibdeps; the Qt
# plug-ins it loads at run time come with them (X11 and offscreen in libqt6gui6, the SVG icon
# engine in libqt6svg6), Wayland's is recommended. It installs nothing under the user's home, so
# removing it leaves ~/.config/Quillmot alone.
set(CPACK_PACKAGE_NAME quillmot)
set(CPACK_PACKAGE_VENDOR "The Quillmot developers")
set(CPACK_PACKAGE_CONTACT "The Quillmot developers <developers@quillmot.org>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "automatic backup of each file the moment it is saved")
# The long description; CPack puts the summary above it and indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Quillmot lives in the system tray and watches the files, folders and whole
drives you choose. The moment a file is saved it is copied to every
destination of its source, in a folder layout that mirrors the source, with
numbered previous versions kept beside each copy. Destinations are tied to
volume names, so nothing is written to the wrong disk.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${QUILLMOT_HOME_PAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, udisks2, dosfstools")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

# Debian's own files for the package's documentation folder: the copyright statement as it is,
# and the change log compressed.
install(FILES data/debian/copyright DESTINATION ${QUILLMOT_DOC_DIR})
set(changelog ${CMAKE_BINARY_DIR}/debian/changelog.gz)
add_custom_command(OUTPUT ${changelog}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/debian
    COMMAND ${QUILLMOT_GZIP} -n -9 -c ${PROJECT_SOURCE_DIR}/data/debian/changelog > ${changelog}
    DEPENDS ${PROJECT_SOURCE_DIR}/data/debian/changelog)
add_custom_target(quillmot_changelog ALL DEPENDS ${changelog})
install(FILES ${changelog} DESTINATION ${QUILLMOT_DOC_DIR})
include(CPack)
