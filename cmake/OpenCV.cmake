# OpenCV's core and imgproc modules. Debian ships OpenCV's CMake package only with libopencv-dev,
# which pulls in every module and about 180 packages; the console needs two modules, whose -dev
# packages bring headers and libraries but no CMake package. So: OpenCV's own package where it
# is installed, otherwise the two libraries found directly.
# Sets OpenCV_INCLUDE_DIRS and OpenCV_LIBS, as OpenCV's package does.

find_package(OpenCV 4 QUIET CONFIG COMPONENTS core imgproc)
if(OpenCV_FOUND)
    return()
endif()

find_path(OpenCV_CORE_INCLUDE_DIR opencv2/core.hpp PATH_SUFFIXES opencv4)
find_path(OpenCV_IMGPROC_INCLUDE_DIR opencv2/imgproc.hpp PATH_SUFFIXES opencv4)
find_library(OpenCV_CORE_LIBRARY opencv_core)
find_library(OpenCV_IMGPROC_LIBRARY opencv_imgproc)
if(NOT OpenCV_CORE_INCLUDE_DIR OR NOT OpenCV_IMGPROC_INCLUDE_DIR
        OR NOT OpenCV_CORE_LIBRARY OR NOT OpenCV_IMGPROC_LIBRARY)
    message(FATAL_ERROR "OpenCV 4 core and imgproc not found "
        "(Debian: libopencv-core-dev libopencv-imgproc-dev, see scripts/install-deps.sh)")
endif()

file(STRINGS ${OpenCV_CORE_INCLUDE_DIR}/opencv2/core/version.hpp OpenCV_VERSION_LINES
    REGEX "^#define CV_VERSION_(MAJOR|MINOR|REVISION) ")
foreach(part MAJOR MINOR REVISION)
    string(REGEX REPLACE ".*CV_VERSION_${part} +([0-9]+).*" "\\1" OpenCV_VERSION_${part}
        "${OpenCV_VERSION_LINES}")
endforeach()
set(OpenCV_VERSION ${OpenCV_VERSION_MAJOR}.${OpenCV_VERSION_MINOR}.${OpenCV_VERSION_REVISION})
if(NOT OpenCV_VERSION_MAJOR EQUAL 4)
    message(FATAL_ERROR "OpenCV 4 needed, found ${OpenCV_VERSION}")
endif()

foreach(module CORE IMGPROC)
    string(TOLOWER ${module} name)
    add_library(opencv_${name} SHARED IMPORTED)
    set_target_properties(opencv_${name} PROPERTIES
        IMPORTED_LOCATION ${OpenCV_${module}_LIBRARY}
        INTERFACE_INCLUDE_DIRECTORIES ${OpenCV_${module}_INCLUDE_DIR})
endforeach()
set(OpenCV_INCLUDE_DIRS ${OpenCV_CORE_INCLUDE_DIR})
set(OpenCV_LIBS opencv_core opencv_imgproc)
message(STATUS "OpenCV ${OpenCV_VERSION}: core and imgproc (${OpenCV_CORE_LIBRARY})")
