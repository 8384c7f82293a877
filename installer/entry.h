#ifndef ENTRY_H
#define ENTRY_H

class QApplication;

// Everything the installer does once its application object exists: reads the command line,
// finds the installation files and takes icons-only or wizard mode. Returns the exit status.
int runInstaller(QApplication &application);

#endif // ENTRY_H
