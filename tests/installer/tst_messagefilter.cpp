// The installer's start-up reports, seen as a user sees them: the real program, run as a child
// process, with its standard error compared whole.
#include "processrunner.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class tst_MessageFilter : public QObject
{
    Q_OBJECT

private slots:
    void unknownOption_data();
    void unknownOption();
    void noDisplay();
    void pluginThatCannotLoad();
    void pluginNotFound();

private:
    // A copy of the installer in a directory of its own, so the test decides what lies beside it.
    QString copyInstaller(const QTemporaryDir &directory);
};

static QByteArray unknownOptionReport(const QByteArray &option, const QByteArray &program)
{
    return "Unknown option \"" + option +
            "\".\n"
            "\n"
            "Usage " +
            program +
            " [options] [install-directory]\n"
            "Install to (optional) install directory.\n"
            "Options recognized:\n"
            "\t-icon\tOnly install launch icons to menus.\n";
}

QString tst_MessageFilter::copyInstaller(const QTemporaryDir &directory)
{
    const QString copy = directory.filePath(QStringLiteral("orvex-installer"));
    if (!QFile::copy(QStringLiteral(ORVEX_INSTALLER_PATH), copy))
        return QString();
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return copy;
}

void tst_MessageFilter::unknownOption_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("option");

    QTest::newRow("alone") << QStringList {QStringLiteral("-x")} << QByteArray("-x");
    QTest::newRow("after a destination and -icon")
            << QStringList {QStringLiteral("/a"), QStringLiteral("-icon"), QStringLiteral("--help")}
            << QByteArray("--help");
    // The toolkit warns about the unknown style and, without XDG_RUNTIME_DIR, about the runtime
    // directory; neither warning may reach the user.
    QTest::newRow("toolkit warnings filtered")
            << QStringList {QStringLiteral("-style"), QStringLiteral("nosuchstyle"),
                            QStringLiteral("-x")}
            << QByteArray("-x");
}

void tst_MessageFilter::unknownOption()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, option);

    QProcessEnvironment environment = environmentWithoutDisplay();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("QT_PLUGIN_PATH"), QStringLiteral(ORVEX_QT_PLUGINS_DIR));
    environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));

    // Run from an empty directory: the report must come before any search for installation
    // files, whose failure would otherwise open a message box and never end.
    QTemporaryDir empty;
    QVERIFY(empty.isValid());
    const ProcessResult result =
            runProgram(QStringLiteral(ORVEX_INSTALLER_PATH), arguments, environment, empty.path());
    QVERIFY2(result.finished, "the installer did not end by itself");
    QCOMPARE(result.exitStatus, QProcess::NormalExit);
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.standardError, unknownOptionReport(option, ORVEX_INSTALLER_PATH));
    QCOMPARE(result.standardOutput, QByteArray());
}

void tst_MessageFilter::noDisplay()
{
    QTemporaryDir empty;
    QVERIFY(empty.isValid());
    const ProcessResult result = runProgram(QStringLiteral(ORVEX_INSTALLER_PATH), {},
                                            environmentWithoutDisplay(), empty.path());
    QVERIFY2(result.finished, "the installer did not end by itself");
    QCOMPARE(result.exitStatus, QProcess::NormalExit);
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.standardError, QByteArray("Unable to connect to display.\n"));
    QCOMPARE(result.standardOutput, QByteArray());
}

void tst_MessageFilter::pluginThatCannotLoad()
{
    QTemporaryDir directory;
    QVERIFY(directory.isValid());
    const QString program = copyInstaller(directory);
    QVERIFY(!program.isEmpty());
    QVERIFY(QDir(directory.path()).mkdir(QStringLiteral("platforms")));
    QVERIFY(QFile::copy(QStringLiteral(ORVEX_BROKEN_PLUGIN_PATH),
                        directory.filePath(QStringLiteral("platforms/libqxcb.so"))));

    const ProcessResult result =
            runProgram(program, {}, environmentWithoutDisplay(), directory.path());
    QVERIFY2(result.finished, "the installer did not end by itself");
    QCOMPARE(result.exitStatus, QProcess::NormalExit);
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.standardError,
             QByteArray("Unable to load Qt QPA plugin.\n"
                        "\n"
                        "These dependencies could not be found:\n"
                        "liborvexabsent.so\n"
                        "\n"
                        "Message returned: 'Could not load the Qt platform plugin \"xcb\" in \"\" "
                        "even though it was found.'\n"));
}

void tst_MessageFilter::pluginNotFound()
{
    // Without a platforms directory beside it the toolkit finds no plugin at all (the embedded
    // qt.conf points its own plugin path at ../lib/plugins) and would abort in silence.
    QTemporaryDir directory;
    QVERIFY(directory.isValid());
    const QString program = copyInstaller(directory);
    QVERIFY(!program.isEmpty());

    const ProcessResult result =
            runProgram(program, {}, environmentWithoutDisplay(), directory.path());
    QVERIFY2(result.finished, "the installer did not end by itself");
    QCOMPARE(result.exitStatus, QProcess::NormalExit);
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(
            result.standardError,
            QByteArray(
                    "Unable to load Qt QPA plugin.\n"
                    "Message returned: 'Could not find the Qt platform plugin \"xcb\" in \"\"'\n"));
}

QTEST_GUILESS_MAIN(tst_MessageFilter)
#include "tst_messagefilter.moc"
