#include "installationfiles.h"

#include "productidentity.h"
#include "tar.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QStringList installationCandidates(const QString &programDirectory, const QString &workingDirectory)
{
    // QFileInfo::path() is the directory part of a path; for "/" it is "/" again.
    return {programDirectory, QFileInfo(programDirectory).path(), workingDirectory,
            QFileInfo(workingDirectory).path()};
}

QString findInstallationFiles(const QString &programDirectory, const QString &workingDirectory)
{
    const QString archive = QLatin1Char('/') + identityText(productIdentity.payloadArchiveName);
    const QStringList candidates = installationCandidates(programDirectory, workingDirectory);
    for (const QString &candidate : candidates) {
        if (entryExists(candidate + archive) ||
            entryExists(candidate + QLatin1String("/bin/zuv")) ||
            entryExists(candidate + QLatin1String("/bin/hok")))
            return candidate;
    }
    return QString();
}

QString findInstallationFiles()
{
    return findInstallationFiles(QCoreApplication::applicationDirPath(), QDir::currentPath());
}
