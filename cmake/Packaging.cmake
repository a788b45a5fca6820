# Install rules and packages: a .deb on Linux (cpack -G DEB), an NSIS installer on Windows.
# Only the program is installed: the executable with its catalogue folders ja-JP/ and en-US/
# beside it (the program looks for them in its own folder), plus the desktop integration.
include(GNUInstallDirs)

set(QR_APP_ID com.lumoravista.QuillRelay)
set(QR_LINUX_DIR ${PROJECT_SOURCE_DIR}/packaging/linux)

if(QR_PLATFORM_LINUX)
    # /usr/lib/quillrelay/QuillRelay with the catalogues beside it; /usr/bin/quillrelay
    # links to it. Qt resolves the link, so the program still finds its catalogues.
    set(QR_INSTALL_APPDIR lib/quillrelay)
    install(TARGETS QuillRelay RUNTIME DESTINATION ${QR_INSTALL_APPDIR})
    foreach(qm ${QR_QM_FILES})
        get_filename_component(qm_dir ${qm} DIRECTORY)
        get_filename_component(language ${qm_dir} NAME)
        install(FILES ${qm} DESTINATION ${QR_INSTALL_APPDIR}/${language})
    endforeach()
    # The link is made where the files are installed, so that the build folder itself needs
    # no file system with symbolic links.
    install(CODE "
        set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
        file(MAKE_DIRECTORY \"\${bin}\")
        file(CREATE_LINK ../${QR_INSTALL_APPDIR}/QuillRelay \"\${bin}/quillrelay\" SYMBOLIC)")

    install(FILES ${QR_LINUX_DIR}/${QR_APP_ID}.desktop DESTINATION share/applications)
    install(FILES ${QR_LINUX_DIR}/${QR_APP_ID}.metainfo.xml DESTINATION share/metainfo)
    foreach(size 32 48 64 128 256)
        install(FILES ${PROJECT_SOURCE_DIR}/resources/app/quillrelay-${size}.png
                DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME ${QR_APP_ID}.png)
    endforeach()
    # XDG reads autostart entries from /etc/xdg/autostart only, whatever the prefix.
    install(FILES ${QR_LINUX_DIR}/${QR_APP_ID}.autostart.desktop
            DESTINATION /etc/xdg/autostart RENAME ${QR_APP_ID}.desktop)
    # Touch input without root: the seat user gets /dev/uinput, loaded at boot.
    install(FILES ${QR_LINUX_DIR}/60-quillrelay-uinput.rules DESTINATION lib/udev/rules.d)
    install(FILES ${QR_LINUX_DIR}/quillrelay-uinput.conf DESTINATION lib/modules-load.d)
    # The admin's system-wide preset starts from this example (see the file).
    install(FILES "${QR_LINUX_DIR}/Quill Relay.conf.example"
            DESTINATION share/doc/quillrelay/examples)

    set(CPACK_GENERATOR DEB)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_DEBIAN_PACKAGE_NAME quillrelay)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    # The xcb platform plugin comes with libqt6gui6. In a Wayland session the program asks
    # for the Wayland one first, whose screens bear the outputs' names that the chosen screen
    # and the binding of the input devices go by; it is not found by the shlibs lookup.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-wayland")
    set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gnome-shell-extension-appindicator")
    file(WRITE ${CMAKE_BINARY_DIR}/packaging/conffiles
         "/etc/xdg/autostart/${QR_APP_ID}.desktop\n")
    set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
        ${CMAKE_BINARY_DIR}/packaging/conffiles ${QR_LINUX_DIR}/postinst)
    set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()

if(QR_PLATFORM_WINDOWS)
    # Manifest (the invoker's rights, no UI access, per-monitor DPI awareness v2), version resource
    # (file and product version from project(): 1,0,0,3) and the executable's icon.
    include(${PROJECT_SOURCE_DIR}/cmake/WindowsResources.cmake)
    qr_configure_windows_rc(${CMAKE_BINARY_DIR}/quillrelay.rc)
    target_sources(QuillRelay PRIVATE ${CMAKE_BINARY_DIR}/quillrelay.rc)
    # Properties of a source belong to a directory: these are set where the target lives.
    # The resource compiler does not tell the build what the script reads.
    set_source_files_properties(${CMAKE_BINARY_DIR}/quillrelay.rc TARGET_DIRECTORY QuillRelay
        PROPERTIES OBJECT_DEPENDS "${QR_WINDOWS_MANIFEST};${QR_WINDOWS_ICON}")
    if(MSVC)
        # The linker merges the manifest; its own UAC entry would clash with ours.
        target_sources(QuillRelay PRIVATE ${QR_WINDOWS_MANIFEST})
        target_link_options(QuillRelay PRIVATE /MANIFESTUAC:NO)
    else()
        set_source_files_properties(${CMAKE_BINARY_DIR}/quillrelay.rc TARGET_DIRECTORY QuillRelay
            PROPERTIES COMPILE_DEFINITIONS QR_EMBED_MANIFEST)
    endif()

    # Everything in one folder, bin\ (where NSIS's shortcuts expect the program):
    # QuillRelay.exe, its ja-JP\ and en-US\ catalogues, the Qt DLLs with the windows platform
    # plugin and the style, and the compiler's runtime. Listed here rather than gathered by
    # windeployqt, which a build on Linux does not have.
    install(TARGETS QuillRelay RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    foreach(qm ${QR_QM_FILES})
        get_filename_component(qm_dir ${qm} DIRECTORY)
        get_filename_component(language ${qm_dir} NAME)
        install(FILES ${qm} DESTINATION ${CMAKE_INSTALL_BINDIR}/${language})
    endforeach()
    foreach(module Core Gui Widgets Network)
        install(FILES $<TARGET_FILE:Qt6::${module}> DESTINATION ${CMAKE_INSTALL_BINDIR})
    endforeach()
    install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>
            DESTINATION ${CMAKE_INSTALL_BINDIR}/platforms)
    install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin>
            DESTINATION ${CMAKE_INSTALL_BINDIR}/styles)
    install(FILES ${QR_WINDOWS_RUNTIME_DLLS} DESTINATION ${CMAKE_INSTALL_BINDIR})
    # The DLLs come with their symbol tables (libstdc++ alone is 23 MB with them, 2 MB
    # without): a stripped install, as CPack's is, strips them like the program.
    install(CODE "
        if(CMAKE_INSTALL_DO_STRIP)
            file(GLOB_RECURSE dlls \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/*.dll\")
            foreach(dll \${dlls})
                execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded \"\${dll}\")
            endforeach()
        endif()")
    # The admin's machine-wide preset starts from this example (see the file).
    install(FILES "${PROJECT_SOURCE_DIR}/packaging/windows/Quill Relay preset.reg"
            DESTINATION examples)

    set(CPACK_GENERATOR NSIS)
    set(CPACK_PACKAGE_FILE_NAME QuillRelay-${PROJECT_VERSION}-win64)
    # A 64-bit installer for the 64-bit program: Program Files, System32 and the registry
    # as the program sees them, with no 32-bit redirection in between (and it runs under
    # Debian's wine64, which has no 32-bit side).
    set(CPACK_NSIS_DEFINES "Target amd64-unicode")
    set(CPACK_PACKAGE_INSTALL_DIRECTORY "Lumoravista\\Quill Relay")
    set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
    set(CPACK_NSIS_DISPLAY_NAME "Quill Relay")
    set(CPACK_NSIS_PACKAGE_NAME "Quill Relay")
    set(CPACK_NSIS_MUI_ICON ${QR_WINDOWS_ICON})
    set(CPACK_NSIS_MUI_UNIICON ${QR_WINDOWS_ICON})
    set(CPACK_NSIS_INSTALLED_ICON_NAME bin\\QuillRelay.exe)
    set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
    # Per machine: the installer asks for administrator rights (its template does), installs
    # into Program Files and puts the Start-menu entry into every user's menu. The program is
    # started at logon by a scheduled task with the highest rights the user has, and the
    # Start-menu entry runs that task (minimised: schtasks is a console program); see
    # packaging/windows/installer.nsh. A running instance ends before files are replaced or
    # removed.
    set(qr_nsh "!include \"${PROJECT_SOURCE_DIR}/packaging/windows/installer.nsh\"")
    set(CPACK_NSIS_CREATE_ICONS_EXTRA
        "CreateShortCut \"$SMPROGRAMS\\$STARTMENU_FOLDER\\Quill Relay.lnk\" \"$SYSDIR\\schtasks.exe\" '/Run /TN \"Quill Relay\"' \"$INSTDIR\\bin\\QuillRelay.exe\" 0 SW_SHOWMINIMIZED")
    set(CPACK_NSIS_DELETE_ICONS_EXTRA "Delete \"$SMPROGRAMS\\$MUI_TEMP\\Quill Relay.lnk\"")
    set(CPACK_NSIS_EXTRA_PREINSTALL_COMMANDS "${qr_nsh}
  !insertmacro QR_END_RUNNING_INSTANCE")
    set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "${qr_nsh}
  !insertmacro QR_CREATE_LOGON_TASK \"$INSTDIR\\bin\\QuillRelay.exe\"")
    set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "${qr_nsh}
  !insertmacro QR_END_RUNNING_INSTANCE
  !insertmacro QR_DELETE_LOGON_TASK")
endif()

set(CPACK_PACKAGE_NAME "Quill Relay")
set(CPACK_PACKAGE_VENDOR "Lumoravista")
set(CPACK_PACKAGE_CONTACT "Lumoravista <support@lumoravista.invalid>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Use a network projector's electronic pen as touch or mouse input")
set(CPACK_PACKAGE_DESCRIPTION
    "Quill Relay lives in the system tray and turns the electronic pen of a network\n\
projector into an input device of the computer: it switches the projector's pen function\n\
on and injects every stroke as touch or left-button mouse input on the primary screen.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://lumoravista.invalid/quillrelay")
if(NOT CPACK_PACKAGE_FILE_NAME)
    set(CPACK_PACKAGE_FILE_NAME quillrelay-${PROJECT_VERSION})
endif()
# cpack -B <folder> puts the package elsewhere.
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
# Debug builds carry their symbols; the package does not.
set(CPACK_STRIP_FILES ON)
# The values reach CPack as they are written here: backslashes of Windows paths and quotes
# of NSIS commands included.
set(CPACK_VERBATIM_VARIABLES ON)
include(CPack)
