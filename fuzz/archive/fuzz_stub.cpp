// Arbitrary bytes as a stub program: the copy must be the stub byte for byte, except for the
// offset field of the first whole marker record at a multiple of 16, which holds the stub's
// size; without such a record the call fails and the copy is the stub unchanged.

#include "tar.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static QTemporaryDir directory;
    static const QString stub = directory.filePath(QStringLiteral("stub"));
    const QByteArray input(reinterpret_cast<const char *>(data), int(size));
    {
        QFile file(stub);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(input) != input.size())
            std::abort();
    }

    const int output = ::memfd_create("stub-copy", MFD_CLOEXEC);
    if (output < 0)
        std::abort();
    Tar tar(nullptr);
    const bool patched = tar.writeSelfExtractingHeader(output, stub);
    QByteArray copy(int(size), '\0');
    const ssize_t got = ::pread(output, copy.data(), size, 0);
    char extra;
    const bool longer = ::pread(output, &extra, 1, off_t(size)) > 0;
    ::close(output);
    if (got != ssize_t(size) || longer)
        std::abort();

    int record = -1;
    for (int at = 0; at + 16 <= input.size(); at += 16) {
        if (input.mid(at, 8) == "MAGICx_P") {
            record = at;
            break;
        }
    }
    QByteArray expected = input;
    if (record >= 0) {
        for (int i = 0; i < 8; ++i)
            expected[record + 8 + i] = char((quint64(size) >> (8 * i)) & 0xff);
    }
    if (patched != (record >= 0) || copy != expected)
        std::abort();
    return 0;
}
