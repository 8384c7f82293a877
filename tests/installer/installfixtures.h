#ifndef INSTALLFIXTURES_H
#define INSTALLFIXTURES_H

// Fixtures for installation tests: small suite trees written by the test, packed by GNU tar,
// and a recorder of the installation signals in the order they arrive on the test's thread.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QProcess>
#include <QStringList>

#include <sys/stat.h>
#include <utime.h>

// Writes a file (and its directories) with the given content, mode and modification time.
inline bool writeFile(const QString &path, const QByteArray &content, int mode = 0644,
                      qint64 mtime = 1700000000)
{
    if (!QDir().mkpath(QFileInfo(path).path()))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(content) != content.size())
        return false;
    file.close();
    if (::chmod(QFile::encodeName(path).constData(), mode_t(mode)) != 0)
        return false;
    struct utimbuf times;
    times.actime = time_t(mtime);
    times.modtime = time_t(mtime);
    return ::utime(QFile::encodeName(path).constData(), &times) == 0;
}

// A small suite: what the installer's source holds, in tree form.
inline bool writeSuite(const QString &root, int extraFiles = 0)
{
    bool ok = writeFile(root + QLatin1String("/bin/zuv"), "#!/bin/sh\necho zuv\n", 0755,
                        1700000001) &&
            writeFile(root + QLatin1String("/bin/hok"), "#!/bin/sh\necho hok\n", 0755,
                      1700000002) &&
            writeFile(root + QLatin1String("/doc/RELEASE-NOTES"), "Notes\n", 0644, 1700000003) &&
            writeFile(root + QLatin1String("/share/data.txt"), QByteArray(10000, 'x'), 0600,
                      1700000004);
    for (int i = 0; ok && i < extraFiles; ++i)
        ok = writeFile(
                root + QStringLiteral("/share/many/file%1.txt").arg(i, 5, 10, QLatin1Char('0')),
                QByteArray::number(i), 0644);
    return ok;
}

// Packs the contents of a directory with GNU tar, gzip-compressed, names relative to it.
inline bool packWithTar(const QString &directory, const QString &archive)
{
    QProcess tar;
    tar.setWorkingDirectory(directory);
    const QStringList entries = QDir(directory).entryList(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                          QDir::Hidden | QDir::System);
    tar.start(QStringLiteral("tar"),
              QStringList {QStringLiteral("-czf"), archive, QStringLiteral("--sort=name")} +
                      entries);
    return tar.waitForFinished(60000) && tar.exitStatus() == QProcess::NormalExit &&
            tar.exitCode() == 0;
}

// Records the signals of an installation in arrival order, as "kind:text" lines.
class SignalRecorder : public QObject
{
    Q_OBJECT

public:
    QStringList events;

    QStringList of(const QString &kind) const
    {
        QStringList texts;
        const QString prefix = kind + QLatin1Char(':');
        for (const QString &event : events)
            if (event.startsWith(prefix))
                texts.append(event.mid(prefix.size()));
        return texts;
    }
    QStringList kinds() const
    {
        QStringList result;
        for (const QString &event : events)
            result.append(event.section(QLatin1Char(':'), 0, 0));
        return result;
    }
    int count(const QString &kind) const { return of(kind).size(); }

public slots:
    void onStatus(const QString &text) { events.append(QLatin1String("status:") + text); }
    void onError(const QString &text) { events.append(QLatin1String("error:") + text); }
    void onProgress(int value)
    {
        events.append(QLatin1String("progress:") + QString::number(value));
    }
    void onCancelled() { events.append(QStringLiteral("cancelled:")); }
    void onFinished() { events.append(QStringLiteral("finished:")); }
};

#endif // INSTALLFIXTURES_H
