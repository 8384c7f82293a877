// The entry point driven in process on the offscreen platform: message boxes and the wizard
// window are found and answered by the test.
#include "entry.h"
#include "installerwizard.h"
#include "messageboxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>

#include <functional>

#include <unistd.h>

class tst_Entry : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void noInstallationFiles_data();
    void noInstallationFiles();
    void sourceWithoutLicence_data();
    void sourceWithoutLicence();
    void wizardMode_data();
    void wizardMode();
    void iconsOnlyOpensNoWindow();

private:
    QScopedPointer<QTemporaryDir> work;
    QString previousDirectory;
};

static bool makeFile(const QString &path, const QByteArray &content = "text\n")
{
    if (!QDir().mkpath(QFileInfo(path).path()))
        return false;
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

static QStringList programArguments(const QStringList &arguments)
{
    return QStringList {QStringLiteral("orvex-installer")} + arguments;
}

void tst_Entry::init()
{
    // The search looks at the program's directory (this test's build directory, which holds no
    // installation files), its parent, then the working directory: the test's own fixture.
    work.reset(new QTemporaryDir);
    QVERIFY(work->isValid());
    previousDirectory = QDir::currentPath();
    QVERIFY(QDir::setCurrent(work->path() + QLatin1String("/")));
    QVERIFY(QDir().mkpath(work->filePath(QStringLiteral("cwd"))));
    QVERIFY(QDir::setCurrent(work->filePath(QStringLiteral("cwd"))));
}

void tst_Entry::cleanup()
{
    QDir::setCurrent(previousDirectory);
}

void tst_Entry::noInstallationFiles_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("wizard mode") << QStringList();
    QTest::newRow("icons-only mode") << QStringList {QStringLiteral("-icon")};
    QTest::newRow("with a destination") << QStringList {QStringLiteral("/tmp/x")};
}

void tst_Entry::noInstallationFiles()
{
    QFETCH(QStringList, arguments);
    BoxAnswerer box;
    const int status = runInstaller(*qApp, programArguments(arguments));
    QCOMPARE(status, 1);
    QCOMPARE(box.count, 1);
    QCOMPARE(box.title, QStringLiteral("Missing Installation Files"));
    QCOMPARE(box.text,
             QStringLiteral("Tavrin Orvex installation files not found in \"%1\".")
                     .arg(QCoreApplication::applicationDirPath()));
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(QApplication::topLevelWidgets().isEmpty() ||
            !qobject_cast<InstallerWizard *>(QApplication::topLevelWidgets().constFirst()));
}

void tst_Entry::sourceWithoutLicence_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::newRow("no licence terms") << QStringList();
    QTest::newRow("agreement only")
            << QStringList {QStringLiteral("license_terms/license_agreement.txt")};
    QTest::newRow("supplementary terms only")
            << QStringList {QStringLiteral("license_terms/supplementary_terms.txt")};
}

void tst_Entry::sourceWithoutLicence()
{
    QFETCH(QStringList, files);
    // The working directory's parent holds the installation files.
    const QString source = work->path();
    QVERIFY(makeFile(source + QLatin1String("/orvex.tgz")));
    for (const QString &file : files)
        QVERIFY(makeFile(source + QLatin1Char('/') + file));

    BoxAnswerer box;
    QCOMPARE(runInstaller(*qApp, programArguments({})), 1);
    QCOMPARE(box.count, 1);
    QCOMPARE(box.title, QStringLiteral("Missing Installation Files"));
    QCOMPARE(box.text,
             QStringLiteral("Tavrin Orvex installation files not found in \"%1\".").arg(source));
}

void tst_Entry::wizardMode_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("destination");

    // Without an argument the wizard keeps its own default destination.
    QTest::newRow("no destination")
            << QStringList() << QDir::home().filePath(QStringLiteral("tavrin/orvex/26.0.2"));
    QTest::newRow("last destination wins")
            << QStringList {QStringLiteral("/a"), QStringLiteral("/b")} << QStringLiteral("/b");
    QTest::newRow("empty destination") << QStringList {QStringLiteral("")} << QStringLiteral("");
}

void tst_Entry::wizardMode()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, destination);

    const QString source = work->path();
    QVERIFY(makeFile(source + QLatin1String("/bin/zuv")));
    QVERIFY(makeFile(source + QLatin1String("/license_terms/license_agreement.txt"), "AGREEMENT"));
    QVERIFY(makeFile(source + QLatin1String("/license_terms/supplementary_terms.txt"), "TERMS"));
    if (::getuid() == 0 && arguments.isEmpty())
        destination = QStringLiteral("/opt/tavrin/orvex/26.0.2");

    // Once the wizard is up, note what it was given and close it: closing the last window ends
    // the event loop, and with it the entry point.
    QPointer<InstallerWizard> seen;
    QString seenLicence;
    QString seenDestination;
    bool visible = false;
    std::function<void(int)> lookForWizard = [&](int attemptsLeft) {
        QTimer::singleShot(10, [&, attemptsLeft] {
            const QWidgetList windows = QApplication::topLevelWidgets();
            for (QWidget *window : windows) {
                if (auto *wizard = qobject_cast<InstallerWizard *>(window)) {
                    seen = wizard;
                    seenLicence =
                            wizard->findChild<QTextBrowser *>(QStringLiteral("licenceTextBrowser"))
                                    ->toPlainText();
                    seenDestination =
                            wizard->findChild<QLineEdit *>(QStringLiteral("destLineEdit"))->text();
                    visible = wizard->isVisible();
                    wizard->close();
                    return;
                }
            }
            if (attemptsLeft > 0)
                lookForWizard(attemptsLeft - 1);
            else
                QCoreApplication::exit(99);
        });
    };
    lookForWizard(500);

    QCOMPARE(runInstaller(*qApp, programArguments(arguments)), 0);
    QVERIFY(visible);
    // The wizard was given the source that was found: it shows that source's licence terms.
    QCOMPARE(seenLicence, QStringLiteral("AGREEMENT\n\nTERMS"));
    QCOMPARE(seenDestination, destination);
    // The wizard belonged to the entry point and is gone with it.
    QVERIFY(seen.isNull());
}

void tst_Entry::iconsOnlyOpensNoWindow()
{
    // An installed tree without its desktop entry: the registration says so in a box, and the
    // mode still ends with status 0 and no window.
    QVERIFY(makeFile(work->path() + QLatin1String("/bin/zuv")));
    BoxAnswerer box;
    // The destination is ignored in this mode.
    QCOMPARE(runInstaller(*qApp, programArguments({QStringLiteral("/a"), QStringLiteral("-icon")})),
             0);
    QCOMPARE(box.count, 1);
    QCOMPARE(box.title, QStringLiteral("Installation Error"));
    QCOMPARE(box.text,
             QStringLiteral("Could not open \"%1/icons/tavrin-orvex.desktop\" for reading.")
                     .arg(work->path()));
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

QTEST_MAIN(tst_Entry)
#include "tst_entry.moc"
