target_sources(quillrelay PRIVATE
    app/logging.cpp app/logging.h
    app/eventwait.cpp app/eventwait.h
    app/commonlib.cpp app/commonlib.h
    app/startservice.cpp app/startservice.h
    app/startup.cpp app/startup.h
    app/penstatusrecord.cpp app/penstatusrecord.h
    app/pendispatch.cpp app/pendispatch.h
    app/inkbridge.cpp app/inkbridge.h
    app/inkbridgetray.cpp
    app/sessionend.cpp app/sessionend.h
)
if(QR_PLATFORM_WINDOWS)
    target_sources(quillrelay PRIVATE app/sessionend_win.cpp)
else()
    target_sources(quillrelay PRIVATE app/sessionend_unix.cpp)
endif()
