# Input injection: the platform-neutral injectors, their records and devices, and the
# platform backend, picked here once for the build's platform.
target_sources(quillrelay PRIVATE
    injection/injectionrecords.cpp injection/injectionrecords.h
    injection/injectiondevices.h
    injection/injectionbackend.h
    injection/injectionbackend_recording.cpp injection/injectionbackend_recording.h
    injection/monotonicclock.cpp injection/monotonicclock.h
    injection/screengeometry.cpp injection/screengeometry.h
    injection/touchinjection.cpp injection/touchinjection.h
    injection/sendmouseevent.cpp injection/sendmouseevent.h
)

if(QR_PLATFORM_WINDOWS)
    target_sources(quillrelay PRIVATE
        injection/win32calls_win.cpp injection/win32calls_win.h
        injection/injectionbackend_win.cpp)
    # Touch injection is declared from Windows 8 on; the entry points are still resolved at
    # run time, so the program starts on older systems too.
    set_source_files_properties(injection/win32calls_win.cpp PROPERTIES
        COMPILE_DEFINITIONS "_WIN32_WINNT=0x0602;WIN32_LEAN_AND_MEAN")
    target_link_libraries(quillrelay PRIVATE user32)
elseif(QR_PLATFORM_LINUX)
    if(NOT TARGET PkgConfig::LIBEVDEV OR NOT TARGET PkgConfig::XTST)
        message(FATAL_ERROR "libevdev and libXtst are needed for input injection on Linux "
                            "(packages libevdev-dev, libxtst-dev)")
    endif()
    target_sources(quillrelay PRIVATE
        injection/evdevframes_uinput.cpp injection/evdevframes_uinput.h
        injection/uinputdevices_uinput.cpp injection/uinputdevices_uinput.h
        injection/mousedevice_xtest.cpp injection/mousedevice_xtest.h
        injection/injectionbackend_linux.cpp)
    target_link_libraries(quillrelay PUBLIC PkgConfig::LIBEVDEV PkgConfig::XTST)
endif()
