# The Debian package of the console, made by CPack: `cpack -G DEB` in the build folder, or
# scripts/package.sh.
#
# Layout of an installation (paths below the install prefix, which is "/" for the package):
#   opt/veldrin-scan/                the application directory: the console, ScanConsoleApp,
#                                    the password helper, the simulated network scanner;
#                                    config/ (the machine's defaults) is made by postinst
#   usr/bin/veldrin-scan             launcher
#   usr/share/applications/          desktop entry
#   usr/share/icons/hicolor/         application icon, drawn by res/draw_images.cpp
#   usr/share/metainfo/              AppStream metadata
#   usr/share/man/man1/              manual page of the launcher
#   usr/share/veldrin-scan/config/   the initial Login.ini, copied into config/ on first install
#   usr/share/polkit-1/actions/      the polkit action of the password helper
#
# Everything the package carries is installed in the component `deb`. The package's settings
# files are made by its maintainer scripts (packaging/postinst), never shipped: dpkg would replace
# them on every upgrade. The build tree's own rule for an initial Login.ini (Config.cmake) is
# therefore left out of the package.

set(SCANCONSOLE_PACKAGE veldrin-scan)
set(SCANCONSOLE_DESKTOP_ID com.veldrin.scan)
set(PKG_SRC ${PROJECT_SOURCE_DIR}/packaging)
set(PKG_STAGE ${PROJECT_BINARY_DIR}/packaging)
# Made here: the rules below write into it side by side (make -j), none of them first.
file(MAKE_DIRECTORY ${PKG_STAGE})

# The console and its programs.
install(TARGETS veldrin-scan ScanConsoleApp veldrin-scan-password
    RUNTIME DESTINATION ${SCANCONSOLE_INSTALL_APPDIR} COMPONENT deb)
# The simulated network scanner, where the build has one.
if(TARGET escl-scanner)
    install(TARGETS escl-scanner RUNTIME DESTINATION ${SCANCONSOLE_INSTALL_APPDIR} COMPONENT deb)
endif()

install(PROGRAMS ${PKG_SRC}/veldrin-scan DESTINATION usr/bin COMPONENT deb)
install(FILES ${PKG_SRC}/${SCANCONSOLE_DESKTOP_ID}.desktop
    DESTINATION usr/share/applications COMPONENT deb)
install(FILES ${PKG_SRC}/${SCANCONSOLE_DESKTOP_ID}.metainfo.xml
    DESTINATION usr/share/metainfo COMPONENT deb)
# pkexec runs the password helper as root only under this action (administrator authentication).
install(FILES ${PKG_SRC}/${SCANCONSOLE_DESKTOP_ID}.change-admin-password.policy
    DESTINATION usr/share/polkit-1/actions COMPONENT deb)
# The initial Login.ini as Config.cmake makes it for the build tree.
if(NOT SCANCONSOLE_LOGIN_TEMPLATE)
    message(FATAL_ERROR "Package.cmake: include it after Config.cmake (SCANCONSOLE_LOGIN_TEMPLATE)")
endif()
install(FILES ${SCANCONSOLE_LOGIN_TEMPLATE}
    DESTINATION usr/share/${SCANCONSOLE_PACKAGE}/config COMPONENT deb)

# Icons for the hicolor theme.
set(PKG_ICON_SIZES 32 48 64 128 256 512)
set(PKG_ICONS)
foreach(size ${PKG_ICON_SIZES})
    list(APPEND PKG_ICONS ${PKG_STAGE}/icons/${size}x${size}/apps/veldrin-scan.png)
endforeach()
add_custom_command(
    OUTPUT ${PKG_ICONS}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${SCANCONSOLE_SANITIZER_ENVIRONMENT}
        $<TARGET_FILE:draw_images> --icons ${PKG_STAGE}/icons
    DEPENDS draw_images
    COMMENT "Drawing the desktop icons")

# Documentation in the form Debian's tools expect: copyright as it is, the changelog gzipped at
# the highest level without a time stamp.
add_custom_command(
    OUTPUT ${PKG_STAGE}/changelog.gz
    COMMAND gzip -9nc ${PKG_SRC}/changelog > ${PKG_STAGE}/changelog.gz
    DEPENDS ${PKG_SRC}/changelog
    COMMENT "Compressing the package changelog")
add_custom_command(
    OUTPUT ${PKG_STAGE}/veldrin-scan.1.gz
    COMMAND gzip -9nc ${PKG_SRC}/veldrin-scan.1 > ${PKG_STAGE}/veldrin-scan.1.gz
    DEPENDS ${PKG_SRC}/veldrin-scan.1
    COMMENT "Compressing the manual page")
add_custom_target(scanconsole_package_files ALL
    DEPENDS ${PKG_ICONS} ${PKG_STAGE}/changelog.gz ${PKG_STAGE}/veldrin-scan.1.gz)

foreach(size ${PKG_ICON_SIZES})
    install(FILES ${PKG_STAGE}/icons/${size}x${size}/apps/veldrin-scan.png
        DESTINATION usr/share/icons/hicolor/${size}x${size}/apps COMPONENT deb)
endforeach()
install(FILES ${PKG_SRC}/copyright ${PKG_STAGE}/changelog.gz
    DESTINATION usr/share/doc/${SCANCONSOLE_PACKAGE} COMPONENT deb)
install(FILES ${PKG_STAGE}/veldrin-scan.1.gz DESTINATION usr/share/man/man1 COMPONENT deb)
install(FILES ${PKG_SRC}/lintian-overrides
    DESTINATION usr/share/lintian/overrides RENAME ${SCANCONSOLE_PACKAGE} COMPONENT deb)

# CPack: one Debian package of the component `deb`, installed below "/".
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${SCANCONSOLE_PACKAGE})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Veldrin")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "scanning console for TX7700-Series network scanners")
set(CPACK_PACKAGE_DESCRIPTION
    "Desktop console of the TX7700-Series multifunction printers: set the scan\n"
    "parameters in one window, scan or preview, and get corrected pages in a preview\n"
    "window and in the destination folder as JPG, PDF, TIFF, OFD, PNG, BMP or one\n"
    "merged PDF. Each operator keeps settings of their own; the machine's defaults\n"
    "and the administrator account belong to root.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGE_CONTACT "Veldrin scanning console team <scan-console@veldrin.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX "/")
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};deb;/")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Libraries from the binaries; the rest is what the console runs or reads at run time: the
# network scanner backend, ping for the printer's status, Chinese glyphs, and the recognition
# data of the searchable PDF (Simplified Chinese and English, the default languages). pkexec
# is how an operator's console asks for the system administrator to change the administrator password; without it
# the console names the command to run.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "sane-airscan, iputils-ping, fonts-wqy-microhei, tesseract-ocr-chi-sim, tesseract-ocr-eng")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pkexec")
# Traditional Chinese for the searchable formats, offered in "识别语言" once installed.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "tesseract-ocr-chi-tra")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${PKG_SRC}/postinst;${PKG_SRC}/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
