#include "tar.h"
#include "treefixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <archive.h>
#include <archive_entry.h>

#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

const QByteArray magic("MAGICx_P");

mode_t modeOf(const QString &path)
{
    struct stat st;
    return ::lstat(encoded(path).constData(), &st) == 0 ? st.st_mode & 07777 : mode_t(-1);
}

// The entries of an archive file from offset on, as "name kind [-> target]" lines read by
// libarchive, or one line with the reader's complaint.
QStringList archiveEntries(const QString &path, qint64 offset = 0)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(offset))
        return {QStringLiteral("<unreadable>")};
    const QByteArray bytes = file.readAll();
    std::unique_ptr<archive, int (*)(archive *)> reader(archive_read_new(), &archive_read_free);
    archive_read_support_format_all(reader.get());
    archive_read_support_filter_all(reader.get());
    if (archive_read_open_memory(reader.get(), bytes.constData(), size_t(bytes.size())) !=
        ARCHIVE_OK)
        return {QString::fromLocal8Bit(archive_error_string(reader.get()))};
    QStringList entries;
    archive_entry *entry = nullptr;
    int result;
    while ((result = archive_read_next_header(reader.get(), &entry)) == ARCHIVE_OK) {
        QString line = QFile::decodeName(archive_entry_pathname(entry));
        switch (archive_entry_filetype(entry)) {
        case AE_IFDIR:
            line += QLatin1String(" dir");
            break;
        case AE_IFLNK:
            line += QLatin1String(" link -> ") + QFile::decodeName(archive_entry_symlink(entry));
            break;
        default:
            if (const char *target = archive_entry_hardlink(entry))
                line += QLatin1String(" hardlink -> ") + QFile::decodeName(target);
            else
                line += QStringLiteral(" file %1").arg(archive_entry_size(entry));
        }
        entries.append(line);
    }
    if (result != ARCHIVE_EOF)
        entries.append(QLatin1String("<error> ") +
                       QString::fromLocal8Bit(archive_error_string(reader.get())));
    return entries;
}

// The lines of describeTree() for files and links only: directories are not stored by a packing
// of listFiles(), so their times and modes are the extracting program's.
QStringList describeFiles(const QString &root)
{
    QStringList lines;
    for (const QString &line : describeTree(root))
        if (!line.endsWith(QLatin1String(" dir")))
            lines.append(line);
    return lines;
}

ArchiveSources sourcesBelow(const QString &root, const QStringList &files)
{
    ArchiveSources sources;
    for (const QString &file : files)
        sources.append({file, file.mid(root.size() + 1)});
    return sources;
}

QByteArray littleEndian(quint64 value)
{
    QByteArray bytes(8, '\0');
    for (int i = 0; i < 8; ++i)
        bytes[i] = char((value >> (8 * i)) & 0xff);
    return bytes;
}

// Runs work as a user who owns none of the test's files: as root, in a child that has become
// "nobody"; otherwise as this user, whom the file modes already keep out. The texts that work
// returns are handed back through a pipe.
QStringList runUnprivileged(const std::function<QStringList()> &work, bool *ran)
{
    *ran = false;
    if (::getuid() != 0) {
        *ran = true;
        return work();
    }
    const passwd *nobody = ::getpwnam("nobody");
    int channel[2];
    if (!nobody || ::pipe(channel) != 0)
        return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        if (::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0)
            ::_exit(1);
        const QByteArray result = work().join(QLatin1Char('\n')).toUtf8();
        const bool written =
                ::write(channel[1], result.constData(), size_t(result.size())) == result.size();
        ::_exit(written ? 0 : 1);
    }
    ::close(channel[1]);
    QByteArray result;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(channel[0], buffer, sizeof buffer)) > 0)
        result.append(buffer, int(got));
    ::close(channel[0]);
    int status = 0;
    *ran = child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
            WEXITSTATUS(status) == 0;
    return QString::fromUtf8(result).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Makes directory unreadable for runUnprivileged(): another owner's 0700 as root, 0000 else.
bool lockDirectory(const QString &directory)
{
    return ::chmod(encoded(directory).constData(), ::getuid() == 0 ? 0700 : 0) == 0;
}

} // namespace

class tst_TarWriter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();

    void roundTrip_data();
    void roundTrip();
    void largeCompressedRoundTrip();
    void hardLinksStoredOnce();
    void modes_data();
    void modes();
    void replacesLongerFile();
    void selfExtractingStub();
    void markerRecords_data();
    void markerRecords();
    void names_data();
    void names();
    void progressAndStatus();
    void sharedCounter();
    void failureLeavesLaterPairsUnwritten();
    void cancelBeforeStart();
    void cancelBetweenPairs();
    void cancelDuringLargeFile();
    void failures_data();
    void failures();
    void headerWriteFailure();
    void unwritableArchiveKeepsItsContents();
    void unreadableSource();
    void sourceShorterThanItsSize();
    void completionFailures_data();
    void completionFailures();
    void finalFlushFailure();
    void unusableStubLeavesArchiveAlone_data();
    void unusableStubLeavesArchiveAlone();
    void listFilesOrderAndExclusions();
    void listFilesCancelled();
    void listFilesUnreadableDirectory();
    void listFilesCancelledInsideWalk();
    void containsSourceCases_data();
    void containsSourceCases();

private:
    QString path(const QString &relative) const { return dir->filePath(relative); }
    bool buildTree(const QString &root) const;

    std::unique_ptr<QTemporaryDir> dir;
};

void tst_TarWriter::init()
{
    ::umask(022);
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

// What an installation tree holds, in the forms a packing keeps: files of several modes, an
// empty one, links to a file and to a directory, long and non-ASCII names, whole-second times.
bool tst_TarWriter::buildTree(const QString &root) const
{
    const QByteArray r = encoded(root);
    const QByteArray longDirectory = r + '/' + QByteArray(80, 'd');
    const QByteArray nonAscii = r +
            "/Gr\xc3\xbc\xc3\x9f"
            "e";
    bool ok = QDir().mkpath(root + QLatin1String("/bin")) &&
            QDir().mkpath(root + QLatin1String("/lib/nested")) &&
            ::mkdir(longDirectory.constData(), 0755) == 0 &&
            ::mkdir(nonAscii.constData(), 0755) == 0 &&
            writeFile(r + "/bin/tool", "#!/bin/sh\nexit 0\n", 0755) &&
            writeFile(r + "/bin/private", "secret\n", 0600) &&
            writeFile(r + "/bin/group", "shared\n", 0750) &&
            writeFile(r + "/empty", QByteArray(), 0644) &&
            writeFile(r + "/lib/nested/big.bin", QByteArray(100000, 'q') + "end", 0644) &&
            writeFile(longDirectory + '/' + QByteArray(120, 'n') + ".txt", "long\n") &&
            writeFile(nonAscii + "/\xe6\x97\xa5\xe6\x9c\xac.txt", "nihon\n") &&
            ::symlink("../bin/tool", (r + "/lib/tool-link").constData()) == 0 &&
            ::symlink("nested", (r + "/lib/dir-link").constData()) == 0;
    time_t when = 1400000000;
    for (const QString &file : Tar(nullptr).listFiles(root))
        ok = ok && setTimes(encoded(file), when += 3600);
    return ok;
}

void tst_TarWriter::roundTrip_data()
{
    QTest::addColumn<bool>("gzip");
    QTest::addColumn<QString>("reader");
    for (const bool gzip : {false, true}) {
        const char *kind = gzip ? "gzip" : "plain";
        QTest::addRow("%s, GNU tar", kind) << gzip << QStringLiteral("tar");
        QTest::addRow("%s, bsdtar", kind) << gzip << QStringLiteral("bsdtar");
        QTest::addRow("%s, Tar::extract", kind) << gzip << QString();
    }
}

// Whatever reads the archive gets the tree back: contents, modes, times, links as links.
void tst_TarWriter::roundTrip()
{
    QFETCH(bool, gzip);
    QFETCH(QString, reader);
    const QString tree = path(QStringLiteral("tree"));
    QVERIFY(buildTree(tree));
    const QString archive = path(QStringLiteral("suite.tar"));
    Tar tar(nullptr);
    Spies spies(&tar);
    const QStringList files = tar.listFiles(tree);
    QCOMPARE(files.size(), 9);
    QVERIFY(tar.createArchive(archive, sourcesBelow(tree, files), gzip, QString()));
    QCOMPARE(texts(spies.error), QStringList());

    const QString destination = path(QStringLiteral("destination"));
    QVERIFY(QDir().mkpath(destination));
    if (reader.isEmpty()) {
        Tar extractor(nullptr);
        QVERIFY(extractor.extract(archive, destination, extractor.countEntries(archive)));
    } else {
        QVERIFY(run(reader, {QStringLiteral("-xpf"), archive, QStringLiteral("-C"), destination}));
    }
    const QStringList extracted = describeFiles(destination);
    QCOMPARE(extracted, describeFiles(tree));
    // The link to a directory stayed a link.
    QVERIFY(extracted.filter(QStringLiteral("lib/dir-link "))
                    .value(0)
                    .contains(QLatin1String("readlink=")));
}

// A compressed archive of several mebibytes is deflated in blocks on several threads: GNU tar,
// gzip and our own extraction read it back whole, across every cut, with repeats that reach
// back over the cuts and data that does not compress.
void tst_TarWriter::largeCompressedRoundTrip()
{
    const QString tree = path(QStringLiteral("tree"));
    QVERIFY(QDir().mkpath(tree));
    quint64 state = 0x2545F4914F6CDD1Dull;
    QByteArray noise(3 << 20, Qt::Uninitialized);
    for (char &byte : noise) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        byte = char(state >> 56);
    }
    QByteArray text;
    for (int i = 0; text.size() < (5 << 20); ++i)
        text += QByteArray::number(i % 977) + " the quick brown fox jumps over the lazy dog\n";
    QVERIFY(writeFile(tree + QLatin1String("/noise.bin"), noise));
    QVERIFY(writeFile(tree + QLatin1String("/text.txt"), text));
    QVERIFY(writeFile(tree + QLatin1String("/small"), "small\n"));
    const QString archive = path(QStringLiteral("large.tgz"));
    Tar tar(nullptr);
    Spies spies(&tar);
    QVERIFY(tar.createArchive(archive, sourcesBelow(tree, tar.listFiles(tree)), true, QString()));
    QCOMPARE(texts(spies.error), QStringList());
    QVERIFY(run(QStringLiteral("gzip"), {QStringLiteral("-t"), archive}));
    // The text compresses, so the repeats were found, the ones across cuts included.
    QVERIFY(QFileInfo(archive).size() < noise.size() + text.size() / 10);
    for (const QString &reader : {QStringLiteral("tar"), QString()}) {
        const QString destination = path(QStringLiteral("out-%1").arg(reader));
        QVERIFY(QDir().mkpath(destination));
        if (reader.isEmpty()) {
            Tar extractor(nullptr);
            QVERIFY(extractor.extract(archive, destination, extractor.countEntries(archive)));
        } else {
            QVERIFY(run(reader,
                        {QStringLiteral("-xpzf"), archive, QStringLiteral("-C"), destination}));
        }
        QCOMPARE(describeFiles(destination), describeFiles(tree));
    }
    // The same input packs to the same bytes, whatever the threads' timing.
    QVERIFY(tar.createArchive(path(QStringLiteral("again.tgz")),
                              sourcesBelow(tree, tar.listFiles(tree)), true, QString()));
    QVERIFY(contents(path(QStringLiteral("again.tgz"))) == contents(archive));
}

void tst_TarWriter::hardLinksStoredOnce()
{
    const QString tree = path(QStringLiteral("tree"));
    QVERIFY(QDir().mkpath(tree));
    QVERIFY(writeFile(tree + QLatin1String("/a"), QByteArray(5000, 'a')));
    QVERIFY(::link(encoded(tree + QLatin1String("/a")).constData(),
                   encoded(tree + QLatin1String("/b")).constData()) == 0);
    const QString archive = path(QStringLiteral("links.tar"));
    Tar tar(nullptr);
    QVERIFY(tar.createArchive(archive, sourcesBelow(tree, tar.listFiles(tree)), false, QString()));
    QCOMPARE(archiveEntries(archive),
             QStringList({QStringLiteral("a file 5000"), QStringLiteral("b hardlink -> a")}));
    const QString destination = path(QStringLiteral("destination"));
    QVERIFY(QDir().mkpath(destination));
    QVERIFY(run(QStringLiteral("tar"),
                {QStringLiteral("-xpf"), archive, QStringLiteral("-C"), destination}));
    QCOMPARE(describeFiles(destination), describeFiles(tree));
}

void tst_TarWriter::modes_data()
{
    QTest::addColumn<bool>("gzip");
    QTest::addColumn<bool>("withStub");
    QTest::addColumn<bool>("existing");
    QTest::addColumn<int>("mode");
    QTest::newRow("plain") << false << false << false << 0644;
    QTest::newRow("gzip") << true << false << false << 0644;
    QTest::newRow("existing private file") << false << false << true << 0644;
    QTest::newRow("stub") << false << true << false << 0755;
    QTest::newRow("stub over existing file") << true << true << true << 0755;
}

// The mode is exact, whatever the file-creation mask or the mode of a file that was there; the
// payload of a file without stub starts at offset 0.
void tst_TarWriter::modes()
{
    QFETCH(bool, gzip);
    QFETCH(bool, withStub);
    QFETCH(bool, existing);
    QFETCH(int, mode);
    const QString archive = path(QStringLiteral("out"));
    if (existing)
        QVERIFY(writeFile(archive, "old", 0600));
    const QString stub = path(QStringLiteral("stub"));
    QVERIFY(writeFile(stub, QByteArray(32, 's') + magic + QByteArray(24, '\0')));
    QVERIFY(writeFile(path(QStringLiteral("file")), "data\n"));
    ::umask(077);
    Tar tar(nullptr);
    QVERIFY(tar.createArchive(archive, {{path(QStringLiteral("file")), QStringLiteral("file")}},
                              gzip, withStub ? stub : QString()));
    QCOMPARE(int(modeOf(archive)), mode);
    const QByteArray bytes = contents(archive);
    const int payload = withStub ? 64 : 0;
    if (gzip)
        QCOMPARE(bytes.mid(payload, 2), QByteArray("\x1f\x8b"));
    else
        QCOMPARE(bytes.mid(payload + 257, 6), QByteArray("ustar\0", 6));
    QCOMPARE(archiveEntries(archive, payload), QStringList {QStringLiteral("file file 5")});
}

// An older, longer file at the archive's path leaves nothing behind the new archive: the result
// is byte for byte what a fresh file gets.
void tst_TarWriter::replacesLongerFile()
{
    QVERIFY(writeFile(path(QStringLiteral("file")), "data\n"));
    const ArchiveSources sources {{path(QStringLiteral("file")), QStringLiteral("file")}};
    Tar tar(nullptr);
    QVERIFY(tar.createArchive(path(QStringLiteral("fresh.tgz")), sources, true, QString()));
    const QString archive = path(QStringLiteral("old.tgz"));
    QVERIFY(writeFile(archive, QByteArray(1 << 20, 'x')));
    QVERIFY(tar.createArchive(archive, sources, true, QString()));
    QCOMPARE(contents(archive), contents(path(QStringLiteral("fresh.tgz"))));
    QVERIFY(run(QStringLiteral("gzip"), {QStringLiteral("-t"), archive}));
}

// A stub program built for the tests, with its record beyond the first block: the output is the
// stub with its offset field filled in, then a complete archive, and the stub, run, finds its
// payload through the record.
void tst_TarWriter::selfExtractingStub()
{
    const QString stub = QStringLiteral(ORVEX_STUB_PROGRAM);
    const QByteArray stubBytes = contents(stub);
    const int record = stubBytes.indexOf(magic);
    QVERIFY2(record > 4096, "the stub's record should lie beyond the first block");
    QCOMPARE(record % 16, 0);
    QCOMPARE(stubBytes.indexOf(magic, record + 1), -1);

    const QString tree = path(QStringLiteral("tree"));
    QVERIFY(buildTree(tree));
    const QString output = path(QStringLiteral("installer.run"));
    Tar tar(nullptr);
    Spies spies(&tar);
    QVERIFY(tar.createArchive(output, sourcesBelow(tree, tar.listFiles(tree)), true, stub));
    QCOMPARE(texts(spies.error), QStringList());
    QCOMPARE(modeOf(output), mode_t(0755));

    const QByteArray bytes = contents(output);
    const qint64 size = stubBytes.size();
    QByteArray expectedStub = stubBytes;
    expectedStub.replace(record + 8, 8, littleEndian(quint64(size)));
    QCOMPARE(bytes.left(int(size)), expectedStub);

    // The bytes from the recorded offset to the end are one whole archive.
    const QString payload = path(QStringLiteral("payload.tgz"));
    QVERIFY(writeFile(payload, bytes.mid(int(size))));
    QVERIFY(run(QStringLiteral("gzip"), {QStringLiteral("-t"), payload}));
    const QString unpacked = path(QStringLiteral("unpacked"));
    QVERIFY(QDir().mkpath(unpacked));
    QVERIFY(run(QStringLiteral("tar"),
                {QStringLiteral("-xpzf"), payload, QStringLiteral("-C"), unpacked}));
    QCOMPARE(describeFiles(unpacked), describeFiles(tree));

    QProcess program;
    program.start(output, {QStringLiteral("--offset")});
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitCode(), 0);
    QCOMPARE(program.readAllStandardOutput(), QByteArray::number(size) + '\n');
    program.start(output, QStringList());
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitCode(), 0);
    QCOMPARE(program.readAllStandardOutput(), bytes.mid(int(size)));
}

void tst_TarWriter::markerRecords_data()
{
    QTest::addColumn<QByteArray>("stub");
    QTest::addColumn<int>("patchedAt");

    QByteArray atBlockPlus32(8192, 'p');
    atBlockPlus32.replace(4096 + 32, 16, magic + QByteArray(8, '\x7f'));
    QTest::newRow("record at 4096 + 32") << atBlockPlus32 << 4096 + 40;

    QByteArray twoRecords(8192, 'p');
    twoRecords.replace(16, 16, magic + QByteArray(8, '\0'));
    twoRecords.replace(4096 + 48, 16, magic + QByteArray(8, '\0'));
    QTest::newRow("only the first of two records") << twoRecords << 24;

    QByteArray lastRecord(4096 * 3, 'p');
    lastRecord.replace(4096 * 3 - 16, 8, magic);
    QTest::newRow("record that ends the stub") << lastRecord << 4096 * 3 - 8;

    QByteArray unaligned(8192, 'p');
    unaligned.replace(4096 + 8, 8, magic);
    QTest::newRow("magic not at a multiple of 16") << unaligned << -1;

    QByteArray truncatedRecord(4096 + 40, 'p');
    truncatedRecord.replace(4096 + 32, 8, magic);
    QTest::newRow("magic in the stub's last 8 bytes") << truncatedRecord << -1;

    QTest::newRow("no magic") << QByteArray(10000, 'p') << -1;
    QTest::newRow("empty stub") << QByteArray() << -1;
}

// Where the record is looked for and what is written when it is not found: the stub bytes that
// were copied, and nothing after them.
void tst_TarWriter::markerRecords()
{
    QFETCH(QByteArray, stub);
    QFETCH(int, patchedAt);
    const QString stubPath = path(QStringLiteral("stub"));
    QVERIFY(writeFile(stubPath, stub));
    const QString output = path(QStringLiteral("output"));
    Tar tar(nullptr);
    Spies spies(&tar);
    const bool written = tar.createArchive(output, ArchiveSources(), false, stubPath);
    const QByteArray bytes = contents(output);
    if (patchedAt < 0) {
        QVERIFY(!written);
        QCOMPARE(texts(spies.error),
                 QStringList {QStringLiteral("Self extracting magic data not found in \"%1\".")
                                      .arg(stubPath)});
        QCOMPARE(bytes, stub);
        return;
    }
    QVERIFY(written);
    QCOMPARE(texts(spies.error), QStringList());
    QByteArray expected = stub;
    expected.replace(patchedAt, 8, littleEndian(quint64(stub.size())));
    QCOMPARE(bytes.left(stub.size()), expected);
    // An empty archive follows: its two zero blocks.
    QCOMPARE(bytes.mid(stub.size()), QByteArray(1024, '\0'));
}

void tst_TarWriter::names_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("entries");

    QTest::newRow("null name, absolute source")
            << QStringLiteral("%1/opt/a/b") << QString()
            << QStringList {QStringLiteral("%1/opt/a/b file 2")};
    QTest::newRow("given name") << QStringLiteral("%1/opt/a/b") << QStringLiteral("x/y.txt")
                                << QStringList {QStringLiteral("x/y.txt file 2")};
    QTest::newRow("another name") << QStringLiteral("%1/opt/a/b") << QStringLiteral("renamed")
                                  << QStringList {QStringLiteral("renamed file 2")};
    QTest::newRow("null name, relative source") << QStringLiteral("opt/a/b") << QString()
                                                << QStringList {QStringLiteral("opt/a/b file 2")};
    QTest::newRow("link, target not read")
            << QStringLiteral("%1/opt/dangling") << QStringLiteral("dangling")
            << QStringList {QStringLiteral("dangling link -> /nonexistent/target")};
    QTest::newRow("directory under a name")
            << QStringLiteral("%1/opt") << QStringLiteral("suite")
            << QStringList {QStringLiteral("suite/ dir"), QStringLiteral("suite/a/ dir"),
                            QStringLiteral("suite/a/b file 2"),
                            QStringLiteral("suite/dangling link -> /nonexistent/target")};
    QTest::newRow("directory with a trailing slash, null name")
            << QStringLiteral("opt/a/") << QString()
            << QStringList {QStringLiteral("opt/a/ dir"), QStringLiteral("opt/a/b file 2")};
}

void tst_TarWriter::names()
{
    QFETCH(QString, source);
    QFETCH(QString, name);
    QFETCH(QStringList, entries);
    const QString root = dir->path();
    QVERIFY(QDir().mkpath(root + QLatin1String("/opt/a")));
    QVERIFY(writeFile(root + QLatin1String("/opt/a/b"), "b\n"));
    QVERIFY(::symlink("/nonexistent/target", encoded(root + QLatin1String("/opt/dangling"))) == 0);
    // Relative sources are relative to the working directory.
    const QString saved = QDir::currentPath();
    QVERIFY(QDir::setCurrent(root));
    const QString archive = path(QStringLiteral("names.tar"));
    Tar tar(nullptr);
    Spies spies(&tar);
    const bool written =
            tar.createArchive(archive, {{QString(source).replace(QLatin1String("%1"), root), name}},
                              false, QString());
    QDir::setCurrent(saved);
    QVERIFY(written);
    QCOMPARE(texts(spies.error), QStringList());
    const QString stripped = root.mid(1);
    QStringList expected;
    for (const QString &entry : entries)
        expected.append(entry.contains(QLatin1String("%1")) ? entry.arg(stripped) : entry);
    QStringList actual = archiveEntries(archive);
    // The order inside a directory is the file system's.
    actual.sort();
    expected.sort();
    QCOMPARE(actual, expected);
}

void tst_TarWriter::progressAndStatus()
{
    const QString root = dir->path();
    ArchiveSources sources;
    for (const char *name : {"first", "second", "third"}) {
        QVERIFY(writeFile(root + QLatin1Char('/') + QLatin1String(name), name));
        sources.append({root + QLatin1Char('/') + QLatin1String(name), QString()});
    }
    Tar tar(nullptr);
    Spies spies(&tar);
    QVERIFY(tar.createArchive(path(QStringLiteral("a.tar")), sources, false, QString()));
    QCOMPARE(progressValues(spies.progress), percentages({33, 66, 100}));
    QCOMPARE(texts(spies.status),
             QStringList({QStringLiteral("Adding first..."), QStringLiteral("Adding second..."),
                          QStringLiteral("Adding third...")}));
    QCOMPARE(spies.cancelled.size(), 0);
    QCOMPARE(spies.error.size(), 0);
}

// A counter handed in goes on from its value, as across several archives of one job.
void tst_TarWriter::sharedCounter()
{
    QVERIFY(writeFile(path(QStringLiteral("f")), "f"));
    const ArchiveSources sources {{path(QStringLiteral("f")), QStringLiteral("f")},
                                  {path(QStringLiteral("f")), QStringLiteral("g")},
                                  {path(QStringLiteral("f")), QStringLiteral("h")},
                                  {path(QStringLiteral("f")), QStringLiteral("i")}};
    Tar tar(nullptr);
    Spies spies(&tar);
    int counter = 1;
    QVERIFY(tar.createArchive(path(QStringLiteral("a.tar")), sources, false, QString(), &counter));
    QCOMPARE(counter, 5);
    QCOMPARE(progressValues(spies.progress), percentages({50, 75, 100, 125}));
}

// After the first failure the remaining pairs are counted and reported but not written; what was
// written before stays a readable archive.
void tst_TarWriter::failureLeavesLaterPairsUnwritten()
{
    QVERIFY(writeFile(path(QStringLiteral("one")), "1"));
    QVERIFY(writeFile(path(QStringLiteral("three")), "3"));
    const QString missing = path(QStringLiteral("two"));
    const ArchiveSources sources {{path(QStringLiteral("one")), QStringLiteral("one")},
                                  {missing, QStringLiteral("two")},
                                  {path(QStringLiteral("three")), QStringLiteral("three")}};
    const QString archive = path(QStringLiteral("a.tar"));
    Tar tar(nullptr);
    Spies spies(&tar);
    QVERIFY(!tar.createArchive(archive, sources, false, QString()));
    QCOMPARE(texts(spies.error),
             QStringList {QStringLiteral("Error reading \"%1\": %1: Cannot stat: No such file "
                                         "or directory.")
                                  .arg(missing)});
    QCOMPARE(spies.status.size(), 3);
    QCOMPARE(progressValues(spies.progress), percentages({33, 66, 100}));
    QCOMPARE(archiveEntries(archive), QStringList {QStringLiteral("one file 1")});
}

void tst_TarWriter::cancelBeforeStart()
{
    QVERIFY(writeFile(path(QStringLiteral("f")), "f"));
    const QString archive = path(QStringLiteral("a.tar"));
    Tar tar(nullptr);
    Spies spies(&tar);
    tar.cancel();
    QVERIFY(!tar.createArchive(archive, {{path(QStringLiteral("f")), QString()}}, true, QString()));
    QCOMPARE(spies.cancelled.size(), 1);
    QCOMPARE(spies.status.size(), 0);
    QCOMPARE(spies.error.size(), 0);
    QVERIFY(!entryExists(archive));
}

// A cancel that arrives while the second of three files is announced stops before that file:
// one cancelled(), no further progress, and the archive holds the first file, complete.
void tst_TarWriter::cancelBetweenPairs()
{
    ArchiveSources sources;
    for (const char *name : {"first", "second", "third"}) {
        QVERIFY(writeFile(path(QLatin1String(name)), name));
        sources.append({path(QLatin1String(name)), QLatin1String(name)});
    }
    const QString archive = path(QStringLiteral("a.tgz"));
    Tar tar(nullptr);
    Spies spies(&tar);
    connect(&tar, &Tar::status, &tar, [&tar](const QString &text) {
        if (text == QLatin1String("Adding second..."))
            tar.cancel();
    });
    QVERIFY(!tar.createArchive(archive, sources, true, QString()));
    QCOMPARE(spies.cancelled.size(), 1);
    QCOMPARE(spies.error.size(), 0);
    QCOMPARE(progressValues(spies.progress), percentages({33}));
    QCOMPARE(archiveEntries(archive), QStringList {QStringLiteral("first file 5")});
}

// A cancel from another thread while a file of 64 GiB (with no blocks on disk) is being added
// ends the call soon: neither the rest of the file nor the zeros that would complete its entry
// are written.
void tst_TarWriter::cancelDuringLargeFile()
{
    QVERIFY(writeFile(path(QStringLiteral("first")), "first"));
    QVERIFY(writeSparseFile(path(QStringLiteral("huge")), qint64(64) << 30));
    const ArchiveSources sources {{path(QStringLiteral("first")), QStringLiteral("first")},
                                  {path(QStringLiteral("huge")), QStringLiteral("huge")}};
    Tar tar(nullptr);
    Spies spies(&tar);
    QSemaphore started;
    connect(&tar, &Tar::status, &tar, [&started](const QString &text) {
        if (text == QLatin1String("Adding huge..."))
            started.release();
    });
    std::thread canceller([&] {
        started.acquire();
        tar.cancel();
    });
    const bool written = tar.createArchive(path(QStringLiteral("a.tgz")), sources, true, QString());
    canceller.join();
    QVERIFY(!written);
    // Neither the rest of the file nor the zeros that would complete its entry were written.
    QVERIFY(QFileInfo(path(QStringLiteral("a.tgz"))).size() < (1 << 20));
    QCOMPARE(spies.cancelled.size(), 1);
    QCOMPARE(spies.error.size(), 0);
    QCOMPARE(progressValues(spies.progress), percentages({50}));
}

void tst_TarWriter::failures_data()
{
    QTest::addColumn<QString>("archive");
    QTest::addColumn<QString>("stub");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("written");

    // %1 stands for the test's directory.
    QTest::newRow("missing stub") << QStringLiteral("%1/out") << QStringLiteral("%1/nostub")
                                  << QStringLiteral("%1/file")
                                  << QStringLiteral("Can't open \"%1/nostub\" for reading.")
                                  << QByteArray();
    QTest::newRow("stub is a directory")
            << QStringLiteral("%1/out") << QStringLiteral("%1/tree") << QStringLiteral("%1/file")
            << QStringLiteral("Error reading from \"%1/tree\".") << QByteArray();
    QTest::newRow("archive in a missing directory")
            << QStringLiteral("%1/missing/out") << QString() << QStringLiteral("%1/file")
            << QStringLiteral("Can't open \"%1/missing/out\" for writing.") << QByteArray();
    QTest::newRow("archive is a directory")
            << QStringLiteral("%1/tree") << QString() << QStringLiteral("%1/file")
            << QStringLiteral("Can't open \"%1/tree\" for writing.") << QByteArray();
    QTest::newRow("archive is its own stub")
            << QStringLiteral("%1/stub") << QStringLiteral("%1/stub") << QStringLiteral("%1/file")
            << QStringLiteral("Can't open \"%1/stub\" for writing.")
            << QByteArray("stub " + magic + QByteArray(8, '\0'));
    QTest::newRow("missing source")
            << QStringLiteral("%1/out") << QString() << QStringLiteral("%1/none")
            << QStringLiteral("Error reading \"%1/none\": %1/none: Cannot stat: No such file or "
                              "directory.")
            << QByteArray();
    QTest::newRow("socket among the sources")
            << QStringLiteral("%1/out") << QString() << QStringLiteral("%1/socket")
            << QStringLiteral("Failed to add \"%1/socket\": %1/socket: pax format cannot archive "
                              "sockets.")
            << QByteArray();
    QTest::newRow("empty name")
            << QStringLiteral("%1/out") << QString() << QStringLiteral("%1/file")
            << QStringLiteral("Failed to add \"%1/file\": the name in the archive is empty.")
            << QByteArray();
    QTest::newRow("archive inside a directory source")
            << QStringLiteral("%1/tree/out.tar") << QString() << QStringLiteral("%1/tree")
            << QStringLiteral("Failed to add \"%1/tree/out.tar\": Can't add archive to itself.")
            << QByteArray();
}

void tst_TarWriter::failures()
{
    QFETCH(QString, archive);
    QFETCH(QString, stub);
    QFETCH(QString, source);
    QFETCH(QString, text);
    QFETCH(QByteArray, written);
    const QString root = dir->path();
    QVERIFY(QDir().mkpath(root + QLatin1String("/tree")));
    QVERIFY(writeFile(root + QLatin1String("/file"), "f"));
    QVERIFY(writeFile(root + QLatin1String("/stub"), "stub " + magic + QByteArray(8, '\0')));
    // A socket is a file-system object no tar format can hold.
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    QVERIFY(listener >= 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray socketPath = encoded(root + QLatin1String("/socket"));
    QVERIFY(size_t(socketPath.size()) < sizeof address.sun_path);
    std::memcpy(address.sun_path, socketPath.constData(), size_t(socketPath.size()));
    QVERIFY(::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);

    Tar tar(nullptr);
    Spies spies(&tar);
    const QString archivePath = archive.arg(root);
    const QString name =
            QTest::currentDataTag() == QByteArray("empty name") ? QLatin1String("") : QString();
    const bool made = tar.createArchive(archivePath, {{source.arg(root), name}}, false,
                                        stub.isNull() ? QString() : stub.arg(root));
    ::close(listener);
    QVERIFY(!made);
    QString expected = text.arg(root);
    // The entry's name in the archive is its path without the leading "/".
    if (expected.startsWith(QLatin1String("Failed to add")) && name.isNull())
        expected = text.arg(root.mid(1));
    QCOMPARE(texts(spies.error), QStringList {expected});
    QCOMPARE(spies.cancelled.size(), 0);
    if (!written.isNull())
        QCOMPARE(contents(archivePath), written);
}

void tst_TarWriter::headerWriteFailure()
{
    const QString stub = path(QStringLiteral("stub"));
    QVERIFY(writeFile(stub, QByteArray(16, 's') + magic + QByteArray(8, '\0')));
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    QVERIFY(full >= 0);
    Tar tar(nullptr);
    Spies spies(&tar);
    const bool written = tar.writeSelfExtractingHeader(full, stub);
    ::close(full);
    QVERIFY(!written);
    QCOMPARE(texts(spies.error),
             QStringList {QStringLiteral("Error writing self-extracting header.")});

    // The same through a descriptor that is open for reading only.
    const QString target = path(QStringLiteral("target"));
    QVERIFY(writeFile(target, QByteArray()));
    const int readOnly = ::open(encoded(target).constData(), O_RDONLY | O_CLOEXEC);
    QVERIFY(readOnly >= 0);
    QVERIFY(!tar.writeSelfExtractingHeader(readOnly, stub));
    ::close(readOnly);
    QCOMPARE(spies.error.size(), 2);
    QCOMPARE(contents(target), QByteArray());
}

// A file that can be written but not given the archive's mode is refused before anything is
// written to it: it keeps what it held.
void tst_TarWriter::unwritableArchiveKeepsItsContents()
{
    if (::getuid() != 0)
        QSKIP("Needs a file owned by another user, which only root can make");
    const QString archive = path(QStringLiteral("foreign.tar"));
    QVERIFY(writeFile(archive, "precious", 0666));
    QVERIFY(writeFile(path(QStringLiteral("file")), "f", 0644));
    QVERIFY(::chmod(encoded(dir->path()).constData(), 0777) == 0);
    bool ran = false;
    const QStringList errors = runUnprivileged(
            [&] {
                Tar tar(nullptr);
                QStringList texts;
                QObject::connect(&tar, &Tar::error, [&texts](const QString &t) { texts << t; });
                tar.createArchive(archive, {{path(QStringLiteral("file")), QString()}}, true,
                                  QString());
                return texts;
            },
            &ran);
    QVERIFY(ran);
    QCOMPARE(errors,
             QStringList {QStringLiteral("Error setting permissions for \"%1\".").arg(archive)});
    QCOMPARE(contents(archive), QByteArray("precious"));
}

void tst_TarWriter::unreadableSource()
{
    const QString source = path(QStringLiteral("closed"));
    QVERIFY(writeFile(source, "secret", 0));
    QVERIFY(::chmod(encoded(dir->path()).constData(), 0777) == 0);
    const QString archive = path(QStringLiteral("out.tar"));
    QVERIFY(writeFile(archive, QByteArray(), 0666));
    bool ran = false;
    const QStringList errors = runUnprivileged(
            [&] {
                Tar tar(nullptr);
                QStringList texts;
                QObject::connect(&tar, &Tar::error, [&texts](const QString &t) { texts << t; });
                // The file is not the user's, so the mode cannot be set: a device path is
                // written without.
                tar.createArchive(QStringLiteral("/dev/null"), {{source, QStringLiteral("c")}},
                                  false, QString());
                return texts;
            },
            &ran);
    QVERIFY(ran);
    QCOMPARE(errors,
             QStringList {QStringLiteral("Failed to read \"%1\": Permission denied.").arg(source)});
}

// The kernel's attribute files claim a page and hold a line: what cannot be read is an error,
// not a run of zeros in a copy that looks whole.
void tst_TarWriter::sourceShorterThanItsSize()
{
    const QString source = QStringLiteral("/sys/kernel/mm/transparent_hugepage/enabled");
    const qint64 size = QFileInfo(source).size();
    const qint64 readable = contents(source).size();
    if (size <= readable || readable == 0)
        QSKIP("Needs a file of sysfs that is shorter than its size");
    Tar tar(nullptr);
    Spies spies(&tar);
    const QString archive = path(QStringLiteral("a.tar"));
    QVERIFY(!tar.createArchive(archive, {{source, QStringLiteral("enabled")}}, false, QString()));
    QCOMPARE(
            texts(spies.error),
            QStringList {QStringLiteral("Failed to read \"%1\": only %2 of %3 bytes could be read.")
                                 .arg(source)
                                 .arg(readable)
                                 .arg(size)});
}

void tst_TarWriter::completionFailures_data()
{
    QTest::addColumn<bool>("gzip");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("text");
    QTest::newRow("small plain archive, full disk at the end")
            << false << 100
            << QStringLiteral(
                       "Failed to complete \"/dev/full\": Write error: No space left on device.");
    QTest::newRow("small gzip archive, full disk at the end")
            << true << 100
            << QStringLiteral(
                       "Failed to complete \"/dev/full\": Write error: No space left on device.");
    QTest::newRow("large file, full disk while writing")
            << false << (1 << 20)
            << QStringLiteral("Failed to write \"big\": Write error: No space left on device.");
}

// A write that fails is a failure wherever it happens, the last one included: an archive whose
// end never reached the disk is not reported as written.
void tst_TarWriter::completionFailures()
{
    QFETCH(bool, gzip);
    QFETCH(int, size);
    QFETCH(QString, text);
    QVERIFY(writeFile(path(QStringLiteral("big")), QByteArray(size, 'b')));
    Tar tar(nullptr);
    Spies spies(&tar);
    QVERIFY(!tar.createArchive(QStringLiteral("/dev/full"),
                               {{path(QStringLiteral("big")), QStringLiteral("big")}}, gzip,
                               QString()));
    QCOMPARE(texts(spies.error), QStringList {text});
    // The device keeps its mode: only a regular file gets the archive's.
    QCOMPARE(modeOf(QStringLiteral("/dev/full")), mode_t(0666));
}

// The end of a compressed archive is written when the writer is closed; a disk that fills just
// then fails the archive (here, a file-size limit four bytes short of the whole).
void tst_TarWriter::finalFlushFailure()
{
    ArchiveSources sources;
    for (const char *name : {"one", "two", "three"}) {
        QVERIFY(writeFile(path(QLatin1String(name)), QByteArray(5000, name[0])));
        sources.append({path(QLatin1String(name)), QLatin1String(name)});
    }
    Tar tar(nullptr);
    QVERIFY(tar.createArchive(path(QStringLiteral("whole.tgz")), sources, true, QString()));
    const qint64 whole = QFileInfo(path(QStringLiteral("whole.tgz"))).size();
    const QString archive = path(QStringLiteral("cut.tgz"));
    // The limit is lowered for this process alone and only for the call: a child made by fork()
    // could not start the compressor's threads under ThreadSanitizer.
    rlimit saved;
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &saved) == 0);
    rlimit limited = saved;
    limited.rlim_cur = rlim_t(whole - 4);
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previous;
    QVERIFY(::sigaction(SIGXFSZ, &ignore, &previous) == 0);
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &limited) == 0);
    Tar limitedTar(nullptr);
    Spies spies(&limitedTar);
    const bool written = limitedTar.createArchive(archive, sources, true, QString());
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::sigaction(SIGXFSZ, &previous, nullptr);
    QVERIFY(!written);
    QCOMPARE(texts(spies.error),
             QStringList {QStringLiteral("Failed to complete \"%1\": Write error: File too large.")
                                  .arg(archive)});
    QCOMPARE(QFileInfo(archive).size(), whole - 4);
}

void tst_TarWriter::unusableStubLeavesArchiveAlone_data()
{
    QTest::addColumn<QString>("stub");
    QTest::addColumn<QString>("text");
    QTest::newRow("missing") << QStringLiteral("%1/nostub")
                             << QStringLiteral("Can't open \"%1/nostub\" for reading.");
    QTest::newRow("a directory") << QStringLiteral("%1")
                                 << QStringLiteral("Error reading from \"%1\".");
    QTest::newRow("a device without end")
            << QStringLiteral("/dev/zero") << QStringLiteral("Error reading from \"/dev/zero\".");
}

// A stub that cannot serve is found out before the archive's file is touched: an older archive
// keeps its contents, a new one is not made.
void tst_TarWriter::unusableStubLeavesArchiveAlone()
{
    QFETCH(QString, stub);
    QFETCH(QString, text);
    stub = stub.arg(dir->path());
    text = text.arg(dir->path());
    QVERIFY(writeFile(path(QStringLiteral("file")), "f"));
    const QString old = path(QStringLiteral("old.run"));
    QVERIFY(writeFile(old, "the previous archive"));
    Tar tar(nullptr);
    Spies spies(&tar);
    const ArchiveSources sources {{path(QStringLiteral("file")), QStringLiteral("file")}};
    QVERIFY(!tar.createArchive(old, sources, true, stub));
    QVERIFY(!tar.createArchive(path(QStringLiteral("new.run")), sources, true, stub));
    QCOMPARE(texts(spies.error), QStringList({text, text}));
    QCOMPARE(contents(old), QByteArray("the previous archive"));
    QVERIFY(!entryExists(path(QStringLiteral("new.run"))));

    // writeSelfExtractingHeader() on its own stops at the stub's size as well.
    const int sink = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    QVERIFY(sink >= 0);
    const bool copied = tar.writeSelfExtractingHeader(sink, stub);
    ::close(sink);
    QVERIFY(!copied);
}

void tst_TarWriter::listFilesOrderAndExclusions()
{
    const QString root = dir->path();
    const QByteArray r = encoded(root);
    QVERIFY(QDir().mkpath(root + QLatin1String("/Beta/inner")));
    QVERIFY(QDir().mkpath(root + QLatin1String("/empty")));
    QVERIFY(QDir().mkpath(root + QLatin1String("/.hiddendir")));
    QVERIFY(writeFile(r + "/alpha", "a"));
    QVERIFY(writeFile(r + "/Beta/inner/c", "c"));
    QVERIFY(writeFile(r + "/Beta/b", "b"));
    QVERIFY(writeFile(r + "/gamma", "g"));
    QVERIFY(writeFile(r + "/.hidden", "h"));
    QVERIFY(writeFile(r + "/.hiddendir/x", "x"));
    QVERIFY(::symlink("Beta", (r + "/dirlink").constData()) == 0);
    QVERIFY(::symlink("alpha", (r + "/filelink").constData()) == 0);
    QVERIFY(::symlink("nowhere", (r + "/broken").constData()) == 0);
    QVERIFY(::mkfifo((r + "/fifo").constData(), 0644) == 0);
    Tar tar(nullptr);
    Spies spies(&tar);
    const QStringList expected {
            root + QLatin1String("/alpha"),        root + QLatin1String("/Beta/b"),
            root + QLatin1String("/Beta/inner/c"), root + QLatin1String("/dirlink"),
            root + QLatin1String("/filelink"),     root + QLatin1String("/gamma")};
    QCOMPARE(tar.listFiles(root), expected);
    QCOMPARE(tar.listFiles(root + QLatin1String("/nonexistent")), QStringList());
    QCOMPARE(spies.cancelled.size(), 0);
}

void tst_TarWriter::listFilesCancelled()
{
    QVERIFY(writeFile(path(QStringLiteral("a")), "a"));
    Tar tar(nullptr);
    Spies spies(&tar);
    tar.cancel();
    QCOMPARE(tar.listFiles(dir->path()), QStringList());
    QCOMPARE(spies.cancelled.size(), 1);
}

// A directory that cannot be read is reported, not taken for empty; the rest is listed.
void tst_TarWriter::listFilesUnreadableDirectory()
{
    const QString root = dir->path();
    QVERIFY(::chmod(encoded(root).constData(), 0755) == 0);
    QVERIFY(writeFile(root + QLatin1String("/a"), "a"));
    QVERIFY(QDir().mkpath(root + QLatin1String("/locked")));
    QVERIFY(writeFile(root + QLatin1String("/locked/hidden"), "h"));
    QVERIFY(writeFile(root + QLatin1String("/z"), "z"));
    QVERIFY(lockDirectory(root + QLatin1String("/locked")));
    bool ran = false;
    const QStringList result = runUnprivileged(
            [&] {
                Tar tar(nullptr);
                QStringList lines;
                QObject::connect(&tar, &Tar::error, [&lines](const QString &t) { lines << t; });
                lines << tar.listFiles(root);
                lines << tar.listFiles(root + QLatin1String("/missing"));
                return lines;
            },
            &ran);
    QVERIFY(::chmod(encoded(root + QLatin1String("/locked")).constData(), 0755) == 0);
    QVERIFY(ran);
    QCOMPARE(result,
             QStringList({QStringLiteral("Can't read directory \"%1/locked\".").arg(root),
                          root + QLatin1String("/a"), root + QLatin1String("/z"),
                          QStringLiteral("Can't read directory \"%1/missing\".").arg(root)}));
}

// A cancel in the deepest directory of the walk, at its last entry, still makes the whole
// listing empty, with one cancelled().
void tst_TarWriter::listFilesCancelledInsideWalk()
{
    const QString root = dir->path();
    QVERIFY(::chmod(encoded(root).constData(), 0755) == 0);
    QVERIFY(writeFile(root + QLatin1String("/a"), "a"));
    QVERIFY(QDir().mkpath(root + QLatin1String("/z/locked")));
    QVERIFY(lockDirectory(root + QLatin1String("/z/locked")));
    bool ran = false;
    const QStringList result = runUnprivileged(
            [&] {
                Tar tar(nullptr);
                int cancelled = 0;
                QObject::connect(&tar, &Tar::error, &tar, &Tar::cancel);
                QObject::connect(&tar, &Tar::cancelled, [&cancelled] { ++cancelled; });
                const QStringList files = tar.listFiles(root);
                return QStringList {QStringLiteral("files %1").arg(files.size()),
                                    QStringLiteral("cancelled %1").arg(cancelled)};
            },
            &ran);
    QVERIFY(::chmod(encoded(root + QLatin1String("/z/locked")).constData(), 0755) == 0);
    QVERIFY(ran);
    QCOMPARE(result, QStringList({QStringLiteral("files 0"), QStringLiteral("cancelled 1")}));
}

void tst_TarWriter::containsSourceCases_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("contained");
    QTest::newRow("source of a named pair") << QStringLiteral("/opt/a") << true;
    QTest::newRow("source of an unnamed pair") << QStringLiteral("/opt/b") << true;
    QTest::newRow("a name, not a source") << QStringLiteral("a") << false;
    QTest::newRow("differs in case") << QStringLiteral("/OPT/a") << false;
    QTest::newRow("differs by a slash") << QStringLiteral("/opt/a/") << false;
    QTest::newRow("empty") << QString() << false;
}

void tst_TarWriter::containsSourceCases()
{
    QFETCH(QString, path);
    QFETCH(bool, contained);
    const ArchiveSources sources {{QStringLiteral("/opt/a"), QStringLiteral("a")},
                                  {QStringLiteral("/opt/b"), QString()}};
    QCOMPARE(containsSource(sources, path), contained);
    QVERIFY(!containsSource(ArchiveSources(), path));
}

QTEST_GUILESS_MAIN(tst_TarWriter)
#include "tst_tarwriter.moc"
