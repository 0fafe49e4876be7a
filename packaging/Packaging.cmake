# Installation and the Debian package: the two programs, the user guide, the
# menu entry, the icon in the hicolor theme, the AppStream metadata and the
# manual pages. `cmake --install` puts them under the prefix; `cpack -G DEB`
# (scripts/package.sh) builds the package.
#
# The build tree mirrors the installed share/ folder in ${CMAKE_BINARY_DIR}/share,
# so a program run from build/bin finds its icon at ../share/icons/hicolor the
# way an installed one does.

include(GNUInstallDirs)
find_package(Qt6 REQUIRED COMPONENTS Svg)

# The version, read from the one place the programs take it from.
file(STRINGS ${CMAKE_SOURCE_DIR}/src/util/product.h version_line
     REGEX "kProductVersion\\[\\] = \"[^\"]+\"")
string(REGEX REPLACE "^.*\"([^\"]+)\".*$" "\\1" JUNKLOUPE_VERSION "${version_line}")
if(NOT JUNKLOUPE_VERSION)
    message(FATAL_ERROR "no kProductVersion in src/util/product.h")
endif()

set(JUNKLOUPE_SHARE ${CMAKE_BINARY_DIR}/share)
set(JUNKLOUPE_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/junkloupe)

# --- the icon ---------------------------------------------------------------------
# Drawn once as packaging/junkloupe.svg; the PNG sizes of the icon theme are
# rendered from it at build time by a small Qt tool.
set(JUNKLOUPE_ICON_SIZES 16 22 24 32 48 64 128 256)
set(icon_svg ${CMAKE_SOURCE_DIR}/packaging/junkloupe.svg)
set(icon_root ${JUNKLOUPE_SHARE}/icons/hicolor)
add_executable(render_icon packaging/render_icon.cpp)
target_link_libraries(render_icon PRIVATE Qt6::Gui Qt6::Svg)
set_target_properties(render_icon PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)
set(icon_pngs)
foreach(size IN LISTS JUNKLOUPE_ICON_SIZES)
    list(APPEND icon_pngs ${icon_root}/${size}x${size}/apps/junkloupe.png)
endforeach()
add_custom_command(OUTPUT ${icon_pngs}
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
            $<TARGET_FILE:render_icon> ${icon_svg} ${icon_root} junkloupe ${JUNKLOUPE_ICON_SIZES}
    DEPENDS render_icon ${icon_svg}
    COMMENT "Rendering the icon's PNG sizes"
    VERBATIM)
configure_file(${icon_svg} ${icon_root}/scalable/apps/junkloupe.svg COPYONLY)
# The window and the About dialog take the icon from the program itself
# (src/about/widgets/app_icon.h).
qt_add_resources(jl_about_widgets junkloupe_icon
    PREFIX /icons
    BASE ${icon_root}
    FILES ${icon_pngs})

# --- the manual pages and the AppStream metadata ---------------------------------
# The version goes in for @JUNKLOUPE_VERSION@; the pages are compressed as
# Debian installs them.
set(man_pages)
foreach(page junkloupe junkloupe-cli)
    set(page_source ${CMAKE_SOURCE_DIR}/docs/${page}.1)
    if(NOT EXISTS ${page_source})
        message(WARNING "docs/${page}.1 is missing: no manual page ${page}(1)")
        continue()
    endif()
    set(page_built ${JUNKLOUPE_SHARE}/man/man1/${page}.1)
    configure_file(${page_source} ${page_built} @ONLY)
    add_custom_command(OUTPUT ${page_built}.gz
        COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" sh ${page_built} ${page_built}.gz
        DEPENDS ${page_built}
        VERBATIM)
    list(APPEND man_pages ${page_built}.gz)
endforeach()
set(metainfo ${JUNKLOUPE_SHARE}/metainfo/org.junkloupe.junkloupe.metainfo.xml)
configure_file(packaging/junkloupe.metainfo.xml ${metainfo} @ONLY)
configure_file(packaging/junkloupe.desktop ${JUNKLOUPE_SHARE}/applications/junkloupe.desktop
    COPYONLY)
# The package's changelog, compressed as Debian installs it.
set(changelog_gz ${JUNKLOUPE_SHARE}/doc/junkloupe/changelog.Debian.gz)
file(MAKE_DIRECTORY ${JUNKLOUPE_SHARE}/doc/junkloupe)
add_custom_command(OUTPUT ${changelog_gz}
    COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" sh ${CMAKE_SOURCE_DIR}/packaging/changelog.Debian
            ${changelog_gz}
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog.Debian
    VERBATIM)
add_custom_target(junkloupe_share ALL DEPENDS ${icon_pngs} ${man_pages} ${changelog_gz})

# --- what `cmake --install` puts under the prefix ----------------------------------
install(TARGETS junkloupe junkloupe-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES docs/junkloupe.txt DESTINATION ${JUNKLOUPE_DOC_DIR})
# The copyright and the package's changelog, where Debian keeps them.
install(FILES packaging/copyright ${changelog_gz} DESTINATION ${JUNKLOUPE_DOC_DIR})
install(FILES ${JUNKLOUPE_SHARE}/applications/junkloupe.desktop
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${metainfo} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
install(FILES ${icon_svg} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
foreach(size IN LISTS JUNKLOUPE_ICON_SIZES)
    install(FILES ${icon_root}/${size}x${size}/apps/junkloupe.png
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The install record: the folder this install put the programs in, as the
# installed system sees it (the prefix of `cmake --install`, or the package's
# /usr; a staging DESTDIR is no part of it). A program run from that very
# folder is an installed copy and keeps its users' files in their
# configuration folders (src/util/program_folder.h). Written at install time,
# since `cmake --install --prefix` picks the prefix then; each install stages
# it in a folder of its own, so that installs from one build tree may run at
# once.
set(install_record_code [=[
    set(bindir "@CMAKE_INSTALL_BINDIR@")
    if(NOT IS_ABSOLUTE "${bindir}")
        set(bindir "${CMAKE_INSTALL_PREFIX}/${bindir}")
    endif()
    get_filename_component(bindir "${bindir}" ABSOLUTE)
    string(RANDOM LENGTH 16 stage)
    set(stage "@CMAKE_BINARY_DIR@/install-record-${stage}")
    file(WRITE "${stage}/installed-bindir" "${bindir}\n")
    file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/@CMAKE_INSTALL_DATAROOTDIR@/junkloupe"
         TYPE FILE FILES "${stage}/installed-bindir")
    file(REMOVE_RECURSE "${stage}")
]=])
string(CONFIGURE "${install_record_code}" install_record_code @ONLY)
install(CODE "${install_record_code}")

# --- the Debian package ------------------------------------------------------------
set(CPACK_PACKAGE_NAME junkloupe)
set(CPACK_PACKAGE_VERSION ${JUNKLOUPE_VERSION})
set(CPACK_PACKAGE_VENDOR "The Junkloupe developers")
set(CPACK_PACKAGE_CONTACT "Junkloupe maintainers <maintainers@junkloupe.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "step through saved junk e-mail and collect its tell-tale strings")
# Lines of at most 80 characters, as the package's control file wants them.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Junkloupe is a desktop tool for studying junk e-mail saved one message per\n"
    "file. It steps through the messages, shows the part of each that matters,\n"
    "colour codes the strings collected so far and jumps to the next message\n"
    "that holds none of them. junkloupe-cli runs the same reader and matcher in\n"
    "batch.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The dependencies come from the shared libraries the programs link
# (dpkg-shlibdeps); xdg-open opens the user guide from the Help menu.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)

# --- checks -------------------------------------------------------------------------
# Each skips (status 77) where its tool is missing.
if(JUNKLOUPE_BUILD_TESTS)
    set(check ${CMAKE_SOURCE_DIR}/tests/packaging)
    add_test(NAME packaging_desktop_entry
        COMMAND ${check}/check_files.sh desktop ${JUNKLOUPE_SHARE}/applications/junkloupe.desktop)
    add_test(NAME packaging_metainfo COMMAND ${check}/check_files.sh metainfo ${metainfo})
    add_test(NAME packaging_man_pages COMMAND ${check}/check_files.sh man ${man_pages})
    add_test(NAME packaging_deb
        COMMAND ${check}/check_package.sh ${CMAKE_BINARY_DIR} ${JUNKLOUPE_VERSION} ${CMAKE_CPACK_COMMAND})
    add_test(NAME e2e_installed
        COMMAND ${CMAKE_SOURCE_DIR}/tests/e2e/run_installed_e2e.sh ${CMAKE_BINARY_DIR} ${CMAKE_COMMAND})
    set_tests_properties(packaging_desktop_entry packaging_metainfo packaging_man_pages
        packaging_deb e2e_installed PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300 LABELS packaging)
    set_tests_properties(e2e_installed PROPERTIES LABELS "packaging;e2e")
endif()
