#ifndef GZIPWRITER_H
#define GZIPWRITER_H

#include <QByteArray>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Writes one gzip stream to a file descriptor, compressed on several threads: the data is cut
// into blocks of a mebibyte, each block is deflated on a worker thread with the 32 KiB before
// it as its dictionary and ends on a byte boundary (a sync flush), and the blocks are written
// in order, so the result is one ordinary deflate stream that any gzip reader reads. What the
// cut costs is a few bytes a block; what the threads buy is the time for zlib's level 8, whose
// longer search makes smaller archives than gzip's default level 6 at about the same wall time
// on two cores.
//
// Used from one thread. A failed write is kept (failure()) and makes every later call fail.
class GzipWriter
{
public:
    // stop, when given, lets a write that blocks (a pipe nobody reads) give up on a signal.
    GzipWriter(int fd, const std::atomic<bool> *stop);
    GzipWriter(const GzipWriter &) = delete;
    GzipWriter &operator=(const GzipWriter &) = delete;
    ~GzipWriter();

    bool write(const char *data, std::size_t size);
    // Compresses and writes what is left and the gzip trailer.
    bool finish();
    // The error number of the first failure, 0 if none.
    int failure() const { return failed; }

private:
    struct Block
    {
        QByteArray input;
        QByteArray dictionary;
        bool last = false;
        QByteArray output;
        unsigned long checksum = 0;
        bool done = false;
        bool compressed = false;
    };

    void submit(bool last);
    // Writes the finished blocks at the front, in order; with wait, waits for the first one.
    bool writeDone(bool wait);
    bool writeBytes(const char *data, std::size_t size);
    void work();

    const int fd;
    const std::atomic<bool> *const stop;
    int failed = 0;
    bool headerWritten = false;
    QByteArray current;
    QByteArray previousTail;
    unsigned long checksum;
    unsigned long long length = 0;

    std::mutex mutex;
    std::condition_variable workAvailable;
    std::condition_variable blockDone;
    std::deque<std::shared_ptr<Block>> queue;
    std::deque<std::shared_ptr<Block>> inOrder;
    bool quit = false;
    std::vector<std::thread> workers;
};

#endif // GZIPWRITER_H
