#ifndef TAR_P_H
#define TAR_P_H

// Pieces shared by the reading and the writing half of Tar; not part of its interface.

#include <QDir>
#include <QFileInfoList>
#include <QString>

#include <archive.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <memory>
#include <unistd.h>

namespace TarInternal {

// Files and archives move in blocks of this size; memory use does not grow with their size.
constexpr int blockSize = 4096;

struct ReaderFree
{
    // Freeing a reader closes it first.
    void operator()(archive *reader) const { archive_read_free(reader); }
};
struct WriterFree
{
    // Freeing a writer closes it first: that completes an archive, and a disk writer gives its
    // directories their final permissions and times then (they stay writable while entries are
    // written into them). A caller that needs to know whether closing worked closes first.
    void operator()(archive *writer) const { archive_write_free(writer); }
};
using ArchiveReader = std::unique_ptr<archive, ReaderFree>;
using ArchiveWriter = std::unique_ptr<archive, WriterFree>;

// Reads until the buffer is full or the file ends: a read may return less (after a signal, from
// a pipe), and callers rely on every block but the last being whole (the marker search in a
// stub, for one). -1 on an error.
inline ssize_t readBlock(int fd, char *buffer, size_t size)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t got = ::read(fd, buffer + done, size - done);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        done += size_t(got);
    }
    return ssize_t(done);
}

// Writes all of the buffer; a write may take part of it (a pipe, a signal), and only a write
// that takes nothing is a failure. A write that blocks (a pipe nobody reads) can only be left
// through a signal: when stop is set by then, the write gives up with ECANCELED. (A signal
// that comes between the look at stop and the write is not noticed until the write returns.)
inline bool writeAll(int fd, const char *buffer, size_t size,
                     const std::atomic<bool> *stop = nullptr)
{
    bool interrupted = false;
    for (size_t done = 0; done < size;) {
        // Looked at only after a write that was cut short, which an interrupted write is: it
        // fails, or returns the part it took. A cancel alone does not stop a write that works,
        // so that an archive cancelled between files can still be completed.
        if (interrupted && stop && stop->load()) {
            errno = ECANCELED;
            return false;
        }
        const ssize_t put = ::write(fd, buffer + done, size - done);
        interrupted = (put < 0 && errno == EINTR) || (put > 0 && size_t(put) < size - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += size_t(put);
    }
    return true;
}

// The reason a reader or writer gives for its last failure.
inline QString errorText(archive *a)
{
    return QString::fromLocal8Bit(archive_error_string(a));
}

// An open file descriptor that is closed on every way out.
class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : fd(fd) { }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    ~FileDescriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }

    bool isOpen() const { return fd >= 0; }
    void reset(int other)
    {
        if (fd >= 0)
            ::close(fd);
        fd = other;
    }
    int get() const { return fd; }
    // Closes now and says whether the close succeeded: on network file systems a failed write
    // can first show up here.
    bool close()
    {
        const int result = ::close(fd);
        fd = -1;
        return result == 0;
    }

private:
    int fd;
};

// The toolkit's default listing without "." and "..": files and directories, links resolved,
// sorted by name without regard to case; hidden names, broken links and special files are left
// out.
inline QFileInfoList listing(const QString &directory)
{
    return QDir(directory, QString(), QDir::Name | QDir::IgnoreCase,
                QDir::AllEntries | QDir::NoDotAndDotDot)
            .entryInfoList();
}

} // namespace TarInternal

#endif // TAR_P_H
