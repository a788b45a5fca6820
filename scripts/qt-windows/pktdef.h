/* The tablet packet record for the fields Qt's Windows platform plugin asks for. The
 * interface lays out the fields of a packet in a fixed order and leaves out those not asked
 * for; the plugin's PACKETDATA asks for time, cursor, buttons, x, y, z, normal and tangent
 * pressure and orientation, so the record holds exactly these, in that order. */
#ifndef QUILLRELAY_PKTDEF_H
#define QUILLRELAY_PKTDEF_H

#include <windows.h>
#include <wintab.h>

#if !defined(PACKETDATA) || PACKETDATA != (PK_X | PK_Y | PK_BUTTONS | PK_NORMAL_PRESSURE | PK_TANGENT_PRESSURE | PK_ORIENTATION | PK_CURSOR | PK_Z | PK_TIME)
#error "this pktdef.h describes only the packet that Qt's Windows platform plugin asks for"
#endif

typedef struct tagPACKET {
    DWORD pkTime;
    UINT pkCursor;
    DWORD pkButtons;
    LONG pkX;
    LONG pkY;
    LONG pkZ;
    UINT pkNormalPressure;
    UINT pkTangentPressure;
    ORIENTATION pkOrientation;
} PACKET, *PPACKET, *NPPACKET, *LPPACKET;

#endif
