# The Windows build's tests: the ones that need neither a Linux helper (namespace pairs, the
# projector simulator, uinput, XTest) nor a settings file, run under Wine through the build's
# CROSSCOMPILING_EMULATOR (support/wine-run.sh), each in a network namespace of its own.
qr_add_test(penstatus SOURCES app/tst_penstatus.cpp)
qr_add_test(lineedits SOURCES dialogs/tst_lineedits.cpp)
qr_add_test(addressinput SOURCES dialogs/tst_addressinput.cpp)
qr_add_test(aboutdialog SOURCES dialogs/tst_aboutdialog.cpp)
qr_add_test(searchpacket SOURCES discovery/tst_searchpacket.cpp)
qr_add_test(searchengine SOURCES discovery/tst_searchengine.cpp)
qr_add_test(niclist SOURCES discovery/tst_niclist.cpp)
qr_add_test(touchinjection SOURCES injection/tst_touchinjection.cpp)
qr_add_test(sendmouseevent SOURCES injection/tst_sendmouseevent.cpp)
qr_add_test(pendispatch SOURCES injection/tst_pendispatch.cpp)
qr_add_test(screenpixels SOURCES injection/tst_screenpixels.cpp ENVIRONMENT QT_SCALE_FACTOR=2)
qr_add_test(commandframe SOURCES link/tst_commandframe.cpp)
qr_add_test(resources SOURCES resources/tst_resources.cpp)
qr_add_test(pencanvas
    SOURCES pen-canvas/tst_pencanvas.cpp
            ${PROJECT_SOURCE_DIR}/tools/pen-canvas/pencanvas.cpp
            ${PROJECT_SOURCE_DIR}/tools/pen-canvas/pencanvas.h)
target_include_directories(tst_pencanvas PRIVATE ${PROJECT_SOURCE_DIR}/tools/pen-canvas)

# The program itself under Wine, installed by its installer, in a namespace pair against the
# Linux build's projector simulator (tests/windows/program-under-wine.sh). The installer is
# made by scripts/build-windows.sh.
if(CMAKE_CROSSCOMPILING AND CMAKE_HOST_UNIX)
    set(QR_LINUX_PROJECTOR_SIM ${PROJECT_SOURCE_DIR}/build/bin/projector-sim CACHE FILEPATH
        "The projector simulator of a Linux build, for the program's run under Wine")
    list(JOIN QR_WINDOWS_DLL_DIRS ";" dll_dirs)
    add_test(NAME program_under_wine
        COMMAND ${PROJECT_SOURCE_DIR}/tests/windows/program-under-wine.sh
                ${CMAKE_BINARY_DIR}/packages/QuillRelay-${PROJECT_VERSION}-win64.exe
                $<TARGET_FILE:QuillRelay> $<TARGET_FILE:pen-canvas> "${dll_dirs}"
                ${QR_LINUX_PROJECTOR_SIM})
    set_tests_properties(program_under_wine PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
endif()
