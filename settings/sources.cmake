target_sources(quillrelay PRIVATE
    settings/settings.cpp settings/settings.h
)
