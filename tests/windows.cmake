# The Windows build's tests: the ones that need neither a Linux helper (namespace pairs, the
# projector simulator, uinput, XTest) nor a settings file, run under Wine through the build's
# CROSSCOMPILING_EMULATOR (support/wine-run.sh), each in a network namespace of its own.
# The program itself under Wine, in a namespace pair against the simulator, is the
# windows_wine test of the Linux build (tests/windows/).
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
