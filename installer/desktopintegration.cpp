// Installer's desktop steps: the desktop entry, launch icons and menu entry, the profiler's file
// type and the distribution's post-install script.
#include "desktopintegration.h"

#include "buildinfo.h"
#include "installationfiles.h"
#include "installer.h"
#include "productidentity.h"
#include "tar.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextStream>

#include <unistd.h>

namespace {

// The desktop looks for the icon in these sizes; the installer's own icon has more.
const int menuIconSizes[] = {16, 24, 32, 48};

} // namespace

bool hasMakefile()
{
    const QStringList candidates =
            installationCandidates(QCoreApplication::applicationDirPath(), QDir::currentPath());
    for (const QString &candidate : candidates) {
        if (entryExists(candidate + QLatin1String("/Makefile")))
            return true;
    }
    return false;
}

void Installer::installMenuIcons(const QString &directory)
{
    const QString entry = QStringLiteral("tavrin-orvex.desktop");
    if (!hasMakefile())
        rewriteDesktopFile(directory, entry, QStringLiteral("orvex"));
    installDesktopMenu(directory, entry, QStringLiteral("tavrin-orvex.png"));
}

void Installer::rewriteDesktopFile(const QString &directory, const QString &entryName,
                                   const QString &programName)
{
    const QString path = directory + QLatin1String("/icons/") + entryName;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QMessageBox::critical(parentWidget(), tr("Installation Error"),
                              tr("Could not open \"%1\" for reading.").arg(path), QMessageBox::Ok);
        return;
    }
    QTextStream in(&file);
    QString text = in.readAll();
    file.close();

    // Replacement texts treat "\1" as a back-reference; a directory name is taken literally.
    QString program = directory + QLatin1String("/bin/") + programName + QLatin1String(" -gui");
    program.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    // Any "Exec=" up to the end of its line: TryExec lines are pointed at the program too.
    text.replace(QRegularExpression(QStringLiteral("Exec=[^\n]*")),
                 QLatin1String("Exec=") + program);
    // Name and GenericName lines get the version; localised keys (Name[de]=) do not match.
    text.replace(QRegularExpression(QStringLiteral("Name=([^\n]*)")),
                 QLatin1String("Name=\\1 ") + identityText(buildInfo.version));

    // Written beside the entry and renamed over it: a failure half-way leaves the old entry,
    // never a truncated one.
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Text))
        return;
    QTextStream stream(&out);
    stream << text;
    stream.flush();
    out.commit();
}

void Installer::installDesktopMenu(const QString &directory, const QString &entryName,
                                   const QString &iconName)
{
    const QString kde = QString::fromLocal8Bit(qgetenv("KDE_FULL_SESSION"));
    const QString gnome = QString::fromLocal8Bit(qgetenv("GNOME_DESKTOP_SESSION_ID"));
    if (kde != QLatin1String("true") && gnome.isEmpty())
        return;

    const QString icons = directory + QLatin1String("/icons");
    const QString libexec = directory + QLatin1String("/libexec");
    const QString iconScript = libexec + QLatin1String("/xdg-icon-resource");
    const QString menuScript = libexec + QLatin1String("/xdg-desktop-menu");
    if (!entryExists(icons)) {
        QMessageBox::critical(parentWidget(), tr("Missing Installation Files"),
                              tr("%1 icon files not found in \"%2\".")
                                      .arg(identityText(productIdentity.productName), icons),
                              QMessageBox::Ok);
        return;
    }
    if (!entryExists(iconScript)) {
        QMessageBox::critical(
                parentWidget(), tr("Missing Installation Files"),
                tr("Required script xdg-icon-resource not found in \"%1\".").arg(libexec),
                QMessageBox::Ok);
        return;
    }
    if (!entryExists(menuScript)) {
        QMessageBox::critical(
                parentWidget(), tr("Missing Installation Files"),
                tr("Required script xdg-desktop-menu not found in \"%1\".").arg(libexec),
                QMessageBox::Ok);
        return;
    }

    // Set before the icons, not only before the menu entry: xdg-utils run by root would otherwise
    // put the icons into the system's theme while the menu entry goes to the user's. It stays
    // set for the rest of the process, so xdg-mime and the post-install script inherit it.
    qputenv("XDG_UTILS_INSTALL_MODE", installMode == 0 ? "system" : "user");
    for (int size : menuIconSizes) {
        const QString sizeText = QString::number(size);
        const QString icon = QStringLiteral("%1/%2x%2/%3").arg(icons, sizeText, iconName);
        // -2: the script could not be started; -1: it crashed. Both are failures.
        const int status = QProcess::execute(
                iconScript, {QStringLiteral("install"), QStringLiteral("--size"), sizeText, icon});
        if (status != 0) {
            QMessageBox::critical(parentWidget(), tr("Installation Error"),
                                  tr("xdg-icon-resource exited with status %1.").arg(status),
                                  QMessageBox::Ok);
            return;
        }
    }

    const int status = QProcess::execute(
            menuScript, {QStringLiteral("install"), icons + QLatin1Char('/') + entryName});
    if (status != 0) {
        QMessageBox::critical(parentWidget(), tr("Installation Error"),
                              tr("xdg-desktop-menu exited with status %1.").arg(status),
                              QMessageBox::Ok);
    }
}

void Installer::installMimeTypes()
{
    const QString description = installDir + QLatin1String("/hok-mime.xml");
    if (!entryExists(description))
        return;
    // Neither the outcome nor a missing xdg-mime is the user's concern here.
    QProcess::execute(QStringLiteral("xdg-mime"), {QStringLiteral("install"), description});
    QFile::remove(description);
}

void Installer::runPostInstallScript()
{
    const QString script = installDir + QLatin1String("/post-install.sh");
    const QFileInfo info(script);
    if (!info.isFile() || ::access(QFile::encodeName(script).constData(), X_OK) != 0)
        return;
    QProcess::execute(script, {});
    QFile::remove(script);
}
