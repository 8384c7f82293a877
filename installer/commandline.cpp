#include "commandline.h"

#include <QCoreApplication>

CommandLine parseCommandLine(const QStringList &arguments)
{
    CommandLine commandLine;
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("-icon")) {
            commandLine.iconsOnly = true;
        } else if (argument.startsWith(QLatin1Char('-'))) {
            commandLine.unknownOption = argument;
            break;
        } else {
            commandLine.destination = argument;
            // An empty argument is still a destination that was passed; keep it distinct from
            // "none given" even if the argument list handed us a null string for it.
            if (commandLine.destination.isNull())
                commandLine.destination = QLatin1String("");
        }
    }
    return commandLine;
}

QString unknownOptionReport(const QString &option, const QString &programName)
{
    const QString unknown =
            QCoreApplication::translate("QApplication", "Unknown option \"%1\".\n").arg(option);
    const QString usage =
            QCoreApplication::translate("QApplication",
                                        "Usage %1 [options] [install-directory]\n"
                                        "Install to (optional) install directory.\n"
                                        "Options recognized:\n"
                                        "\t-icon\tOnly install launch icons to menus.")
                    .arg(programName);
    return unknown + QLatin1Char('\n') + usage + QLatin1Char('\n');
}
