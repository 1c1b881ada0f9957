# Run as a script by the test test_embedding: configures the parent project in parent/ (which
# embeds this source tree with add_subdirectory and links scanconsole_core), compiles its one
# source file, and checks its link line. Building the core itself would take minutes; the
# compile proves the include root and the compile definitions and include paths of Qt and OpenCV
# that the core passes on, and the link line that the core and its libraries come with it.
#   cmake -DSOURCE_DIR=<console source> -DWORK_DIR=<scratch folder> -P CheckEmbedding.cmake
foreach(var SOURCE_DIR WORK_DIR)
    if(NOT ${var})
        message(FATAL_ERROR "CheckEmbedding.cmake: ${var} is required")
    endif()
endforeach()

file(REMOVE_RECURSE ${WORK_DIR})
function(run what)
    execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE status
        OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${what} failed (${status}):\n${output}")
    endif()
    message(STATUS "${what}: done")
endfunction()

file(MAKE_DIRECTORY ${WORK_DIR})
# Through ccache where there is one: a repeated run compiles only what changed.
find_program(ccache ccache)
if(ccache)
    set(launcher -DCMAKE_CXX_COMPILER_LAUNCHER=${ccache})
endif()
run("Configuring the parent project" ${CMAKE_COMMAND} -G "Unix Makefiles" -S ${SOURCE_DIR}/tests/embedding/parent
    -B ${WORK_DIR} -DSCANCONSOLE_SOURCE_DIR=${SOURCE_DIR} -DCMAKE_BUILD_TYPE=Debug ${launcher})

# Embedded, the console registers no tests and no package of its own.
file(READ ${WORK_DIR}/CMakeCache.txt cache)
foreach(option SCANCONSOLE_TESTS SCANCONSOLE_PACKAGE SCANCONSOLE_BENCHMARKS)
    if(NOT cache MATCHES "${option}:BOOL=(OFF|FALSE|0)\n")
        message(FATAL_ERROR "${option} is not off in an embedding project")
    endif()
endforeach()
if(EXISTS ${WORK_DIR}/CPackConfig.cmake)
    message(FATAL_ERROR "The embedded console made the parent's CPack configuration")
endif()

# The parent's one object file, with the flags its link to the core gives it.
run("Compiling main.cpp against the core's headers" ${CMAKE_COMMAND} --build ${WORK_DIR}
    --target main.cpp.o)

file(READ ${WORK_DIR}/CMakeFiles/parent_uses_core.dir/link.txt link)
foreach(library libscanconsole_core.a libQt5Widgets libopencv_imgproc)
    if(NOT link MATCHES "${library}")
        message(FATAL_ERROR "The parent's link line lacks ${library}:\n${link}")
    endif()
endforeach()
message(STATUS "The parent project links scanconsole_core")
