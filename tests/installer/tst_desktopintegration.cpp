// The desktop steps of an installation: against stand-in scripts that record how they were run,
// and against the system's real xdg-utils in a private desktop environment.
#include "desktopintegration.h"
#include "environmentguard.h"
#include "installer.h"
#include "installfixtures.h"
#include "installthread.h"
#include "messageboxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <optional>

class tst_DesktopIntegration : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void session_data();
    void session();
    void scriptArguments();
    void failingScripts_data();
    void failingScripts();
    void missingFiles_data();
    void missingFiles();
    void rewrite_data();
    void rewrite();
    void unreadableEntry();
    void makefileKeepsEntry();
    void realDesktopTools();
    void mimeTypes_data();
    void mimeTypes();
    void postInstallScript_data();
    void postInstallScript();

private:
    // An installation directory with the desktop entry, the icons and stand-in scripts that log
    // each run to "log" and exit with the status found in "status-<name>-<size>" (0 if none).
    QString makeInstallation(bool withScripts = true);
    QStringList log() const;
    // A real installation: the follow-up steps work in the directory it accepted.
    static bool installAndWait(Installer &installer, const QString &source,
                               const QString &destination);
    void setEnv(const char *name, const std::optional<QByteArray> &value);

    QScopedPointer<QTemporaryDir> work;
    QString path(const QString &relative) const { return work->filePath(relative); }
    EnvironmentGuard environment;
    QString previousDirectory;
};

static const char standIn[] = "#!/bin/sh\n"
                              "here=$(dirname \"$0\")\n"
                              "name=$(basename \"$0\")\n"
                              "echo \"$name $* mode=$XDG_UTILS_INSTALL_MODE\" >> \"$here/../log\"\n"
                              "size=$3\n"
                              "[ \"$name\" = xdg-desktop-menu ] && size=menu\n"
                              "if [ -f \"$here/../status-$name-$size\" ]; then\n"
                              "    exit \"$(cat \"$here/../status-$name-$size\")\"\n"
                              "fi\n"
                              "exit 0\n";

static const QByteArray shippedEntry = "[Desktop Entry]\n"
                                       "Type=Application\n"
                                       "Name=Tavrin Orvex\n"
                                       "Name[de]=Tavrin Orvex\n"
                                       "GenericName=Parallel Debugger\n"
                                       "Comment=Debug parallel programs\n"
                                       "Exec=orvex\n"
                                       "TryExec=orvex\n"
                                       "Icon=tavrin-orvex\n"
                                       "Categories=Development;Debugger;\n";

void tst_DesktopIntegration::initTestCase()
{
    // The tests below expect no Makefile in the build tree around them (a Ninja build).
    QVERIFY2(
            !QFileInfo::exists(QCoreApplication::applicationDirPath() + QLatin1String("/Makefile")),
            "run these tests from a Ninja build tree");
}

void tst_DesktopIntegration::setEnv(const char *name, const std::optional<QByteArray> &value)
{
    if (value)
        environment.set(name, *value);
    else
        environment.unset(name);
}

void tst_DesktopIntegration::init()
{
    work.reset(new QTemporaryDir);
    QVERIFY(work->isValid());
    previousDirectory = QDir::currentPath();
    QVERIFY(QDir::setCurrent(work->path()));
    // A private desktop: nothing the tests register reaches the real user's.
    QVERIFY(QDir().mkpath(path(QStringLiteral("home/.local/share"))));
    QVERIFY(QDir().mkpath(path(QStringLiteral("home/.config"))));
    setEnv("HOME", path(QStringLiteral("home")).toLocal8Bit());
    setEnv("XDG_DATA_HOME", path(QStringLiteral("home/.local/share")).toLocal8Bit());
    setEnv("XDG_CONFIG_HOME", path(QStringLiteral("home/.config")).toLocal8Bit());
    setEnv("XDG_DATA_DIRS", QByteArray("/usr/local/share:/usr/share"));
    setEnv("XDG_UTILS_INSTALL_MODE", std::nullopt);
    setEnv("KDE_FULL_SESSION", std::nullopt);
    setEnv("XDG_CURRENT_DESKTOP", std::nullopt);
    setEnv("GNOME_DESKTOP_SESSION_ID", QByteArray("this-is-deprecated"));
}

void tst_DesktopIntegration::cleanup()
{
    QDir::setCurrent(previousDirectory);
    environment.restore();
}

QString tst_DesktopIntegration::makeInstallation(bool withScripts)
{
    const QString directory = path(QStringLiteral("inst"));
    bool ok = writeFile(directory + QLatin1String("/icons/tavrin-orvex.desktop"), shippedEntry);
    for (int size : {16, 24, 32, 48}) {
        const QString icon =
                QStringLiteral("%1/icons/%2x%2/tavrin-orvex.png").arg(directory).arg(size);
        ok = ok && QDir().mkpath(QFileInfo(icon).path()) &&
                QFile::copy(QStringLiteral(":/icons/%1x%1/tavrin-orvex.png").arg(size), icon);
    }
    if (withScripts) {
        ok = ok &&
                writeFile(directory + QLatin1String("/libexec/xdg-icon-resource"), standIn, 0755) &&
                writeFile(directory + QLatin1String("/libexec/xdg-desktop-menu"), standIn, 0755);
    }
    return ok ? directory : QString();
}

bool tst_DesktopIntegration::installAndWait(Installer &installer, const QString &source,
                                            const QString &destination)
{
    SignalRecorder recorder;
    connect(&installer, &Installer::finished, &recorder, &SignalRecorder::onFinished);
    installer.install(source, destination);
    QElapsedTimer clock;
    clock.start();
    while (recorder.count(QStringLiteral("finished")) == 0 && clock.elapsed() < 60000)
        QTest::qWait(10);
    return recorder.count(QStringLiteral("finished")) == 1;
}

QStringList tst_DesktopIntegration::log() const
{
    QFile file(work->filePath(QStringLiteral("inst/log")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void tst_DesktopIntegration::session_data()
{
    QTest::addColumn<QByteArray>("kde"); // "-" for unset
    QTest::addColumn<QByteArray>("gnome");
    QTest::addColumn<bool>("registers");

    QTest::newRow("KDE") << QByteArray("true") << QByteArray("-") << true;
    QTest::newRow("KDE TRUE") << QByteArray("TRUE") << QByteArray("-") << false;
    QTest::newRow("KDE 1") << QByteArray("1") << QByteArray("-") << false;
    QTest::newRow("GNOME") << QByteArray("-") << QByteArray("this-is-deprecated") << true;
    QTest::newRow("GNOME empty") << QByteArray("-") << QByteArray("") << false;
    QTest::newRow("KDE false, GNOME set") << QByteArray("false") << QByteArray("x") << true;
    QTest::newRow("neither") << QByteArray("-") << QByteArray("-") << false;
}

void tst_DesktopIntegration::session()
{
    QFETCH(QByteArray, kde);
    QFETCH(QByteArray, gnome);
    QFETCH(bool, registers);

    setEnv("KDE_FULL_SESSION", kde == "-" ? std::nullopt : std::optional<QByteArray>(kde));
    setEnv("GNOME_DESKTOP_SESSION_ID",
           gnome == "-" ? std::nullopt : std::optional<QByteArray>(gnome));
    const QString directory = makeInstallation();
    QVERIFY(!directory.isEmpty());

    BoxAnswerer boxes;
    Installer installer;
    installer.installDesktopMenu(directory, QStringLiteral("tavrin-orvex.desktop"),
                                 QStringLiteral("tavrin-orvex.png"));
    QCOMPARE(log().size(), registers ? 5 : 0);
    QCOMPARE(boxes.count, 0);
    QCOMPARE(qEnvironmentVariableIsSet("XDG_UTILS_INSTALL_MODE"), registers);
}

void tst_DesktopIntegration::scriptArguments()
{
    const QString directory = makeInstallation();
    QVERIFY(!directory.isEmpty());
    BoxAnswerer boxes;
    Installer installer;
    installer.installMenuIcons(directory);
    const QString icons = directory + QLatin1String("/icons");
    QCOMPARE(log(),
             (QStringList {
                     QStringLiteral("xdg-icon-resource install --size 16 %1/16x16/tavrin-orvex.png "
                                    "mode=user")
                             .arg(icons),
                     QStringLiteral("xdg-icon-resource install --size 24 %1/24x24/tavrin-orvex.png "
                                    "mode=user")
                             .arg(icons),
                     QStringLiteral("xdg-icon-resource install --size 32 %1/32x32/tavrin-orvex.png "
                                    "mode=user")
                             .arg(icons),
                     QStringLiteral("xdg-icon-resource install --size 48 %1/48x48/tavrin-orvex.png "
                                    "mode=user")
                             .arg(icons),
                     QStringLiteral("xdg-desktop-menu install %1/tavrin-orvex.desktop mode=user")
                             .arg(icons),
             }));
    QCOMPARE(boxes.count, 0);
    QCOMPARE(qgetenv("XDG_UTILS_INSTALL_MODE"), QByteArray("user"));

    // A system-wide registration, which the installer's own flow never asks for.
    QFile::remove(directory + QLatin1String("/log"));
    installer.setInstallMode(0);
    installer.installDesktopMenu(directory, QStringLiteral("tavrin-orvex.desktop"),
                                 QStringLiteral("tavrin-orvex.png"));
    QVERIFY(log().constLast().endsWith(QLatin1String("mode=system")));
}

void tst_DesktopIntegration::failingScripts_data()
{
    QTest::addColumn<QString>("failing"); // the status file to write
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("runs");
    QTest::addColumn<QString>("text");

    QTest::newRow("size 24 fails")
            << QStringLiteral("status-xdg-icon-resource-24") << QStringLiteral("3") << 2
            << QStringLiteral("xdg-icon-resource exited with status 3.");
    QTest::newRow("size 16 fails")
            << QStringLiteral("status-xdg-icon-resource-16") << QStringLiteral("1") << 1
            << QStringLiteral("xdg-icon-resource exited with status 1.");
    QTest::newRow("menu fails") << QStringLiteral("status-xdg-desktop-menu-menu")
                                << QStringLiteral("5") << 5
                                << QStringLiteral("xdg-desktop-menu exited with status 5.");
    QTest::newRow("icon script cannot start")
            << QStringLiteral("not-executable") << QString() << 0
            << QStringLiteral("xdg-icon-resource exited with status -2.");
}

void tst_DesktopIntegration::failingScripts()
{
    QFETCH(QString, failing);
    QFETCH(QString, status);
    QFETCH(int, runs);
    QFETCH(QString, text);

    const QString directory = makeInstallation();
    QVERIFY(!directory.isEmpty());
    if (failing == QLatin1String("not-executable"))
        QVERIFY(QFile::setPermissions(directory + QLatin1String("/libexec/xdg-icon-resource"),
                                      QFile::ReadOwner | QFile::WriteOwner));
    else
        QVERIFY(writeFile(directory + QLatin1Char('/') + failing, status.toLatin1()));

    BoxAnswerer boxes;
    Installer installer;
    installer.installDesktopMenu(directory, QStringLiteral("tavrin-orvex.desktop"),
                                 QStringLiteral("tavrin-orvex.png"));
    QCOMPARE(log().size(), runs);
    QCOMPARE(boxes.count, 1);
    QCOMPARE(boxes.title, QStringLiteral("Installation Error"));
    QCOMPARE(boxes.text, text);
}

void tst_DesktopIntegration::missingFiles_data()
{
    QTest::addColumn<QString>("remove");
    QTest::addColumn<QString>("text"); // %D the installation directory

    QTest::newRow("icons") << QStringLiteral("icons")
                           << QStringLiteral("Tavrin Orvex icon files not found in \"%D/icons\".");
    QTest::newRow("icon script")
            << QStringLiteral("libexec/xdg-icon-resource")
            << QStringLiteral("Required script xdg-icon-resource not found in \"%D/libexec\".");
    QTest::newRow("menu script")
            << QStringLiteral("libexec/xdg-desktop-menu")
            << QStringLiteral("Required script xdg-desktop-menu not found in \"%D/libexec\".");
}

void tst_DesktopIntegration::missingFiles()
{
    QFETCH(QString, remove);
    QFETCH(QString, text);

    const QString directory = makeInstallation();
    QVERIFY(!directory.isEmpty());
    const QString victim = directory + QLatin1Char('/') + remove;
    QVERIFY(QFileInfo(victim).isDir() ? QDir(victim).removeRecursively() : QFile::remove(victim));

    BoxAnswerer boxes;
    Installer installer;
    installer.installDesktopMenu(directory, QStringLiteral("tavrin-orvex.desktop"),
                                 QStringLiteral("tavrin-orvex.png"));
    QCOMPARE(boxes.count, 1);
    QCOMPARE(boxes.title, QStringLiteral("Missing Installation Files"));
    QCOMPARE(boxes.text, text.replace(QLatin1String("%D"), directory));
    QVERIFY(log().isEmpty());
}

void tst_DesktopIntegration::rewrite_data()
{
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<QByteArray>("expected"); // %D the installation directory

    QTest::newRow("shipped entry") << shippedEntry
                                   << QByteArray("[Desktop Entry]\n"
                                                 "Type=Application\n"
                                                 "Name=Tavrin Orvex 26.0.2\n"
                                                 "Name[de]=Tavrin Orvex\n"
                                                 "GenericName=Parallel Debugger 26.0.2\n"
                                                 "Comment=Debug parallel programs\n"
                                                 "Exec=%D/bin/orvex -gui\n"
                                                 "TryExec=%D/bin/orvex -gui\n"
                                                 "Icon=tavrin-orvex\n"
                                                 "Categories=Development;Debugger;\n");
    QTest::newRow("no Exec line") << QByteArray("[Desktop Entry]\nName=Orvex\nIcon=x\n")
                                  << QByteArray("[Desktop Entry]\nName=Orvex 26.0.2\nIcon=x\n");
    QTest::newRow("Exec with arguments") << QByteArray("Exec=orvex --old %f\nX=1\n")
                                         << QByteArray("Exec=%D/bin/orvex -gui\nX=1\n");
    QTest::newRow("no final line feed")
            << QByteArray("Name=Orvex") << QByteArray("Name=Orvex 26.0.2");
}

void tst_DesktopIntegration::rewrite()
{
    QFETCH(QByteArray, entry);
    QFETCH(QByteArray, expected);

    const QString directory = path(QStringLiteral("inst"));
    const QString file = directory + QLatin1String("/icons/entry.desktop");
    QVERIFY(writeFile(file, entry, 0640));
    Installer installer;
    installer.rewriteDesktopFile(directory, QStringLiteral("entry.desktop"),
                                 QStringLiteral("orvex"));
    QFile result(file);
    QVERIFY(result.open(QIODevice::ReadOnly));
    QCOMPARE(result.readAll(), expected.replace("%D", directory.toLocal8Bit()));
    // Renamed over the old entry, with the old entry's permissions, and nothing left beside it.
    QCOMPARE(QFileInfo(file).permissions() & 0x7777,
             QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser |
                     QFile::ReadGroup);
    QCOMPARE(QDir(directory + QLatin1String("/icons")).entryList(QDir::Files),
             QStringList {QStringLiteral("entry.desktop")});
}

void tst_DesktopIntegration::unreadableEntry()
{
    const QString directory = makeInstallation();
    QVERIFY(!directory.isEmpty());
    const QString entry = directory + QLatin1String("/icons/tavrin-orvex.desktop");
    QVERIFY(QFile::remove(entry));

    BoxAnswerer boxes;
    Installer installer;
    installer.installMenuIcons(directory);
    QCOMPARE(boxes.count, 1);
    QCOMPARE(boxes.title, QStringLiteral("Installation Error"));
    QCOMPARE(boxes.text, QStringLiteral("Could not open \"%1\" for reading.").arg(entry));
    // The menu step still ran.
    QCOMPARE(log().size(), 5);
}

void tst_DesktopIntegration::makefileKeepsEntry()
{
    const QString directory = makeInstallation();
    QVERIFY(!directory.isEmpty());
    QVERIFY(!hasMakefile());
    // The working directory is one of the places looked at.
    QVERIFY(writeFile(path(QStringLiteral("Makefile")), "all:\n"));
    QVERIFY(hasMakefile());

    BoxAnswerer boxes;
    Installer installer;
    installer.installMenuIcons(directory);
    QFile entry(directory + QLatin1String("/icons/tavrin-orvex.desktop"));
    QVERIFY(entry.open(QIODevice::ReadOnly));
    QCOMPARE(entry.readAll(), shippedEntry);
    QCOMPARE(log().size(), 5);
}

void tst_DesktopIntegration::realDesktopTools()
{
    // The distribution's own scripts, as it ships them: Debian's xdg-utils.
    const QString directory = makeInstallation(false);
    QVERIFY(!directory.isEmpty());
    QVERIFY(QDir().mkpath(directory + QLatin1String("/libexec")));
    for (const char *script : {"xdg-icon-resource", "xdg-desktop-menu"}) {
        const QString system = QStandardPaths::findExecutable(QLatin1String(script));
        QVERIFY2(!system.isEmpty(), script);
        QVERIFY(QFile::copy(system,
                            directory + QLatin1String("/libexec/") + QLatin1String(script)));
    }

    BoxAnswerer boxes;
    Installer installer;
    installer.installMenuIcons(directory);
    QCOMPARE(boxes.count, 0);

    const QString data = path(QStringLiteral("home/.local/share"));
    const QString menuEntry = data + QLatin1String("/applications/tavrin-orvex.desktop");
    QVERIFY2(QFileInfo::exists(menuEntry), qPrintable(menuEntry));
    for (int size : {16, 24, 32, 48}) {
        const QString icon =
                QStringLiteral("%1/icons/hicolor/%2x%2/apps/tavrin-orvex.png").arg(data).arg(size);
        QVERIFY2(QFileInfo::exists(icon), qPrintable(icon));
    }
    QFile registered(menuEntry);
    QVERIFY(registered.open(QIODevice::ReadOnly));
    const QByteArray text = registered.readAll();
    QVERIFY(text.contains("Exec=" + directory.toLocal8Bit() + "/bin/orvex -gui\n"));
    QVERIFY(text.contains("\nName=Tavrin Orvex 26.0.2\n"));

    QProcess validate;
    validate.start(QStringLiteral("desktop-file-validate"), {menuEntry});
    QVERIFY(validate.waitForFinished(30000));
    QCOMPARE(validate.readAll() + validate.readAllStandardError(), QByteArray());
    QCOMPARE(validate.exitCode(), 0);
}

void tst_DesktopIntegration::mimeTypes_data()
{
    QTest::addColumn<bool>("withDescription");
    QTest::addColumn<bool>("xdgMimeOnPath");

    QTest::newRow("registered") << true << true;
    QTest::newRow("no description") << false << true;
    QTest::newRow("no xdg-mime") << true << false;
}

void tst_DesktopIntegration::mimeTypes()
{
    QFETCH(bool, withDescription);
    QFETCH(bool, xdgMimeOnPath);

    // A real installation puts the description where the step looks for it.
    const QString source = path(QStringLiteral("source"));
    QVERIFY(writeSuite(source));
    if (withDescription) {
        QFile description(QStringLiteral(ORVEX_DEMO_SUITE_DIR "/hok-mime.xml"));
        QVERIFY(description.open(QIODevice::ReadOnly));
        QVERIFY(writeFile(source + QLatin1String("/hok-mime.xml"), description.readAll()));
    }
    Installer installer;
    QVERIFY(installAndWait(installer, source, path(QStringLiteral("dest"))));

    // As after the desktop step of a session: per-user, never the system's database (this
    // matters when the tests run as root, for whom xdg-utils would otherwise go system-wide).
    setEnv("XDG_UTILS_INSTALL_MODE", QByteArray("user"));
    if (!xdgMimeOnPath)
        setEnv("PATH", path(QStringLiteral("empty-path")).toLocal8Bit());
    BoxAnswerer boxes;
    installer.installMimeTypes();
    QCOMPARE(boxes.count, 0);
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("dest/hok-mime.xml"))));

    const QString registered = path(QStringLiteral("home/.local/share/mime/packages/hok-mime.xml"));
    QCOMPARE(QFileInfo::exists(registered), withDescription && xdgMimeOnPath);
    if (withDescription && xdgMimeOnPath) {
        QVERIFY(writeFile(path(QStringLiteral("run.hok")), "HOKPROF 1\n"));
        QProcess query;
        query.start(QStringLiteral("xdg-mime"),
                    {QStringLiteral("query"), QStringLiteral("filetype"),
                     path(QStringLiteral("run.hok"))});
        QVERIFY(query.waitForFinished(30000));
        QCOMPARE(query.readAllStandardOutput().trimmed(),
                 QByteArray("application/x-tavrin-hok-profile"));
    }
    // A second call has nothing left to do.
    installer.installMimeTypes();
    QCOMPARE(boxes.count, 0);
}

void tst_DesktopIntegration::postInstallScript_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("exitStatus");
    QTest::addColumn<bool>("runs");

    QTest::newRow("succeeds") << 0755 << 0 << true;
    QTest::newRow("fails") << 0755 << 1 << true;
    QTest::newRow("not executable") << 0644 << 0 << false;
}

void tst_DesktopIntegration::postInstallScript()
{
    QFETCH(int, mode);
    QFETCH(int, exitStatus);
    QFETCH(bool, runs);

    const QString source = path(QStringLiteral("source"));
    QVERIFY(writeSuite(source));
    const QByteArray script = "#!/bin/sh\n"
                              "echo \"ran in $(pwd) mode=$XDG_UTILS_INSTALL_MODE\" >> \"" +
            path(QStringLiteral("post.log")).toLocal8Bit() + "\"\nexit " +
            QByteArray::number(exitStatus) + "\n";
    QVERIFY(writeFile(source + QLatin1String("/post-install.sh"), script, mode));

    Installer installer;
    QVERIFY(installAndWait(installer, source, path(QStringLiteral("dest"))));

    setEnv("XDG_UTILS_INSTALL_MODE", QByteArray("user"));
    installer.runPostInstallScript();
    installer.runPostInstallScript();
    QFile log(path(QStringLiteral("post.log")));
    if (runs) {
        QVERIFY(log.open(QIODevice::ReadOnly));
        // Once, in the installer's own working directory and environment.
        QCOMPARE(log.readAll(), "ran in " + QDir::currentPath().toLocal8Bit() + " mode=user\n");
    } else {
        QVERIFY(!log.exists());
    }
    QCOMPARE(QFileInfo::exists(path(QStringLiteral("dest/post-install.sh"))), !runs);
}

QTEST_MAIN(tst_DesktopIntegration)
#include "tst_desktopintegration.moc"
