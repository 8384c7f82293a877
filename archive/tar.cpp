#include "tar.h"
#include "tar_p.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace TarInternal;

namespace {

// The disk writer of an extraction.
using DiskWriter = ArchiveWriter;

ArchiveReader openArchive(const QString &path, int *result)
{
    ArchiveReader reader(archive_read_new());
    archive_read_support_format_tar(reader.get());
    archive_read_support_filter_gzip(reader.get());
    *result = archive_read_open_filename(reader.get(), QFile::encodeName(path).constData(),
                                         blockSize);
    return reader;
}

// The directory below which extraction writes: the destination with every symbolic link and
// ".." resolved, in the local 8-bit encoding and without a trailing slash. The guard against
// writing through symbolic links looks at every component of the path it is given, so an
// unresolved link in the destination's own path (an /opt that points to another disk, say)
// would make it refuse every entry. Components that do not exist yet are kept as given; the
// writer creates them.
QByteArray extractionBase(const QString &destination)
{
    QString path = QDir::cleanPath(QDir::current().absoluteFilePath(
            destination.isEmpty() ? QStringLiteral(".") : destination));
    QString missing;
    for (;;) {
        const QString canonical = QFileInfo(path).canonicalFilePath();
        if (!canonical.isEmpty()) {
            path = canonical;
            break;
        }
        const int slash = path.lastIndexOf(QLatin1Char('/'));
        if (slash <= 0)
            break;
        missing.prepend(path.mid(slash));
        path.truncate(slash);
    }
    if (path == QLatin1String("/"))
        path.clear();
    return QFile::encodeName(path + missing);
}

// The file-creation mask, read without changing it: setting it to read it back, as umask()
// requires, would leave every other thread of the process without a mask for that moment.
mode_t currentUmask()
{
    if (FILE *status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned int mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status))
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(status);
        if (found)
            return mode_t(mask);
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

// A stored name as the writer resolves it: without empty and "." components.
QByteArray normalizedName(const QByteArray &name)
{
    QByteArray result;
    for (const QByteArray &component : name.split('/')) {
        if (component.isEmpty() || component == ".")
            continue;
        if (!result.isEmpty())
            result += '/';
        result += component;
    }
    return result;
}

// Whether the name, or one of the directories on its way, is one of the links.
bool reachesLink(const QSet<QByteArray> &links, const QByteArray &name)
{
    const QByteArray normalized = normalizedName(name);
    for (int slash = normalized.indexOf('/'); slash >= 0;
         slash = normalized.indexOf('/', slash + 1))
        if (links.contains(normalized.left(slash)))
            return true;
    return links.contains(normalized);
}

} // namespace

bool entryExists(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

Tar::Tar(QObject *parent) : QObject(parent)
{
    connect(this, &Tar::error, this, &Tar::noteError);
}

void Tar::cancel()
{
    cancelRequested = true;
}

void Tar::noteError(const QString &error)
{
    lastError = error;
}

int Tar::countEntries(const QString &archivePath)
{
    if (cancelRequested) {
        emit cancelled();
        return -1;
    }
    int opened = ARCHIVE_OK;
    const ArchiveReader reader = openArchive(archivePath, &opened);
    if (opened != ARCHIVE_OK) {
        emit error(
                tr("Can't open \"%1\" for reading: %2.").arg(archivePath, errorText(reader.get())));
        return -1;
    }
    int count = 0;
    for (;;) {
        archive_entry *entry = nullptr;
        const int result = archive_read_next_header(reader.get(), &entry);
        if (result == ARCHIVE_EOF)
            return count;
        // Warnings count as failures too: an archive we would only half trust is no archive.
        if (result != ARCHIVE_OK) {
            emit error(tr("Error reading \"%1\": %2.").arg(archivePath, errorText(reader.get())));
            return -1;
        }
        if (cancelRequested) {
            emit cancelled();
            return -1;
        }
        ++count;
    }
}

bool Tar::extract(const QString &archivePath, const QString &destination, int total)
{
    if (cancelRequested) {
        emit cancelled();
        return false;
    }
    // The secure options refuse ".." components and any path that leads through a symbolic
    // link (one an earlier entry made, for instance); the last component may be a link, which
    // is replaced. Absolute names cannot be left to the writer, which only ever sees paths that
    // the destination has made absolute, so they are refused here, before that.
    //
    // The link guard inspects every component of every path, the destination's own included,
    // which makes extraction half as slow again. It can only matter where a link can be: so it
    // is on for every entry unless the destination is an existing empty directory, and then only
    // for an entry whose path (or hard-link target) passes through or ends at a link that an
    // earlier entry made. Everything else in a fresh destination was made by this extraction
    // as a real file or directory.
    constexpr int options =
            ARCHIVE_EXTRACT_PERM | ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_SECURE_NODOTDOT;
    constexpr int guardedOptions = options | ARCHIVE_EXTRACT_SECURE_SYMLINKS;
    DiskWriter writer(archive_write_disk_new());
    archive_write_disk_set_options(writer.get(), guardedOptions);
    int opened = ARCHIVE_OK;
    const ArchiveReader reader = openArchive(archivePath, &opened);
    if (opened != ARCHIVE_OK) {
        emit error(
                tr("Can't open \"%1\" for reading: %2.").arg(archivePath, errorText(reader.get())));
        return false;
    }
    const QByteArray base = extractionBase(destination);
    // A destination that does not exist yet is no fresh one: the writer would make its missing
    // parents, unlinking whatever non-directory stood in their way, and only the guard stops it.
    const QDir destinationDirectory(destination.isEmpty() ? QStringLiteral(".") : destination);
    const bool fresh = destinationDirectory.exists() &&
            destinationDirectory.isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System |
                                         QDir::NoDotAndDotDot);
    QSet<QByteArray> links;

    qint64 counter = 100;
    for (;;) {
        archive_entry *entry = nullptr;
        const int result = archive_read_next_header(reader.get(), &entry);
        if (result == ARCHIVE_EOF)
            return true;
        if (result != ARCHIVE_OK) {
            emit error(tr("Error reading \"%1\": %2.").arg(archivePath, errorText(reader.get())));
            return false;
        }
        if (cancelRequested) {
            emit cancelled();
            return false;
        }

        // The stored name's bytes go to the disk as they are; decoding them and encoding them
        // back could change a name that is not valid in the local encoding.
        const QByteArray stored(archive_entry_pathname(entry));
        const QString name = QFile::decodeName(stored);
        const bool absolute = stored.startsWith('/');
        QString target = name;
        if (!destination.isEmpty() && !name.isEmpty() && !absolute)
            target = destination + QLatin1Char('/') + name;
        emit status(tr("Extracting \"%1\" to \"%2\"").arg(name, target));

        QString refusal;
        if (absolute) {
            refusal = tr("Path is absolute");
        } else if (!stored.isEmpty() && normalizedName(stored).isEmpty() &&
                   archive_entry_filetype(entry) != AE_IFDIR) {
            // "." or "./" as anything but a directory would replace the destination itself:
            // with a file, or with a link to anywhere, into which the installation goes on.
            refusal = tr("Path names the destination itself");
        } else if (!stored.isEmpty()) {
            archive_entry_set_pathname(entry, QByteArray(base + '/' + stored).constData());
            // A hard link's target is a name stored in the same archive, so it lies below the
            // destination too; left as it is, it would name a file relative to the working
            // directory.
            if (const char *link = archive_entry_hardlink(entry)) {
                const QByteArray linkTarget(link);
                if (linkTarget.startsWith('/'))
                    refusal = tr("Hard link target is absolute");
                else
                    archive_entry_set_hardlink(entry,
                                               QByteArray(base + '/' + linkTarget).constData());
            }
        }
        if (refusal.isEmpty()) {
            const char *link = archive_entry_hardlink(entry);
            const bool guarded = !fresh ||
                    (!links.isEmpty() &&
                     (reachesLink(links, stored) ||
                      (link && reachesLink(links, QByteArray(link).mid(base.size() + 1)))));
            archive_write_disk_set_options(writer.get(), guarded ? guardedOptions : options);
        }
        if (!refusal.isEmpty() || archive_write_header(writer.get(), entry) != ARCHIVE_OK) {
            if (refusal.isEmpty())
                refusal = errorText(writer.get());
            emit error(tr("Error extracting \"%1\" to \"%2\": %3").arg(name, target, refusal));
            return false;
        }

        for (;;) {
            const void *buffer = nullptr;
            size_t size = 0;
            la_int64_t offset = 0;
            const int read = archive_read_data_block(reader.get(), &buffer, &size, &offset);
            if (read == ARCHIVE_EOF)
                break;
            if (read != ARCHIVE_OK) {
                emit error(tr("Error reading \"%1\" from \"%2\": %3")
                                   .arg(name, archivePath, errorText(reader.get())));
                return false;
            }
            // The offset carries the holes of a sparse entry over to the disk.
            if (archive_write_data_block(writer.get(), buffer, size, offset) != ARCHIVE_OK) {
                emit error(tr("Error writing \"%1\": %2").arg(target, errorText(writer.get())));
                return false;
            }
        }
        if (archive_entry_filetype(entry) == AE_IFLNK)
            links.insert(normalizedName(stored));
        if (archive_write_finish_entry(writer.get()) != ARCHIVE_OK) {
            emit error(tr("Error closing \"%1\": %2").arg(target, errorText(writer.get())));
            return false;
        }
        if (total > 0)
            emit progress(int(counter / total));
        counter += 100;
    }
}

int Tar::countFiles(const QString &directory)
{
    std::vector<DirectoryId> ancestors;
    struct stat st;
    if (::stat(QFile::encodeName(directory).constData(), &st) == 0)
        ancestors.emplace_back(st.st_dev, st.st_ino);
    return countFiles(directory, ancestors);
}

namespace {

// Whether the walk should go into the directory at path: not when it is one that the walk is
// already inside (a link back to an ancestor would otherwise lead to an endless descent) or
// one it must stay out of. A new directory is added to ancestors.
bool enterDirectory(const QString &path, std::vector<std::pair<dev_t, ino_t>> &ancestors)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return true;
    const std::pair<dev_t, ino_t> id(st.st_dev, st.st_ino);
    if (std::find(ancestors.begin(), ancestors.end(), id) != ancestors.end())
        return false;
    ancestors.push_back(id);
    return true;
}

} // namespace

int Tar::countFiles(const QString &directory, std::vector<DirectoryId> &ancestors)
{
    if (cancelRequested) {
        emit cancelled();
        return -1;
    }
    int count = 0;
    const QFileInfoList entries = listing(directory);
    for (const QFileInfo &info : entries) {
        if (cancelRequested) {
            emit cancelled();
            return -1;
        }
        const QString path = directory + QLatin1Char('/') + info.fileName();
        if (!info.isDir()) {
            ++count;
            continue;
        }
        if (!enterDirectory(path, ancestors))
            continue;
        const int below = countFiles(path, ancestors);
        ancestors.pop_back();
        if (below == -1)
            return -1;
        count += below;
    }
    return count;
}

bool Tar::copyTree(const QString &source, const QString &destination, int total, int *counter)
{
    std::vector<DirectoryId> ancestors;
    enterDirectory(source, ancestors);
    // Reading the mask costs as much as copying a small file, so a walk reads it once.
    copyMask = int(currentUmask());
    const bool copied = copyTree(source, destination, total, counter, ancestors, true);
    copyMask = -1;
    return copied;
}

bool Tar::copyTree(const QString &source, const QString &destination, int total, int *counter,
                   std::vector<DirectoryId> &ancestors, bool topLevel)
{
    if (cancelRequested) {
        emit cancelled();
        return false;
    }
    emit status(tr("Creating directory \"%1\"").arg(destination));
    if (!makePath(destination)) {
        emit error(tr("Could not create directory \"%1\".").arg(destination));
        return false;
    }
    // A destination inside the source would otherwise be listed and copied into itself, deeper
    // at every level. The top level's own destination is kept out for the whole walk.
    if (topLevel)
        enterDirectory(destination, ancestors);

    int localCounter = 0;
    if (!counter)
        counter = &localCounter;

    const QFileInfoList entries = listing(source);
    for (const QFileInfo &info : entries) {
        if (cancelRequested) {
            emit cancelled();
            return false;
        }
        const QString from = source + QLatin1Char('/') + info.fileName();
        const QString to = destination + QLatin1Char('/') + info.fileName();
        if (info.isDir()) {
            if (!enterDirectory(from, ancestors))
                continue;
            const bool copied = copyTree(from, to, total, counter, ancestors, false);
            ancestors.pop_back();
            if (!copied)
                return false;
            continue;
        }
        // A file that fails has been reported; the rest of the tree is still worth copying.
        copyFile(from, to);
        ++*counter;
        if (total > 0)
            emit progress(int(qint64(*counter) * 100 / total));
    }
    return true;
}

bool Tar::copyFile(const QString &source, const QString &destination)
{
    emit status(tr("Copying \"%1\" to \"%2\"")
                        .arg(QFileInfo(source).fileName(), QFileInfo(destination).path()));

    FileDescriptor in(::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC));
    if (!in.isOpen()) {
        emit error(tr("Can't open \"%1\" for reading.").arg(source));
        return false;
    }
    // The source's attributes come from the open file, which is the one that is read whatever
    // happens to its path meanwhile.
    struct stat info;
    const bool haveInfo = ::fstat(in.get(), &info) == 0;
    const QByteArray target = QFile::encodeName(destination);
    // A new file cannot be the source. An existing one is truncated only once it is known not to
    // be the source itself (under another name, perhaps), which would be lost.
    FileDescriptor out(::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!out.isOpen() && errno == EEXIST) {
        out.reset(::open(target.constData(), O_WRONLY | O_CLOEXEC));
        struct stat existing;
        if (out.isOpen() &&
            (::fstat(out.get(), &existing) != 0 ||
             (haveInfo && existing.st_dev == info.st_dev && existing.st_ino == info.st_ino) ||
             (S_ISREG(existing.st_mode) && ::ftruncate(out.get(), 0) != 0)))
            out.reset(-1);
    }
    if (!out.isOpen()) {
        emit error(tr("Can't open \"%1\" for writing.").arg(destination));
        return false;
    }

    char buffer[blockSize];
    for (;;) {
        const ssize_t got = readBlock(in.get(), buffer, sizeof buffer);
        if (got == 0)
            break;
        if (got < 0) {
            emit error(tr("Error reading from \"%1\".").arg(source));
            return false;
        }
        if (!writeAll(out.get(), buffer, size_t(got))) {
            emit error(tr("Error writing to \"%1\".").arg(destination));
            return false;
        }
    }

    if (!haveInfo) {
        emit error(tr("Error reading file information for \"%1\".").arg(source));
        return false;
    }
    const mode_t mode = (S_ISDIR(info.st_mode) || (info.st_mode & S_IXUSR)) ? 0777 : 0666;
    const mode_t mask = copyMask >= 0 ? mode_t(copyMask) : currentUmask();
    if (::fchmod(out.get(), mode & ~mask) != 0) {
        emit error(tr("Error changing permissions on \"%1\".").arg(destination));
        return false;
    }
    const timespec times[2] = {{info.st_atim.tv_sec, 0}, {info.st_mtim.tv_sec, 0}};
    if (::futimens(out.get(), times) != 0) {
        emit error(tr("Error changing timestamps on \"%1\".").arg(destination));
        return false;
    }
    if (!out.close()) {
        emit error(tr("Error writing to \"%1\".").arg(destination));
        return false;
    }
    return true;
}

bool makePath(const QString &path)
{
    const QString cleaned = QDir::cleanPath(path);
    if (cleaned.isEmpty())
        return false;
    if (entryExists(cleaned))
        return true;
    const QFileInfo info(cleaned);
    if (!makePath(info.path()))
        return false;
    // Someone else may create it between the check and here; what counts is that it is there.
    return QDir(info.path()).mkdir(info.fileName()) || info.dir().exists(info.fileName());
}
