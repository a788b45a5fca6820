# Sources of this subsystem are added to the quillrelay library here.

# Search engine: the search datagrams, the engine that sends and checks them, and the
# table of the computer's network interfaces.
target_sources(quillrelay PRIVATE
    discovery/searchpacket.cpp discovery/searchpacket.h
    discovery/shiftjis.h
    discovery/pjsearchudp.cpp discovery/pjsearchudp.h
    discovery/niclist.cpp discovery/niclist.h
)

# Dialogs of the search: the projector list, the address input, the facade that runs them
# and the line edits they share. The adapter descriptions shown in the interface box come
# from the IP helper on Windows; elsewhere the interface's display name stays.
target_sources(quillrelay PRIVATE
    discovery/dialogsupport.h
    discovery/lineeditforipaddress.cpp discovery/lineeditforipaddress.h
    discovery/lineeditexbase.cpp discovery/lineeditexbase.h
    discovery/addressinput.cpp discovery/addressinput.h
    discovery/pjsearchdlg.cpp discovery/pjsearchdlg.h
    discovery/pjsearch.cpp discovery/pjsearch.h
    discovery/adapterdescriptions.h
)
if(QR_PLATFORM_WINDOWS)
    target_sources(quillrelay PRIVATE discovery/adapterdescriptions_win.cpp)
    target_link_libraries(quillrelay PUBLIC iphlpapi)
else()
    target_sources(quillrelay PRIVATE discovery/adapterdescriptions_generic.cpp)
endif()

# Projector names are Shift-JIS: Windows decodes them with its own code page 932, elsewhere
# the toolkit's codec (Core5Compat) does.
if(QR_PLATFORM_WINDOWS)
    target_sources(quillrelay PRIVATE discovery/shiftjis_win.cpp)
else()
    target_sources(quillrelay PRIVATE discovery/shiftjis_qt.cpp)
    target_link_libraries(quillrelay PRIVATE Qt6::Core5Compat)
endif()
