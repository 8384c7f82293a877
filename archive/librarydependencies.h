#ifndef LIBRARYDEPENDENCIES_H
#define LIBRARYDEPENDENCIES_H

#include <QSet>
#include <QString>

// The names of the shared libraries that the dynamic loader cannot find for a file, as the
// system's "ldd" reports them. Empty when ldd cannot be started, when the file is no dynamic
// executable or does not exist. Blocks the calling thread while ldd runs.
QSet<QString> missingLibraries(const QString &file);

// ldd's report on a file, cut into lines and ending before the first empty line. Shared by the
// dependency readers; empty when ldd cannot be started.
QStringList lddReport(const QString &file);

#endif // LIBRARYDEPENDENCIES_H
