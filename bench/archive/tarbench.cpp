// Runs one Tar operation as a whole program, so that compare.sh can time it and read its peak
// memory exactly as it does for bsdtar, tar and cp; and writes the tree those are timed on.
//
//   bench-tar generate <directory> <files> <megabytes>
//   bench-tar count <archive>
//   bench-tar extract <archive> <destination> <total>
//   bench-tar copy <source> <destination> <total>
//
// Status lines and percentages are received (and counted) as the install thread would receive
// them, so their cost is part of the figure.

#include "tar.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QObject>

#include <cstdio>

namespace {

int usage()
{
    std::fprintf(stderr,
                 "usage: bench-tar generate <directory> <files> <megabytes>\n"
                 "       bench-tar count <archive>\n"
                 "       bench-tar extract <archive> <destination>\n"
                 "       bench-tar copy <source> <destination>\n");
    return 2;
}

// A tree shaped like an installed suite: files of mixed sizes in two levels of directories,
// with contents that compress about as well as programs and libraries do (half the bytes are
// drawn from a small alphabet, half from all 256 values). Each file starts somewhere else in a
// pool larger than the compressor's window, so files do not compress against each other.
bool generate(const QString &root, int files, qint64 megabytes)
{
    QByteArray pool(8 << 20, Qt::Uninitialized);
    quint64 state = 0x9E3779B97F4A7C15ull;
    for (int i = 0; i < pool.size(); ++i) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        const unsigned value = unsigned(state >> 33);
        pool[i] = char((i / 4096) % 2 ? value & 0xff : 'a' + value % 8);
    }
    const qint64 totalBytes = megabytes << 20;
    const qint64 average = totalBytes / files;
    qint64 written = 0;
    for (int i = 0; i < files; ++i) {
        const QString directory =
            QStringLiteral("%1/d%2/e%3").arg(root).arg(i / 1000).arg(i / 100 % 10);
        if (i % 100 == 0 && !QDir().mkpath(directory))
            return false;
        // Sizes from a quarter to one and three quarters of the average; the last file takes up
        // what rounding left.
        qint64 size = average / 4 + (qint64(i) * 7919 % 1000) * average * 3 / 2 / 1000;
        if (i == files - 1)
            size = qMax<qint64>(0, totalBytes - written);
        QFile file(QStringLiteral("%1/f%2.bin").arg(directory).arg(i));
        if (!file.open(QIODevice::WriteOnly))
            return false;
        qint64 offset = (qint64(i) * 104729 * 4096) % (pool.size() - 65536);
        for (qint64 left = size; left > 0;) {
            const qint64 chunk = qMin<qint64>(left, pool.size() - offset);
            if (file.write(pool.constData() + offset, chunk) != chunk)
                return false;
            left -= chunk;
            offset = 0;
        }
        written += size;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments().mid(1);
    if (arguments.isEmpty())
        return usage();
    const QString command = arguments.at(0);

    Tar tar(nullptr);
    bool failed = false;
    QObject::connect(&tar, &Tar::error, [&failed](const QString &text) {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        failed = true;
    });
    qint64 reports = 0;
    QObject::connect(&tar, &Tar::status,
                     [&reports](const QString &text) { reports += text.size(); });
    QObject::connect(&tar, &Tar::progress, [&reports](int percent) { reports += percent; });

    if (command == QLatin1String("generate") && arguments.size() == 4)
        return generate(arguments.at(1), arguments.at(2).toInt(), arguments.at(3).toLongLong()) ? 0
                                                                                                : 1;
    if (command == QLatin1String("count") && arguments.size() == 2) {
        const int count = tar.countEntries(arguments.at(1));
        std::printf("%d\n", count);
        return count < 0 ? 1 : 0;
    }
    if (command == QLatin1String("extract") && arguments.size() == 4)
        return tar.extract(arguments.at(1), arguments.at(2), arguments.at(3).toInt()) ? 0 : 1;
    if (command == QLatin1String("copy") && arguments.size() == 4)
        return tar.copyTree(arguments.at(1), arguments.at(2), arguments.at(3).toInt(), nullptr) &&
                !failed
            ? 0
            : 1;
    return usage();
}
