#include "directoryallocator.h"

#include "buildinfo.h"
#include "settings.h"
#include "toolnames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void fatalHandler(const QString &message)
{
    qFatal("%s", message.toLocal8Bit().constData());
}

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

std::function<void(const QString &)> DirectoryAllocator::errorHandler = fatalHandler;

QString DirectoryAllocator::systemTemporaryDirectory()
{
    QString path = QDir::tempPath();
    const QString fallback = QStringLiteral("/tmp");
    QFileInfo info(path);
    if ((!info.exists() || !info.isWritable()) && QFileInfo::exists(fallback)) {
        path = fallback;
        info = QFileInfo(path);
    }
    if (!info.exists())
        errorHandler(QStringLiteral("Temporary directory does not exist: %1").arg(path));
    else if (!info.isWritable())
        errorHandler(QStringLiteral("Temporary directory is not writable: %1").arg(path));
    else if (!info.isDir())
        errorHandler(QStringLiteral("Temporary directory is really a file: %1").arg(path));
    return info.absoluteFilePath();
}

QString DirectoryAllocator::userTempName()
{
    const QString setting = Settings::userTempName.value();
    if (!setting.isNull())
        return setting;
    QString user = QStringLiteral("unknown");
    // An empty value counts as set: a batch job with an empty id must not borrow the login name.
    for (const char *name : {"BG_JOBID", "LOGNAME", "USER", "USERNAME", "SLURM_JOB_USER"}) {
        if (qEnvironmentVariableIsSet(name)) {
            user = QString::fromLocal8Bit(qgetenv(name));
            break;
        }
    }
    return QStringLiteral("%1-%2").arg(QString::fromLatin1(toolNames.suiteFileStem), user);
}

QString DirectoryAllocator::userTemporaryDirectory(const QString &base)
{
    const QString parent = base.isNull() ? systemTemporaryDirectory() : base;
    const QString path = parent + QLatin1Char('/') + userTempName();
    const QByteArray encoded = QFile::encodeName(path);
    if (::mkdir(encoded.constData(), 0700) == 0)
        return path;
    if (errno != EEXIST) {
        errorHandler(QStringLiteral("Failed to create temporary directory: %1 (%2)")
                             .arg(path, errorText(errno)));
        return QString();
    }
    // Someone else may have put the name there first: a link or another user's directory would
    // hand our run files to them, so the existing entry is checked without following links.
    struct stat status;
    if (::lstat(encoded.constData(), &status) != 0) {
        errorHandler(
                QStringLiteral("Failed to get file information of temporary directory: %1 (%2)")
                        .arg(path, errorText(errno)));
        return QString();
    }
    if (!S_ISDIR(status.st_mode)) {
        errorHandler(QStringLiteral("Temporary directory is not a directory: %1 (%2)")
                             .arg(path)
                             .arg(status.st_mode & S_IFMT));
        return QString();
    }
    if (status.st_uid != ::getuid()) {
        errorHandler(QStringLiteral("Temporary directory is owned by someone else: %1 (%2)")
                             .arg(path)
                             .arg(status.st_uid));
        return QString();
    }
    const mode_t permissions = status.st_mode & 07777;
    if (permissions != 0700 && ::chmod(encoded.constData(), 0700) != 0) {
        errorHandler(QStringLiteral("Temporary directory has wrong permissions: %1 (%2)")
                             .arg(path)
                             .arg(permissions, 0, 8));
        return QString();
    }
    return path;
}

QString DirectoryAllocator::makeTemporaryFile(const QString &directory, const QString &prefix)
{
    QByteArray name =
            QFile::encodeName(QStringLiteral("%1/%2XXXXXX").arg(directory, prefix.left(5)));
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        return QString();
    ::close(fd);
    return QFile::decodeName(name);
}

QString DirectoryAllocator::platformPath()
{
    return QStringLiteral("%1/%2/%3")
            .arg(QString::fromLatin1(buildInfo.buildArchitecture),
                 QString::fromLatin1(buildInfo.buildOsName),
                 QString::fromLatin1(buildInfo.buildOsVersion));
}
