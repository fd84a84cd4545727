# What `cmake --install` puts where: the programs, their desktop entries, icons, AppStream
# files and manual pages, and the documents of the Debian package.
include(GNUInstallDirs)

# The programs side by side in bin/: a download starts vantplot from quorvel's own folder.
set(QUORVEL_PROGRAMS quorvel vantplot quorvel-sim)
if(TARGET quorvel-cli)
    list(APPEND QUORVEL_PROGRAMS quorvel-cli)
endif()
install(TARGETS ${QUORVEL_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Desktop entries and AppStream files, named after the desktop ids.
foreach(id IN ITEMS ${QUORVEL_DESKTOP_ID} ${VANTPLOT_DESKTOP_ID})
    install(FILES data/${id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES data/${id}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endforeach()
if(TARGET quorvel-cli)
    install(FILES data/io.github.quorvel.QuorvelCli.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

# Icons in the hicolor theme: the pictures the windows show, scalable, and rendered to
# the fixed sizes that menus without an SVG renderer look for.
set(QUORVEL_ICON_SIZES 16 32 48 64 128 256)
set(icon_ids ${QUORVEL_DESKTOP_ID} ${VANTPLOT_DESKTOP_ID})
set(icon_pictures resources/pictures/app.svg resources/pictures/vantplot.svg)
find_program(RSVG_CONVERT rsvg-convert)
if(NOT RSVG_CONVERT)
    message(STATUS "rsvg-convert not found (librsvg2-bin): only the scalable icons are installed")
endif()
set(icon_pngs "")
foreach(id picture IN ZIP_LISTS icon_ids icon_pictures)
    install(FILES ${picture} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${id}.svg)
    if(NOT RSVG_CONVERT)
        continue()
    endif()
    foreach(size IN LISTS QUORVEL_ICON_SIZES)
        set(folder ${CMAKE_BINARY_DIR}/icons/${size}x${size}/apps)
        add_custom_command(OUTPUT ${folder}/${id}.png
            COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
            COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${folder}/${id}.png
                ${CMAKE_SOURCE_DIR}/${picture}
            DEPENDS ${picture}
            VERBATIM)
        list(APPEND icon_pngs ${folder}/${id}.png)
        install(FILES ${folder}/${id}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
endforeach()
if(icon_pngs)
    add_custom_target(icons ALL DEPENDS ${icon_pngs})
endif()

# Manual pages, with the project's version, compressed as Debian's tools expect.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(QUORVEL_MAN_PAGES quorvel vantplot quorvel-sim)
if(TARGET quorvel-cli)
    list(APPEND QUORVEL_MAN_PAGES quorvel-cli)
endif()
set(man_pages "")
foreach(page IN LISTS QUORVEL_MAN_PAGES)
    set(man ${CMAKE_BINARY_DIR}/man/${page}.1)
    configure_file(docs/man/${page}.1 ${man} @ONLY)
    # -n leaves the time and name out, so the same page compresses to the same bytes.
    add_custom_command(OUTPUT ${man}.gz
        COMMAND ${GZIP_PROGRAM} -9nkf ${man}
        DEPENDS ${man}
        VERBATIM)
    list(APPEND man_pages ${man}.gz)
endforeach()
add_custom_target(man_pages ALL DEPENDS ${man_pages})
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The package's documents: the copyright in Debian's format, how to reach the serial port,
# and the changelog (in Debian's format; named as in a package made from its own source).
set(changelog ${CMAKE_BINARY_DIR}/packaging/changelog)
configure_file(packaging/debian/changelog ${changelog} COPYONLY)
add_custom_command(OUTPUT ${changelog}.gz
    COMMAND ${GZIP_PROGRAM} -9nkf ${changelog}
    DEPENDS ${changelog}
    VERBATIM)
add_custom_target(changelog ALL DEPENDS ${changelog}.gz)
install(FILES packaging/debian/copyright packaging/debian/README.Debian ${changelog}.gz
    DESTINATION ${CMAKE_INSTALL_DOCDIR})
