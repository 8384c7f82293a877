// orvex-pack: turns an installation tree into the payload archive that the installer reads,
// optionally behind a stub program as one self-extracting file.

#include "buildinfo.h"
#include "productidentity.h"
#include "tar.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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

// Set before packing starts; the signal handler only asks the packer to stop, which is a store
// into an atomic flag and safe in a handler.
Tar *volatile activePacker = nullptr;
volatile sig_atomic_t caughtSignal = 0;

void requestStop(int signalNumber)
{
    caughtSignal = signalNumber;
    if (Tar *packer = activePacker)
        packer->cancel();
}

void printError(const QString &text)
{
    std::fprintf(stderr, "orvex-pack: %s\n", text.toLocal8Bit().constData());
}

int usageError(const QString &text)
{
    printError(text);
    std::fputs("Try 'orvex-pack --help' for more information.\n", stderr);
    return 2;
}

int terminalWidth()
{
    winsize size {};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

// Shows on standard error, when that is a terminal, a bar with the share done, the files done
// against the total and the file being added, redrawn in place. Lines printed meanwhile go
// above it.
class ProgressBar
{
public:
    explicit ProgressBar(int total) : total(total), shown(::isatty(STDERR_FILENO) == 1)
    {
        sinceDrawn.start();
    }

    void setFile(int index, const QString &name)
    {
        current = index;
        currentName = name;
        // Drawing for every one of many small files would cost more than packing them.
        if (sinceDrawn.elapsed() >= 100)
            draw();
    }
    void setPercent(int value)
    {
        if (value != percent) {
            percent = value;
            draw();
        }
    }
    // Takes the bar off the screen so that a line can be printed in its place.
    void clear()
    {
        if (shown && drawn) {
            std::fputs("\r\033[K", stderr);
            std::fflush(stderr);
            drawn = false;
        }
    }
    void finish()
    {
        if (shown && drawn) {
            std::fputc('\n', stderr);
            drawn = false;
        }
    }
    void draw()
    {
        if (!shown)
            return;
        sinceDrawn.restart();
        const int width = terminalWidth();
        const int barWidth = qBound(10, width / 3, 40);
        const int filled = barWidth * percent / 100;
        QString line = QStringLiteral("[%1%2] %3% %4/%5 ")
                               .arg(QString(filled, QLatin1Char('#')),
                                    QString(barWidth - filled, QLatin1Char('.')))
                               .arg(percent, 3)
                               .arg(current)
                               .arg(total);
        // Long names are shortened from the front: the end of a path says the most.
        const int room = width - 1 - line.size();
        if (room > 3)
            line += currentName.size() <= room
                    ? currentName
                    : QStringLiteral("...") + currentName.right(room - 3);
        std::fprintf(stderr, "\r%s\033[K", line.toLocal8Bit().constData());
        std::fflush(stderr);
        drawn = true;
    }

private:
    const int total;
    const bool shown;
    bool drawn = false;
    int percent = 0;
    int current = 0;
    QString currentName;
    QElapsedTimer sinceDrawn;
};

// Whether the archive's path is somebody else's symbolic link in a directory where anybody may
// make links (/tmp). As the kernel does for the links it protects, such a link is never
// followed: it is replaced, so that nobody can lead the packer to overwrite a file or a device
// of their choosing.
bool foreignLink(const QString &archive)
{
    struct stat link;
    if (::lstat(QFile::encodeName(archive).constData(), &link) != 0 || !S_ISLNK(link.st_mode))
        return false;
    struct stat directory;
    const QByteArray parent = QFile::encodeName(QFileInfo(archive).absolutePath());
    const bool shared = ::stat(parent.constData(), &directory) == 0 &&
            (directory.st_mode & S_ISVTX) && (directory.st_mode & S_IWOTH);
    return shared && link.st_uid != ::geteuid() && link.st_uid != directory.st_uid;
}

// Where the archive is written: a symbolic link at the archive's path is written through, as a
// writer of the link's target would expect. A link that leads nowhere resolvable (/dev/stdout on
// a pipe) is left to open() to follow.
QString resolvedArchivePath(const QString &archive)
{
    if (!QFileInfo(archive).isSymLink())
        return archive;
    const QString canonical = QFileInfo(archive).canonicalFilePath();
    return canonical.isEmpty() ? archive : canonical;
}

// Whether the path names a regular file or nothing yet: those are written under a temporary
// name and renamed. Anything else (a device, a pipe) is written directly.
bool replaceable(const QString &path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return errno == ENOENT;
    return S_ISREG(info.st_mode);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvex-pack"));

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    const QCommandLineOption gzipOption({QStringLiteral("z"), QStringLiteral("gzip")}, QString());
    const QCommandLineOption stubOption({QStringLiteral("s"), QStringLiteral("stub")}, QString(),
                                        QStringLiteral("FILE"));
    const QCommandLineOption verboseOption({QStringLiteral("v"), QStringLiteral("verbose")},
                                           QString());
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption versionOption(QStringLiteral("version"), QString());
    parser.addOptions({gzipOption, stubOption, verboseOption, helpOption, versionOption});
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(helpOption)) {
        std::fputs(usageText, stdout);
        return 0;
    }
    if (parser.isSet(versionOption)) {
        std::printf("orvex-pack (%s) %s\n", productIdentity.productName, buildInfo.version);
        return 0;
    }
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() < 2)
        return usageError(arguments.isEmpty() ? QStringLiteral("missing ARCHIVE and DIRECTORY")
                                              : QStringLiteral("missing DIRECTORY"));
    if (arguments.size() > 2)
        return usageError(QStringLiteral("unexpected argument \"%1\"").arg(arguments.at(2)));
    if (parser.values(stubOption).size() > 1)
        return usageError(QStringLiteral("--stub given more than once"));

    const QString archive = arguments.at(0);
    const QString directory = QDir::cleanPath(arguments.at(1));
    const QString stub = parser.isSet(stubOption) ? parser.value(stubOption) : QString();
    const bool gzip = parser.isSet(gzipOption);
    const bool verbose = parser.isSet(verboseOption);

    if (!stub.isNull() && stub.isEmpty())
        return usageError(QStringLiteral("the stub's file name is empty"));
    if (!QFileInfo(directory).isDir()) {
        printError(QStringLiteral("\"%1\" is not a directory.").arg(arguments.at(1)));
        return 1;
    }

    Tar packer(nullptr);
    // Filled in once the file that is written is known: the messages name that file, which
    // is a temporary one beside the archive.
    QString writePath;
    int failures = 0;
    ProgressBar *activeBar = nullptr;
    QObject::connect(&packer, &Tar::error, [&](QString text) {
        if (activeBar)
            activeBar->clear();
        if (!writePath.isEmpty() && writePath != archive)
            text.replace(writePath, archive);
        printError(text);
        ++failures;
    });

    // From here on an interrupt, or a reader of -v's lines going away, stops the packing and
    // lets it clean up, so no temporary file is left behind. A signal that was ignored when the
    // program started (nohup, a background job of a shell) stays ignored.
    activePacker = &packer;
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        struct sigaction current;
        if (::sigaction(signalNumber, nullptr, &current) == 0 && current.sa_handler == SIG_IGN)
            continue;
        struct sigaction action = {};
        action.sa_handler = requestStop;
        sigemptyset(&action.sa_mask);
        ::sigaction(signalNumber, &action, nullptr);
    }

    // An older archive inside the tree is about to be replaced; packing it into its successor
    // would be of no use to anyone.
    // A foreign link (above) is never followed, but replaced.
    const bool foreign = foreignLink(archive);
    const QString target = foreign ? archive : resolvedArchivePath(archive);
    const QString oldArchive = QFileInfo(target).canonicalFilePath();
    const QString oldArchiveName = QFileInfo(oldArchive).fileName();
    ArchiveSources sources;
    for (const QString &file : packer.listFiles(directory)) {
        // The name is compared first: resolving every path of a large tree costs more than
        // packing its small files.
        if (!oldArchive.isEmpty() && file.endsWith(oldArchiveName)) {
            const QFileInfo info(file);
            if (!info.isSymLink() && info.canonicalFilePath() == oldArchive)
                continue;
        }
        sources.append({file, file.mid(directory.size() + 1)});
    }
    // A tree that could not be read whole would make an archive that only looks complete.
    if (failures > 0 && caughtSignal == 0) {
        printError(QStringLiteral("\"%1\" was not written.").arg(archive));
        return 1;
    }

    // A regular file (or a new one) is written under a temporary name beside it and renamed
    // when complete, so that nobody ever sees half an archive under the final name and a failed
    // run leaves an older archive alone. The temporary name is short, so that it fits wherever
    // the archive's own name does.
    std::unique_ptr<QTemporaryFile> temporary;
    writePath = target;
    if (foreign || replaceable(target)) {
        temporary = std::make_unique<QTemporaryFile>(QFileInfo(target).absolutePath() +
                                                     QStringLiteral("/.orvex-pack-XXXXXX"));
        if (!temporary->open()) {
            activePacker = nullptr;
            printError(QStringLiteral("Can't open \"%1\" for writing.").arg(archive));
            return 1;
        }
        temporary->close();
        writePath = temporary->fileName();
    }

    ProgressBar bar(sources.size());
    activeBar = &bar;
    int next = 0;
    QObject::connect(&packer, &Tar::status, [&](const QString &) {
        // One status line per source, in order: it names the source about to be added. After
        // a failure nothing more is added, and nothing more is announced.
        if (next >= sources.size() || failures > 0)
            return;
        const QString &name = sources.at(next).second;
        ++next;
        if (verbose) {
            bar.clear();
            std::printf("%s\n", name.toLocal8Bit().constData());
            std::fflush(stdout);
        }
        bar.setFile(next, name);
    });
    QObject::connect(&packer, &Tar::progress, [&](int percent) { bar.setPercent(percent); });

    bar.draw();
    bool packed = packer.createArchive(writePath, sources, gzip, stub);
    activePacker = nullptr;
    // The archive's contents reach the disk before its name does: after a crash the name
    // holds either the old archive or the whole new one.
    if (packed && temporary) {
        const int fd = ::open(QFile::encodeName(writePath).constData(), O_RDONLY | O_CLOEXEC);
        packed = fd >= 0 && ::fsync(fd) == 0;
        if (fd >= 0)
            ::close(fd);
        if (!packed)
            printError(QStringLiteral("Can't write \"%1\" to disk: %2.")
                               .arg(archive, QString::fromLocal8Bit(std::strerror(errno))));
    }
    // An empty tree reports no progress; a finished packing shows a full bar all the same.
    if (packed)
        bar.setPercent(100);
    bar.finish();
    activeBar = nullptr;

    bool renamed = false;
    if (packed && temporary) {
        renamed = ::rename(QFile::encodeName(writePath).constData(),
                           QFile::encodeName(target).constData()) == 0;
        if (renamed)
            temporary->setAutoRemove(false);
        else
            printError(
                    QStringLiteral("Can't rename \"%1\" to \"%2\": %3.")
                            .arg(writePath, archive, QString::fromLocal8Bit(std::strerror(errno))));
    }
    // The temporary file goes with its object.
    temporary.reset();

    // A signal that came after the archive was complete changes nothing about it.
    if (!packed && caughtSignal != 0) {
        printError(QStringLiteral("interrupted; \"%1\" was not written.").arg(archive));
        // Ending by the signal tells a calling shell or make that the run was interrupted.
        const int signalNumber = caughtSignal;
        ::signal(signalNumber, SIG_DFL);
        ::raise(signalNumber);
        return 128 + signalNumber;
    }
    if (!packed) {
        if (failures == 0)
            printError(QStringLiteral("packing \"%1\" failed.").arg(archive));
        return 1;
    }
    return writePath == target || renamed ? 0 : 1;
}
