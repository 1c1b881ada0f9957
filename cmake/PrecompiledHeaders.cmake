# Precompiled headers: Qt's and OpenCV's headers compiled once for the core library and once for
# the test programs, which all share the test support library's (their compile flags are the same).
# Off by default: measured on a fresh clone (RelWithDebInfo, two cores), the build took as much
# processor time with them as without (-O2 -g compiling outweighs parsing here, and every file
# reads the 190 MB header image), and their first build misses every ccache entry.
option(SCANCONSOLE_PCH "Precompile the Qt and OpenCV headers" OFF)

set(SCANCONSOLE_PCH_HEADERS
    <algorithm> <functional> <memory> <vector>
    <QObject> <QString> <QStringList> <QByteArray> <QList> <QVector> <QHash> <QMap>
    <QFile> <QFileInfo> <QDir> <QDebug> <QThread> <QMutex> <QDateTime> <QSettings> <QProcess>
    <QTimer> <QImage> <QPixmap> <QPainter> <QColor>
    <QWidget> <QApplication> <QDialog> <QMainWindow> <QMessageBox> <QLabel> <QPushButton>
    <QSpinBox> <QSlider> <QComboBox> <QLineEdit> <QCheckBox>
    <opencv2/core.hpp> <opencv2/imgproc.hpp>)

# scanconsole_precompile(target [extra headers...]): the target's own precompiled header.
function(scanconsole_precompile target)
    if(SCANCONSOLE_PCH)
        target_precompile_headers(${target} PRIVATE ${SCANCONSOLE_PCH_HEADERS} ${ARGN})
    endif()
endfunction()

# scanconsole_reuse_precompiled(target donor): the donor's precompiled header, for a target
# compiled with the same flags.
function(scanconsole_reuse_precompiled target donor)
    if(SCANCONSOLE_PCH)
        target_precompile_headers(${target} REUSE_FROM ${donor})
    endif()
endfunction()

# ccache caches compiles that use a precompiled header only when told that the header's macros
# and time stamps may be ignored (the header's content is still part of the hash).
if(SCANCONSOLE_PCH AND CMAKE_CXX_COMPILER_LAUNCHER)
    list(GET CMAKE_CXX_COMPILER_LAUNCHER 0 launcher)
    get_filename_component(launcher_name "${launcher}" NAME)
    if(launcher_name STREQUAL "ccache")
        set(CMAKE_CXX_COMPILER_LAUNCHER ${CMAKE_COMMAND} -E env
            CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
            ${CMAKE_CXX_COMPILER_LAUNCHER})
    endif()
endif()
