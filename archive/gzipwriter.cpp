#include "gzipwriter.h"
#include "tar_p.h"

#include <algorithm>
#include <cerrno>
#include <zlib.h>

using namespace TarInternal;

namespace {

constexpr int blockBytes = 1 << 20;
constexpr int windowBytes = 32 * 1024;
constexpr int level = 8;

} // namespace

GzipWriter::GzipWriter(int fd, const std::atomic<bool> *stop)
    : fd(fd), stop(stop), checksum(crc32(0, nullptr, 0))
{
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned i = 0; i < std::min(cores, 8u); ++i)
        workers.emplace_back(&GzipWriter::work, this);
}

GzipWriter::~GzipWriter()
{
    {
        const std::lock_guard<std::mutex> lock(mutex);
        quit = true;
    }
    workAvailable.notify_all();
    for (std::thread &worker : workers)
        worker.join();
}

bool GzipWriter::write(const char *data, std::size_t size)
{
    if (failed)
        return false;
    while (size > 0) {
        const std::size_t room = std::size_t(blockBytes - current.size());
        const std::size_t taken = std::min(room, size);
        current.append(data, int(taken));
        data += taken;
        size -= taken;
        if (current.size() == blockBytes) {
            submit(false);
            // Keeps the memory bounded: a few blocks per worker at most are on their way.
            const bool written = writeDone(inOrder.size() >= 2 * workers.size());
            if (!written)
                return false;
        }
    }
    return true;
}

bool GzipWriter::finish()
{
    if (failed)
        return false;
    submit(true);
    while (!inOrder.empty())
        if (!writeDone(true))
            return false;
    unsigned char trailer[8];
    for (int i = 0; i < 4; ++i) {
        trailer[i] = (checksum >> (8 * i)) & 0xff;
        trailer[4 + i] = (length >> (8 * i)) & 0xff;
    }
    return writeBytes(reinterpret_cast<const char *>(trailer), sizeof trailer);
}

void GzipWriter::submit(bool last)
{
    auto block = std::make_shared<Block>();
    block->input = current;
    block->dictionary = previousTail;
    block->last = last;
    previousTail = current.right(windowBytes);
    current.clear();
    current.reserve(blockBytes);
    {
        const std::lock_guard<std::mutex> lock(mutex);
        queue.push_back(block);
    }
    inOrder.push_back(block);
    workAvailable.notify_one();
}

bool GzipWriter::writeDone(bool wait)
{
    if (!headerWritten) {
        // Magic, deflate, no flags, no time (so that equal input packs to equal bytes), no
        // extra flags, Unix.
        static const char header[10] = {'\x1f', '\x8b', 8, 0, 0, 0, 0, 0, 0, 3};
        if (!writeBytes(header, sizeof header))
            return false;
        headerWritten = true;
    }
    while (!inOrder.empty()) {
        const std::shared_ptr<Block> block = inOrder.front();
        {
            std::unique_lock<std::mutex> lock(mutex);
            if (!block->done && !wait)
                return true;
            blockDone.wait(lock, [&block] { return block->done; });
        }
        inOrder.pop_front();
        wait = false;
        if (!block->compressed) {
            failed = ENOMEM;
            return false;
        }
        checksum = crc32_combine(checksum, block->checksum, z_off_t(block->input.size()));
        length += static_cast<unsigned long long>(block->input.size());
        if (!writeBytes(block->output.constData(), std::size_t(block->output.size())))
            return false;
    }
    return true;
}

bool GzipWriter::writeBytes(const char *data, std::size_t size)
{
    if (!writeAll(fd, data, size, stop)) {
        failed = errno;
        return false;
    }
    return true;
}

void GzipWriter::work()
{
    for (;;) {
        std::shared_ptr<Block> block;
        {
            std::unique_lock<std::mutex> lock(mutex);
            workAvailable.wait(lock, [this] { return quit || !queue.empty(); });
            if (quit)
                return;
            block = queue.front();
            queue.pop_front();
        }
        // A raw deflate stream of the block, primed with the data before it so that matches
        // reach back across the cut; all but the last end on a byte boundary without ending
        // the stream.
        z_stream stream {};
        bool compressed =
                deflateInit2(&stream, level, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) == Z_OK;
        if (compressed && !block->dictionary.isEmpty())
            compressed =
                    deflateSetDictionary(
                            &stream, reinterpret_cast<const Bytef *>(block->dictionary.constData()),
                            uInt(block->dictionary.size())) == Z_OK;
        if (compressed) {
            // Room for the worst case of deflate and the few bytes of the flush.
            block->output.resize(int(deflateBound(&stream, uLong(block->input.size())) + 16));
            stream.next_in =
                    reinterpret_cast<Bytef *>(const_cast<char *>(block->input.constData()));
            stream.avail_in = uInt(block->input.size());
            stream.next_out = reinterpret_cast<Bytef *>(block->output.data());
            stream.avail_out = uInt(block->output.size());
            const int result = deflate(&stream, block->last ? Z_FINISH : Z_SYNC_FLUSH);
            compressed = (block->last ? result == Z_STREAM_END : result == Z_OK) &&
                    stream.avail_in == 0 && stream.avail_out > 0;
            block->output.truncate(int(block->output.size() - int(stream.avail_out)));
            deflateEnd(&stream);
        }
        block->checksum = crc32(crc32(0, nullptr, 0),
                                reinterpret_cast<const Bytef *>(block->input.constData()),
                                uInt(block->input.size()));
        {
            const std::lock_guard<std::mutex> lock(mutex);
            block->compressed = compressed;
            block->done = true;
        }
        blockDone.notify_all();
    }
}
