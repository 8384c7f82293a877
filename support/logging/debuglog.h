#ifndef DEBUGLOG_H
#define DEBUGLOG_H

#include <QByteArray>
#include <QFile>
#include <QMutex>
#include <QString>
#include <QtGlobal>

#include <memory>
#include <vector>

// The process-wide debug log: every toolkit message is echoed to standard error, handed to the
// registered sinks, and stops the process when it reports a programming error.
class DebugLog
{
public:
    using Handler = void (*)(QtMsgType type, const QMessageLogContext &context,
                             const QString &message);

    static DebugLog *instance();

    // Handlers may be added and removed while other threads log: a message is dispatched to the
    // list as it was at one instant, so it reaches every handler of that list exactly once.
    void addHandler(Handler handler);
    void removeHandler(Handler handler);
    void dispatch(QtMsgType type, const QMessageLogContext &context, const QString &message);

    void logf(QtMsgType type, const QMessageLogContext &context, const char *format, ...)
            Q_ATTRIBUTE_FORMAT_PRINTF(4, 5);
    void debugf(const char *format, ...) Q_ATTRIBUTE_FORMAT_PRINTF(2, 3);
    void warningf(const char *format, ...) Q_ATTRIBUTE_FORMAT_PRINTF(2, 3);

    void installMessageHandler();

    static const char *typeName(int type);
    QByteArray formatRecord(int type, const QString &message) const;
    void writeRecord(int fd, int type, const QString &message) const;
    static qint64 writeFully(int fd, const char *data, qint64 length);
    // The time text of a record: "%H:%M:%S." and the milliseconds without leading zeros.
    static QByteArray timeText(qint64 msecsSinceEpoch);

    void openLogFile(const QString &path);
    static QString logFilePath(const QString &settingName, const QString &baseName,
                               const QString &suffix);

private:
    DebugLog() = default;
    QByteArray header(int type) const;
    static void messageHandler(QtMsgType type, const QMessageLogContext &context,
                               const QString &message);
    static void fileSink(QtMsgType type, const QMessageLogContext &context, const QString &message);
    std::shared_ptr<const std::vector<Handler>> snapshot() const;

    mutable QMutex handlersMutex;
    std::shared_ptr<const std::vector<Handler>> handlers =
            std::make_shared<const std::vector<Handler>>();
    QMutex fileMutex;
    QFile file;
    QByteArray source;
    int pid = 0;
};

#endif // DEBUGLOG_H
