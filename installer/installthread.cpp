#include "installthread.h"

#include "productidentity.h"
#include "tar.h"

#include <QFile>
#include <QFileInfo>
#include <QMutex>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

QMutex crayMarkerMutex;
QString &crayMarker()
{
    static QString path = QStringLiteral("/var/log/alps");
    return path;
}

} // namespace

int mkdirRecursive(const QString &path, int mode)
{
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink()) {
        if (info.isDir())
            return 0;
        errno = EEXIST;
        return -1;
    }
    const QString parent = info.path();
    // The directory part of "a" is "." and of "/" is "/": both exist, so the recursion ends.
    if (parent != path) {
        const int result = mkdirRecursive(parent, 0777);
        if (result != 0)
            return result;
    }
    return ::mkdir(QFile::encodeName(path).constData(), mode_t(mode));
}

void InstallThread::setCrayMarkerPath(const QString &path)
{
    QMutexLocker locker(&crayMarkerMutex);
    crayMarker() = path;
}

QString InstallThread::crayMarkerPath()
{
    QMutexLocker locker(&crayMarkerMutex);
    return crayMarker();
}

InstallThread::InstallThread(const QString &source, const QString &destination)
    : tar(new Tar(this)), source(source), destination(destination)
{
    // Passed on at once, on the worker, so that tar's signals and the thread's own take the same
    // single queued hop to the controller and arrive in the order they were emitted. Passed on
    // through this object's own (user-interface) thread instead, they would take two hops and
    // could fall behind later signals of the worker: the last percentage after the finish.
    connect(tar, &Tar::error, this, &InstallThread::error, Qt::DirectConnection);
    connect(tar, &Tar::status, this, &InstallThread::status, Qt::DirectConnection);
    connect(tar, &Tar::progress, this, &InstallThread::progress, Qt::DirectConnection);
    connect(tar, &Tar::cancelled, this, &InstallThread::cancelled, Qt::DirectConnection);
    // A tree copy goes on past a file that cannot be copied and still returns true; the worker
    // must know, so that it does not mark an incomplete installation as finished.
    connect(
            tar, &Tar::error, tar, [this] { errorReported = true; }, Qt::DirectConnection);
}

InstallThread::~InstallThread()
{
    tar->cancel();
    wait();
}

void InstallThread::run()
{
    emit status(tr("Examining source directory \"%1\"").arg(source));
    if (!entryExists(source)) {
        emit error(tr("Source directory \"%1\" does not exist.").arg(source));
        return;
    }

    const QString archivePath =
            source + QLatin1Char('/') + identityText(productIdentity.payloadArchiveName);
    if (entryExists(archivePath)) {
        archiveMode = true;
    } else if (!entryExists(source + QLatin1String("/bin/zuv"))) {
        emit error(tr("%1 installation files not found in \"%2\".")
                           .arg(identityText(productIdentity.productName), source));
        return;
    }

    emit status(tr("Creating destination directory \"%1\"").arg(destination));
    if (mkdirRecursive(destination, 0755) != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        emit error(
                tr("Could not create destination directory \"%1\". %2").arg(destination, reason));
        return;
    }

    emit status(tr("Counting files"));
    const int count = archiveMode ? tar->countEntries(archivePath) : tar->countFiles(source);
    if (count == -1)
        return;

    emit status(tr("Copying files"));
    const bool copied = archiveMode ? tar->extract(archivePath, destination, count)
                                    : tar->copyTree(source, destination, count, nullptr);
    // tar has said why: an error or a cancellation. In tree mode a file that failed was reported
    // while the walk went on; the installation is then incomplete and is not marked finished.
    if (!copied || errorReported)
        return;

    if (entryExists(crayMarkerPath()))
        emit status(tr("Copying files for Cray XT system"));

    const QString marker = destination + QLatin1String("/.installed");
    QFile markerFile(marker);
    if (!markerFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        emit error(tr("Could not create \"%1\".").arg(marker));
        return;
    }
    markerFile.close();

    const QString libexec = destination + QLatin1String("/libexec/");
    tar->libraryDependencies(libexec + identityText(productIdentity.backendExecutableName),
                             &missingLibraryNames);
    tar->libraryDependencies(libexec + QLatin1String("gdb"), &missingLibraryNames);

    emit installerFinished();
}
