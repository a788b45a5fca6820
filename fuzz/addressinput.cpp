// The text of an address field as a person may type or paste it: blanks of the input mask,
// digits, anything else. The reader takes four decimal octets or gives a null address.
//
// Input: the field's text in UTF-8.
// Properties: a parsed address is IPv4, reads back as itself from its own dotted form (also
// with the mask's blanks put back in), and came from text of exactly four dotted parts.
#include "fuzzsupport.h"

#include "ui/addressinput.h"

#include <QHostAddress>
#include <QStringList>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::initQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Reader in(data, size);
    const QString text = QString::fromUtf8(in.rest());
    const QHostAddress address = AddressInput::addressFromField(text);
    if (address.isNull())
        return 0;

    bool isIpv4 = false;
    address.toIPv4Address(&isIpv4);
    FUZZ_CHECK(isIpv4);
    QString plain = text;
    plain.remove(QLatin1Char(' '));
    FUZZ_CHECK(plain.split(QLatin1Char('.')).size() == 4);

    const QString dotted = address.toString();
    FUZZ_CHECK(AddressInput::addressFromField(dotted) == address);
    // As the masked field shows it: every octet padded to three places with blanks.
    QStringList padded;
    for (const QString& octet : dotted.split(QLatin1Char('.')))
        padded << octet.leftJustified(3, QLatin1Char(' '));
    FUZZ_CHECK(AddressInput::addressFromField(padded.join(QLatin1Char('.'))) == address);
    return 0;
}
