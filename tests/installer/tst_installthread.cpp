#include "installfixtures.h"
#include "installthread.h"
#include "tar.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

class tst_InstallThread : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void mkdirRecursiveModes_data();
    void mkdirRecursiveModes();
    void mkdirRecursiveExisting_data();
    void mkdirRecursiveExisting();
    void installs_data();
    void installs();
    void archiveWinsOverTree();
    void emptyTree();
    void crayStatusLine_data();
    void crayStatusLine();
    void missingLibraries();
    void failures_data();
    void failures();
    void extractionErrorPassedOn();
    void treeCopyErrorIsNotFinished();

private:
    // Runs a thread to its end, recording what it emits on this thread.
    void runThread(const QString &source, const QString &destination, SignalRecorder *recorder,
                   QStringList *missing = nullptr);
    QScopedPointer<QTemporaryDir> work;
    QString path(const QString &relative) const { return work->filePath(relative); }
};

void tst_InstallThread::init()
{
    work.reset(new QTemporaryDir);
    QVERIFY(work->isValid());
    InstallThread::setCrayMarkerPath(path(QStringLiteral("no-alps")));
}

void tst_InstallThread::cleanup()
{
    InstallThread::setCrayMarkerPath(QStringLiteral("/var/log/alps"));
}

void tst_InstallThread::runThread(const QString &source, const QString &destination,
                                  SignalRecorder *recorder, QStringList *missing)
{
    InstallThread thread(source, destination);
    connect(&thread, &InstallThread::status, recorder, &SignalRecorder::onStatus,
            Qt::QueuedConnection);
    connect(&thread, &InstallThread::error, recorder, &SignalRecorder::onError,
            Qt::QueuedConnection);
    connect(&thread, &InstallThread::progress, recorder, &SignalRecorder::onProgress,
            Qt::QueuedConnection);
    connect(&thread, &InstallThread::cancelled, recorder, &SignalRecorder::onCancelled,
            Qt::QueuedConnection);
    connect(&thread, &InstallThread::installerFinished, recorder, &SignalRecorder::onFinished,
            Qt::QueuedConnection);
    thread.start();
    // Polled from this thread: a signal spy on finished() would be written from the worker.
    QTRY_VERIFY_WITH_TIMEOUT(thread.isFinished(), 60000);
    // Let every queued signal of the worker reach the recorder.
    QCoreApplication::processEvents();
    if (missing)
        *missing = thread.missingLibraryNames;
}

static mode_t modeOf(const QString &path)
{
    struct stat info;
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return mode_t(-1);
    return info.st_mode & 07777;
}

void tst_InstallThread::mkdirRecursiveModes_data()
{
    QTest::addColumn<int>("mask");
    QTest::addColumn<int>("parentMode");
    QTest::addColumn<int>("leafMode");

    QTest::newRow("mask 022") << 022 << 0755 << 0755;
    QTest::newRow("mask 077") << 077 << 0700 << 0700;
    QTest::newRow("mask 002") << 002 << 0775 << 0755;
}

void tst_InstallThread::mkdirRecursiveModes()
{
    QFETCH(int, mask);
    QFETCH(int, parentMode);
    QFETCH(int, leafMode);

    const mode_t previous = ::umask(mode_t(mask));
    const int result = mkdirRecursive(path(QStringLiteral("one/two")), 0755);
    const int deeper = mkdirRecursive(path(QStringLiteral("a/b/c")), 0755);
    ::umask(previous);
    QCOMPARE(result, 0);
    QCOMPARE(deeper, 0);
    QCOMPARE(int(modeOf(path(QStringLiteral("one")))), parentMode);
    QCOMPARE(int(modeOf(path(QStringLiteral("one/two")))), leafMode);
    QCOMPARE(int(modeOf(path(QStringLiteral("a")))), parentMode);
    QCOMPARE(int(modeOf(path(QStringLiteral("a/b")))), parentMode);
    QCOMPARE(int(modeOf(path(QStringLiteral("a/b/c")))), leafMode);
}

void tst_InstallThread::mkdirRecursiveExisting_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("error");

    QTest::newRow("existing directory") << QStringLiteral("dir") << 0 << 0;
    QTest::newRow("link to a directory") << QStringLiteral("dirlink") << 0 << 0;
    QTest::newRow("plain file") << QStringLiteral("file") << -1 << EEXIST;
    QTest::newRow("dangling link") << QStringLiteral("dangling") << -1 << EEXIST;
    QTest::newRow("below a plain file") << QStringLiteral("file/sub") << -1 << EEXIST;
}

void tst_InstallThread::mkdirRecursiveExisting()
{
    QFETCH(QString, target);
    QFETCH(int, result);
    QFETCH(int, error);

    QVERIFY(QDir().mkpath(path(QStringLiteral("dir"))));
    QVERIFY(QFile::link(path(QStringLiteral("dir")), path(QStringLiteral("dirlink"))));
    QVERIFY(QFile::link(path(QStringLiteral("nowhere")), path(QStringLiteral("dangling"))));
    QVERIFY(writeFile(path(QStringLiteral("file")), "x"));

    errno = 0;
    QCOMPARE(mkdirRecursive(path(target), 0755), result);
    if (result != 0)
        QCOMPARE(errno, error);
}

void tst_InstallThread::installs_data()
{
    QTest::addColumn<bool>("fromArchive");
    QTest::newRow("archive") << true;
    QTest::newRow("tree") << false;
}

void tst_InstallThread::installs()
{
    QFETCH(bool, fromArchive);

    const QString suite = path(QStringLiteral("suite"));
    QVERIFY(writeSuite(suite));
    QString source = suite;
    if (fromArchive) {
        source = path(QStringLiteral("source"));
        QVERIFY(QDir().mkpath(source));
        QVERIFY(packWithTar(suite, source + QLatin1String("/orvex.tgz")));
    }
    // Parents that do not exist yet are made.
    const QString destination = path(QStringLiteral("opt/tavrin/orvex"));

    SignalRecorder recorder;
    runThread(source, destination, &recorder);

    const QStringList own {QStringLiteral("Examining source directory \"%1\"").arg(source),
                           QStringLiteral("Creating destination directory \"%1\"").arg(destination),
                           QStringLiteral("Counting files"), QStringLiteral("Copying files")};
    const QStringList statuses = recorder.of(QStringLiteral("status"));
    QCOMPARE(statuses.mid(0, 4), own);
    QVERIFY(statuses.size() > 4); // the per-file lines of the copy
    QCOMPARE(recorder.count(QStringLiteral("error")), 0);
    QCOMPARE(recorder.count(QStringLiteral("cancelled")), 0);
    QCOMPARE(recorder.count(QStringLiteral("finished")), 1);

    const QStringList progress = recorder.of(QStringLiteral("progress"));
    QVERIFY(!progress.isEmpty());
    QCOMPARE(progress.last(), QStringLiteral("100"));
    for (int i = 1; i < progress.size(); ++i)
        QVERIFY(progress.at(i).toInt() >= progress.at(i - 1).toInt());

    QFile zuv(destination + QLatin1String("/bin/zuv"));
    QVERIFY(zuv.open(QIODevice::ReadOnly));
    QCOMPARE(zuv.readAll(), QByteArray("#!/bin/sh\necho zuv\n"));
    // An archive keeps the modes it stores; a tree copy makes files 0777 or 0666 by their owner's
    // execute bit, less the file-creation mask.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    QCOMPARE(int(modeOf(destination + QLatin1String("/bin/zuv"))),
             fromArchive ? 0755 : int(0777 & ~mask));
    QCOMPARE(int(modeOf(destination + QLatin1String("/share/data.txt"))),
             fromArchive ? 0600 : int(0666 & ~mask));
    QCOMPARE(QFileInfo(destination + QLatin1String("/share/data.txt")).size(), qint64(10000));
    QCOMPARE(QFileInfo(destination + QLatin1String("/doc/RELEASE-NOTES"))
                     .lastModified()
                     .toSecsSinceEpoch(),
             qint64(1700000003));
    const QFileInfo marker(destination + QLatin1String("/.installed"));
    QVERIFY(marker.isFile());
    QCOMPARE(marker.size(), qint64(0));
}

void tst_InstallThread::archiveWinsOverTree()
{
    const QString suite = path(QStringLiteral("suite"));
    QVERIFY(writeSuite(suite));
    QVERIFY(writeFile(suite + QLatin1String("/from-archive"), "a"));
    const QString source = path(QStringLiteral("source"));
    QVERIFY(writeFile(source + QLatin1String("/bin/zuv"), "tree"));
    QVERIFY(writeFile(source + QLatin1String("/from-tree"), "t"));
    QVERIFY(packWithTar(suite, source + QLatin1String("/orvex.tgz")));

    SignalRecorder recorder;
    const QString destination = path(QStringLiteral("dest"));
    runThread(source, destination, &recorder);
    QCOMPARE(recorder.count(QStringLiteral("finished")), 1);
    QVERIFY(QFileInfo::exists(destination + QLatin1String("/from-archive")));
    QVERIFY(!QFileInfo::exists(destination + QLatin1String("/from-tree")));
    QVERIFY(!QFileInfo::exists(destination + QLatin1String("/orvex.tgz")));
}

void tst_InstallThread::emptyTree()
{
    // bin/zuv as a directory: the tree qualifies and holds no file at all.
    const QString source = path(QStringLiteral("source"));
    QVERIFY(QDir().mkpath(source + QLatin1String("/bin/zuv")));
    SignalRecorder recorder;
    const QString destination = path(QStringLiteral("dest"));
    runThread(source, destination, &recorder);
    QCOMPARE(recorder.count(QStringLiteral("progress")), 0);
    QCOMPARE(recorder.count(QStringLiteral("finished")), 1);
    QVERIFY(QFileInfo(destination + QLatin1String("/.installed")).isFile());
}

void tst_InstallThread::crayStatusLine_data()
{
    QTest::addColumn<bool>("cray");
    QTest::newRow("Cray XT") << true;
    QTest::newRow("other system") << false;
}

void tst_InstallThread::crayStatusLine()
{
    QFETCH(bool, cray);
    const QString alps = path(QStringLiteral("log/alps"));
    if (cray)
        QVERIFY(QDir().mkpath(alps));
    InstallThread::setCrayMarkerPath(alps);

    const QString source = path(QStringLiteral("source"));
    QVERIFY(writeSuite(source));
    SignalRecorder recorder;
    runThread(source, path(QStringLiteral("dest")), &recorder);

    const QString line = QStringLiteral("status:Copying files for Cray XT system");
    QCOMPARE(recorder.events.count(line), cray ? 1 : 0);
    QCOMPARE(recorder.events.last(), QStringLiteral("finished:"));
    if (cray) {
        // After the copy: every thread line before it is the copy's.
        const int at = recorder.events.indexOf(line);
        QVERIFY(recorder.events.indexOf(QStringLiteral("status:Copying files")) < at);
    }
}

void tst_InstallThread::missingLibraries()
{
    // The two programs the thread checks, built by the test suite: orvex.bin needs two libraries
    // that are absent, gdb one of the same two.
    const QString suite = path(QStringLiteral("suite"));
    QVERIFY(writeSuite(suite));
    QVERIFY(QDir().mkpath(suite + QLatin1String("/libexec")));
    QVERIFY(QFile::copy(QStringLiteral(ORVEX_NEEDS_TWO_PATH),
                        suite + QLatin1String("/libexec/orvex.bin")));
    QVERIFY(QFile::copy(QStringLiteral(ORVEX_NEEDS_ONE_PATH),
                        suite + QLatin1String("/libexec/gdb")));
    const QString source = path(QStringLiteral("source"));
    QVERIFY(QDir().mkpath(source));
    QVERIFY(packWithTar(suite, source + QLatin1String("/orvex.tgz")));

    SignalRecorder recorder;
    QStringList missing;
    runThread(source, path(QStringLiteral("dest")), &recorder, &missing);
    QCOMPARE(recorder.count(QStringLiteral("finished")), 1);
    QCOMPARE(missing,
             (QStringList {QStringLiteral("liborvexabsent.so"),
                           QStringLiteral("liborvexabsenttoo.so"),
                           QStringLiteral("liborvexabsenttoo.so")}));
}

void tst_InstallThread::failures_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("expected"); // %S the source, %D the destination

    QTest::newRow("missing source")
            << QStringLiteral("none") << QStringLiteral("Source directory \"%S\" does not exist.");
    QTest::newRow("only bin/hok")
            << QStringLiteral("hok")
            << QStringLiteral("Tavrin Orvex installation files not found in \"%S\".");
    QTest::newRow("destination is a file")
            << QStringLiteral("file-destination")
            << QStringLiteral("Could not create destination directory \"%D\". ") +
                    QString::fromLocal8Bit(std::strerror(EEXIST));
    QTest::newRow("marker cannot be created")
            << QStringLiteral("marker-directory")
            << QStringLiteral("Could not create \"%D/.installed\".");
}

void tst_InstallThread::failures()
{
    QFETCH(QString, setup);
    QFETCH(QString, expected);

    const QString source = path(QStringLiteral("source"));
    const QString destination = path(QStringLiteral("dest"));
    if (setup == QLatin1String("hok")) {
        QVERIFY(writeFile(source + QLatin1String("/bin/hok"), "hok"));
    } else if (setup == QLatin1String("file-destination")) {
        QVERIFY(writeSuite(source));
        QVERIFY(writeFile(destination, "in the way"));
    } else if (setup == QLatin1String("marker-directory")) {
        // The payload itself brings a directory where the marker goes.
        const QString suite = path(QStringLiteral("suite"));
        QVERIFY(writeSuite(suite));
        QVERIFY(writeFile(suite + QLatin1String("/.installed/inside"), "x"));
        QVERIFY(QDir().mkpath(source));
        QVERIFY(packWithTar(suite, source + QLatin1String("/orvex.tgz")));
    }

    SignalRecorder recorder;
    runThread(source, destination, &recorder);
    expected.replace(QLatin1String("%S"), source).replace(QLatin1String("%D"), destination);
    QCOMPARE(recorder.of(QStringLiteral("error")), QStringList {expected});
    QCOMPARE(recorder.count(QStringLiteral("finished")), 0);
    QCOMPARE(recorder.count(QStringLiteral("cancelled")), 0);
    QCOMPARE(recorder.events.last(), QStringLiteral("error:") + expected);
}

void tst_InstallThread::extractionErrorPassedOn()
{
    // An archive cut short: the thread reports exactly what the archive reader says.
    const QString suite = path(QStringLiteral("suite"));
    QVERIFY(writeSuite(suite, 50));
    const QString source = path(QStringLiteral("source"));
    QVERIFY(QDir().mkpath(source));
    const QString archive = source + QLatin1String("/orvex.tgz");
    QVERIFY(packWithTar(suite, archive));
    QFile file(archive);
    QVERIFY(file.resize(file.size() / 2));

    Tar reference(nullptr);
    QSignalSpy referenceErrors(&reference, &Tar::error);
    const int count = reference.countEntries(archive);
    QVERIFY(count == -1 || !reference.extract(archive, path(QStringLiteral("reference")), count));
    QCOMPARE(referenceErrors.size(), 1);
    const QString readerText = referenceErrors.at(0).at(0).toString();

    SignalRecorder recorder;
    runThread(source, path(QStringLiteral("dest")), &recorder);
    QString expected = readerText;
    expected.replace(path(QStringLiteral("reference")), path(QStringLiteral("dest")));
    QCOMPARE(recorder.of(QStringLiteral("error")), QStringList {expected});
    QCOMPARE(recorder.count(QStringLiteral("finished")), 0);
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("dest/.installed"))));
}

void tst_InstallThread::treeCopyErrorIsNotFinished()
{
    // One file cannot be written: a directory stands where it goes (this fails for root too).
    const QString source = path(QStringLiteral("source"));
    QVERIFY(writeSuite(source));
    QVERIFY(QDir().mkpath(path(QStringLiteral("dest/bin/hok"))));
    SignalRecorder recorder;
    runThread(source, path(QStringLiteral("dest")), &recorder);
    QCOMPARE(recorder.count(QStringLiteral("error")), 1);
    QCOMPARE(recorder.count(QStringLiteral("finished")), 0);
    QCOMPARE(recorder.count(QStringLiteral("cancelled")), 0);
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("dest/.installed"))));
    // The walk went on past the file that failed.
    QVERIFY(QFileInfo::exists(path(QStringLiteral("dest/bin/zuv"))));
    QVERIFY(QFileInfo::exists(path(QStringLiteral("dest/share/data.txt"))));
}

QTEST_GUILESS_MAIN(tst_InstallThread)
#include "tst_installthread.moc"
