#include "archive/treefixtures.h"
#include "processrunner.h"
#include "tar.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString program = QStringLiteral(ORVEX_PACK_PROGRAM);

const char usageText[] =
        "Usage: orvex-pack [OPTION]... ARCHIVE DIRECTORY\n"
        "Pack the files below DIRECTORY into ARCHIVE, a tar archive in the pax format, each\n"
        "stored under its path relative to DIRECTORY.\n"
        "\n"
        "  -z, --gzip          compress the archive with gzip\n"
        "  -s, --stub FILE     put the stub program FILE in front of the archive and record\n"
        "                      where the archive starts in the stub's marker, making one\n"
        "                      executable file\n"
        "  -v, --verbose       print the name of each file as it is added\n"
        "  -h, --help          display this help and exit\n"
        "      --version       output version information and exit\n"
        "\n"
        "Files and directories whose names begin with a dot, broken symbolic links, special\n"
        "files and empty directories are not packed; symbolic links are stored as links.\n"
        "ARCHIVE is replaced only once the new archive is complete: on an error or an\n"
        "interruption an existing ARCHIVE is left as it was.\n"
        "\n"
        "Exit status: 0 on success, 1 when packing failed, 2 for a wrong command line.\n";

// The packer runs in this process's environment, and for a minute at the most.
ProcessResult runPack(const QStringList &arguments, const QString &workingDirectory = QString())
{
    return runProgram(program, arguments, QProcessEnvironment::systemEnvironment(),
                      workingDirectory, 60000);
}

// Runs the packer as a user who owns none of the test's files: as root through setpriv(1) as
// "nobody", otherwise as this user, whom the file modes keep out.
ProcessResult runPackUnprivileged(const QStringList &arguments)
{
    if (::getuid() != 0)
        return runPack(arguments);
    return runProgram(
            QStringLiteral("setpriv"),
            QStringList {QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                         QStringLiteral("--clear-groups"), QStringLiteral("--"), program} +
                    arguments,
            QProcessEnvironment::systemEnvironment(), QString(), 60000);
}

// Keeps a file or directory from runPackUnprivileged(): another owner's 0600/0700 as root,
// no permissions at all otherwise.
bool lockAway(const QString &path, bool directory)
{
    return ::chmod(encoded(path).constData(), ::getuid() == 0 ? (directory ? 0700 : 0600) : 0) == 0;
}

// The signal mask of a process as /proc shows it, for one line ("SigIgn", "SigCgt").
quint64 signalMask(qint64 pid, const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().toULongLong(nullptr, 16);
    return 0;
}

mode_t modeOf(const QString &path)
{
    struct stat st;
    return ::lstat(encoded(path).constData(), &st) == 0 ? st.st_mode & 07777 : mode_t(-1);
}

QStringList lines(const QByteArray &text)
{
    return QString::fromLocal8Bit(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// The names GNU tar lists in an archive.
QStringList tarListing(const QString &archive)
{
    QProcess tar;
    tar.start(QStringLiteral("tar"), {QStringLiteral("-tf"), archive});
    if (!tar.waitForFinished(60000) || tar.exitCode() != 0)
        return {QStringLiteral("<tar failed>")};
    return lines(tar.readAllStandardOutput());
}

// Files and links with everything describeTree() records; directories by name and mode only,
// since an archive of files alone leaves their times to the extraction.
QStringList describeInstalled(const QString &root)
{
    QStringList result;
    for (const QString &line : describeTree(root)) {
        if (!line.endsWith(QLatin1String(" dir"))) {
            result.append(line);
            continue;
        }
        const QStringList fields = line.split(QLatin1Char(' '));
        result.append(fields.first() + QLatin1Char(' ') + fields.at(2) + QLatin1String(" dir"));
    }
    return result;
}

} // namespace

class tst_OrvexPack : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();

    void help_data();
    void help();
    void version();
    void usageErrors_data();
    void usageErrors();
    void packsTree_data();
    void packsTree();
    void verboseLines();
    void doubleDashEndsOptions();
    void progressBarOnTerminal_data();
    void progressBarOnTerminal();
    void selfExtracting();
    void failureKeepsOldArchive();
    void notADirectory();
    void oldArchiveInsideTreeNotPacked();
    void writesThroughLink();
    void interrupted();
    void ignoredHangupStaysIgnored();
    void interruptedWhileOutputBlocked();
    void writesToPipe();
    void unreadableDirectoryFails();
    void verboseStopsAtFailure();
    void foreignLinkInSharedDirectoryReplaced_data();
    void foreignLinkInSharedDirectoryReplaced();
    void longArchiveName();
    void demonstrationDistribution();

private:
    QString path(const QString &relative) const { return dir->filePath(relative); }
    // A small installation tree: "bin/tool", "doc/README", "lib/link" -> "../bin/tool".
    bool buildTree(const QString &root) const;
    // Starts packing ("-zv") a tree of "a-first" and a 64 GiB sparse "b-huge" into archive and
    // returns once the packer has begun on the large file, so that a signal finds it inside.
    void startInsideHugeFile(QProcess &process, const QString &archive);

    std::unique_ptr<QTemporaryDir> dir;
};

void tst_OrvexPack::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

bool tst_OrvexPack::buildTree(const QString &root) const
{
    return QDir().mkpath(root + QLatin1String("/bin")) &&
            QDir().mkpath(root + QLatin1String("/doc")) &&
            QDir().mkpath(root + QLatin1String("/lib")) &&
            writeFile(root + QLatin1String("/bin/tool"), "#!/bin/sh\n", 0755) &&
            writeFile(root + QLatin1String("/doc/README"), QByteArray(20000, 'r'), 0644) &&
            ::symlink("../bin/tool", encoded(root + QLatin1String("/lib/link")).constData()) == 0;
}

void tst_OrvexPack::startInsideHugeFile(QProcess &process, const QString &archive)
{
    const QString tree = path(QStringLiteral("tree"));
    QVERIFY(QDir().mkpath(tree));
    QVERIFY(writeFile(tree + QLatin1String("/a-first"), "first"));
    QVERIFY(writeSparseFile(tree + QLatin1String("/b-huge"), qint64(64) << 30));
    process.start(program, {QStringLiteral("-zv"), archive, tree});
    QVERIFY(process.waitForStarted());
    QByteArray out;
    while (!out.contains("b-huge\n") && process.waitForReadyRead(30000))
        out += process.readAllStandardOutput();
    QVERIFY(out.contains("b-huge\n"));
}

void tst_OrvexPack::help_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("-h") << QStringList {QStringLiteral("-h")};
    QTest::newRow("--help") << QStringList {QStringLiteral("--help")};
    QTest::newRow("--help among other arguments")
            << QStringList {QStringLiteral("-z"), QStringLiteral("--help"), QStringLiteral("a")};
}

void tst_OrvexPack::help()
{
    QFETCH(QStringList, arguments);
    const ProcessResult outcome = runPack(arguments);
    QVERIFY(outcome.finished);
    QCOMPARE(outcome.exitCode, 0);
    QCOMPARE(outcome.standardOutput, QByteArray(usageText));
    QCOMPARE(outcome.standardError, QByteArray());
}

void tst_OrvexPack::version()
{
    const ProcessResult outcome = runPack({QStringLiteral("--version")});
    QCOMPARE(outcome.exitCode, 0);
    QCOMPARE(outcome.standardOutput, QByteArray("orvex-pack (Tavrin Orvex) " ORVEX_VERSION "\n"));
}

void tst_OrvexPack::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("nothing") << QStringList() << QByteArray("missing ARCHIVE and DIRECTORY");
    QTest::newRow("archive only") << QStringList {QStringLiteral("a.tgz")}
                                  << QByteArray("missing DIRECTORY");
    QTest::newRow("three operands")
            << QStringList {QStringLiteral("a.tgz"), QStringLiteral("d"), QStringLiteral("c")}
            << QByteArray("unexpected argument \"c\"");
    QTest::newRow("unknown option")
            << QStringList {QStringLiteral("-x"), QStringLiteral("a.tgz"), QStringLiteral("d")}
            << QByteArray("Unknown option 'x'.");
    QTest::newRow("unknown option among compacted ones")
            << QStringList {QStringLiteral("-zq"), QStringLiteral("a.tgz"), QStringLiteral("d")}
            << QByteArray("Unknown option 'q'.");
    QTest::newRow("stub without its file") << QStringList {QStringLiteral("--stub")}
                                           << QByteArray("Missing value after '--stub'.");
    QTest::newRow("stub twice") << QStringList {QStringLiteral("-s"),    QStringLiteral("x"),
                                                QStringLiteral("-s"),    QStringLiteral("y"),
                                                QStringLiteral("a.tgz"), QStringLiteral("d")}
                                << QByteArray("--stub given more than once");
    QTest::newRow("empty stub name")
            << QStringList {QStringLiteral("--stub="), QStringLiteral("a.tgz"), QStringLiteral("d")}
            << QByteArray("the stub's file name is empty");
}

// A wrong command line says what is wrong and where help is, and touches nothing.
void tst_OrvexPack::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, message);
    const ProcessResult outcome = runPack(arguments, dir->path());
    QVERIFY(outcome.finished);
    QCOMPARE(outcome.exitStatus, QProcess::NormalExit);
    QCOMPARE(outcome.exitCode, 2);
    QCOMPARE(outcome.standardOutput, QByteArray());
    QCOMPARE(outcome.standardError,
             "orvex-pack: " + message + "\nTry 'orvex-pack --help' for more information.\n");
    QCOMPARE(QDir(dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
}

void tst_OrvexPack::packsTree_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("compressed");
    QTest::newRow("plain") << QStringList() << false;
    QTest::newRow("-z") << QStringList {QStringLiteral("-z")} << true;
    QTest::newRow("--gzip") << QStringList {QStringLiteral("--gzip")} << true;
    QTest::newRow("-zv") << QStringList {QStringLiteral("-zv")} << true;
}

void tst_OrvexPack::packsTree()
{
    QFETCH(QStringList, options);
    QFETCH(bool, compressed);
    const QString tree = path(QStringLiteral("tree"));
    QVERIFY(buildTree(tree));
    const QString archive = path(QStringLiteral("suite.tgz"));
    // A trailing slash on the directory changes nothing about the names.
    const ProcessResult outcome = runPack(options + QStringList {archive, tree + QLatin1Char('/')});
    QVERIFY(outcome.finished);
    QCOMPARE(outcome.standardError, QByteArray());
    QCOMPARE(outcome.exitCode, 0);
    const QStringList names {QStringLiteral("bin/tool"), QStringLiteral("doc/README"),
                             QStringLiteral("lib/link")};
    QCOMPARE(lines(outcome.standardOutput),
             options.contains(QLatin1String("-zv")) ? names : QStringList());
    QCOMPARE(modeOf(archive), mode_t(0644));
    QCOMPARE(contents(archive).startsWith("\x1f\x8b"), compressed);
    QCOMPARE(tarListing(archive), names);

    const QString unpacked = path(QStringLiteral("unpacked"));
    QVERIFY(QDir().mkpath(unpacked));
    QVERIFY(run(QStringLiteral("tar"),
                {QStringLiteral("-xpf"), archive, QStringLiteral("-C"), unpacked}));
    QCOMPARE(describeInstalled(unpacked), describeInstalled(tree));
    // Nothing is left beside the archive.
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden),
             QStringList {QStringLiteral("suite.tgz")});
}

void tst_OrvexPack::verboseLines()
{
    const QString tree = path(QStringLiteral("tree"));
    QVERIFY(buildTree(tree));
    const ProcessResult outcome =
            runPack({QStringLiteral("--verbose"), path(QStringLiteral("a.tar")), tree});
    QCOMPARE(outcome.exitCode, 0);
    QCOMPARE(outcome.standardOutput, QByteArray("bin/tool\ndoc/README\nlib/link\n"));
    // Not on a terminal: no progress bar.
    QCOMPARE(outcome.standardError, QByteArray());
}

// After "--" an operand may begin with a dash.
void tst_OrvexPack::doubleDashEndsOptions()
{
    const QString tree = path(QStringLiteral("-tree"));
    QVERIFY(buildTree(tree));
    const ProcessResult outcome = runPack({QStringLiteral("-z"), QStringLiteral("--"),
                                           QStringLiteral("-v.tgz"), QStringLiteral("-tree")},
                                          dir->path());
    QCOMPARE(outcome.standardError, QByteArray());
    QCOMPARE(outcome.exitCode, 0);
    QCOMPARE(outcome.standardOutput, QByteArray());
    QCOMPARE(tarListing(path(QStringLiteral("-v.tgz"))).size(), 3);
}

// On a terminal the share done is drawn as a bar that ends full, with the files counted.
void tst_OrvexPack::progressBarOnTerminal_data()
{
    QTest::addColumn<bool>("withFiles");
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("last");
    QTest::newRow("three files") << true << QByteArray("\r[..........................]   0% 0/3")
                                 << QByteArray("\r[##########################] 100% 3/3 lib/link");
    // Nothing to pack is done at once: the bar still ends full.
    QTest::newRow("empty tree") << false << QByteArray("\r[..........................]   0% 0/0")
                                << QByteArray("\r[##########################] 100% 0/0 ");
}

void tst_OrvexPack::progressBarOnTerminal()
{
    QFETCH(bool, withFiles);
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, last);
    const QString tree = path(QStringLiteral("tree"));
    QVERIFY(withFiles ? buildTree(tree) : QDir().mkpath(tree));
    const QString archive = path(QStringLiteral("a.tgz"));
    QProcess terminal;
    // script(1) gives the program a pseudo-terminal and passes its output and status on.
    terminal.start(QStringLiteral("script"),
                   {QStringLiteral("-qec"),
                    QStringLiteral("'%1' -z '%2' '%3'").arg(program, archive, tree),
                    QStringLiteral("/dev/null")});
    QVERIFY(terminal.waitForFinished(60000));
    QCOMPARE(terminal.exitCode(), 0);
    const QByteArray screen = terminal.readAllStandardOutput();
    QVERIFY2(screen.startsWith(first), screen.constData());
    QVERIFY2(screen.endsWith(last + "\033[K\r\n"), screen.constData());
    QCOMPARE(tarListing(archive).size(), withFiles ? 3 : 0);
}

void tst_OrvexPack::selfExtracting()
{
    const QString tree = path(QStringLiteral("tree"));
    QVERIFY(buildTree(tree));
    const QString stub = QStringLiteral(ORVEX_STUB_PROGRAM);
    const QString output = path(QStringLiteral("suite.run"));
    const ProcessResult outcome =
            runPack({QStringLiteral("-z"), QStringLiteral("--stub"), stub, output, tree});
    QCOMPARE(outcome.standardError, QByteArray());
    QCOMPARE(outcome.exitCode, 0);
    QCOMPARE(modeOf(output), mode_t(0755));
    const qint64 stubSize = QFileInfo(stub).size();
    QProcess run;
    run.start(output, {QStringLiteral("--offset")});
    QVERIFY(run.waitForFinished(30000));
    QCOMPARE(run.readAllStandardOutput(), QByteArray::number(stubSize) + '\n');
    const QString payload = path(QStringLiteral("payload.tgz"));
    QVERIFY(writeFile(payload, contents(output).mid(int(stubSize))));
    QCOMPARE(tarListing(payload).size(), 3);
}

// A failed run says why, leaves the archive that was there as it was and no temporary file.
void tst_OrvexPack::failureKeepsOldArchive()
{
    const QString tree = path(QStringLiteral("tree"));
    QVERIFY(buildTree(tree));
    const QString archive = path(QStringLiteral("suite.tgz"));
    QVERIFY(writeFile(archive, "the previous archive", 0644));
    const QString stub = path(QStringLiteral("missing-stub"));
    const ProcessResult outcome = runPack({QStringLiteral("-s"), stub, archive, tree});
    QVERIFY(outcome.finished);
    QCOMPARE(outcome.exitCode, 1);
    QCOMPARE(outcome.standardError,
             "orvex-pack: Can't open \"" + encoded(stub) + "\" for reading.\n");
    QCOMPARE(contents(archive), QByteArray("the previous archive"));
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden),
             QStringList {QStringLiteral("suite.tgz")});
}

void tst_OrvexPack::notADirectory()
{
    QVERIFY(writeFile(path(QStringLiteral("file")), "f"));
    for (const QString &operand : {path(QStringLiteral("file")), path(QStringLiteral("none"))}) {
        const ProcessResult outcome = runPack({path(QStringLiteral("a.tgz")), operand});
        QCOMPARE(outcome.exitCode, 1);
        QCOMPARE(outcome.standardError,
                 "orvex-pack: \"" + encoded(operand) + "\" is not a directory.\n");
        QVERIFY(!entryExists(path(QStringLiteral("a.tgz"))));
    }
}

// Packing a tree into an archive inside it again does not put the old archive into the new.
void tst_OrvexPack::oldArchiveInsideTreeNotPacked()
{
    const QString tree = path(QStringLiteral("tree"));
    QVERIFY(buildTree(tree));
    const QString archive = tree + QLatin1String("/suite.tar");
    QCOMPARE(runPack({archive, tree}).exitCode, 0);
    QCOMPARE(runPack({archive, tree}).exitCode, 0);
    QCOMPARE(tarListing(archive),
             QStringList({QStringLiteral("bin/tool"), QStringLiteral("doc/README"),
                          QStringLiteral("lib/link")}));
}

void tst_OrvexPack::writesThroughLink()
{
    const QString tree = path(QStringLiteral("tree"));
    QVERIFY(buildTree(tree));
    const QString real = path(QStringLiteral("real.tar"));
    QVERIFY(writeFile(real, "old"));
    const QString link = path(QStringLiteral("link.tar"));
    QVERIFY(QFile::link(real, link));
    QCOMPARE(runPack({link, tree}).exitCode, 0);
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(tarListing(real).size(), 3);
}

// An interrupt while a large file is packed ends the run soon, by that signal, without an
// archive and without a temporary file.
void tst_OrvexPack::interrupted()
{
    const QString archive = path(QStringLiteral("suite.tgz"));
    QProcess process;
    startInsideHugeFile(process, archive);
    if (QTest::currentTestFailed())
        return;
    ::kill(pid_t(process.processId()), SIGINT);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitStatus(), QProcess::CrashExit);
    QCOMPARE(process.readAllStandardError(),
             "orvex-pack: interrupted; \"" + encoded(archive) + "\" was not written.\n");
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

// A hang-up that was ignored when the packer started (nohup) stays ignored; an interrupt still
// stops it.
void tst_OrvexPack::ignoredHangupStaysIgnored()
{
    QProcess process;
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previous;
    QVERIFY(::sigaction(SIGHUP, &ignore, &previous) == 0);
    startInsideHugeFile(process, path(QStringLiteral("a.tgz")));
    ::sigaction(SIGHUP, &previous, nullptr);
    if (QTest::currentTestFailed())
        return;
    const quint64 hangup = quint64(1) << (SIGHUP - 1);
    const quint64 interrupt = quint64(1) << (SIGINT - 1);
    QVERIFY(signalMask(process.processId(), "SigIgn") & hangup);
    QVERIFY(!(signalMask(process.processId(), "SigCgt") & hangup));
    QVERIFY(signalMask(process.processId(), "SigCgt") & interrupt);
    ::kill(pid_t(process.processId()), SIGINT);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitStatus(), QProcess::CrashExit);
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

// Writing into a pipe that nobody reads blocks; an interrupt still ends the run.
void tst_OrvexPack::interruptedWhileOutputBlocked()
{
    const QString tree = path(QStringLiteral("tree"));
    QVERIFY(QDir().mkpath(tree));
    // Far more than a pipe holds.
    QVERIFY(writeFile(tree + QLatin1String("/big"), QByteArray(4 << 20, 'b')));
    const QString fifo = path(QStringLiteral("fifo"));
    QVERIFY(::mkfifo(encoded(fifo).constData(), 0600) == 0);
    // Held open for reading, never read.
    const int reader = ::open(encoded(fifo).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    QVERIFY(reader >= 0);

    QProcess process;
    process.start(program, {fifo, tree});
    QVERIFY(process.waitForStarted());
    const QString channel = QStringLiteral("/proc/%1/wchan").arg(process.processId());
    // The kernel's name for the wait ("pipe_write", "anon_pipe_write") says where it blocks.
    QTRY_VERIFY_WITH_TIMEOUT(contents(channel).endsWith("pipe_write"), 30000);
    ::kill(pid_t(process.processId()), SIGINT);
    const bool finished = process.waitForFinished(30000);
    ::close(reader);
    QVERIFY(finished);
    QCOMPARE(process.exitStatus(), QProcess::CrashExit);
    QCOMPARE(process.readAllStandardError(),
             "orvex-pack: interrupted; \"" + encoded(fifo) + "\" was not written.\n");
}

// /dev/stdout on a pipe is written to as it is, not replaced.
void tst_OrvexPack::writesToPipe()
{
    const QString tree = path(QStringLiteral("tree"));
    QVERIFY(buildTree(tree));
    const ProcessResult outcome =
            runPack({QStringLiteral("-z"), QStringLiteral("/dev/stdout"), tree});
    QCOMPARE(outcome.standardError, QByteArray());
    QCOMPARE(outcome.exitCode, 0);
    QVERIFY(outcome.standardOutput.startsWith("\x1f\x8b"));
    const QString copy = path(QStringLiteral("copy.tgz"));
    QVERIFY(writeFile(copy, outcome.standardOutput));
    QCOMPARE(tarListing(copy).size(), 3);
}

// A directory of the tree that cannot be read fails the packing instead of being left out, and
// nothing is written.
void tst_OrvexPack::unreadableDirectoryFails()
{
    QVERIFY(::chmod(encoded(dir->path()).constData(), 0777) == 0);
    const QString tree = path(QStringLiteral("tree"));
    QVERIFY(buildTree(tree));
    QVERIFY(lockAway(tree + QLatin1String("/doc"), true));
    const QString archive = path(QStringLiteral("a.tgz"));
    const ProcessResult outcome = runPackUnprivileged({QStringLiteral("-z"), archive, tree});
    QVERIFY(::chmod(encoded(tree + QLatin1String("/doc")).constData(), 0755) == 0);
    QCOMPARE(outcome.exitCode, 1);
    QCOMPARE(outcome.standardError,
             "orvex-pack: Can't read directory \"" + encoded(tree) + "/doc\".\norvex-pack: \"" +
                     encoded(archive) + "\" was not written.\n");
    QVERIFY(!entryExists(archive));
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

// With -v, a name is printed as its file is added; after a failure nothing more is added and
// nothing more is printed.
void tst_OrvexPack::verboseStopsAtFailure()
{
    QVERIFY(::chmod(encoded(dir->path()).constData(), 0777) == 0);
    const QString tree = path(QStringLiteral("tree"));
    QVERIFY(QDir().mkpath(tree));
    for (const char *name : {"a", "b", "c", "d"})
        QVERIFY(writeFile(tree + QLatin1Char('/') + QLatin1String(name), name));
    QVERIFY(lockAway(tree + QLatin1String("/b"), false));
    const QString archive = path(QStringLiteral("a.tar"));
    const ProcessResult outcome = runPackUnprivileged({QStringLiteral("-v"), archive, tree});
    QVERIFY(::chmod(encoded(tree + QLatin1String("/b")).constData(), 0644) == 0);
    QCOMPARE(outcome.exitCode, 1);
    QCOMPARE(outcome.standardOutput, QByteArray("a\nb\n"));
    QCOMPARE(outcome.standardError,
             "orvex-pack: Failed to read \"" + encoded(tree) + "/b\": Permission denied.\n");
    QVERIFY(!entryExists(archive));
}

// In a directory where anybody may make links, somebody else's link at the archive's path is
// replaced, never followed: the file it points at is not the packer's to overwrite.
void tst_OrvexPack::foreignLinkInSharedDirectoryReplaced_data()
{
    QTest::addColumn<bool>("toFifo");
    QTest::newRow("link to a file") << false;
    // Not a file, so not replaceable in itself: the link must still not be followed (with
    // nobody reading, opening the pipe would block for good).
    QTest::newRow("link to a pipe") << true;
}

void tst_OrvexPack::foreignLinkInSharedDirectoryReplaced()
{
    QFETCH(bool, toFifo);
    if (::getuid() != 0)
        QSKIP("Needs a link owned by another user, which only root can make");
    const QString tree = path(QStringLiteral("tree"));
    QVERIFY(buildTree(tree));
    const QString shared = path(QStringLiteral("shared"));
    QVERIFY(QDir().mkpath(shared));
    QVERIFY(::chmod(encoded(shared).constData(), 01777) == 0);
    const QString victim = path(QStringLiteral("victim"));
    if (toFifo)
        QVERIFY(::mkfifo(encoded(victim).constData(), 0666) == 0);
    else
        QVERIFY(writeFile(victim, "not yours"));
    const QString archive = shared + QLatin1String("/suite.tar");
    QVERIFY(QFile::link(victim, archive));
    QVERIFY(::lchown(encoded(archive).constData(), 65534, 65534) == 0);
    const ProcessResult outcome = runPack({archive, tree});
    QCOMPARE(outcome.standardError, QByteArray());
    QCOMPARE(outcome.exitCode, 0);
    if (!toFifo)
        QCOMPARE(contents(victim), QByteArray("not yours"));
    QVERIFY(!QFileInfo(archive).isSymLink());
    QCOMPARE(tarListing(archive).size(), 3);
}

// The temporary name beside the archive fits wherever the archive's own name does.
void tst_OrvexPack::longArchiveName()
{
    const QString tree = path(QStringLiteral("tree"));
    QVERIFY(buildTree(tree));
    const QString archive = path(QString(250, QLatin1Char('n')) + QLatin1String(".tgz"));
    const ProcessResult outcome = runPack({QStringLiteral("-z"), archive, tree});
    QCOMPARE(outcome.standardError, QByteArray());
    QCOMPARE(outcome.exitCode, 0);
    QCOMPARE(tarListing(archive).size(), 3);
}

// The demonstration distribution's payload, packed by orvex-pack, installs to the tree that
// GNU tar's packing of the same files gave.
void tst_OrvexPack::demonstrationDistribution()
{
    const QString staging = QStringLiteral(ORVEX_DEMO_STAGING);
    const QString reference = path(QStringLiteral("reference.tgz"));
    QVERIFY(run(QStringLiteral("tar"),
                {QStringLiteral("--create"), QStringLiteral("--gzip"), QStringLiteral("--file"),
                 reference, QStringLiteral("-C"), staging, QStringLiteral("bin"),
                 QStringLiteral("libexec"), QStringLiteral("icons"), QStringLiteral("doc"),
                 QStringLiteral("hok-mime.xml"), QStringLiteral("post-install.sh")}));
    QStringList installed;
    for (const QString &archive : {QStringLiteral(ORVEX_DISTRIBUTION_ARCHIVE), reference}) {
        const QString destination = path(QStringLiteral("installed%1").arg(installed.size()));
        QVERIFY(QDir().mkpath(destination));
        Tar tar(nullptr);
        QVERIFY(tar.extract(archive, destination, tar.countEntries(archive)));
        installed.append(describeInstalled(destination).join(QLatin1Char('\n')));
    }
    QCOMPARE(installed.at(0), installed.at(1));
    QVERIFY(installed.at(0).contains(QLatin1String("libexec/orvex.bin ")));
    QVERIFY(installed.at(0).contains(QLatin1String("post-install.sh ")));
}

QTEST_GUILESS_MAIN(tst_OrvexPack)
#include "tst_orvexpack.moc"
