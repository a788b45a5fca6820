# Which platform the build is for (QR_PLATFORM_WINDOWS or QR_PLATFORM_LINUX) and what its
# backends need. Each target's CMakeLists.txt adds its suffix-named platform files (_win,
# _unix, _uinput, ...) under these switches, so a file's platform is chosen once, beside
# the target it belongs to.
if(WIN32)
    set(QR_PLATFORM_WINDOWS ON)
    # The compiler's own runtime DLLs, which every program of the build needs beside it.
    if(MINGW)
        foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
            execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                            OUTPUT_VARIABLE dll_path OUTPUT_STRIP_TRAILING_WHITESPACE)
            if(NOT IS_ABSOLUTE "${dll_path}" OR NOT EXISTS "${dll_path}")
                message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${dll} is")
            endif()
            get_filename_component(dll_path ${dll_path} REALPATH)
            list(APPEND QR_WINDOWS_RUNTIME_DLLS ${dll_path})
        endforeach()
    endif()
    if(CMAKE_CROSSCOMPILING AND CMAKE_HOST_UNIX)
        # Built on Linux: the Windows programs run under Wine, with the Qt DLLs and the
        # runtime DLLs found where they lie.
        set(QR_WINDOWS_DLL_DIRS ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS})
        foreach(dll ${QR_WINDOWS_RUNTIME_DLLS})
            get_filename_component(dll_dir ${dll} DIRECTORY)
            list(APPEND QR_WINDOWS_DLL_DIRS ${dll_dir})
        endforeach()
        list(REMOVE_DUPLICATES QR_WINDOWS_DLL_DIRS)
        list(JOIN QR_WINDOWS_DLL_DIRS "\\;" dll_dirs)
        set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/tools/wine-run.sh
            --prefix ${CMAKE_BINARY_DIR}/wine-prefix --dlls "${dll_dirs}" --)
    endif()
elseif(UNIX AND NOT APPLE)
    set(QR_PLATFORM_LINUX ON)
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(LIBEVDEV IMPORTED_TARGET libevdev)
    pkg_check_modules(XTST IMPORTED_TARGET xtst x11)
    # Binding the input devices to a monitor of an X server: XInput 2 and RandR.
    pkg_check_modules(XI IMPORTED_TARGET xi)
    pkg_check_modules(XRANDR IMPORTED_TARGET xrandr)
    # Shift-JIS projector names; Windows converts them with its own code page 932.
    find_package(Qt6 REQUIRED COMPONENTS Core5Compat)
    # Wakes from sleep, told by logind on the system bus.
    find_package(Qt6 REQUIRED COMPONENTS DBus)
endif()
