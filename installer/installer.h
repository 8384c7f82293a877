#ifndef INSTALLER_H
#define INSTALLER_H

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class InstallThread;
class QWidget;

// What the user interface drives an installation through: it confirms an existing destination,
// runs the install thread and hands its signals on, and offers the steps that follow on the
// user-interface thread.
class Installer : public QObject
{
    Q_OBJECT

public:
    explicit Installer(QObject *parent = nullptr);
    // Cancels and waits for a running installation; emits nothing.
    ~Installer() override;

    void install(const QString &source, const QString &destination);
    QStringList missingDependencies() const;
    void setInstallMode(int mode);

    // Desktop integration: points the suite's desktop entry at the installed program, then
    // registers the launch icons and the menu entry (in a KDE or GNOME session only). Failures
    // are shown in message boxes; nothing is returned.
    void installMenuIcons(const QString &directory);
    void rewriteDesktopFile(const QString &directory, const QString &entryName,
                            const QString &programName);
    void installDesktopMenu(const QString &directory, const QString &entryName,
                            const QString &iconName);

    // Follow-up steps in the installation directory; each consumes its file and reports nothing.
    void installMimeTypes();
    void runPostInstallScript();

    // The destination accepted by the last install(); null before.
    QString installDirectory() const { return installDir; }

public slots:
    void cancel();

signals:
    void progress(int percent);
    void finished();
    void cancelled();
    void error(QString message);
    void status(QString text);

private:
    QWidget *parentWidget() const;
    void dropThread();

    std::unique_ptr<InstallThread> installThread;
    QString installDir;
    int installMode = 1;
};

#endif // INSTALLER_H
