#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include <QString>
#include <QStringList>

// What the installer's own arguments ask for, once the toolkit has taken its options away.
struct CommandLine
{
    // The last argument that is not an option; null when there was none, empty when the
    // argument itself was empty (the two mean different things to the wizard).
    QString destination;
    bool iconsOnly = false;
    // The first argument that looks like an option but is not one; null when all were known.
    QString unknownOption;
};

// Reads the arguments after the program name.
CommandLine parseCommandLine(const QStringList &arguments);

// The report for an unknown option: the option line, a blank line and the usage text, each line
// ending in a newline, as written to standard error.
QString unknownOptionReport(const QString &option, const QString &programName);

#endif // COMMANDLINE_H
