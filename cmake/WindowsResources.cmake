# The Windows resource script of QuillRelay.exe: icon, version information (file and product
# version from project(), 1,0,0,3) and, for MinGW, the manifest. Used by cmake/Packaging.cmake
# for the Windows build and by tests/packaging to check the script with a cross windres.
set(QR_WINDOWS_MANIFEST ${PROJECT_SOURCE_DIR}/resources/windows/QuillRelay.manifest)
set(QR_WINDOWS_ICON ${PROJECT_SOURCE_DIR}/resources/app/quillrelay.ico)

function(qr_configure_windows_rc out)
    configure_file(${PROJECT_SOURCE_DIR}/resources/windows/quillrelay.rc.in ${out} @ONLY)
endfunction()
