#include "gzipwriter.h"
#include "tar.h"
#include "tar_p.h"

#include <QFile>
#include <QFileInfo>

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace TarInternal;

namespace {

// The first half of a marker record; the second half receives the payload offset.
constexpr char markerMagic[8] = {'M', 'A', 'G', 'I', 'C', 'x', '_', 'P'};
constexpr int markerSize = 16;

void storeLittleEndian(char *target, quint64 value)
{
    for (int i = 0; i < 8; ++i)
        target[i] = char((value >> (8 * i)) & 0xff);
}

QString systemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The reader's or writer's reason, with the system's reason added where libarchive names only
// the step that failed ("Write error", "Cannot stat"): a full disk and a missing file should say
// so. Its own codes for format and usage errors are no system reasons.
QString errorWithReason(archive *a)
{
    QString text = errorText(a);
    const int code = archive_errno(a);
    if (code > 0 && code != EILSEQ && code != EINVAL) {
        const QString reason = systemErrorText(code);
        if (!text.contains(reason))
            text += QLatin1String(": ") + reason;
    }
    return text;
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Where the archive writer's output goes: straight to the archive file, or through gzip first
// (GzipWriter).
//
// Once refused, every further write fails at once. That is how an archive that has failed is
// let go: closing the writer would otherwise pad an entry that stopped short with zeros up to
// the size in its header, gigabytes for a large file; and the writer must still be closed, as
// only closing releases what it allocated for its output.
class ArchiveOutput
{
public:
    ArchiveOutput(int fd, bool compress, const std::atomic<bool> *stop)
        : fd(fd), compress(compress), stop(stop)
    { }
    ArchiveOutput(const ArchiveOutput &) = delete;
    ArchiveOutput &operator=(const ArchiveOutput &) = delete;

    void refuse() { refused = true; }
    // Whether a write or the end of the stream failed. libarchive does not pass on what the
    // output's close returns, so the end of a compressed archive, which is written there, has
    // to be asked for here.
    bool failed() const { return failureCode() != 0; }
    int failureCode() const { return failure ? failure : (gzip ? gzip->failure() : 0); }
    // Whether a write blocked until a cancel and gave up then.
    bool cancelledWrite() const { return failureCode() == ECANCELED; }

    static int open(archive *, void *data)
    {
        auto *self = static_cast<ArchiveOutput *>(data);
        if (self->compress)
            self->gzip = std::make_unique<GzipWriter>(self->fd, self->stop);
        return ARCHIVE_OK;
    }
    static la_ssize_t write(archive *writer, void *data, const void *buffer, size_t size)
    {
        auto *self = static_cast<ArchiveOutput *>(data);
        if (self->refused) {
            archive_set_error(writer, ECANCELED, "Abandoned");
            return -1;
        }
        const char *bytes = static_cast<const char *>(buffer);
        if (self->gzip ? !self->gzip->write(bytes, size)
                       : !writeAll(self->fd, bytes, size, self->stop)) {
            if (!self->gzip)
                self->failure = errno;
            archive_set_error(writer, self->failureCode(), "Write error");
            return -1;
        }
        return la_ssize_t(size);
    }
    static int close(archive *, void *data)
    {
        auto *self = static_cast<ArchiveOutput *>(data);
        if (self->refused)
            return ARCHIVE_FATAL;
        if (self->gzip && !self->gzip->finish())
            return ARCHIVE_FATAL;
        return ARCHIVE_OK;
    }

private:
    const int fd;
    const bool compress;
    const std::atomic<bool> *const stop;
    bool refused = false;
    int failure = 0;
    std::unique_ptr<GzipWriter> gzip;
};

} // namespace

bool containsSource(const ArchiveSources &sources, const QString &path)
{
    return std::any_of(
            sources.cbegin(), sources.cend(),
            [&path](const QPair<QString, QString> &source) { return source.first == path; });
}

bool Tar::writeSelfExtractingHeader(int fd, const QString &stub)
{
    // The size is taken from the open file, so that it is the size of the file that is copied
    // even when something replaces the stub's path meanwhile.
    FileDescriptor in(::open(QFile::encodeName(stub).constData(), O_RDONLY | O_CLOEXEC));
    struct stat info;
    if (!in.isOpen() || ::fstat(in.get(), &info) != 0) {
        emit error(tr("Can't open \"%1\" for reading.").arg(stub));
        return false;
    }
    const quint64 size = quint64(info.st_size);

    char buffer[blockSize];
    quint64 copied = 0;
    bool patched = false;
    for (;;) {
        const ssize_t got = readBlock(in.get(), buffer, sizeof buffer);
        if (got < 0) {
            emit error(tr("Error reading from \"%1\".").arg(stub));
            return false;
        }
        if (got == 0)
            break;
        // More bytes than the stub's size: it grows while it is read, or it is no file at all
        // (a device such as /dev/zero would be copied without end).
        if (copied + quint64(got) > size) {
            emit error(tr("Error reading from \"%1\".").arg(stub));
            return false;
        }
        // A record must lie whole inside the stub; magic bytes in the last eight bytes of the
        // file are no record.
        for (ssize_t at = 0; !patched && at + markerSize <= got; at += markerSize) {
            if (std::memcmp(buffer + at, markerMagic, sizeof markerMagic) == 0) {
                storeLittleEndian(buffer + at + sizeof markerMagic, size);
                patched = true;
            }
        }
        if (!writeAll(fd, buffer, size_t(got), &cancelRequested)) {
            if (errno == ECANCELED)
                emit cancelled();
            else
                emit error(tr("Error writing self-extracting header."));
            return false;
        }
        copied += quint64(got);
    }
    if (!patched) {
        emit error(tr("Self extracting magic data not found in \"%1\".").arg(stub));
        return false;
    }
    // A stub that grew or shrank while it was copied would leave the recorded offset pointing
    // into the wrong bytes.
    if (copied != size) {
        emit error(tr("Error reading from \"%1\".").arg(stub));
        return false;
    }
    return true;
}

bool Tar::createArchive(const QString &archivePath, const ArchiveSources &sources, bool gzip,
                        const QString &stub, int *counter)
{
    if (cancelRequested) {
        emit cancelled();
        return false;
    }
    const bool selfExtracting = !stub.isNull();
    const mode_t mode = selfExtracting ? 0755 : 0644;
    // A stub that cannot be read is found out before the archive's file is touched.
    struct stat stubInfo;
    if (selfExtracting) {
        FileDescriptor probe(::open(QFile::encodeName(stub).constData(), O_RDONLY | O_CLOEXEC));
        if (!probe.isOpen()) {
            emit error(tr("Can't open \"%1\" for reading.").arg(stub));
            return false;
        }
        if (::fstat(probe.get(), &stubInfo) != 0 || !S_ISREG(stubInfo.st_mode)) {
            emit error(tr("Error reading from \"%1\".").arg(stub));
            return false;
        }
    }
    // Not truncated on opening: first it has to be clear that the file may be replaced.
    FileDescriptor file(::open(QFile::encodeName(archivePath).constData(),
                               O_WRONLY | O_CREAT | O_CLOEXEC, mode));
    struct stat target;
    bool usable = file.isOpen() && ::fstat(file.get(), &target) == 0;
    // Writing the archive over its own stub would destroy the stub before it is read.
    if (usable && selfExtracting && sameFile(target, stubInfo))
        usable = false;
    if (!usable) {
        emit error(tr("Can't open \"%1\" for writing.").arg(archivePath));
        return false;
    }
    // Only a regular file gets the archive's mode and loses its old contents: the path may
    // just as well be a device or a pipe, whose mode is not the archive's to change. The mode
    // is set before anything is written, so a file that refuses it keeps its contents.
    const bool regular = S_ISREG(target.st_mode);
    if (regular && ::fchmod(file.get(), mode) != 0) {
        emit error(tr("Error setting permissions for \"%1\".").arg(archivePath));
        return false;
    }
    // A longer old file would otherwise keep its tail behind the new archive.
    if (regular && ::ftruncate(file.get(), 0) != 0) {
        emit error(tr("Can't open \"%1\" for writing.").arg(archivePath));
        return false;
    }

    if (selfExtracting && !writeSelfExtractingHeader(file.get(), stub))
        return false;

    // The payload starts where the stub ends, at the descriptor's current position. The
    // writer is told which file it writes, so that a source that is the archive itself is
    // refused instead of being read while it grows.
    // The output outlives the writer, whose freeing may still flush into it.
    ArchiveOutput output(file.get(), gzip, &cancelRequested);
    ArchiveWriter writer(archive_write_new());
    bool opened = archive_write_set_format_pax(writer.get()) == ARCHIVE_OK;
    if (opened) {
        archive_write_set_skip_file(writer.get(), la_int64_t(target.st_dev),
                                    la_int64_t(target.st_ino));
        // A file ends where the data ends; a device (a tape) gets whole blocks, as from
        // libarchive's own file writer.
        if (regular)
            archive_write_set_bytes_in_last_block(writer.get(), 1);
        opened = archive_write_open2(writer.get(), &output, &ArchiveOutput::open,
                                     &ArchiveOutput::write, &ArchiveOutput::close,
                                     nullptr) == ARCHIVE_OK;
    }
    if (!opened) {
        emit error(tr("Can't use \"%1\" for writing.").arg(archivePath));
        return false;
    }

    // A file with several names is stored once, under the first of them; its other names become
    // hard links to that one, as tar stores them.
    const std::unique_ptr<archive_entry_linkresolver, void (*)(archive_entry_linkresolver *)>
            hardLinks(archive_entry_linkresolver_new(), &archive_entry_linkresolver_free);
    archive_entry_linkresolver_set_strategy(hardLinks.get(), archive_format(writer.get()));

    int localCounter = 0;
    if (!counter)
        counter = &localCounter;
    const qint64 total = sources.size();

    bool ok = true;
    bool stopped = false;
    // A write that blocked until a cancel is that cancel, not a failure.
    const auto writeFailed = [&](const QString &text) {
        if (output.cancelledWrite()) {
            emit cancelled();
            stopped = true;
        } else {
            emit error(text);
        }
        ok = false;
    };
    // Set when an entry's data stops short: the archive is let go as it is (see ArchiveOutput).
    bool abandoned = false;
    char buffer[blockSize];
    for (const QPair<QString, QString> &source : sources) {
        if (cancelRequested) {
            emit cancelled();
            ok = false;
            break;
        }
        // A trailing slash would make the reader name the entries below a directory with a
        // doubled one.
        QString path = source.first;
        while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
            path.chop(1);
        QString name = source.second;
        if (name.isNull())
            name = path.startsWith(QLatin1Char('/')) ? path.mid(1) : path;
        const QByteArray encodedPath = QFile::encodeName(path);
        const QByteArray encodedName = QFile::encodeName(name);

        emit status(tr("Adding %1...").arg(QFileInfo(path).fileName()));
        // An entry without a name cannot be extracted, and everything below a directory stored
        // so would get an absolute name.
        if (ok && name.isEmpty()) {
            emit error(tr("Failed to add \"%1\": %2.")
                               .arg(path, tr("the name in the archive is empty")));
            ok = false;
        }

        ArchiveReader disk(archive_read_disk_new());
        archive_read_disk_set_standard_lookup(disk.get());
        // A link is stored as a link, never followed. Extended attributes, access lists and
        // file flags are not read: extraction restores none of them, and each would cost an
        // extended header per file. Holes are read as the zeros they stand for, since the data
        // is copied from the file itself.
        archive_read_disk_set_symlink_physical(disk.get());
        archive_read_disk_set_behavior(disk.get(),
                                       ARCHIVE_READDISK_NO_XATTR | ARCHIVE_READDISK_NO_ACL |
                                               ARCHIVE_READDISK_NO_FFLAGS |
                                               ARCHIVE_READDISK_NO_SPARSE);
        if (ok && archive_read_disk_open(disk.get(), encodedPath.constData()) != ARCHIVE_OK) {
            emit error(tr("Error reading \"%1\": %2.").arg(path, errorWithReason(disk.get())));
            ok = false;
        }
        while (ok) {
            archive_entry *entry = nullptr;
            const int result = archive_read_next_header(disk.get(), &entry);
            if (result == ARCHIVE_EOF)
                break;
            if (result != ARCHIVE_OK) {
                emit error(tr("Error reading \"%1\": %2.").arg(path, errorWithReason(disk.get())));
                ok = false;
                break;
            }
            // A directory source can hold any number of files; a cancel is noticed at each.
            if (cancelRequested) {
                emit cancelled();
                ok = false;
                stopped = true;
                break;
            }
            archive_read_disk_descend(disk.get());

            // Everything below a directory source is stored under the source's name followed
            // by its path below the source; the source itself under the name alone.
            const QByteArray sourcePath(archive_entry_sourcepath(entry));
            QByteArray storedName = encodedName;
            if (sourcePath.size() > encodedPath.size() && sourcePath.startsWith(encodedPath))
                storedName += sourcePath.mid(encodedPath.size());
            archive_entry_set_pathname(entry, storedName.constData());
            // Stored like a plain tar header holds them: the modification time in whole seconds,
            // no access or change time. Anything more would cost an extended header of a
            // kilobyte for every file, extraction restores the modification time only, and an
            // access time would make two packings of the same tree differ.
            archive_entry_set_mtime(entry, archive_entry_mtime(entry), 0);
            archive_entry_unset_atime(entry);
            archive_entry_unset_ctime(entry);
            archive_entry_unset_birthtime(entry);
            // Returns the entry itself, turned into a link without contents when an earlier entry
            // holds its contents.
            archive_entry *unused = nullptr;
            archive_entry_linkify(hardLinks.get(), &entry, &unused);

            // A warning means the entry was written with something lost on the way (a name that
            // is not valid in the local encoding is stored as raw bytes, for one).
            if (archive_write_header(writer.get(), entry) < ARCHIVE_WARN) {
                writeFailed(
                        tr("Failed to add \"%1\": %2.")
                                .arg(QFile::decodeName(storedName), errorWithReason(writer.get())));
                break;
            }
            if (!S_ISREG(archive_entry_mode(entry)) || archive_entry_size(entry) == 0)
                continue;

            const QString entrySource = QFile::decodeName(sourcePath);
            FileDescriptor in(::open(sourcePath.constData(), O_RDONLY | O_CLOEXEC));
            if (!in.isOpen()) {
                emit error(
                        tr("Failed to read \"%1\": %2.").arg(entrySource, systemErrorText(errno)));
                ok = false;
                abandoned = true;
                break;
            }
            la_int64_t stored = 0;
            for (;;) {
                // A large file is as good a place to notice a cancel as the next file.
                if (cancelRequested) {
                    emit cancelled();
                    ok = false;
                    abandoned = true;
                    stopped = true;
                    break;
                }
                const ssize_t got = readBlock(in.get(), buffer, sizeof buffer);
                if (got == 0)
                    break;
                if (got < 0) {
                    emit error(tr("Failed to read \"%1\": %2.")
                                       .arg(entrySource, systemErrorText(errno)));
                    ok = false;
                    abandoned = true;
                    break;
                }
                const la_ssize_t written = archive_write_data(writer.get(), buffer, size_t(got));
                if (written < 0) {
                    writeFailed(tr("Failed to write \"%1\": %2.")
                                        .arg(QFile::decodeName(storedName),
                                             errorWithReason(writer.get())));
                    abandoned = true;
                    break;
                }
                stored += written;
                // The entry holds the size the file had when it was looked at; what it has
                // grown by since is not stored.
                if (written < got)
                    break;
            }
            // Fewer bytes than the size promised (a file that shrank meanwhile, or one of the
            // kernel's files, whose size is nominal) would be padded with zeros into a copy that
            // looks whole.
            const la_int64_t size = archive_entry_size(entry);
            if (ok && stored < size) {
                emit error(tr("Failed to read \"%1\": %2.")
                                   .arg(entrySource,
                                        tr("only %1 of %2 bytes could be read")
                                                .arg(stored)
                                                .arg(size)));
                ok = false;
                abandoned = true;
                break;
            }
        }
        if (stopped)
            break;

        ++*counter;
        if (total > 0)
            emit progress(int(qint64(*counter) * 100 / total));
    }

    // Closing the writer writes the end of the archive and of the compressed stream, so it can
    // fail like any write; so can closing a file on a network file system.
    if (abandoned)
        output.refuse();
    const bool writerClosed = archive_write_close(writer.get()) == ARCHIVE_OK;
    const bool closed = writerClosed && !output.failed();
    if (ok && !closed && output.cancelledWrite())
        emit cancelled();
    else if (ok && !writerClosed)
        emit error(tr("Failed to complete \"%1\": %2.")
                           .arg(archivePath, errorWithReason(writer.get())));
    else if (ok && !closed)
        emit error(tr("Failed to complete \"%1\": %2.")
                           .arg(archivePath,
                                QStringLiteral("Write error: ") +
                                        systemErrorText(output.failureCode())));
    writer.reset();
    const bool fileClosed = file.close();
    const int closeError = errno;
    if (ok && closed && !fileClosed)
        emit error(
                tr("Failed to complete \"%1\": %2.").arg(archivePath, systemErrorText(closeError)));
    return ok && closed && fileClosed;
}

QStringList Tar::listFiles(const QString &directory)
{
    QStringList files;
    if (!listFiles(directory, files))
        return QStringList();
    // The walk looks for a cancel before each entry; one that came after the last is no less
    // a cancel.
    if (cancelRequested) {
        emit cancelled();
        return QStringList();
    }
    return files;
}

bool Tar::listFiles(const QString &directory, QStringList &files)
{
    // The toolkit's listing of a directory it cannot read is just empty; a packing that left
    // out a directory without a word would be taken for complete.
    if (::access(QFile::encodeName(directory).constData(), R_OK | X_OK) != 0) {
        emit error(tr("Can't read directory \"%1\".").arg(directory));
        return true;
    }
    const QFileInfoList entries = listing(directory);
    for (const QFileInfo &info : entries) {
        if (cancelRequested) {
            emit cancelled();
            return false;
        }
        const QString path = directory + QLatin1Char('/') + info.fileName();
        if (!info.isDir() || info.isSymLink())
            files.append(path);
        else if (!listFiles(path, files))
            return false;
    }
    return true;
}
