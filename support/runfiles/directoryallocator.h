#ifndef DIRECTORYALLOCATOR_H
#define DIRECTORYALLOCATOR_H

#include <QString>

#include <functional>

// Finds the system's temporary directory, makes (or verifies) the user's private directory in it
// and creates unique temporary files there.
class DirectoryAllocator
{
public:
    // Receives every failure as a finished text. The initial handler issues it as a fatal
    // message, which ends the process; a replacement that returns lets the call go on. Replace it
    // only while no other thread uses these functions.
    static std::function<void(const QString &)> errorHandler;

    static QString systemTemporaryDirectory();
    static QString userTempName();
    static QString userTemporaryDirectory(const QString &base = QString());
    static QString makeTemporaryFile(const QString &directory, const QString &prefix);
    static QString platformPath();
};

#endif // DIRECTORYALLOCATOR_H
