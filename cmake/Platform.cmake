# Which platform backends the build can offer. Each subsystem's sources.cmake picks its
# platform files from these switches, so the choice is made in one place per job.
if(WIN32)
    set(QR_PLATFORM_WINDOWS ON)
elseif(UNIX AND NOT APPLE)
    set(QR_PLATFORM_LINUX ON)
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(LIBEVDEV IMPORTED_TARGET libevdev)
    pkg_check_modules(XTST IMPORTED_TARGET xtst x11)
    # Shift-JIS projector names; Windows converts them with its own code page 932.
    find_package(Qt6 REQUIRED COMPONENTS Core5Compat)
endif()
