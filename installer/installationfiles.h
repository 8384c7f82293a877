#ifndef INSTALLATIONFILES_H
#define INSTALLATIONFILES_H

#include <QString>
#include <QStringList>

// The directories that may hold the installation files, in the order they are tried: the
// program's directory, its parent, the working directory, its parent. A directory can appear
// twice (a program in "/"); trying it twice is harmless.
QStringList installationCandidates(const QString &programDirectory,
                                   const QString &workingDirectory);

// The first candidate that holds the payload archive, "bin/zuv" or "bin/hok", as the path text
// that was tested; a null QString when none does.
QString findInstallationFiles(const QString &programDirectory, const QString &workingDirectory);

// The same, for the running program and the process's working directory.
QString findInstallationFiles();

#endif // INSTALLATIONFILES_H
