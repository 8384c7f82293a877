#ifndef TREEFIXTURES_H
#define TREEFIXTURES_H

// File-system fixtures and signal records shared by the archive tests.

#include "tar.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QPair>
#include <QProcess>
#include <QSignalSpy>
#include <QStringList>
#include <QVariantList>

#include <fcntl.h>
#include <initializer_list>
#include <sys/stat.h>
#include <unistd.h>

inline QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

inline bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
            process.exitCode() == 0;
}

// Paths are written as bytes so that a name keeps its bytes whatever the locale.
inline bool writeFile(const QByteArray &path, const QByteArray &content, mode_t mode = 0644)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, content.constData(), size_t(content.size())) == content.size();
    return (::close(fd) == 0) && written && ::chmod(path.constData(), mode) == 0;
}

inline bool writeFile(const QString &path, const QByteArray &content, mode_t mode = 0644)
{
    return writeFile(encoded(path), content, mode);
}

// A file of size bytes that takes no room on disk: long to read, quick to make.
inline bool writeSparseFile(const QString &path, qint64 size)
{
    const int fd = ::open(encoded(path).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool sized = ::ftruncate(fd, size) == 0;
    return ::close(fd) == 0 && sized;
}

inline QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

inline bool setTimes(const QByteArray &path, time_t seconds, long nanoseconds = 0)
{
    const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    return ::utimensat(AT_FDCWD, path.constData(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

// One line per object below root, in name order, with everything extraction has to reproduce:
// kind, permission bits, modification time, size and contents, holes, link targets, and which
// names share one file.
inline QStringList describeTree(const QString &root)
{
    QStringList paths;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths.append(it.next());
    paths.sort();

    QMap<QPair<dev_t, ino_t>, QString> firstName;
    QStringList lines;
    for (const QString &path : qAsConst(paths)) {
        struct stat st;
        if (::lstat(encoded(path).constData(), &st) != 0) {
            lines.append(path + QLatin1String(" vanished"));
            continue;
        }
        QString line = path.mid(root.size() + 1);
        line += QStringLiteral(" mtime=%1").arg(qint64(st.st_mtime));
        if (S_ISLNK(st.st_mode)) {
            char target[4096];
            const ssize_t length = ::readlink(encoded(path).constData(), target, sizeof target);
            line += QLatin1String(" readlink=") +
                    QString::fromLatin1(QByteArray(target, int(qMax<ssize_t>(length, 0))).toHex());
        } else {
            line += QStringLiteral(" mode=%1").arg(st.st_mode & 07777, 4, 8, QLatin1Char('0'));
        }
        if (S_ISDIR(st.st_mode))
            line += QLatin1String(" dir");
        if (S_ISREG(st.st_mode)) {
            line += QStringLiteral(" size=%1 sha1=%2 holes=%3")
                            .arg(qint64(st.st_size))
                            .arg(QString::fromLatin1(
                                    QCryptographicHash::hash(contents(path),
                                                             QCryptographicHash::Sha1)
                                            .toHex()))
                            .arg(qint64(st.st_blocks) * 512 < qint64(st.st_size)
                                         ? QLatin1String("yes")
                                         : QLatin1String("no"));
            const QPair<dev_t, ino_t> id(st.st_dev, st.st_ino);
            if (firstName.contains(id))
                line += QLatin1String(" sameas=") + firstName.value(id);
            else
                firstName.insert(id, path.mid(root.size() + 1));
        }
        lines.append(line);
    }
    return lines;
}

inline QVariantList progressValues(const QSignalSpy &spy)
{
    QVariantList values;
    for (const QList<QVariant> &arguments : spy)
        values.append(arguments.at(0));
    return values;
}

inline QStringList texts(const QSignalSpy &spy)
{
    QStringList values;
    for (const QList<QVariant> &arguments : spy)
        values.append(arguments.at(0).toString());
    return values;
}

inline QVariantList percentages(std::initializer_list<int> values)
{
    QVariantList list;
    for (int value : values)
        list.append(value);
    return list;
}

// The signals of one Tar, recorded in the order of emission.
struct Spies
{
    explicit Spies(Tar *tar)
        : cancelled(tar, &Tar::cancelled),
          error(tar, &Tar::error),
          status(tar, &Tar::status),
          progress(tar, &Tar::progress)
    { }
    QSignalSpy cancelled;
    QSignalSpy error;
    QSignalSpy status;
    QSignalSpy progress;
};

#endif // TREEFIXTURES_H
