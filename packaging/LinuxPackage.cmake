# The Debian package "corvanta-manager", laid out as Linux programs are (the build tree's usr/):
#   /usr/lib/corvanta-manager/                         the program, plugins/ (the web view), Payload/
#   /usr/share/corvanta-manager/                       images and other read-only data
#   /usr/bin/corvanta-manager                          starts the program
#   /usr/share/applications, icons/hicolor, metainfo   the desktop's view of it
set(PACKAGE_NAME "${CORVANTA_PACKAGE_NAME}")
set(PACKAGE_LIB "lib/${PACKAGE_NAME}")
set(APP_ID "com.corvanta.wpsanalysis.manager")
# Qt names the window's class (WM_CLASS) after the executable it was started as; the desktop entry
# repeats it so docks group the window with its launcher (checked with xprop under Xvfb).
set(WM_CLASS "${CORVANTA_EXECUTABLE}")
set(LINUX_DIR "${CMAKE_CURRENT_SOURCE_DIR}/linux")
set(GENERATED "${CMAKE_CURRENT_BINARY_DIR}/linux")

# Dates from SOURCE_DATE_EPOCH when set, so two builds of one commit give the same package.
string(TIMESTAMP RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP RELEASE_DATE_RFC2822 "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file("${LINUX_DIR}/${APP_ID}.desktop.in" "${GENERATED}/${APP_ID}.desktop" @ONLY)
configure_file("${LINUX_DIR}/${APP_ID}.metainfo.xml.in" "${GENERATED}/${APP_ID}.metainfo.xml" @ONLY)
configure_file("${LINUX_DIR}/changelog.in" "${GENERATED}/changelog" @ONLY)

# The icon in the theme's usual sizes, each drawn at its size (a scaled picture blurs the mark);
# the changelog and manual page compressed as Debian wants them (no name or time in the header).
set(ICON_SIZES 16 22 24 32 48 64 128 256)
set(GENERATED_FILES "${GENERATED}/changelog.gz" "${GENERATED}/${PACKAGE_NAME}.1.gz")
foreach(size ${ICON_SIZES})
    set(icon "${GENERATED}/icons/${size}x${size}/apps/${PACKAGE_NAME}.png")
    add_custom_command(OUTPUT "${icon}"
        COMMAND "${CMAKE_COMMAND}" -E make_directory "${GENERATED}/icons/${size}x${size}/apps"
        COMMAND corvanta-bundle-images icon ${size} "${icon}"
        DEPENDS corvanta-bundle-images
        VERBATIM)
    list(APPEND GENERATED_FILES "${icon}")
endforeach()
add_custom_command(OUTPUT "${GENERATED}/changelog.gz"
    COMMAND gzip -9n -c "${GENERATED}/changelog" > "${GENERATED}/changelog.gz"
    DEPENDS "${GENERATED}/changelog")
add_custom_command(OUTPUT "${GENERATED}/${PACKAGE_NAME}.1.gz"
    COMMAND gzip -9n -c "${LINUX_DIR}/${PACKAGE_NAME}.1" > "${GENERATED}/${PACKAGE_NAME}.1.gz"
    DEPENDS "${LINUX_DIR}/${PACKAGE_NAME}.1")
add_custom_target(corvanta_package_files DEPENDS ${GENERATED_FILES})
# Only scripts/package needs them: the suites' builds do not wait for ImageMagick.
set_target_properties(corvanta_package_files PROPERTIES EXCLUDE_FROM_ALL TRUE)

install(CODE "if(NOT EXISTS \"${CORVANTA_PROGRAM_DIR}/${CORVANTA_EXECUTABLE}\" OR NOT EXISTS \"${GENERATED}/changelog.gz\")
    message(FATAL_ERROR \"Build first: cmake --build . --target all corvanta_package_files\")
endif()")
install(DIRECTORY "${CORVANTA_PROGRAM_DIR}/" DESTINATION "${PACKAGE_LIB}" USE_SOURCE_PERMISSIONS)
install(DIRECTORY "${CORVANTA_DATA_DIR}/" DESTINATION "share/${PACKAGE_NAME}")
# Debug information stays in the build; the package carries stripped programs.
install(CODE "
    set(lib \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${PACKAGE_LIB}\")
    file(GLOB plugins \"\${lib}/plugins/*.so\")
    foreach(binary \"\${lib}/${CORVANTA_EXECUTABLE}\" \"\${lib}/Payload/installers/corvanta-wps-addins\" \${plugins})
        execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded --remove-section=.comment --remove-section=.note
                        \"\${binary}\" COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
    # Run by bash, but a script with a #! line is marked executable as Debian expects.
    file(CHMOD \"\${lib}/Payload/installers/install-corvanta-wps-analysis-macos.command\"
         PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
")
# A launcher, not a link: Qt takes the window's class from the name the program was started by, and
# through a link it would be "corvanta-manager" instead of the class the desktop entry names.
file(REMOVE "${GENERATED}/bin/${PACKAGE_NAME}")
file(WRITE "${GENERATED}/bin/${PACKAGE_NAME}"
    "#!/bin/sh\nexec /usr/${PACKAGE_LIB}/${CORVANTA_EXECUTABLE} \"$@\"\n")
install(PROGRAMS "${GENERATED}/bin/${PACKAGE_NAME}" DESTINATION bin)
install(FILES "${GENERATED}/${APP_ID}.desktop" DESTINATION share/applications)
install(FILES "${GENERATED}/${APP_ID}.metainfo.xml" DESTINATION share/metainfo)
install(DIRECTORY "${GENERATED}/icons/" DESTINATION share/icons/hicolor)
install(FILES "${GENERATED}/${PACKAGE_NAME}.1.gz" DESTINATION share/man/man1)
install(FILES "${LINUX_DIR}/copyright" "${GENERATED}/changelog.gz" DESTINATION "share/doc/${PACKAGE_NAME}")

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "${PACKAGE_NAME}")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Corvanta <bd@corvanta-data.cn>")
set(CPACK_DEBIAN_PACKAGE_SECTION "misc")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.corvanta-data.cn")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "manager of the Corvanta Analysis add-in for WPS Spreadsheets")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Corvanta 管理工具 installs, updates and repairs the Corvanta Analysis add-in
(a DRG/DIP medical-record analysis workbench) in WPS for Linux, from the
vendor's service or from the local package cache, and uninstalls it. It
refuses every change while WPS is running.")
# Libraries from the programs themselves; bash, which the tool runs, besides, and the packages of the
# libraries it opens only when it needs them (which dpkg-shlibdeps cannot see).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "bash (>= 5)")
foreach(library ${CORVANTA_CRYPTO_LIBRARY} ${CORVANTA_ARCHIVE_LIBRARY})
    execute_process(COMMAND dpkg-query --search "*/${library}" OUTPUT_VARIABLE owners COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX MATCH "^[^:]+" owner "${owners}")
    string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", ${owner}")
endforeach()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
