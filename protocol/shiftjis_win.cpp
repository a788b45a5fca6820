// The system's own Japanese code page (932) is the table projectors write their names in,
// so Windows needs no codec of its own here.
#include "protocol/shiftjis.h"

#include <windows.h>

#include <limits>

namespace {
constexpr UINT JapaneseCodePage = 932;
}

QString decodeShiftJis(QByteArrayView bytes)
{
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    // Walked character by character, since a second byte can look like a first one: only
    // a first byte with nothing after it is the half of a character that the field cut
    // off. Windows would show it as its default character; the name reads better without.
    qsizetype length = 0;
    while (length < bytes.size()) {
        const int width = IsDBCSLeadByteEx(JapaneseCodePage, data[length]) ? 2 : 1;
        if (length + width > bytes.size())
            break;
        length += width;
    }
    if (length == 0 || length > std::numeric_limits<int>::max())
        return QString();

    const auto* source = reinterpret_cast<LPCCH>(data);
    const int units = MultiByteToWideChar(JapaneseCodePage, 0, source, int(length), nullptr, 0);
    if (units <= 0)
        return QString();
    QString name(units, Qt::Uninitialized);
    MultiByteToWideChar(JapaneseCodePage, 0, source, int(length),
                        reinterpret_cast<LPWSTR>(name.data()), units);
    return name;
}
