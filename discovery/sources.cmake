# Sources of this subsystem are added to the quillrelay library here.

# Search engine: the search datagrams, the engine that sends and checks them, and the
# table of the computer's network interfaces.
target_sources(quillrelay PRIVATE
    discovery/searchpacket.cpp discovery/searchpacket.h
    discovery/pjsearchudp.cpp discovery/pjsearchudp.h
    discovery/niclist.cpp discovery/niclist.h
)
