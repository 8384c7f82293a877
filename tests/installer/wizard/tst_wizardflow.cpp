// The wizard driving real installations, offscreen: from the confirmation page to the finished,
// cancelled or error page, with the message boxes answered by the test.
#include "../installfixtures.h"
#include "../messageboxes.h"
#include "installerwizard.h"
#include "installthread.h"
#include "viewer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>

class tst_WizardFlow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void finishes_data();
    void finishes();
    void missingDependencies_data();
    void missingDependencies();
    void installationError();
    void cancelDuringInstallation();
    void destinationMadeAbsolute_data();
    void destinationMadeAbsolute();

private:
    // Makes a source with licence terms; walks a wizard to the confirmation page with the given
    // destination and presses Install.
    QString makeSource(int extraFiles = 0);
    void walkAndInstall(InstallerWizard &wizard, const QString &destination);

    QScopedPointer<QTemporaryDir> work;
    QString path(const QString &relative) const { return work->filePath(relative); }
    QByteArray previousHome;
    QString previousDirectory;
};

template<typename T> static T *child(QWizard &wizard, const char *name)
{
    return wizard.findChild<T *>(QLatin1String(name));
}

static QList<Viewer *> viewers()
{
    QList<Viewer *> found;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows)
        if (auto *viewer = qobject_cast<Viewer *>(window))
            found.append(viewer);
    return found;
}

void tst_WizardFlow::init()
{
    work.reset(new QTemporaryDir);
    QVERIFY(work->isValid());
    InstallThread::setCrayMarkerPath(path(QStringLiteral("no-alps")));
    // No desktop session: the desktop steps leave the real user's desktop alone.
    qunsetenv("KDE_FULL_SESSION");
    qunsetenv("GNOME_DESKTOP_SESSION_ID");
    previousHome = qgetenv("HOME");
    QVERIFY(QDir().mkpath(path(QStringLiteral("home"))));
    qputenv("HOME", path(QStringLiteral("home")).toLocal8Bit());
    previousDirectory = QDir::currentPath();
    QVERIFY(QDir().mkpath(path(QStringLiteral("cwd"))));
    QVERIFY(QDir::setCurrent(path(QStringLiteral("cwd"))));
}

void tst_WizardFlow::cleanup()
{
    for (Viewer *viewer : viewers())
        delete viewer;
    qputenv("HOME", previousHome);
    QDir::setCurrent(previousDirectory);
    InstallThread::setCrayMarkerPath(QStringLiteral("/var/log/alps"));
}

QString tst_WizardFlow::makeSource(int extraFiles)
{
    const QString source = path(QStringLiteral("source"));
    const bool ok = writeSuite(source, extraFiles) &&
            writeFile(source + QLatin1String("/license_terms/license_agreement.txt"), "A") &&
            writeFile(source + QLatin1String("/license_terms/supplementary_terms.txt"), "S") &&
            writeFile(source + QLatin1String("/doc/RELEASE-NOTES"), "Release <b>notes</b>\n") &&
            writeFile(source + QLatin1String("/icons/tavrin-orvex.desktop"),
                      "[Desktop Entry]\nName=Orvex\nExec=orvex\n");
    return ok ? source : QString();
}

void tst_WizardFlow::walkAndInstall(InstallerWizard &wizard, const QString &destination)
{
    wizard.show();
    wizard.next();
    child<QRadioButton>(wizard, "acceptRadioButton")->click();
    wizard.next();
    wizard.next();
    wizard.setDestination(destination);
    wizard.next();
    QCOMPARE(wizard.currentId(), 4);
    wizard.button(QWizard::CommitButton)->click();
    QCOMPARE(wizard.currentId(), 5);
}

void tst_WizardFlow::finishes_data()
{
    QTest::addColumn<bool>("releaseNotes");
    QTest::newRow("with release notes") << true;
    QTest::newRow("without release notes") << false;
}

void tst_WizardFlow::finishes()
{
    QFETCH(bool, releaseNotes);
    const QString source = makeSource();
    QVERIFY(!source.isEmpty());
    const QString destination = path(QStringLiteral("opt/orvex"));

    QPointer<InstallerWizard> wizard = new InstallerWizard;
    QVERIFY(wizard->setSource(source));
    BoxAnswerer boxes;
    walkAndInstall(*wizard, destination);
    // Install cannot be pressed twice.
    QVERIFY(!wizard->button(QWizard::CommitButton)->isEnabled() ||
            !wizard->button(QWizard::CommitButton)->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(wizard->currentId(), 102, 60000);

    QCOMPARE(boxes.count, 0);
    QCOMPARE(child<QLabel>(*wizard, "statusTextLabel")->text(), QStringLiteral("Finished"));
    const QString finish = child<QLabel>(*wizard, "finishTextLabel")->text();
    QVERIFY2(finish.contains(QStringLiteral("Tavrin Orvex is installed in &quot;%1&quot;.")
                                     .arg(destination)),
             qPrintable(finish));
    QVERIFY(!finish.contains(QLatin1String("%2")));
    QVERIFY(QFileInfo(destination + QLatin1String("/.installed")).isFile());
    QVERIFY(!wizard->button(QWizard::BackButton)->isVisible() ||
            !wizard->button(QWizard::BackButton)->isEnabled());
    QVERIFY(!wizard->button(QWizard::CancelButton)->isEnabled() ||
            !wizard->button(QWizard::CancelButton)->isVisible());
    QVERIFY(wizard->button(QWizard::FinishButton)->isVisible());

    child<QCheckBox>(*wizard, "releaseNotesCheckBox")->setChecked(releaseNotes);
    wizard->button(QWizard::FinishButton)->click();
    QCOMPARE(wizard->result(), int(QDialog::Accepted));
    QVERIFY(!wizard->isVisible());
    delete wizard;

    const QList<Viewer *> open = viewers();
    QCOMPARE(open.size(), releaseNotes ? 1 : 0);
    if (releaseNotes) {
        // The viewer outlives the wizard and shows the installed notes.
        QCOMPARE(open.at(0)->windowTitle(), QStringLiteral("RELEASE-NOTES"));
        QVERIFY(open.at(0)->isVisible());
        auto *browser = qobject_cast<QTextBrowser *>(open.at(0)->centralWidget());
        QCOMPARE(browser->toPlainText(), QStringLiteral("Release <b>notes</b>\n"));
    }
}

void tst_WizardFlow::missingDependencies_data()
{
    QTest::addColumn<bool>("both");
    QTest::addColumn<QString>("text");

    QTest::newRow("one library")
            << false
            << QStringLiteral("The shared library liborvexabsenttoo.so is not installed.\n"
                              "Tavrin Orvex may not run correctly without this library.");
    QTest::newRow("several libraries")
            << true
            << QStringLiteral("The shared libraries liborvexabsent.so, liborvexabsenttoo.so, "
                              "liborvexabsenttoo.so are not installed.\n"
                              "Tavrin Orvex may not run correctly without these libraries.");
}

void tst_WizardFlow::missingDependencies()
{
    QFETCH(bool, both);
    QFETCH(QString, text);

    const QString source = makeSource();
    QVERIFY(!source.isEmpty());
    QVERIFY(QDir().mkpath(source + QLatin1String("/libexec")));
    QVERIFY(QFile::copy(QStringLiteral(ORVEX_NEEDS_ONE_PATH),
                        source + QLatin1String("/libexec/gdb")));
    if (both)
        QVERIFY(QFile::copy(QStringLiteral(ORVEX_NEEDS_TWO_PATH),
                            source + QLatin1String("/libexec/orvex.bin")));

    InstallerWizard wizard;
    QVERIFY(wizard.setSource(source));
    BoxAnswerer boxes;
    walkAndInstall(wizard, path(QStringLiteral("dest")));
    QTRY_COMPARE_WITH_TIMEOUT(wizard.currentId(), 102, 60000);
    QCOMPARE(boxes.count, 1);
    QCOMPARE(boxes.title, QStringLiteral("Missing Dependancies"));
    QCOMPARE(boxes.text, text);
    QCOMPARE(boxes.icon, QMessageBox::Warning);
    QCOMPARE(boxes.parent, static_cast<QWidget *>(nullptr));
}

void tst_WizardFlow::installationError()
{
    const QString source = makeSource();
    QVERIFY(!source.isEmpty());
    const QString destination = path(QStringLiteral("plain-file"));
    QVERIFY(writeFile(destination, "in the way"));

    InstallerWizard wizard;
    QVERIFY(wizard.setSource(source));
    BoxAnswerer boxes; // Yes to "Destination Exists", then OK
    walkAndInstall(wizard, destination);
    QTRY_COMPARE_WITH_TIMEOUT(wizard.currentId(), 101, 60000);
    QCOMPARE(boxes.count, 2);
    QCOMPARE(boxes.title, QStringLiteral("Install Error"));
    QCOMPARE(boxes.text,
             QStringLiteral("Could not create destination directory \"%1\". File exists")
                     .arg(destination));
    QCOMPARE(boxes.parent, static_cast<QWidget *>(&wizard));
    QVERIFY(!wizard.button(QWizard::BackButton)->isVisible() ||
            !wizard.button(QWizard::BackButton)->isEnabled());
    QVERIFY(wizard.button(QWizard::FinishButton)->isVisible());
    QCOMPARE(wizard.nextId(), -1);
}

void tst_WizardFlow::cancelDuringInstallation()
{
    const QString source = makeSource(3000);
    QVERIFY(!source.isEmpty());

    InstallerWizard wizard;
    QVERIFY(wizard.setSource(source));
    walkAndInstall(wizard, path(QStringLiteral("dest")));
    // Once files are being copied, Cancel: the wizard stays open and ends on "Cancelled".
    auto *progress = wizard.findChild<QProgressBar *>(QStringLiteral("progressBar"));
    QTRY_VERIFY_WITH_TIMEOUT(progress->value() > 0, 60000);
    wizard.button(QWizard::CancelButton)->click();
    QVERIFY(wizard.isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(wizard.currentId(), 100, 60000);
    QVERIFY(wizard.isVisible());
    QCOMPARE(wizard.nextId(), -1);
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("dest/.installed"))));
}

void tst_WizardFlow::destinationMadeAbsolute_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("installed"); // %H the home directory, %W the working directory

    QTest::newRow("home") << QStringLiteral("~/tavrin/orvex") << QStringLiteral("%H/tavrin/orvex");
    QTest::newRow("relative") << QStringLiteral("local/orvex") << QStringLiteral("%W/local/orvex");
    QTest::newRow("dot segments") << QStringLiteral("./a/../orvex") << QStringLiteral("%W/orvex");
    QTest::newRow("tilde inside a name") << QStringLiteral("x~/y") << QStringLiteral("%W/x~/y");
}

void tst_WizardFlow::destinationMadeAbsolute()
{
    QFETCH(QString, typed);
    QFETCH(QString, installed);
    installed.replace(QLatin1String("%H"), path(QStringLiteral("home")))
            .replace(QLatin1String("%W"), path(QStringLiteral("cwd")));

    const QString source = makeSource();
    QVERIFY(!source.isEmpty());
    InstallerWizard wizard;
    QVERIFY(wizard.setSource(source));
    walkAndInstall(wizard, typed);
    QCOMPARE(child<QLineEdit>(wizard, "destLineEdit")->text(), installed);
    QTRY_COMPARE_WITH_TIMEOUT(wizard.currentId(), 102, 60000);
    QVERIFY(QFileInfo(installed + QLatin1String("/.installed")).isFile());
    QVERIFY(child<QLabel>(wizard, "finishTextLabel")->text().contains(installed));
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("cwd/~"))));
}

QTEST_MAIN(tst_WizardFlow)
#include "tst_wizardflow.moc"
