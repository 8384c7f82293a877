#ifndef ENTRY_H
#define ENTRY_H

class QApplication;
class QStringList;

// Everything the installer does once its application object exists: reads the command line
// (the program's arguments as the application object left them, program name first), finds the
// installation files and takes icons-only or wizard mode. Returns the exit status.
int runInstaller(QApplication &application, const QStringList &arguments);

#endif // ENTRY_H
