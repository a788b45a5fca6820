# The program's embedded images, reachable as ":/ico/<name>.png". The PNG files are drawn by
# tools/icon-gen (ninja regenerate-icons) and committed, so a build needs no generator run.
# The @2x files are the double-density variants that Qt picks by name on high-DPI screens; the
# -16 files are the tray icons hand-tuned for 16 px panels (added by resources/icons.cpp).
qt_add_resources(quillrelay quillrelay_icons
    PREFIX "/ico"
    BASE resources/ico
    FILES
        resources/ico/MainIcon.png
        resources/ico/MainIcon@2x.png
        resources/ico/MainIcon-16.png
        resources/ico/MainIconDisable.png
        resources/ico/MainIconDisable@2x.png
        resources/ico/MainIconDisable-16.png
        resources/ico/CheckedDot.png
        resources/ico/CheckedDot@2x.png
        resources/ico/BlankChecked.png
        resources/ico/BlankChecked@2x.png
)
target_sources(quillrelay PRIVATE
    resources/icons.cpp resources/icons.h
)

# The Windows executable's manifest, version resource and icon are added in cmake/Packaging.cmake
# (resources/windows/), once the executable target exists.
