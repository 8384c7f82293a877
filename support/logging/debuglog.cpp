#include "debuglog.h"

#include "settings.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QMutexLocker>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sys/select.h>
#include <unistd.h>

namespace {

const char *const prefixes[] = {"ZUV_", "HOK_", "BRESKAN_", "ORVEX_"};

bool stopsAlways(const QByteArray &text)
{
    return text.contains("No such signal") || text.contains("No such slot") ||
            text.contains("Deadlock detected");
}

QString vformat(const char *format, va_list arguments)
{
    va_list copy;
    va_copy(copy, arguments);
    const int size = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (size < 0)
        return QString();
    QByteArray text(size, Qt::Uninitialized);
    std::vsnprintf(text.data(), size_t(size) + 1, format, arguments);
    return QString::fromLocal8Bit(text);
}

} // namespace

DebugLog *DebugLog::instance()
{
    // Never destroyed: messages may still arrive from static destructors and other threads
    // while the process exits.
    static DebugLog *const log = new DebugLog;
    return log;
}

void DebugLog::addHandler(Handler handler)
{
    QMutexLocker locker(&handlersMutex);
    auto list = std::make_shared<std::vector<Handler>>(*handlers);
    list->push_back(handler);
    handlers = std::move(list);
}

void DebugLog::removeHandler(Handler handler)
{
    QMutexLocker locker(&handlersMutex);
    auto list = std::make_shared<std::vector<Handler>>(*handlers);
    list->erase(std::remove(list->begin(), list->end(), handler), list->end());
    handlers = std::move(list);
}

std::shared_ptr<const std::vector<DebugLog::Handler>> DebugLog::snapshot() const
{
    QMutexLocker locker(&handlersMutex);
    return handlers;
}

void DebugLog::dispatch(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    // The lock is not held while handlers run, so a handler may itself log or (un)register.
    const auto list = snapshot();
    for (Handler handler : *list)
        handler(type, context, message);
}

void DebugLog::logf(QtMsgType type, const QMessageLogContext &context, const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    const QString message = vformat(format, arguments);
    va_end(arguments);
    dispatch(type, context, message);
}

void DebugLog::debugf(const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    const QString message = vformat(format, arguments);
    va_end(arguments);
    dispatch(QtDebugMsg, QMessageLogContext(), message);
}

void DebugLog::warningf(const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    const QString message = vformat(format, arguments);
    va_end(arguments);
    dispatch(QtWarningMsg, QMessageLogContext(), message);
}

void DebugLog::installMessageHandler()
{
    char target[4096];
    const ssize_t size = ::readlink("/proc/self/exe", target, sizeof target - 1);
    if (size > 0) {
        const QByteArray path(target, int(size));
        const QByteArray name = path.mid(path.lastIndexOf('/') + 1).left(64);
        if (!name.isEmpty())
            source = name;
    }
    pid = int(::getpid());
    qInstallMessageHandler(messageHandler);
}

void DebugLog::messageHandler(QtMsgType type, const QMessageLogContext &context,
                              const QString &message)
{
    const QByteArray latin1 = message.toLatin1();
    // The iconv codec complains about every locale it cannot load; those lines are noise.
    if (latin1.contains("QIconvCodec::"))
        return;
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    std::fflush(stderr);
    instance()->dispatch(type, context, message);
    if (stopsAlways(latin1))
        std::abort();
    if (type == QtFatalMsg) {
        if (latin1.startsWith("ASSERT"))
            std::abort();
        std::exit(1);
    }
}

const char *DebugLog::typeName(int type)
{
    switch (type) {
    case QtDebugMsg:
        return "debug";
    case QtWarningMsg:
        return "warning";
    case QtCriticalMsg:
        return "critical";
    case QtFatalMsg:
        return "fatal";
    case QtInfoMsg:
        return "info";
    default:
        return "unknown";
    }
}

QByteArray DebugLog::timeText(qint64 msecsSinceEpoch)
{
    const time_t seconds = time_t(msecsSinceEpoch / 1000);
    struct tm local;
    ::localtime_r(&seconds, &local);
    char text[32];
    const size_t length = std::strftime(text, sizeof text, "%H:%M:%S.", &local);
    return QByteArray(text, int(length)) + QByteArray::number(int(msecsSinceEpoch % 1000));
}

QByteArray DebugLog::header(int type) const
{
    const QByteArray time = timeText(QDateTime::currentMSecsSinceEpoch());
    if (source.isEmpty())
        return "<debug time=\"" + time + "\" type=\"" + typeName(type) + "\">";
    return "<debug time=\"" + time + "\" source=\"" + source + "\" pid=\"" +
            QByteArray::number(pid) + "\" type=\"" + typeName(type) + "\">";
}

QByteArray DebugLog::formatRecord(int type, const QString &message) const
{
    return header(type) + message.toUtf8() + "</debug>";
}

void DebugLog::writeRecord(int fd, int type, const QString &message) const
{
    if (fd == -1)
        return;
    const QByteArray record = header(type) + message.toLocal8Bit() + "</debug>";
    writeFully(fd, record.constData(), record.size());
}

qint64 DebugLog::writeFully(int fd, const char *data, qint64 length)
{
    qint64 written = 0;
    while (written < length) {
        ssize_t result = ::write(fd, data + written, size_t(length - written));
        if (result < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                std::perror("write");
                return -1;
            }
            // A full pipe may still take one byte when the reader has just made room for it.
            do {
                result = ::write(fd, data + written, 1);
            } while (result < 0 && errno == EINTR);
            if (result < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                std::perror("write");
                return -1;
            }
        }
        if (result > 0)
            written += result;
        if (written >= length)
            break;
        for (;;) {
            fd_set writable;
            FD_ZERO(&writable);
            FD_SET(fd, &writable);
            if (::select(fd + 1, nullptr, &writable, nullptr, nullptr) >= 0)
                break;
            if (errno != EINTR) {
                std::perror("select");
                return written;
            }
        }
    }
    return written;
}

void DebugLog::fileSink(QtMsgType, const QMessageLogContext &, const QString &message)
{
    DebugLog *log = instance();
    QMutexLocker locker(&log->fileMutex);
    log->file.write(message.toLatin1() + '\n');
    log->file.flush();
}

void DebugLog::openLogFile(const QString &path)
{
    if (path.isEmpty()) {
        qWarning("Log file name is empty");
        return;
    }
    // One file sink at most: opening a second log moves the sink to it instead of writing each
    // message twice, and a failed open leaves no sink behind on a closed file.
    removeHandler(fileSink);
    {
        QMutexLocker locker(&fileMutex);
        file.close();
        file.setFileName(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            const QByteArray error = file.errorString().toLocal8Bit();
            locker.unlock();
            qCritical("%s: %s", QFile::encodeName(path).constData(), error.constData());
            return;
        }
    }
    addHandler(fileSink);
}

QString DebugLog::logFilePath(const QString &settingName, const QString &baseName,
                              const QString &suffix)
{
    QString path;
    if (!settingName.isEmpty()) {
        // Read afresh rather than through the settings cache: the name is the caller's, and a
        // log opened late must see the environment as it is now.
        const QByteArray name = settingName.toLatin1();
        for (const char *prefix : prefixes) {
            const QByteArray variable = prefix + name;
            if (qEnvironmentVariableIsSet(variable.constData())) {
                path = QString::fromLocal8Bit(qgetenv(variable.constData()));
                break;
            }
        }
    }
    if (path.isNull()) {
        QString directory = Settings::logs.value();
        if (directory.isNull())
            directory = QCoreApplication::applicationDirPath() + QStringLiteral("/../logs-l33t");
        if (!QFileInfo(directory).isDir())
            return QString();
        path = directory + QLatin1Char('/') + baseName;
    }
    if (path.endsWith(QLatin1String(".log")))
        path.chop(4);
    return path + suffix + QStringLiteral(".log");
}
