# Projector command link: the TCP connection to the command port, the command frame and
# its replies, and the pen-control commands.
target_sources(quillrelay PRIVATE
    link/commandframe.cpp link/commandframe.h
    link/pencontrol.cpp link/pencontrol.h
    link/pjcommcontrol.cpp link/pjcommcontrol.h
)
