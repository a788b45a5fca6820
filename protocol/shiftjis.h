#pragma once

#include <QByteArrayView>
#include <QString>

// A projector's name as it sends it: Shift-JIS with the Windows extensions (code page 932:
// circled digits, Roman numerals, the extra kanji; 0x5C and 0x7E stay the ASCII backslash
// and tilde). A name cut to fit its field may end in the first byte of a two-byte character:
// that byte is dropped. Other bytes that form no character come out as the platform's
// replacement character. Defined per platform: shiftjis_win.cpp uses the system's code
// page, shiftjis_qt.cpp the toolkit's codec.
QString decodeShiftJis(QByteArrayView bytes);
