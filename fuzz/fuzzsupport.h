#pragma once

// What every fuzz target shares: a reader that takes little-endian values and byte runs from
// the front of the input, so that seed files are plain layouts (past the end it yields zeros
// and empty runs); the Qt application object, with every debug category on and its lines
// dropped, so that the diagnostics are fuzzed along with the parsers; and a check that stops
// the run when a property breaks.
#include <QByteArray>
#include <QCoreApplication>
#include <QLoggingCategory>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

struct FuzzInput {
    const std::uint8_t* data;
    std::size_t size, pos = 0;

    std::uint8_t u8() { return pos < size ? data[pos++] : 0; }
    template <int Bytes> std::uint32_t le()
    {
        std::uint32_t value = 0;
        for (int i = 0; i < Bytes; ++i)
            value |= std::uint32_t(u8()) << 8 * i;
        return value;
    }
    QByteArray bytes(std::size_t count)
    {
        const std::size_t from = pos;
        pos += std::min(count, size - pos);
        return QByteArray(reinterpret_cast<const char*>(data + from), qsizetype(pos - from));
    }
};

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    new QCoreApplication(*argc, *argv);
    QLoggingCategory::setFilterRules(QStringLiteral("quillrelay.*.debug=true"));
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

#define FUZZ_CHECK(c) ((c) ? void() : (std::fprintf(stderr, "broken: %s\n", #c), std::abort()))
