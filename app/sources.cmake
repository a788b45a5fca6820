target_sources(quillrelay PRIVATE
    app/logging.cpp app/logging.h
    app/eventwait.cpp app/eventwait.h
    app/commonlib.cpp app/commonlib.h
    app/startservice.cpp app/startservice.h
    app/startup.cpp app/startup.h
    app/penstatusrecord.cpp app/penstatusrecord.h
    app/pendispatch.cpp app/pendispatch.h
    app/inkbridge.cpp app/inkbridge.h
)
