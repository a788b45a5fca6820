#pragma once

// What every fuzz target shares: a byte reader that takes its values from the front of the
// input (so that seed files are plain, readable layouts), a Qt application object, and a
// check that stops the run with a message when a property of the code under test breaks.

#include <QByteArray>
#include <QCoreApplication>
#include <QLoggingCategory>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

// Reads little-endian values and byte runs from the front of the input; past the end it
// yields zeros and empty runs, so every input is a valid layout.
class Reader final {
public:
    Reader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    std::size_t remaining() const { return m_size - m_pos; }
    bool atEnd() const { return m_pos >= m_size; }

    std::uint8_t u8() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    std::uint16_t u16() { return std::uint16_t(u8() | u8() << 8); }
    std::uint32_t u32()
    {
        const std::uint32_t low = u16();
        return low | std::uint32_t(u16()) << 16;
    }
    QByteArray bytes(std::size_t count)
    {
        if (count > remaining())
            count = remaining();
        const QByteArray out(reinterpret_cast<const char*>(m_data + m_pos), qsizetype(count));
        m_pos += count;
        return out;
    }
    QByteArray rest() { return bytes(remaining()); }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

// The Qt state the program's code expects (timers, codecs, logging), made once per process.
// Every debug category is switched on and its lines dropped, so that the diagnostics code
// is fuzzed along with the parsers without flooding the terminal.
inline void initQt()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    (void)app;
    QLoggingCategory::setFilterRules(QStringLiteral("quillrelay.*.debug=true"));
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
}

[[noreturn]] inline void fail(const char* what, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, what);
    std::abort();
}

} // namespace fuzz

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            ::fuzz::fail(#condition, __FILE__, __LINE__);                                          \
    } while (false)
