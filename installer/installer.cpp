#include "installer.h"

#include "installthread.h"
#include "tar.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QWidget>

Installer::Installer(QObject *parent) : QObject(parent) { }

Installer::~Installer() = default;

QWidget *Installer::parentWidget() const
{
    return qobject_cast<QWidget *>(parent());
}

void Installer::dropThread()
{
    installThread.reset();
    // What the worker emitted before it stopped may still wait in this object's queue (the
    // thread's own signals are queued straight to us); none of it may arrive after the thread is
    // gone, or a status line or a finished() could follow a cancelled().
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
}

void Installer::install(const QString &source, const QString &destination)
{
    dropThread();

    if (entryExists(destination)) {
        const QMessageBox::StandardButton answer = QMessageBox::question(
                parentWidget(), tr("Destination Exists"),
                tr("Destination directory \"%1\" already exists. Do you wish to continue?")
                        .arg(destination),
                QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton);
        if (answer != QMessageBox::Yes) {
            emit cancelled();
            return;
        }
    }

    installDir = destination;
    installThread = std::make_unique<InstallThread>(source, destination);
    InstallThread *thread = installThread.get();
    // The thread emits everything on the worker, its own lines and tar's alike; each reaches this
    // object through its thread's event queue, in the order it was emitted.
    connect(thread, &InstallThread::error, this, &Installer::error, Qt::QueuedConnection);
    connect(thread, &InstallThread::status, this, &Installer::status, Qt::QueuedConnection);
    connect(thread, &InstallThread::progress, this, &Installer::progress, Qt::QueuedConnection);
    connect(thread, &InstallThread::cancelled, this, &Installer::cancelled, Qt::QueuedConnection);
    connect(thread, &InstallThread::installerFinished, this, &Installer::finished,
            Qt::QueuedConnection);
    thread->start(QThread::InheritPriority);
}

void Installer::cancel()
{
    if (!installThread)
        return;
    const bool running = installThread->isRunning();
    dropThread();
    if (running)
        emit cancelled();
}

QStringList Installer::missingDependencies() const
{
    return installThread ? installThread->missingLibraryNames : QStringList();
}

void Installer::setInstallMode(int mode)
{
    installMode = mode;
}
