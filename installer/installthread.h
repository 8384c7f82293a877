#ifndef INSTALLTHREAD_H
#define INSTALLTHREAD_H

#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>

class Tar;

// Creates a directory and its missing parents: the directory itself with the given mode, every
// missing parent with 0777, both reduced by the file-creation mask. An existing directory (or a
// link to one) is success. Returns 0, or -1 with errno set.
int mkdirRecursive(const QString &path, int mode);

// The worker that puts the suite on disk: checks the source, creates the destination, extracts
// the payload archive or copies the unpacked tree, writes the ".installed" marker and collects the
// shared libraries that the installed programs lack. It reports through signals only.
class InstallThread : public QThread
{
    Q_OBJECT

public:
    InstallThread(const QString &source, const QString &destination);
    // Cancels the work in progress and waits, without a time limit, for run() to return.
    ~InstallThread() override;

    // Valid once installerFinished() has been received: the worker no longer touches it then.
    QStringList missingLibraryNames;

    // The file whose presence marks a Cray XT system. Tests point it elsewhere; the program
    // uses the system's own path.
    static void setCrayMarkerPath(const QString &path);
    static QString crayMarkerPath();

signals:
    void cancelled();
    void error(QString error);
    void status(QString text);
    void progress(int progress);
    void installerFinished();

protected:
    void run() override;

private:
    Tar *tar;
    QString source;
    QString destination;
    bool archiveMode = false;
    // Set on the worker, through a direct connection, whenever tar reports an error.
    std::atomic<bool> errorReported {false};
};

#endif // INSTALLTHREAD_H
