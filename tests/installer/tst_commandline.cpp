#include "commandline.h"

#include <QtTest>

class tst_CommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void unknownOptionReport();
};

void tst_CommandLine::parse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<bool>("iconsOnly");
    QTest::addColumn<QString>("unknownOption");

    const QString none; // null: nothing was passed
    QTest::newRow("no arguments") << QStringList() << none << false << none;
    QTest::newRow("one destination")
            << QStringList {QStringLiteral("/opt/x")} << QStringLiteral("/opt/x") << false << none;
    QTest::newRow("last destination wins")
            << QStringList {QStringLiteral("/a"), QStringLiteral("/b")} << QStringLiteral("/b")
            << false << none;
    QTest::newRow("empty destination is passed")
            << QStringList {QString()} << QStringLiteral("") << false << none;
    QTest::newRow("relative destination kept as given")
            << QStringList {QStringLiteral("tavrin/orvex")} << QStringLiteral("tavrin/orvex")
            << false << none;
    QTest::newRow("icons after destination")
            << QStringList {QStringLiteral("/a"), QStringLiteral("-icon")} << QStringLiteral("/a")
            << true << none;
    QTest::newRow("icons before destination")
            << QStringList {QStringLiteral("-icon"), QStringLiteral("/a")} << QStringLiteral("/a")
            << true << none;
    QTest::newRow("option is case-sensitive")
            << QStringList {QStringLiteral("-ICON")} << none << false << QStringLiteral("-ICON");
    QTest::newRow("double dash") << QStringList {QStringLiteral("--icon")} << none << false
                                 << QStringLiteral("--icon");
    QTest::newRow("lone dash") << QStringList {QStringLiteral("-")} << none << false
                               << QStringLiteral("-");
    QTest::newRow("first unknown option is the one reported")
            << QStringList {QStringLiteral("-x"), QStringLiteral("-y")} << none << false
            << QStringLiteral("-x");
}

void tst_CommandLine::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, destination);
    QFETCH(bool, iconsOnly);
    QFETCH(QString, unknownOption);

    const CommandLine commandLine = parseCommandLine(arguments);
    QCOMPARE(commandLine.destination, destination);
    // QCOMPARE treats a null and an empty QString as equal; the wizard does not.
    QCOMPARE(commandLine.destination.isNull(), destination.isNull());
    QCOMPARE(commandLine.iconsOnly, iconsOnly);
    QCOMPARE(commandLine.unknownOption, unknownOption);
    QCOMPARE(commandLine.unknownOption.isNull(), unknownOption.isNull());
}

void tst_CommandLine::unknownOptionReport()
{
    QCOMPARE(::unknownOptionReport(QStringLiteral("-x"), QStringLiteral("./setup/orvex-installer")),
             QStringLiteral("Unknown option \"-x\".\n"
                            "\n"
                            "Usage ./setup/orvex-installer [options] [install-directory]\n"
                            "Install to (optional) install directory.\n"
                            "Options recognized:\n"
                            "\t-icon\tOnly install launch icons to menus.\n"));
}

QTEST_APPLESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
