#include "librarydependencies.h"
#include "tar.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

QStringList lddReport(const QString &file)
{
    QProcess ldd;
    ldd.setProcessChannelMode(QProcess::SeparateChannels);
    ldd.start(QStringLiteral("ldd"), {file}, QIODevice::ReadWrite);
    if (!ldd.waitForStarted(30000))
        return {};
    ldd.closeWriteChannel();
    ldd.waitForFinished(-1);
    QByteArray output = ldd.readAllStandardOutput();
    const int zero = output.indexOf('\0');
    if (zero >= 0)
        output.truncate(zero);

    QStringList lines;
    const QStringList all = QString::fromLatin1(output).trimmed().split(QLatin1Char('\n'));
    for (const QString &line : all) {
        if (line.isEmpty())
            break;
        lines.append(line);
    }
    return lines;
}

QSet<QString> missingLibraries(const QString &file)
{
    // A function-local static is initialised once, thread-safely, on first use from any thread.
    static const QRegularExpression pattern(QStringLiteral("^\\s*([^\\s]+)\\s*=>\\s*([^\\s].*)$"));

    QSet<QString> missing;
    const QStringList report = lddReport(file);
    for (const QString &line : report) {
        const QRegularExpressionMatch match = pattern.match(line);
        if (match.hasMatch() && match.captured(2) == QLatin1String("not found"))
            missing.insert(match.captured(1));
    }
    return missing;
}

QStringList Tar::libraryDependencies(const QString &file, QStringList *missing) const
{
    // A resolved line ("libz.so.1 => /lib/x86_64-linux-gnu/libz.so.1 (0x...)") gives its path up
    // to the first space; a missing one ends in "not found". The loader's own line and the
    // virtual system library have no "=>" and are passed over.
    static const QRegularExpression pattern(
            QStringLiteral("^\\s*([^\\s].*[^\\s])\\s*=>\\s*(?:(/[^ ]*)|not found$)"));

    QStringList resolved;
    const QStringList report = lddReport(file);
    for (const QString &line : report) {
        const QRegularExpressionMatch match = pattern.match(line);
        if (!match.hasMatch())
            continue;
        if (match.capturedLength(2) > 0)
            resolved.append(QDir::cleanPath(match.captured(2)));
        else if (missing)
            missing->append(match.captured(1));
    }
    return resolved;
}

void Tar::copyWithDependencies(const QString &file, const QString &prefix)
{
    const QStringList libraries = libraryDependencies(file);
    for (const QString &library : libraries)
        copyFile(library, prefix + QFileInfo(library).fileName());
}
