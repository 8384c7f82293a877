#include "installationdirectories.h"

#include "settings.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

QString joined(const QString &directory, const char *name)
{
    return directory + QLatin1Char('/') + QLatin1String(name);
}

} // namespace

InstallationDirectories::InstallationDirectories()
{
    // Read once per process (a thread-safe static): the base must not move under files that
    // were already placed in it.
    static const QString base = [] {
        const QString setting = Settings::bgTmpdir.value();
        return setting.isNull() ? QStringLiteral("/tmp") : setting;
    }();
    temporaryBasePath = base;
}

void InstallationDirectories::setRoot(const QString &root)
{
    rootPath = root;
    binPath = joined(root, "bin");
    libPath = joined(root, "lib");
    libexecPath = joined(root, "libexec");
    resourcePath = joined(root, "resource");
    iconsPath = joined(resourcePath, "icons");
    metricsPath = joined(root, "hok/metrics");
    for (const QString &path : {rootPath, binPath, libPath, libexecPath}) {
        if (!QFileInfo(path).isDir())
            qWarning("Unable to find directory '%s'.\nYour Tavrin product installation may be "
                     "incomplete or corrupted.",
                     path.toLatin1().constData());
    }
}

void InstallationDirectories::setAll(const QString &directory)
{
    rootPath = directory;
    binPath = directory;
    libPath = directory;
    libexecPath = directory;
    resourcePath = directory;
    iconsPath = directory;
}

void InstallationDirectories::initFromProgramLocation()
{
    setRoot(QCoreApplication::applicationDirPath() + QStringLiteral("/.."));
    configName = QStringLiteral(".breskan");
}
