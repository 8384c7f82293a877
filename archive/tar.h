#ifndef TAR_H
#define TAR_H

#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>

#include <atomic>
#include <sys/types.h>
#include <utility>
#include <vector>

// What an archive is written from: pairs of a path on disk and the name to store it under. A
// null name stands for the path without its leading "/".
using ArchiveSources = QList<QPair<QString, QString>>;

// Moves files into an installation directory: counts and extracts tar archives (plain or
// gzip-compressed) and counts and copies unpacked trees, reporting each file through status(),
// the share done through progress(), a failure as one finished sentence through error(), and a
// noticed cancel() through cancelled(). Every operation runs synchronously on the calling
// thread; only cancel() may be called from another thread while one runs.
//
// An archive is untrusted input: extraction writes nothing outside the destination (absolute
// names, ".." components and paths through symbolic links are refused, hard links are made to
// files inside the destination). Once cancelled, the object stays cancelled.
class Tar : public QObject
{
    Q_OBJECT

public:
    explicit Tar(QObject *parent);

    // Number of entries in the archive, or -1 after an error() or cancelled().
    int countEntries(const QString &archive);
    // Extracts the archive below destination (the working directory when empty), with
    // permissions and modification times. total is countEntries()'s result; progress() reports
    // entries done against it. The first failure ends the extraction; what was written stays.
    bool extract(const QString &archive, const QString &destination, int total);

    // Number of non-directory entries below directory, or -1 after cancelled().
    int countFiles(const QString &directory);
    // Copies the tree below source into destination. A file that cannot be copied is reported
    // and the walk goes on; a directory that cannot be created ends it with false. counter,
    // when given, is shared across calls so that progress() counts files against total.
    bool copyTree(const QString &source, const QString &destination, int total, int *counter);
    // Copies one file's contents, its permissions (as rw or rwx for all, less the file-creation
    // mask) and its times in whole seconds.
    bool copyFile(const QString &source, const QString &destination);

    // The resolved paths of the shared libraries that ldd reports for file, in its order; the
    // names it cannot find are appended to missing when given. Emits nothing.
    QStringList libraryDependencies(const QString &file, QStringList *missing = nullptr) const;
    // Copies each resolved library of file to prefix followed by the library's file name (so a
    // directory prefix ends with "/"); failures are reported by copyFile() and the loop goes on.
    void copyWithDependencies(const QString &file, const QString &prefix);

    // Writes a tar archive in the pax format, gzip-compressed when asked, from sources in their
    // order; with a stub program (stub not null) the archive follows a copy of the stub, which
    // learns where its payload starts from its marker record, and the file is made executable.
    // A source that is a directory is stored with everything below it, under its name followed
    // by the path below it. counter, when given, is shared across calls like copyTree()'s; the
    // total is the number of sources. An existing file at the archive path is replaced; a
    // failed archive stays as far as it was written.
    bool createArchive(const QString &archivePath, const ArchiveSources &sources, bool gzip,
                       const QString &stub, int *counter = nullptr);
    // Copies the stub program to fd, with the payload offset (the stub's size) written into the
    // first marker record: the 8 bytes "MAGICx_P" at an offset that is a multiple of 16,
    // followed by 8 bytes that receive the offset, little-endian.
    bool writeSelfExtractingHeader(int fd, const QString &stub);
    // The files and symbolic links below directory, as paths that start with it, in the order of
    // the toolkit's case-insensitive listing; a link to a directory is listed, not entered.
    // Hidden names, broken links and special files are left out. A directory that cannot be
    // read is reported and the walk goes on. Empty after cancelled().
    QStringList listFiles(const QString &directory);

public Q_SLOTS:
    void cancel();

Q_SIGNALS:
    void cancelled();
    void error(QString error);
    void status(QString text);
    void progress(int progress);

private Q_SLOTS:
    void noteError(const QString &error);

private:
    // A directory's identity, so that a walk following symbolic links can tell a directory it
    // is already inside from a new one.
    using DirectoryId = std::pair<dev_t, ino_t>;

    int countFiles(const QString &directory, std::vector<DirectoryId> &ancestors);
    // Appends to files; false once cancelled() has been emitted.
    bool listFiles(const QString &directory, QStringList &files);
    bool copyTree(const QString &source, const QString &destination, int total, int *counter,
                  std::vector<DirectoryId> &ancestors, bool topLevel);

    QString lastError;
    std::atomic<bool> cancelRequested {false};
    // The file-creation mask for the files of the tree being copied, or -1 outside a walk.
    int copyMask = -1;
};

// Creates path and its missing parents with default permissions (less the file-creation mask).
// True when something exists at path afterwards, whatever its kind.
bool makePath(const QString &path);

// Whether one of the sources is stored from path.
bool containsSource(const ArchiveSources &sources, const QString &path);

// True when anything at all is at the path: a file, a directory, a device, or a symbolic link
// (dangling or not, since the link itself is not followed).
bool entryExists(const QString &path);

#endif // TAR_H
