# The two catalogues are compiled into ja-JP/ and en-US/ beside the executable, where the
# program looks for them, so a build runs without an install step.
set(QR_TS_JA ${PROJECT_SOURCE_DIR}/translations/QuillRelay.ja-JP.ts)
set(QR_TS_EN ${PROJECT_SOURCE_DIR}/translations/QuillRelay.en-US.ts)
set_source_files_properties(${QR_TS_JA} PROPERTIES OUTPUT_LOCATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/ja-JP)
set_source_files_properties(${QR_TS_EN} PROPERTIES OUTPUT_LOCATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/en-US)

# Every text the person sees lives in the ui layer (its code and its forms) and the executable.
get_target_property(QR_UI_SOURCES qr_ui SOURCES)
get_target_property(QR_APP_SOURCES QuillRelay SOURCES)
list(TRANSFORM QR_UI_SOURCES PREPEND ${PROJECT_SOURCE_DIR}/ui/ REGEX "^[^/]")
list(TRANSFORM QR_APP_SOURCES PREPEND ${PROJECT_SOURCE_DIR}/app/ REGEX "^[^/]")
set(QR_TRANSLATABLE_SOURCES ${QR_UI_SOURCES} ${QR_APP_SOURCES})
list(FILTER QR_TRANSLATABLE_SOURCES INCLUDE REGEX "\\.(cpp|h|ui)$")

qt_add_translations(QuillRelay
    TS_FILES ${QR_TS_JA} ${QR_TS_EN}
    SOURCES ${QR_TRANSLATABLE_SOURCES}
    LUPDATE_OPTIONS -no-obsolete -locations none
    QM_FILES_OUTPUT_VARIABLE QR_QM_FILES)
set(QR_QM_FILES ${QR_QM_FILES} CACHE INTERNAL "Compiled catalogues")
