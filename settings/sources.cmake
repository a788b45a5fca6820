target_sources(quillrelay PRIVATE
    settings/settings.cpp settings/settings.h
)

# The communication settings and About dialogs.
target_sources(quillrelay PRIVATE
    settings/communicationsettings.cpp settings/communicationsettings.h
    settings/aboutdialog.cpp settings/aboutdialog.h
)
