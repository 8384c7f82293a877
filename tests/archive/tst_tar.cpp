#include "tar.h"
#include "treefixtures.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <archive.h>
#include <archive_entry.h>

#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// An archive with exactly the entries given, for entries GNU tar refuses to write (it strips
// "/" and ".." from hard-link targets). Each entry is "F name", "D name", "L name target"
// (symbolic link) or "H name target" (hard link).
bool writeCraftedArchive(const QString &path, const QStringList &entries)
{
    struct WriterFree
    {
        void operator()(archive *a) const { archive_write_free(a); }
    };
    struct EntryFree
    {
        void operator()(archive_entry *e) const { archive_entry_free(e); }
    };
    std::unique_ptr<archive, WriterFree> writer(archive_write_new());
    archive_write_set_format_gnutar(writer.get());
    if (archive_write_open_filename(writer.get(), encoded(path).constData()) != ARCHIVE_OK)
        return false;
    for (const QString &description : entries) {
        const QStringList parts = description.split(QLatin1Char(' '));
        std::unique_ptr<archive_entry, EntryFree> entry(archive_entry_new());
        archive_entry_set_pathname(entry.get(), encoded(parts.at(1)).constData());
        archive_entry_set_mtime(entry.get(), 1500000000, 0);
        const QByteArray data = "planted\n";
        const QChar kind = parts.at(0).at(0);
        if (kind == QLatin1Char('F')) {
            archive_entry_set_filetype(entry.get(), AE_IFREG);
            archive_entry_set_perm(entry.get(), 0644);
            archive_entry_set_size(entry.get(), data.size());
        } else if (kind == QLatin1Char('D')) {
            archive_entry_set_filetype(entry.get(), AE_IFDIR);
            archive_entry_set_perm(entry.get(), 0755);
        } else if (kind == QLatin1Char('L')) {
            archive_entry_set_filetype(entry.get(), AE_IFLNK);
            archive_entry_set_perm(entry.get(), 0777);
            archive_entry_set_symlink(entry.get(), encoded(parts.at(2)).constData());
        } else {
            archive_entry_set_filetype(entry.get(), AE_IFREG);
            archive_entry_set_perm(entry.get(), 0644);
            archive_entry_set_hardlink(entry.get(), encoded(parts.at(2)).constData());
        }
        if (archive_write_header(writer.get(), entry.get()) != ARCHIVE_OK)
            return false;
        if (kind == QLatin1Char('F') &&
            archive_write_data(writer.get(), data.constData(), size_t(data.size())) != data.size())
            return false;
    }
    return archive_write_close(writer.get()) == ARCHIVE_OK;
}

int openDescriptors()
{
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::System).size();
}

} // namespace

class tst_Tar : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void extractMatchesGnuTar_data();
    void extractMatchesGnuTar();
    void extractTargetsAndProgress_data();
    void extractTargetsAndProgress();
    void emptyArchive();
    void hardLinksLandInsideDestination();
    void refusesEscapes_data();
    void refusesEscapes();
    void badArchives_data();
    void badArchives();
    void unwritableDestination();

    void cancelBeforeStart_data();
    void cancelBeforeStart();
    void cancelDuringExtract();
    void cancelDuringCopyTree();
    void cancelFromAnotherThread();

    void countAndCopyTree();
    void copyTreeProgress_data();
    void copyTreeProgress();
    void treeWalkEnds();
    void copyIntoItself();
    void copyTreeIntoPlainFile();
    void copyTreeGoesOnAfterUnreadableFile_data();
    void copyTreeGoesOnAfterUnreadableFile();
    void copyFileAttributes_data();
    void copyFileAttributes();
    void copyFileErrors_data();
    void copyFileErrors();
    void makePathCases_data();
    void makePathCases();

private:
    QString path(const QString &relative) const { return dir->filePath(relative); }
    bool buildRichTree(const QString &root) const;
    bool buildSmallTree(const QString &root) const;

    std::unique_ptr<QTemporaryDir> dir;
    mode_t savedUmask = 022;
    QString savedWorkingDirectory;
};

void tst_Tar::initTestCase()
{
    savedUmask = ::umask(022);
    savedWorkingDirectory = QDir::currentPath();
}

void tst_Tar::init()
{
    QDir::setCurrent(savedWorkingDirectory);
    ::umask(022);
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void tst_Tar::cleanupTestCase()
{
    QDir::setCurrent(savedWorkingDirectory);
    ::umask(savedUmask);
}

// Everything GNU tar writes from a tree that an installation carries.
bool tst_Tar::buildRichTree(const QString &root) const
{
    const QByteArray r = encoded(root);
    const QByteArray longDirectory = r + '/' + QByteArray(60, 'd');
    const QByteArray longName = longDirectory + '/' + QByteArray(70, 'n') + ".txt";
    const QByteArray nonAscii = r +
            "/Gr\xc3\xbc\xc3\x9f"
            "e";
    bool ok = QDir().mkpath(root + QLatin1String("/nested/deeper")) &&
            QDir().mkpath(root + QLatin1String("/emptydir")) &&
            QDir().mkpath(root + QLatin1String("/closed")) &&
            QDir().mkpath(root + QLatin1String("/links")) &&
            QDir().mkpath(root + QLatin1String("/data")) &&
            ::mkdir(longDirectory.constData(), 0755) == 0 &&
            ::mkdir(nonAscii.constData(), 0755) == 0;
    ok = ok && writeFile(r + "/plain.txt", "hello\n", 0644) &&
            writeFile(r + "/tool", "#!/bin/sh\n", 0755) &&
            writeFile(r + "/private", "secret\n", 0600) &&
            writeFile(r + "/group", "shared\n", 0750) &&
            writeFile(r + "/empty", QByteArray(), 0644) &&
            writeFile(r + "/closed/inner", "inner\n", 0644) &&
            writeFile(r + "/nested/deeper/file.txt", QByteArray(10000, 'x'), 0644) &&
            writeFile(r + "/data/original", "linked\n", 0644) &&
            ::link((r + "/data/original").constData(), (r + "/data/twin").constData()) == 0 &&
            writeFile(longName, "long\n") &&
            writeFile(nonAscii + "/\xe6\x97\xa5\xe6\x9c\xac.txt", "nihon\n") &&
            ::symlink("../plain.txt", (r + "/links/tofile").constData()) == 0 &&
            ::symlink("../nested", (r + "/links/todir").constData()) == 0 &&
            ::symlink("nowhere", (r + "/links/dangling").constData()) == 0 &&
            ::symlink(
                    ("../" + QByteArray(60, 'd') + '/' + QByteArray(70, 'n') + ".txt").constData(),
                    (r + "/links/long").constData()) == 0;
    // A file with a hole of a megabyte between two short runs of data.
    const QByteArray sparse = r + "/sparse.bin";
    const int fd = ::open(sparse.constData(), O_WRONLY | O_CREAT, 0644);
    ok = ok && fd >= 0 && ::pwrite(fd, "start", 5, 0) == 5 && ::pwrite(fd, "end", 3, 1 << 20) == 3;
    if (fd >= 0)
        ok = ::close(fd) == 0 && ok;
    ok = ok && ::chmod((r + "/closed").constData(), 0700) == 0;
    if (!ok)
        return false;

    // Distinct times for everything, directories last so that filling them does not move theirs.
    QStringList all;
    QDirIterator it(root, QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        all.append(it.next());
    std::sort(all.begin(), all.end(), [](const QString &a, const QString &b) {
        return a.count(QLatin1Char('/')) > b.count(QLatin1Char('/'));
    });
    time_t when = 1400000000;
    for (const QString &entry : qAsConst(all))
        ok = ok && setTimes(encoded(entry), when += 3600);
    return ok;
}

// Three entries: "a/", "a/b" and "c".
bool tst_Tar::buildSmallTree(const QString &root) const
{
    return QDir().mkpath(root + QLatin1String("/a")) &&
            writeFile(root + QLatin1String("/a/b"), "b\n") &&
            writeFile(root + QLatin1String("/c"), "c\n");
}

void tst_Tar::extractMatchesGnuTar_data()
{
    QTest::addColumn<QString>("createOption");
    QTest::newRow("plain tar") << QStringLiteral("-cSf");
    QTest::newRow("gzip-compressed tar") << QStringLiteral("-czSf");
}

void tst_Tar::extractMatchesGnuTar()
{
    QFETCH(QString, createOption);
    const QString tree = path(QStringLiteral("tree"));
    QVERIFY(buildRichTree(tree));
    const QString archive = path(QStringLiteral("suite.tar"));
    QVERIFY(run(QStringLiteral("tar"),
                {createOption, archive, QStringLiteral("-C"), tree, QStringLiteral(".")}));
    const QString reference = path(QStringLiteral("reference"));
    QVERIFY(QDir().mkpath(reference));
    QVERIFY(run(QStringLiteral("tar"),
                {QStringLiteral("-xpf"), archive, QStringLiteral("-C"), reference}));

    Tar tar(nullptr);
    Spies spies(&tar);
    const int count = tar.countEntries(archive);
    QProcess list;
    list.start(QStringLiteral("tar"), {QStringLiteral("-tf"), archive});
    QVERIFY(list.waitForFinished());
    QCOMPARE(count, list.readAllStandardOutput().count('\n'));

    const QString destination = path(QStringLiteral("destination"));
    QVERIFY(tar.extract(archive, destination, count));
    QCOMPARE(texts(spies.error), QStringList());
    QCOMPARE(spies.cancelled.size(), 0);
    QCOMPARE(spies.status.size(), count);
    QCOMPARE(spies.progress.size(), count);
    QCOMPARE(spies.progress.last().at(0).toInt(), 100);

    const QStringList extracted = describeTree(destination);
    QCOMPARE(extracted, describeTree(reference));
    // Nothing was lost on the way: the tree is the one that was packed, holes included.
    QCOMPARE(extracted, describeTree(tree));
    QVERIFY(extracted.filter(QStringLiteral("sparse.bin"))
                    .value(0)
                    .contains(QLatin1String("holes=yes")));
}

void tst_Tar::extractTargetsAndProgress_data()
{
    QTest::addColumn<QString>("workingDirectory");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("writtenTo");
    QTest::addColumn<QString>("targetPrefix");
    QTest::addColumn<int>("total");
    QTest::addColumn<QVariantList>("progress");

    const QVariantList thirds = percentages({33, 66, 100});
    QTest::newRow("absolute destination") << ""
                                          << "%T/inst"
                                          << "inst"
                                          << "%T/inst/" << 3 << thirds;
    QTest::newRow("relative destination") << "%T"
                                          << "inst"
                                          << "inst"
                                          << "inst/" << 3 << thirds;
    QTest::newRow("empty destination: the working directory") << "%T/here"
                                                              << ""
                                                              << "here"
                                                              << "" << 3 << thirds;
    QTest::newRow("destination through a symbolic link") << ""
                                                         << "%T/alias/inst"
                                                         << "real/inst"
                                                         << "%T/alias/inst/" << 3 << thirds;
    QTest::newRow("total 0: no progress") << ""
                                          << "%T/inst"
                                          << "inst"
                                          << "%T/inst/" << 0 << QVariantList();
    QTest::newRow("negative total: no progress") << ""
                                                 << "%T/inst"
                                                 << "inst"
                                                 << "%T/inst/" << -1 << QVariantList();
    QTest::newRow("total larger than the archive") << ""
                                                   << "%T/inst"
                                                   << "inst"
                                                   << "%T/inst/" << 6 << percentages({16, 33, 50});
}

void tst_Tar::extractTargetsAndProgress()
{
    QFETCH(QString, workingDirectory);
    QFETCH(QString, destination);
    QFETCH(QString, writtenTo);
    QFETCH(QString, targetPrefix);
    QFETCH(int, total);
    QFETCH(QVariantList, progress);
    const QString temporary = dir->path();
    workingDirectory.replace(QLatin1String("%T"), temporary);
    destination.replace(QLatin1String("%T"), temporary);
    targetPrefix.replace(QLatin1String("%T"), temporary);

    QVERIFY(buildSmallTree(path(QStringLiteral("src"))));
    const QString archive = path(QStringLiteral("small.tar"));
    QVERIFY(run(QStringLiteral("tar"),
                {QStringLiteral("-cf"), archive, QStringLiteral("-C"), path(QStringLiteral("src")),
                 QStringLiteral("a"), QStringLiteral("c")}));
    QVERIFY(QDir().mkpath(path(QStringLiteral("real"))) &&
            QDir().mkpath(path(QStringLiteral("here"))));
    QVERIFY(QFile::link(path(QStringLiteral("real")), path(QStringLiteral("alias"))));
    if (!workingDirectory.isEmpty())
        QVERIFY(QDir::setCurrent(workingDirectory));

    Tar tar(nullptr);
    Spies spies(&tar);
    QVERIFY(tar.extract(archive, destination, total));
    QCOMPARE(texts(spies.error), QStringList());
    const QStringList expectedStatus {
            QStringLiteral("Extracting \"a/\" to \"%1a/\"").arg(targetPrefix),
            QStringLiteral("Extracting \"a/b\" to \"%1a/b\"").arg(targetPrefix),
            QStringLiteral("Extracting \"c\" to \"%1c\"").arg(targetPrefix),
    };
    QCOMPARE(texts(spies.status), expectedStatus);
    QCOMPARE(progressValues(spies.progress), progress);
    QCOMPARE(contents(path(writtenTo + QLatin1String("/a/b"))), QByteArray("b\n"));
    QCOMPARE(contents(path(writtenTo + QLatin1String("/c"))), QByteArray("c\n"));
}

void tst_Tar::emptyArchive()
{
    const QString archive = path(QStringLiteral("empty.tar"));
    QVERIFY(run(
            QStringLiteral("tar"),
            {QStringLiteral("-cf"), archive, QStringLiteral("-T"), QStringLiteral("/dev/null")}));
    Tar tar(nullptr);
    Spies spies(&tar);
    QCOMPARE(tar.countEntries(archive), 0);
    QVERIFY(tar.extract(archive, path(QStringLiteral("inst")), 0));
    QCOMPARE(spies.error.size() + spies.status.size() + spies.progress.size() +
                     spies.cancelled.size(),
             0);
}

void tst_Tar::hardLinksLandInsideDestination()
{
    // A file named like the link's target in the working directory must not be what the link
    // is made to.
    const QString tree = path(QStringLiteral("tree"));
    QVERIFY(QDir().mkpath(tree));
    QVERIFY(writeFile(tree + QLatin1String("/first"), "inside\n"));
    QVERIFY(::link(encoded(tree + QLatin1String("/first")).constData(),
                   encoded(tree + QLatin1String("/second")).constData()) == 0);
    const QString archive = path(QStringLiteral("links.tgz"));
    QVERIFY(run(QStringLiteral("tar"),
                {QStringLiteral("-czf"), archive, QStringLiteral("-C"), tree,
                 QStringLiteral("first"), QStringLiteral("second")}));
    const QString elsewhere = path(QStringLiteral("elsewhere"));
    QVERIFY(QDir().mkpath(elsewhere));
    QVERIFY(writeFile(elsewhere + QLatin1String("/first"), "decoy\n"));
    QVERIFY(QDir::setCurrent(elsewhere));

    Tar tar(nullptr);
    QSignalSpy errors(&tar, &Tar::error);
    const QString destination = path(QStringLiteral("inst"));
    QVERIFY(tar.extract(archive, destination, 2));
    QCOMPARE(texts(errors), QStringList());
    struct stat first, second, decoy;
    QCOMPARE(::lstat(encoded(destination + QLatin1String("/first")).constData(), &first), 0);
    QCOMPARE(::lstat(encoded(destination + QLatin1String("/second")).constData(), &second), 0);
    QCOMPARE(::lstat(encoded(elsewhere + QLatin1String("/first")).constData(), &decoy), 0);
    QCOMPARE(second.st_ino, first.st_ino);
    QCOMPARE(first.st_nlink, nlink_t(2));
    QCOMPARE(decoy.st_nlink, nlink_t(1));
    QCOMPARE(QDir(elsewhere).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
             QStringList {QStringLiteral("first")});
}

void tst_Tar::refusesEscapes_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("refusedName");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QStringList>("extractedBefore");

    // %S stands for the sandbox, which holds the destination "inst" and the directory "outside"
    // with its file "victim".
    QTest::newRow("absolute name")
            << QStringList {QStringLiteral("F ok"), QStringLiteral("F %S/outside/planted")}
            << "%S/outside/planted"
            << "Path is absolute" << QStringList {QStringLiteral("ok")};
    QTest::newRow("name with a .. component")
            << QStringList {QStringLiteral("F ../outside/planted")} << "../outside/planted"
            << "Path contains '..'" << QStringList();
    QTest::newRow(".. in the middle of a name")
            << QStringList {QStringLiteral("D a"), QStringLiteral("F a/../../outside/planted")}
            << "a/../../outside/planted"
            << "Path contains '..'" << QStringList {QStringLiteral("a")};
    QTest::newRow("through a relative symbolic link made by an earlier entry")
            << QStringList {QStringLiteral("L link ../outside"), QStringLiteral("F link/planted")}
            << "link/planted"
            << "Cannot extract through symlink %B/link/planted"
            << QStringList {QStringLiteral("link")};
    QTest::newRow("through an absolute symbolic link made by an earlier entry")
            << QStringList {QStringLiteral("L link %S/outside"), QStringLiteral("F link/planted")}
            << "link/planted"
            << "Cannot extract through symlink %B/link/planted"
            << QStringList {QStringLiteral("link")};
    QTest::newRow("through a link named differently by the earlier entry")
            << QStringList {QStringLiteral("L ./link ../outside"),
                            QStringLiteral("F link//planted")}
            << "link//planted"
            << "Cannot extract through symlink %B/link/planted"
            << QStringList {QStringLiteral("link")};
    QTest::newRow("through a link the destination already held")
            << QStringList {QStringLiteral("F ok"), QStringLiteral("F held/planted")}
            << "held/planted"
            << "Cannot extract through symlink %B/held/planted"
            << QStringList {QStringLiteral("held"), QStringLiteral("ok")};
    QTest::newRow("file named like the destination")
            << QStringList {QStringLiteral("F ok"), QStringLiteral("F .")} << "."
            << "Path names the destination itself" << QStringList {QStringLiteral("ok")};
    QTest::newRow("symbolic link named like the destination")
            << QStringList {QStringLiteral("L ./ %S/outside")} << "./"
            << "Path names the destination itself" << QStringList();
    QTest::newRow("hard link to an absolute path")
            << QStringList {QStringLiteral("H grab %S/outside/victim")} << "grab"
            << "Hard link target is absolute" << QStringList();
    QTest::newRow("hard link with a .. component")
            << QStringList {QStringLiteral("H grab ../outside/victim")} << "grab"
            << "Path contains '..'" << QStringList();
    QTest::newRow("hard link through a symbolic link")
            << QStringList {QStringLiteral("L link ../outside"),
                            QStringLiteral("H grab link/victim")}
            << "grab"
            << "Cannot extract through symlink %B/link/victim"
            << QStringList {QStringLiteral("link")};
}

void tst_Tar::refusesEscapes()
{
    QFETCH(QStringList, entries);
    QFETCH(QString, refusedName);
    QFETCH(QString, reason);
    QFETCH(QStringList, extractedBefore);
    const QString sandbox = path(QStringLiteral("sandbox"));
    const QString destination = sandbox + QLatin1String("/inst");
    QVERIFY(QDir().mkpath(sandbox + QLatin1String("/outside")));
    QVERIFY(writeFile(sandbox + QLatin1String("/outside/victim"), "victim\n"));
    for (QString &entry : entries)
        entry.replace(QLatin1String("%S"), sandbox);
    refusedName.replace(QLatin1String("%S"), sandbox);
    reason.replace(QLatin1String("%B"),
                   QFileInfo(sandbox).canonicalFilePath() + QLatin1String("/inst"));
    const QString archive = path(QStringLiteral("crafted.tar"));
    QVERIFY(writeCraftedArchive(archive, entries));
    if (refusedName.startsWith(QLatin1String("held/"))) {
        QVERIFY(QDir().mkpath(destination));
        QVERIFY(QFile::link(QStringLiteral("../outside"), destination + QLatin1String("/held")));
    }
    const QStringList outsideBefore = describeTree(sandbox + QLatin1String("/outside"));

    Tar tar(nullptr);
    Spies spies(&tar);
    QVERIFY(!tar.extract(archive, destination, entries.size()));
    const QString target = refusedName.startsWith(QLatin1Char('/'))
            ? refusedName
            : destination + QLatin1Char('/') + refusedName;
    QCOMPARE(texts(spies.error),
             QStringList {QStringLiteral("Error extracting \"%1\" to \"%2\": %3")
                                  .arg(refusedName, target, reason)});
    QCOMPARE(spies.cancelled.size(), 0);
    QCOMPARE(describeTree(sandbox + QLatin1String("/outside")), outsideBefore);
    QStringList present =
            QDir(destination).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    QCOMPARE(present, extractedBefore);
}

void tst_Tar::badArchives_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("countError");
    QTest::addColumn<QString>("extractError");

    // %A stands for the archive's path.
    QTest::newRow("truncated gzip stream")
            << "truncated gzip" << -1
            << "Error reading \"%A\": Truncated input file (needed 100352 bytes, only 0 available)."
            << "Error reading \"c\" from \"%A\": truncated gzip input";
    QTest::newRow("damaged tar header")
            << "damaged header" << -1 << "Error reading \"%A\": Damaged tar archive."
            << "Error reading \"%A\": Damaged tar archive.";
    QTest::newRow("no archive at all")
            << "no archive" << -1 << "Can't open \"%A\" for reading: Unrecognized archive format."
            << "Can't open \"%A\" for reading: Unrecognized archive format.";
    QTest::newRow("gzip-compressed text")
            << "gzip text" << -1 << "Can't open \"%A\" for reading: Unrecognized archive format."
            << "Can't open \"%A\" for reading: Unrecognized archive format.";
    QTest::newRow("ends in the middle of an entry")
            << "cut in entry" << -1
            << "Error reading \"%A\": Truncated input file (needed 100352 bytes, only 50000 "
               "available)."
            << "Error reading \"a/b\" from \"%A\": Truncated tar archive";
    QTest::newRow("no such file") << "missing" << -1
                                  << "Can't open \"%A\" for reading: Failed to open '%A'."
                                  << "Can't open \"%A\" for reading: Failed to open '%A'.";
}

void tst_Tar::badArchives()
{
    QFETCH(QString, damage);
    QFETCH(int, count);
    QFETCH(QString, countError);
    QFETCH(QString, extractError);

    // Three files of 100,000 bytes, "a/b", "c" and "d": more than the reader inflates ahead
    // while it opens the archive, so that a cut stream fails later, in an entry.
    const QString tree = path(QStringLiteral("tree"));
    QVERIFY(QDir().mkpath(tree + QLatin1String("/a")));
    // Letters in no simple order, so that the compressed archive is large enough to be cut.
    QByteArray noise;
    quint32 state = 12345;
    for (int i = 0; i < 100000; ++i) {
        state = state * 1103515245u + 12345u;
        noise.append(char('a' + (state >> 16) % 26));
    }
    for (const char *name : {"a/b", "c", "d"})
        QVERIFY(writeFile(tree + QLatin1Char('/') + QLatin1String(name), noise));
    const bool gzip = damage == QLatin1String("truncated gzip");
    const QString archive = path(QStringLiteral("bad.archive"));
    QVERIFY(run(QStringLiteral("tar"),
                {gzip ? QStringLiteral("-czf") : QStringLiteral("-cf"), archive,
                 QStringLiteral("-C"), tree, QStringLiteral("a/b"), QStringLiteral("c"),
                 QStringLiteral("d")}));
    QFile file(archive);
    if (damage == QLatin1String("truncated gzip")) {
        QVERIFY(file.resize(file.size() * 2 / 3));
    } else if (damage == QLatin1String("damaged header")) {
        // The name field of the second header: its checksum no longer matches.
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.seek(512 + 100352));
        QVERIFY(file.write("X") == 1);
        file.close();
    } else if (damage == QLatin1String("no archive")) {
        QVERIFY(writeFile(archive, QByteArray("This is a text, not an archive.\n").repeated(100)));
    } else if (damage == QLatin1String("gzip text")) {
        QVERIFY(writeFile(path(QStringLiteral("text")), QByteArray("Only words.\n").repeated(100)));
        QVERIFY(QFile::remove(archive));
        QVERIFY(run(QStringLiteral("gzip"), {path(QStringLiteral("text"))}));
        QVERIFY(QFile::rename(path(QStringLiteral("text.gz")), archive));
    } else if (damage == QLatin1String("cut in entry")) {
        QVERIFY(file.resize(512 + 50000));
    } else if (damage == QLatin1String("missing")) {
        QVERIFY(QFile::remove(archive));
    }
    countError.replace(QLatin1String("%A"), archive);
    extractError.replace(QLatin1String("%A"), archive);

    const QString sandbox = path(QStringLiteral("sandbox"));
    QVERIFY(QDir().mkpath(sandbox + QLatin1String("/neighbour")));
    QVERIFY(writeFile(sandbox + QLatin1String("/neighbour/file"), "untouched\n"));
    const QStringList sandboxBefore = describeTree(sandbox);

    Tar counting(nullptr);
    Spies countSpies(&counting);
    QCOMPARE(counting.countEntries(archive), count);
    QCOMPARE(texts(countSpies.error), QStringList {countError});

    Tar extracting(nullptr);
    Spies extractSpies(&extracting);
    const QString destination = sandbox + QLatin1String("/inst");
    QVERIFY(!extracting.extract(archive, destination, 3));
    QCOMPARE(texts(extractSpies.error), QStringList {extractError});
    QCOMPARE(extractSpies.cancelled.size() + countSpies.cancelled.size(), 0);
    QStringList outsideDestination;
    for (const QString &line : describeTree(sandbox))
        if (!line.startsWith(QLatin1String("inst")))
            outsideDestination.append(line);
    QCOMPARE(outsideDestination, sandboxBefore);
}

void tst_Tar::unwritableDestination()
{
    QVERIFY(buildSmallTree(path(QStringLiteral("src"))));
    const QString archive = path(QStringLiteral("small.tgz"));
    QVERIFY(run(QStringLiteral("tar"),
                {QStringLiteral("-czf"), archive, QStringLiteral("-C"), path(QStringLiteral("src")),
                 QStringLiteral("c")}));
    // A plain file stands where a directory of the destination's path would have to be.
    QVERIFY(writeFile(path(QStringLiteral("blocker")), "plain\n"));
    const QString destination = path(QStringLiteral("blocker/inst"));
    Tar tar(nullptr);
    Spies spies(&tar);
    QVERIFY(!tar.extract(archive, destination, 1));
    QCOMPARE(spies.error.size(), 1);
    const QString prefix = QStringLiteral("Error extracting \"c\" to \"%1/c\": ").arg(destination);
    QVERIFY2(spies.error.at(0).at(0).toString().startsWith(prefix),
             qPrintable(spies.error.at(0).at(0).toString()));
    QVERIFY(spies.error.at(0).at(0).toString().size() > prefix.size());
    QCOMPARE(contents(path(QStringLiteral("blocker"))), QByteArray("plain\n"));
}

void tst_Tar::cancelBeforeStart_data()
{
    QTest::addColumn<QString>("operation");
    QTest::newRow("countEntries") << "countEntries";
    QTest::newRow("extract") << "extract";
    QTest::newRow("countFiles") << "countFiles";
    QTest::newRow("copyTree") << "copyTree";
}

void tst_Tar::cancelBeforeStart()
{
    QFETCH(QString, operation);
    const QString source = path(QStringLiteral("src"));
    QVERIFY(buildSmallTree(source));
    const QString archive = path(QStringLiteral("small.tar"));
    QVERIFY(run(
            QStringLiteral("tar"),
            {QStringLiteral("-cf"), archive, QStringLiteral("-C"), source, QStringLiteral(".")}));
    const QString destination = path(QStringLiteral("inst"));

    Tar tar(nullptr);
    Spies spies(&tar);
    tar.cancel();
    // Once cancelled, every later call stops at its first check too.
    for (int call = 1; call <= 2; ++call) {
        if (operation == QLatin1String("countEntries"))
            QCOMPARE(tar.countEntries(archive), -1);
        else if (operation == QLatin1String("extract"))
            QVERIFY(!tar.extract(archive, destination, 4));
        else if (operation == QLatin1String("countFiles"))
            QCOMPARE(tar.countFiles(source), -1);
        else
            QVERIFY(!tar.copyTree(source, destination, 2, nullptr));
        QCOMPARE(spies.cancelled.size(), call);
    }
    QCOMPARE(spies.error.size() + spies.status.size() + spies.progress.size(), 0);
    QVERIFY(!QFileInfo::exists(destination));
}

void tst_Tar::cancelDuringExtract()
{
    QVERIFY(buildSmallTree(path(QStringLiteral("src"))));
    const QString archive = path(QStringLiteral("small.tar"));
    QVERIFY(run(QStringLiteral("tar"),
                {QStringLiteral("-cf"), archive, QStringLiteral("-C"), path(QStringLiteral("src")),
                 QStringLiteral("c"), QStringLiteral("a")}));
    Tar tar(nullptr);
    Spies spies(&tar);
    connect(&tar, &Tar::status, &tar, &Tar::cancel);
    const QString destination = path(QStringLiteral("inst"));
    QVERIFY(!tar.extract(archive, destination, 3));
    // The entry under way is finished; the check after the next header stops the rest.
    QCOMPARE(spies.cancelled.size(), 1);
    QCOMPARE(spies.status.size(), 1);
    QCOMPARE(progressValues(spies.progress), percentages({33}));
    QCOMPARE(spies.error.size(), 0);
    QCOMPARE(contents(destination + QLatin1String("/c")), QByteArray("c\n"));
    QVERIFY(!QFileInfo::exists(destination + QLatin1String("/a")));
}

void tst_Tar::cancelDuringCopyTree()
{
    const QString source = path(QStringLiteral("src"));
    QVERIFY(QDir().mkpath(source + QLatin1String("/a/b/c")));
    QVERIFY(writeFile(source + QLatin1String("/a/b/c/one"), "1\n"));
    QVERIFY(writeFile(source + QLatin1String("/a/b/c/two"), "2\n"));
    QVERIFY(writeFile(source + QLatin1String("/z"), "z\n"));
    Tar tar(nullptr);
    Spies spies(&tar);
    connect(&tar, &Tar::status, &tar, [&tar](const QString &text) {
        if (text.startsWith(QLatin1String("Copying \"one\"")))
            tar.cancel();
    });
    const QString destination = path(QStringLiteral("inst"));
    QVERIFY(!tar.copyTree(source, destination, 3, nullptr));
    // Four nested walks stop, and the cancellation is reported once.
    QCOMPARE(spies.cancelled.size(), 1);
    QCOMPARE(spies.error.size(), 0);
    QCOMPARE(progressValues(spies.progress), percentages({33}));
    QVERIFY(QFileInfo::exists(destination + QLatin1String("/a/b/c/one")));
    QVERIFY(!QFileInfo::exists(destination + QLatin1String("/a/b/c/two")));
    QVERIFY(!QFileInfo::exists(destination + QLatin1String("/z")));
}

void tst_Tar::cancelFromAnotherThread()
{
    // The install thread's owner cancels from the user-interface thread while the worker
    // extracts; the worker is held inside its first entry until the flag is set.
    QVERIFY(buildSmallTree(path(QStringLiteral("src"))));
    const QString archive = path(QStringLiteral("small.tgz"));
    QVERIFY(run(QStringLiteral("tar"),
                {QStringLiteral("-czf"), archive, QStringLiteral("-C"), path(QStringLiteral("src")),
                 QStringLiteral("c"), QStringLiteral("a")}));
    Tar tar(nullptr);
    Spies spies(&tar);
    QSemaphore reached;
    QSemaphore resume;
    connect(
            &tar, &Tar::status, &tar,
            [&] {
                reached.release();
                resume.acquire();
            },
            Qt::DirectConnection);
    bool result = true;
    const QString destination = path(QStringLiteral("inst"));
    std::unique_ptr<QThread> worker(
            QThread::create([&] { result = tar.extract(archive, destination, 3); }));
    worker->start();
    reached.acquire();
    tar.cancel();
    resume.release(3);
    QVERIFY(worker->wait(30000));
    QVERIFY(!result);
    QCOMPARE(spies.cancelled.size(), 1);
    QCOMPARE(spies.status.size(), 1);
    QCOMPARE(spies.error.size(), 0);
}

void tst_Tar::countAndCopyTree()
{
    const QString source = path(QStringLiteral("src"));
    QVERIFY(QDir().mkpath(source + QLatin1String("/sub")));
    QVERIFY(writeFile(source + QLatin1String("/.hidden"), "hidden\n"));
    QVERIFY(writeFile(source + QLatin1String("/b.txt"), "b\n"));
    QVERIFY(writeFile(source + QLatin1String("/A.txt"), "A\n"));
    QVERIFY(writeFile(source + QLatin1String("/sub/c.txt"), "c\n"));
    QVERIFY(QFile::link(QStringLiteral("b.txt"), source + QLatin1String("/filelink")));
    QVERIFY(QFile::link(QStringLiteral("sub"), source + QLatin1String("/dirlink")));
    QVERIFY(QFile::link(QStringLiteral("nowhere"), source + QLatin1String("/broken")));
    QCOMPARE(::mkfifo(encoded(source + QLatin1String("/fifo")).constData(), 0644), 0);

    Tar tar(nullptr);
    Spies spies(&tar);
    QCOMPARE(tar.countFiles(source), 5);
    const QString destination = path(QStringLiteral("inst"));
    QVERIFY(tar.copyTree(source, destination, 5, nullptr));
    QCOMPARE(texts(spies.error), QStringList());
    const QString d = destination;
    const QStringList expectedStatus {
            QStringLiteral("Creating directory \"%1\"").arg(d),
            QStringLiteral("Copying \"A.txt\" to \"%1\"").arg(d),
            QStringLiteral("Copying \"b.txt\" to \"%1\"").arg(d),
            QStringLiteral("Creating directory \"%1/dirlink\"").arg(d),
            QStringLiteral("Copying \"c.txt\" to \"%1/dirlink\"").arg(d),
            QStringLiteral("Copying \"filelink\" to \"%1\"").arg(d),
            QStringLiteral("Creating directory \"%1/sub\"").arg(d),
            QStringLiteral("Copying \"c.txt\" to \"%1/sub\"").arg(d),
    };
    QCOMPARE(texts(spies.status), expectedStatus);
    QCOMPARE(progressValues(spies.progress), percentages({20, 40, 60, 80, 100}));

    // Links are followed: the copy holds plain files and directories only.
    QStringList copied;
    QDirIterator it(destination,
                    QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        QVERIFY(!info.isSymLink());
        copied.append(info.filePath().mid(destination.size() + 1) +
                      (info.isDir() ? QLatin1String("/") : QLatin1String("")));
    }
    copied.sort();
    QCOMPARE(copied,
             (QStringList {QStringLiteral("A.txt"), QStringLiteral("b.txt"),
                           QStringLiteral("dirlink/"), QStringLiteral("dirlink/c.txt"),
                           QStringLiteral("filelink"), QStringLiteral("sub/"),
                           QStringLiteral("sub/c.txt")}));
    QCOMPARE(contents(destination + QLatin1String("/filelink")), QByteArray("b\n"));
    QCOMPARE(contents(destination + QLatin1String("/dirlink/c.txt")), QByteArray("c\n"));
}

void tst_Tar::copyTreeProgress_data()
{
    QTest::addColumn<int>("counterStart");
    QTest::addColumn<int>("total");
    QTest::addColumn<QVariantList>("progress");
    QTest::newRow("own counter") << -1 << 3 << percentages({33, 66, 100});
    QTest::newRow("shared counter, already at 2") << 2 << 5 << percentages({60, 80, 100});
    QTest::newRow("total 0: no progress") << -1 << 0 << QVariantList();
}

void tst_Tar::copyTreeProgress()
{
    QFETCH(int, counterStart);
    QFETCH(int, total);
    QFETCH(QVariantList, progress);
    const QString source = path(QStringLiteral("src"));
    QVERIFY(QDir().mkpath(source + QLatin1String("/x/y")));
    for (const char *name : {"one", "x/two", "x/y/three"})
        QVERIFY(writeFile(source + QLatin1Char('/') + QLatin1String(name), name));
    Tar tar(nullptr);
    QSignalSpy spy(&tar, &Tar::progress);
    int counter = counterStart;
    QVERIFY(tar.copyTree(source, path(QStringLiteral("inst")), total,
                         counterStart < 0 ? nullptr : &counter));
    QCOMPARE(progressValues(spy), progress);
    if (counterStart >= 0)
        QCOMPARE(counter, counterStart + 3);
}

void tst_Tar::treeWalkEnds()
{
    // Links back to the directory itself, to its parent and to the top are not followed; a link
    // to a directory that is no ancestor is.
    const QString source = path(QStringLiteral("src"));
    QVERIFY(QDir().mkpath(source + QLatin1String("/sub")));
    QVERIFY(writeFile(source + QLatin1String("/f.txt"), "f\n"));
    QVERIFY(writeFile(source + QLatin1String("/sub/g.txt"), "g\n"));
    QVERIFY(QFile::link(QStringLiteral(".."), source + QLatin1String("/sub/up")));
    QVERIFY(QFile::link(QStringLiteral("."), source + QLatin1String("/sub/self")));
    QVERIFY(QFile::link(source, source + QLatin1String("/sub/top")));
    QVERIFY(QFile::link(QStringLiteral("sub"), source + QLatin1String("/other")));

    Tar tar(nullptr);
    Spies spies(&tar);
    QCOMPARE(tar.countFiles(source), 3);
    const QString destination = path(QStringLiteral("inst"));
    QVERIFY(tar.copyTree(source, destination, 3, nullptr));
    QCOMPARE(spies.error.size(), 0);
    QCOMPARE(progressValues(spies.progress), percentages({33, 66, 100}));
    QCOMPARE(tar.countFiles(destination), 3);
    QVERIFY(QFileInfo::exists(destination + QLatin1String("/other/g.txt")));
    QVERIFY(!QFileInfo::exists(destination + QLatin1String("/sub/up")));
    QVERIFY(!QFileInfo::exists(destination + QLatin1String("/sub/self")));
    QVERIFY(!QFileInfo::exists(destination + QLatin1String("/sub/top")));
}

void tst_Tar::copyIntoItself()
{
    const QString source = path(QStringLiteral("src"));
    QVERIFY(QDir().mkpath(source + QLatin1String("/sub")));
    QVERIFY(writeFile(source + QLatin1String("/a.txt"), "a\n"));
    QVERIFY(writeFile(source + QLatin1String("/sub/b.txt"), "b\n"));
    Tar tar(nullptr);
    QSignalSpy errors(&tar, &Tar::error);
    QVERIFY(tar.copyTree(source, source + QLatin1String("/copy"), 2, nullptr));
    QCOMPARE(errors.size(), 0);
    QCOMPARE(contents(source + QLatin1String("/copy/sub/b.txt")), QByteArray("b\n"));
    QVERIFY(!QFileInfo::exists(source + QLatin1String("/copy/copy")));
    QCOMPARE(tar.countFiles(source), 4);
}

void tst_Tar::copyTreeIntoPlainFile()
{
    const QString source = path(QStringLiteral("src"));
    QVERIFY(QDir().mkpath(source + QLatin1String("/sub")));
    for (const char *name : {"a.txt", "b.txt", "sub/c.txt", "z.txt"})
        QVERIFY(writeFile(source + QLatin1Char('/') + QLatin1String(name), name));
    const QString plain = path(QStringLiteral("plain"));
    QVERIFY(writeFile(plain, "plain\n"));
    QVERIFY(makePath(plain));

    Tar tar(nullptr);
    Spies spies(&tar);
    QVERIFY(!tar.copyTree(source, plain, 4, nullptr));
    QCOMPARE(texts(spies.error),
             (QStringList {
                     QStringLiteral("Can't open \"%1/a.txt\" for writing.").arg(plain),
                     QStringLiteral("Can't open \"%1/b.txt\" for writing.").arg(plain),
                     QStringLiteral("Could not create directory \"%1/sub\".").arg(plain),
             }));
    QCOMPARE(progressValues(spies.progress), percentages({25, 50}));
    QCOMPARE(contents(plain), QByteArray("plain\n"));
}

void tst_Tar::copyTreeGoesOnAfterUnreadableFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("error");
    QTest::newRow("cannot be opened") << "mode 000"
                                      << "Can't open \"%1\" for reading.";
    QTest::newRow("reading fails") << "link to /proc/self/mem"
                                   << "Error reading from \"%1\".";
}

void tst_Tar::copyTreeGoesOnAfterUnreadableFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, error);
    if (kind == QLatin1String("mode 000") && ::geteuid() == 0)
        QSKIP("Permissions do not keep the superuser from reading a file.");
    const QString source = path(QStringLiteral("src"));
    QVERIFY(QDir().mkpath(source));
    QVERIFY(writeFile(source + QLatin1String("/a.txt"), "a\n"));
    QVERIFY(writeFile(source + QLatin1String("/c.txt"), "c\n"));
    const QString bad = source + QLatin1String("/b");
    if (kind == QLatin1String("mode 000"))
        QVERIFY(writeFile(bad, "b\n", 0));
    else
        QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), bad));

    Tar tar(nullptr);
    Spies spies(&tar);
    const QString destination = path(QStringLiteral("inst"));
    QVERIFY(tar.copyTree(source, destination, 3, nullptr));
    QCOMPARE(texts(spies.error), QStringList {error.arg(bad)});
    QCOMPARE(progressValues(spies.progress), percentages({33, 66, 100}));
    QCOMPARE(contents(destination + QLatin1String("/a.txt")), QByteArray("a\n"));
    QCOMPARE(contents(destination + QLatin1String("/c.txt")), QByteArray("c\n"));
}

void tst_Tar::copyFileAttributes_data()
{
    QTest::addColumn<int>("mask");
    QTest::addColumn<int>("sourceMode");
    QTest::addColumn<int>("expectedMode");
    QTest::newRow("0750 under 022") << 022 << 0750 << 0755;
    QTest::newRow("0640 under 022") << 022 << 0640 << 0644;
    QTest::newRow("0100 under 022") << 022 << 0100 << 0755;
    QTest::newRow("0604 under 022") << 022 << 0604 << 0644;
    QTest::newRow("set-user-id 04755 under 022") << 022 << 04755 << 0755;
    QTest::newRow("sticky 01666 under 022") << 022 << 01666 << 0644;
    QTest::newRow("0750 under 077") << 077 << 0750 << 0700;
    QTest::newRow("0644 under 0") << 0 << 0644 << 0666;
}

void tst_Tar::copyFileAttributes()
{
    QFETCH(int, mask);
    QFETCH(int, sourceMode);
    QFETCH(int, expectedMode);
    const QString source = path(QStringLiteral("source"));
    const QString destination = path(QStringLiteral("destination"));
    QByteArray data;
    for (int i = 0; i < 3 * 4096 + 17; ++i)
        data.append(char(i * 31));
    QVERIFY(writeFile(source, data, mode_t(sourceMode)));
    QVERIFY(setTimes(encoded(source), 1234567890, 750000000));
    // An older, longer file at the destination is replaced, not partly overwritten.
    QVERIFY(writeFile(destination, QByteArray(5 * 4096, 'o')));
    ::umask(mode_t(mask));

    Tar tar(nullptr);
    Spies spies(&tar);
    QVERIFY(tar.copyFile(source, destination));
    QCOMPARE(texts(spies.status),
             QStringList {QStringLiteral("Copying \"source\" to \"%1\"").arg(dir->path())});
    QCOMPARE(spies.error.size(), 0);
    // Read the times before the contents: reading moves the access time.
    struct stat st;
    QCOMPARE(::stat(encoded(destination).constData(), &st), 0);
    QCOMPARE(int(st.st_mode & 07777), expectedMode);
    QCOMPARE(qint64(st.st_mtime), qint64(1234567890));
    QCOMPARE(qint64(st.st_atime), qint64(1234567890));
    QCOMPARE(contents(destination), data);
}

void tst_Tar::copyFileErrors_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("error");

    // %T stands for the temporary directory, which holds the file "file".
    QTest::newRow("source missing") << "%T/missing"
                                    << "%T/out"
                                    << "Can't open \"%T/missing\" for reading.";
    QTest::newRow("destination directory missing") << "%T/file"
                                                   << "%T/nodir/out"
                                                   << "Can't open \"%T/nodir/out\" for writing.";
    QTest::newRow("destination is a directory") << "%T/file"
                                                << "%T"
                                                << "Can't open \"%T\" for writing.";
    QTest::newRow("copy onto itself") << "%T/file"
                                      << "%T/file"
                                      << "Can't open \"%T/file\" for writing.";
    QTest::newRow("copy onto itself through a link") << "%T/file"
                                                     << "%T/alias"
                                                     << "Can't open \"%T/alias\" for writing.";
    QTest::newRow("read fails") << "/proc/self/mem"
                                << "%T/out"
                                << "Error reading from \"/proc/self/mem\".";
    QTest::newRow("write fails: device full") << "%T/file"
                                              << "/dev/full"
                                              << "Error writing to \"/dev/full\".";
}

void tst_Tar::copyFileErrors()
{
    QFETCH(QString, source);
    QFETCH(QString, destination);
    QFETCH(QString, error);
    const QString temporary = dir->path();
    source.replace(QLatin1String("%T"), temporary);
    destination.replace(QLatin1String("%T"), temporary);
    error.replace(QLatin1String("%T"), temporary);
    const QByteArray original = QByteArray("original contents\n").repeated(1000);
    QVERIFY(writeFile(path(QStringLiteral("file")), original));
    QVERIFY(QFile::link(path(QStringLiteral("file")), path(QStringLiteral("alias"))));
    const int descriptors = openDescriptors();

    Tar tar(nullptr);
    Spies spies(&tar);
    QVERIFY(!tar.copyFile(source, destination));
    QCOMPARE(texts(spies.error), QStringList {error});
    QCOMPARE(openDescriptors(), descriptors);
    QCOMPARE(contents(path(QStringLiteral("file"))), original);
}

void tst_Tar::makePathCases_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("result");
    QTest::addColumn<bool>("directoryAfterwards");
    QTest::newRow("existing directory") << "existing" << true << true;
    QTest::newRow("existing plain file") << "plain" << true << false;
    QTest::newRow("three missing levels") << "existing/one/two/three" << true << true;
    QTest::newRow("trailing slash") << "existing/new/" << true << true;
    QTest::newRow("below a plain file") << "plain/below" << false << false;
}

void tst_Tar::makePathCases()
{
    QFETCH(QString, relative);
    QFETCH(bool, result);
    QFETCH(bool, directoryAfterwards);
    QVERIFY(QDir().mkpath(path(QStringLiteral("existing"))));
    QVERIFY(writeFile(path(QStringLiteral("plain")), "plain\n"));
    const QString target = path(relative);
    QCOMPARE(makePath(target), result);
    QCOMPARE(QFileInfo(target).isDir(), directoryAfterwards);
    if (directoryAfterwards) {
        struct stat st;
        QCOMPARE(::stat(encoded(target).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), 0755);
    }
    QCOMPARE(contents(path(QStringLiteral("plain"))), QByteArray("plain\n"));
}

QTEST_GUILESS_MAIN(tst_Tar)
#include "tst_tar.moc"
