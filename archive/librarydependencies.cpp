#include "librarydependencies.h"

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
