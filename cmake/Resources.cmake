# The embedded resource collection. Its inputs come from three places (committed style sheets,
# images drawn at build time, catalogues compiled at build time), so they are gathered in one
# staging folder next to a copy of PreviewWindow.qrc and compiled from there.
set(RES_STAGE ${PROJECT_BINARY_DIR}/resources)

configure_file(${PROJECT_SOURCE_DIR}/PreviewWindow.qrc ${RES_STAGE}/PreviewWindow.qrc COPYONLY)
foreach(sheet MainWindow MainWindow_UOS MainWindow_NKylin)
    configure_file(${PROJECT_SOURCE_DIR}/qss/res/${sheet}.qss ${RES_STAGE}/qss/res/${sheet}.qss COPYONLY)
endforeach()

# Qt's own Chinese texts: the distributed qt_zh_CN.qm only points at qtbase_zh_CN.qm, which a
# resource collection cannot follow, so a standalone copy is made from qtbase_zh_CN.qm.
find_file(QTBASE_ZH_CN_QM qtbase_zh_CN.qm
    PATHS /usr/share/qt5/translations ${QT_TRANSLATIONS_DIR}
    NO_DEFAULT_PATH REQUIRED)
add_custom_command(
    OUTPUT ${RES_STAGE}/qt_zh_CN.qm
    COMMAND Qt5::lconvert -i ${QTBASE_ZH_CN_QM} -o ${RES_STAGE}/qt_zh_CN.qm
    DEPENDS ${QTBASE_ZH_CN_QM}
    COMMENT "Building Qt's Chinese catalogue")

# Our catalogue.
add_custom_command(
    OUTPUT ${RES_STAGE}/language_zh_CN.qm
    COMMAND Qt5::lrelease -silent ${PROJECT_SOURCE_DIR}/language_zh_CN.ts -qm ${RES_STAGE}/language_zh_CN.qm
    DEPENDS ${PROJECT_SOURCE_DIR}/language_zh_CN.ts
    COMMENT "Compiling language_zh_CN.ts")

# The images are drawn by a small program of ours.
add_executable(draw_images res/draw_images.cpp)
target_link_libraries(draw_images PRIVATE Qt5::Gui)
set_target_properties(draw_images PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tools)
set(RES_IMAGES MainWin.jpg SaveFile.png Screenshot.png rotate_ccw.png rotate_cw.png resize.png
    fit.png remove.png MainWin64.png combox.png)
list(TRANSFORM RES_IMAGES PREPEND ${RES_STAGE}/res/ OUTPUT_VARIABLE RES_IMAGE_FILES)
add_custom_command(
    OUTPUT ${RES_IMAGE_FILES}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${SCANCONSOLE_SANITIZER_ENVIRONMENT}
        $<TARGET_FILE:draw_images> ${RES_STAGE}/res
    DEPENDS draw_images
    COMMENT "Drawing the console's images")

qt5_add_resources(SCANCONSOLE_RESOURCE_SOURCES ${RES_STAGE}/PreviewWindow.qrc)
# An object library, so every program that links it registers the collection at load time.
add_library(scanconsole_resources OBJECT ${SCANCONSOLE_RESOURCE_SOURCES})
target_link_libraries(scanconsole_resources PRIVATE Qt5::Core)
