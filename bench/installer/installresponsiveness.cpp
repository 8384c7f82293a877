// How an installation through the controller compares with bsdtar on the same archive, and how
// long the user-interface thread's event loop is kept from running while the installation goes
// on (the lateness of a 5 ms timer on that thread).
//
// Usage: bench-installresponsiveness [FILES]   (default 50000 small files)
// Run it with TMPDIR=/dev/shm: on a disk, the cost of creating and deleting 50,000 files varies
// several-fold from one round to the next and drowns the comparison.
#include "installer.h"
#include "installthread.h"
#include "tar.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QVector>

#include <algorithm>

#include <cstdio>

static bool run(const QString &program, const QStringList &arguments, const QString &directory)
{
    QProcess process;
    process.setWorkingDirectory(directory);
    process.start(program, arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
            process.exitCode() == 0;
}

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const int files = argc > 1 ? QByteArray(argv[1]).toInt() : 50000;
    QTemporaryDir work;
    if (!work.isValid())
        return 1;
    InstallThread::setCrayMarkerPath(work.filePath(QStringLiteral("no-alps")));

    const QString tree = work.filePath(QStringLiteral("tree"));
    for (int i = 0; i < files; ++i) {
        const QString path = QStringLiteral("%1/bin/zuv").arg(tree);
        const QString file =
                i == 0 ? path : QStringLiteral("%1/d%2/f%3.txt").arg(tree).arg(i / 1000).arg(i);
        QDir().mkpath(QFileInfo(file).path());
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(QByteArray(100 + i % 400, 'x')) < 0)
            return 1;
    }
    const QString source = work.filePath(QStringLiteral("source"));
    QDir().mkpath(source);
    const QString archive = source + QLatin1String("/orvex.tgz");
    if (!run(QStringLiteral("tar"),
             {QStringLiteral("-czf"), archive, QStringLiteral("-C"), tree, QStringLiteral(".")},
             work.path()))
        return 1;
    std::printf("payload: %d files, archive %lld bytes\n", files, QFileInfo(archive).size());

    // The three measurements take turns, three rounds, each into a fresh directory that is
    // removed afterwards; the medians are reported, since file creation on a shared machine
    // varies from run to run.
    QVector<double> bsdtarTimes, tarTimes, installTimes;
    qint64 longestStall = 0;
    int statusLines = 0;
    int progressValues = 0;
    QElapsedTimer clock;
    for (int round = 0; round < 3; ++round) {
        const QString target = work.filePath(QStringLiteral("target"));
        QDir().mkpath(target);
        clock.start();
        if (!run(QStringLiteral("bsdtar"),
                 {QStringLiteral("-xzf"), archive, QStringLiteral("-C"), target}, work.path()))
            return 1;
        bsdtarTimes.append(clock.nsecsElapsed() / 1e9);
        QDir(target).removeRecursively();

        {
            // Tar alone on this thread, nothing connected: the installation without its signals.
            // Into an existing empty directory, as the install thread extracts.
            QDir().mkpath(target);
            Tar tar(nullptr);
            clock.restart();
            const int count = tar.countEntries(archive);
            if (count < 0 || !tar.extract(archive, target, count))
                return 1;
            tarTimes.append(clock.nsecsElapsed() / 1e9);
        }
        QDir(target).removeRecursively();

        Installer installer;
        QElapsedTimer sinceTick;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            longestStall = std::max(longestStall, sinceTick.elapsed() - 5);
            sinceTick.restart();
        });
        statusLines = progressValues = 0;
        QObject::connect(&installer, &Installer::status, [&] { ++statusLines; });
        QObject::connect(&installer, &Installer::progress, [&] { ++progressValues; });
        bool ok = false;
        QObject::connect(&installer, &Installer::finished, [&] {
            ok = true;
            QTimer::singleShot(0, &application, &QCoreApplication::quit);
        });
        QObject::connect(&installer, &Installer::error, [&](const QString &message) {
            std::fprintf(stderr, "error: %s\n", qPrintable(message));
            QCoreApplication::quit();
        });
        clock.restart();
        sinceTick.start();
        ticker.start(5);
        installer.install(source, target);
        application.exec();
        installTimes.append(clock.nsecsElapsed() / 1e9);
        if (!ok)
            return 1;
        QDir(target).removeRecursively();
    }
    const auto median = [](QVector<double> values) {
        std::sort(values.begin(), values.end());
        return values.at(values.size() / 2);
    };
    const double bsdtarSeconds = median(bsdtarTimes);
    const double tarSeconds = median(tarTimes);
    const double installSeconds = median(installTimes);

    std::printf("bsdtar -xzf:            %.3f s\n", bsdtarSeconds);
    std::printf("Tar count and extract:  %.3f s  (ratio %.2f)\n", tarSeconds,
                tarSeconds / bsdtarSeconds);
    std::printf("installation:           %.3f s  (ratio %.2f, goal <= 1.20)\n", installSeconds,
                installSeconds / bsdtarSeconds);
    std::printf("longest event-loop stall: %lld ms (goal <= 100)\n", longestStall);
    std::printf("signals delivered: %d status lines, %d progress values\n", statusLines,
                progressValues);
    return 0;
}
