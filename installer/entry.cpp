#include "entry.h"

#include "commandline.h"
#include "installationfiles.h"
#include "installer.h"
#include "installerwizard.h"
#include "productidentity.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

namespace {

void writeToStandardError(const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

int reportMissingInstallationFiles(const QString &directory)
{
    QMessageBox::critical(nullptr,
                          QCoreApplication::translate("QApplication", "Missing Installation Files"),
                          QCoreApplication::translate("QApplication",
                                                      "%1 installation files not found in \"%2\".")
                                  .arg(identityText(productIdentity.productName), directory),
                          QMessageBox::Ok);
    return 1;
}

// The source is an installed tree in this mode. Failures are shown in message boxes by the
// registration itself and do not change the exit status.
int registerLaunchIconsOnly(const QString &source)
{
    Installer installer;
    installer.installMenuIcons(source);
    return 0;
}

} // namespace

int runInstaller(QApplication &application, const QStringList &arguments)
{
    const CommandLine commandLine = parseCommandLine(arguments.mid(1));
    if (!commandLine.unknownOption.isNull()) {
        writeToStandardError(unknownOptionReport(commandLine.unknownOption, arguments.value(0)));
        return 1;
    }

    const QString source = findInstallationFiles();
    if (source.isNull())
        return reportMissingInstallationFiles(QCoreApplication::applicationDirPath());

    if (commandLine.iconsOnly)
        return registerLaunchIconsOnly(source);

    QObject::connect(&application, &QGuiApplication::lastWindowClosed, &application,
                     &QCoreApplication::quit);
    InstallerWizard wizard;
    if (!wizard.setSource(source))
        return reportMissingInstallationFiles(source);
    if (!commandLine.destination.isNull())
        wizard.setDestination(commandLine.destination);
    wizard.show();
    return application.exec();
}
