#ifndef DESKTOPINTEGRATION_H
#define DESKTOPINTEGRATION_H

// True when a file named "Makefile" lies in one of the directories that source discovery looks
// at (the program's directory, its parent, the working directory, its parent): the installer
// is then running from a development tree, whose desktop entry is registered as it stands.
bool hasMakefile();

#endif // DESKTOPINTEGRATION_H
