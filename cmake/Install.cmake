# SPDX-License-Identifier: GPL-3.0-or-later
# What `cmake --install` puts where: the programs, their desktop entries, icons, AppStream
# files, the data files' MIME type, manual pages, and quorvel-cli's systemd units. The
# Debian packages (debian/) split this tree by the *.install files there.
include(GNUInstallDirs)

# The programs side by side in bin/: a download starts vantplot from quorvel's own folder.
set(QUORVEL_PROGRAMS quorvel vantplot quorvel-sim)
if(TARGET quorvel-cli)
    list(APPEND QUORVEL_PROGRAMS quorvel-cli)
endif()
install(TARGETS ${QUORVEL_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The type of the files the programs write, which vantplot's desktop entry claims.
install(FILES data/quorvel.mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
    RENAME quorvel.xml)

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

# Manual pages, with the project's version (the packaging compresses them).
set(QUORVEL_MAN_PAGES quorvel vantplot quorvel-sim)
if(TARGET quorvel-cli)
    list(APPEND QUORVEL_MAN_PAGES quorvel-cli)
endif()
foreach(page IN LISTS QUORVEL_MAN_PAGES)
    configure_file(docs/man/${page}.1 ${CMAKE_BINARY_DIR}/man/${page}.1 @ONLY)
    install(FILES ${CMAKE_BINARY_DIR}/man/${page}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# quorvel-cli's systemd units (templates on the device name, not enabled by installing)
# and the system user they run as. They sit under the prefix's lib/, where systemd looks
# for both /usr and /usr/local, and start the quorvel-cli installed beside them.
if(TARGET quorvel-cli)
    set(QUORVEL_CLI ${CMAKE_INSTALL_FULL_BINDIR}/quorvel-cli)
    set(units ${CMAKE_BINARY_DIR}/systemd)
    foreach(unit IN ITEMS quorvel-log@.service quorvel-download@.service)
        configure_file(docs/systemd/${unit}.in ${units}/${unit} @ONLY)
        install(FILES ${units}/${unit} DESTINATION lib/systemd/system)
    endforeach()
    install(FILES docs/systemd/quorvel-download@.timer DESTINATION lib/systemd/system)
    install(FILES docs/systemd/quorvel-cli.sysusers DESTINATION lib/sysusers.d
        RENAME quorvel-cli.conf)
endif()
