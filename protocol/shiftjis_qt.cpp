#include "protocol/shiftjis.h"

#include <QTextCodec>

QString decodeShiftJis(QByteArrayView bytes)
{
    // Looked up once: the codec registry is process-wide and the answer never changes.
    // Its "Shift-JIS" is the code page 932 table, and a cut-off first byte at the end is
    // dropped, as the header promises.
    static QTextCodec* const codec = QTextCodec::codecForName("Shift-JIS");
    if (!codec)
        return QString::fromLatin1(bytes);
    return codec->toUnicode(bytes.data(), int(bytes.size()));
}
