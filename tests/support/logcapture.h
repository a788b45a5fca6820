#pragma once

#include <QMutex>
#include <QString>
#include <QStringList>

// Collects the debug lines written while it exists (all categories, message text only)
// and still passes them on to the previous handler, so a failing test shows them too.
class LogCapture final {
public:
    LogCapture();
    ~LogCapture();
    Q_DISABLE_COPY_MOVE(LogCapture)

    QStringList lines() const;
    // Lines of one category ("quillrelay.pen").
    QStringList lines(const char* category) const;
    bool contains(const QString& line) const { return lines().contains(line); }
    int count(const QString& line) const { return int(lines().count(line)); }
    void clear();

private:
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& text);
    struct Entry {
        QString category;
        QString text;
    };
    mutable QMutex m_mutex;
    QList<Entry> m_entries;
    QtMessageHandler m_previous = nullptr;
};
