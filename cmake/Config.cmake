# Files the application directory's config/ folder starts with.
#
# Login.ini holds the administrator's digests and is readable by its owner only (mode 0600).
# The change-password command rewrites it, so it is put in place only where none exists yet:
# copying it unconditionally would reset a changed password on every build or install.
#
# This file has two roles. Included from the top-level CMakeLists.txt it makes the template and
# the build and install rules. Run as a script (cmake -DSOURCE=... -DTARGET=... -P Config.cmake)
# it copies SOURCE to TARGET when TARGET is missing; the build runs it that way.

if(CMAKE_SCRIPT_MODE_FILE)
    if(NOT SOURCE OR NOT TARGET)
        message(FATAL_ERROR "Config.cmake: SOURCE and TARGET are required")
    endif()
    if(NOT EXISTS "${TARGET}" AND NOT IS_SYMLINK "${TARGET}")
        get_filename_component(target_dir "${TARGET}" DIRECTORY)
        get_filename_component(source_name "${SOURCE}" NAME)
        file(MAKE_DIRECTORY "${target_dir}")
        # Readable by its owner only: it holds the password's digest.
        file(COPY "${SOURCE}" DESTINATION "${target_dir}" FILE_PERMISSIONS OWNER_READ OWNER_WRITE)
        if(NOT "${target_dir}/${source_name}" STREQUAL "${TARGET}")
            file(RENAME "${target_dir}/${source_name}" "${TARGET}")
        endif()
        message(STATUS "Installed initial ${TARGET}")
    endif()
    return()
endif()

# The administrator proposed by the login form and the initial password handed out with the
# installation; only their digests go into the file.
set(SCANCONSOLE_LOGIN_USER "Admin")
set(SCANCONSOLE_LOGIN_INITIAL_PASSWORD "Veldrin2026")
# Both are ASCII, so CMake's MD5 of the UTF-8 bytes equals the console's digest of the Latin-1 bytes.
string(MD5 SCANCONSOLE_LOGIN_USER_DIGEST "${SCANCONSOLE_LOGIN_USER}")
string(MD5 SCANCONSOLE_LOGIN_PASSWORD_DIGEST "${SCANCONSOLE_LOGIN_INITIAL_PASSWORD}")

set(SCANCONSOLE_LOGIN_TEMPLATE ${PROJECT_BINARY_DIR}/config-template/Login.ini)
configure_file(${PROJECT_SOURCE_DIR}/config/Login.ini.in ${SCANCONSOLE_LOGIN_TEMPLATE} @ONLY)

add_custom_target(scanconsole_login_ini ALL
    COMMAND ${CMAKE_COMMAND}
        -DSOURCE=${SCANCONSOLE_LOGIN_TEMPLATE}
        -DTARGET=${SCANCONSOLE_APP_DIR}/config/Login.ini
        -P ${CMAKE_CURRENT_LIST_FILE}
    COMMENT "Providing config/Login.ini where it is missing"
    VERBATIM)
add_dependencies(veldrin-scan scanconsole_login_ini veldrin-scan-password)

install(CODE "
    set(login_dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${SCANCONSOLE_INSTALL_APPDIR}/config\")
    if(EXISTS \"\${login_dir}/Login.ini\" OR IS_SYMLINK \"\${login_dir}/Login.ini\")
        message(STATUS \"Keeping existing: \${login_dir}/Login.ini\")
    else()
        file(INSTALL DESTINATION \"\${login_dir}\" TYPE FILE FILES \"${SCANCONSOLE_LOGIN_TEMPLATE}\"
             FILE_PERMISSIONS OWNER_READ OWNER_WRITE)
    endif()
")
