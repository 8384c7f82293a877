#include "buildinfo.h"
#include "productidentity.h"
#include "toolnames.h"

#include <QDir>
#include <QFileInfo>
#include <QHostInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <sys/utsname.h>

class tst_Identity : public QObject
{
    Q_OBJECT

private slots:
    void fields_data();
    void fields();
    void buildInfoForms();
    void buildInfoValues();
    void identityText();
};

// Every field of the product identity and tool name records, one row each.
void tst_Identity::fields_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");

    const auto row = [](const char *name, const char *value, const char *expected) {
        QTest::newRow(name) << ::identityText(value) << QString::fromLatin1(expected);
    };
    const ProductIdentity &p = ::productIdentity;
    row("reportsProductName", p.reportsProductName, "Tavrin Quanta");
    row("samplerName", p.samplerName, "Tavrin Orvex sampler");
    row("profilerProductName", p.profilerProductName, "Tavrin HOK");
    row("debuggerProductName", p.debuggerProductName, "Tavrin ZUV");
    row("companyName", p.companyName, "Tavrin");
    row("supportTeamName", p.supportTeamName, "the Tavrin Orvex support team");
    row("directStartNames[0]", p.directStartNames[0], "Direct Start");
    row("directStartNames[1]", p.directStartNames[1], "Direct Start");
    row("directStartNames[2]", p.directStartNames[2], "Direct Start");
    row("bannerName", p.bannerName, "banner-orvex");
    row("iconName", p.iconName, "tavrin-orvex");
    row("productName", p.productName, "Tavrin Orvex");
    row("environmentPrefix", p.environmentPrefix, "ORVEX_");
    row("sessionName", p.sessionName, "session");
    row("userGuideFileName", p.userGuideFileName, "userguide-orvex.pdf");
    row("toolsPathReference", p.toolsPathReference, "$ORVEX_TOOLS_PATH");
    row("toolsPathVariable", p.toolsPathVariable, "ORVEX_TOOLS_PATH");
    row("userInstallSubdirectory", p.userInstallSubdirectory, "tavrin/orvex/26.0.2");
    row("systemInstallDirectory", p.systemInstallDirectory, "/opt/tavrin/orvex/26.0.2");
    row("payloadArchiveName", p.payloadArchiveName, "orvex.tgz");
    row("legacyConfigDirectory", p.legacyConfigDirectory, ".breskan");
    row("debuggerConfigDirectory", p.debuggerConfigDirectory, ".zuv");
    row("backendExecutableName", p.backendExecutableName, "orvex.bin");

    const ToolNames &t = ::toolNames;
    row("outOfMemoryKeyword", t.outOfMemoryKeyword, "out_of_memory");
    row("debuggerVersionLabel", t.debuggerVersionLabel, "zuv debugger version");
    row("configFileLabel", t.configFileLabel, "Config File");
    row("userConfigFileName", t.userConfigFileName, "user.config");
    row("systemConfigFileName", t.systemConfigFileName, "system.config");
    row("legacyName", t.legacyName, "breskan");
    row("suiteFileStem", t.suiteFileStem, "tavrin-orvex");
    row("toolNames.legacyConfigDirectory", t.legacyConfigDirectory, ".breskan");
    row("remoteDaemonExecutable", t.remoteDaemonExecutable, "orvex-remoted.bin");
    row("debuggerRemoteDaemon", t.debuggerRemoteDaemon, "zuv-remoted");
    row("utilityGuiExecutable", t.utilityGuiExecutable, "zuv-util-gui");
    row("utilityExecutable", t.utilityExecutable, "zuv-util");
    row("untarExecutable", t.untarExecutable, "orvex-untar");
    row("hopgateExecutable", t.hopgateExecutable, "hopgate");
    row("ctiExecutable", t.ctiExecutable, "orvex-cti");
    row("clientExecutable", t.clientExecutable, "orvex-client");
    row("mpirunExecutable", t.mpirunExecutable, "orvex-mpirun");
    row("treeServerExecutable", t.treeServerExecutable, "orvex-treeserver");
    row("backendExecutable", t.backendExecutable, "orvex-backend");
}

void tst_Identity::fields()
{
    QFETCH(QString, value);
    QFETCH(QString, expected);
    QCOMPARE(value, expected);
}

void tst_Identity::buildInfoForms()
{
    const BuildInfo &b = buildInfo;
    const QString date = ::identityText(b.buildDate);
    const QString timestamp = ::identityText(b.buildTimestamp);
    // The compiler's __DATE__ form: month abbreviation, day padded with a space, year.
    const QRegularExpression dateForm(
            QStringLiteral("^(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) ( "
                           "[1-9]|[12][0-9]|3[01]) 2[0-9]{3}$"));
    QVERIFY2(dateForm.match(date).hasMatch(), qPrintable(date));
    QVERIFY2(timestamp.startsWith(date + QLatin1Char(' ')), qPrintable(timestamp));
    QVERIFY2(QRegularExpression(QStringLiteral("^([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]$"))
                     .match(timestamp.mid(date.size() + 1))
                     .hasMatch(),
             qPrintable(timestamp));
    // The build happened in the past, and not before this project existed.
    const QDateTime built =
            QLocale::c().toDateTime(timestamp.simplified(), QStringLiteral("MMM d yyyy HH:mm:ss"));
    QVERIFY2(built.isValid(), qPrintable(timestamp));
    QVERIFY(built <= QDateTime::currentDateTime().addSecs(60));
    QVERIFY(built.date().year() >= 2026);

    const QRegularExpression hex40(QStringLiteral("^[0-9a-f]{40}$"));
    const QString commit = ::identityText(b.commitId);
    const QString change = ::identityText(b.changeId);
    QVERIFY2(hex40.match(commit).hasMatch(), qPrintable(commit));
    QVERIFY2(change.startsWith(QLatin1Char('I')) && hex40.match(change.mid(1)).hasMatch(),
             qPrintable(change));
    QCOMPARE(::identityText(b.patchSetId), change + QLatin1String(".1"));
    QCOMPARE(::identityText(b.buildNumber), QStringLiteral("1"));
}

void tst_Identity::buildInfoValues()
{
    const BuildInfo &b = buildInfo;
    QCOMPARE(::identityText(b.version), QStringLiteral("26.0.2"));
    QCOMPARE(::identityText(b.buildVersion), QStringLiteral("26.0.2"));
    QCOMPARE(::identityText(b.buildPlatform), QStringLiteral("linux"));
    QCOMPARE(::identityText(b.sourceDirectory), QStringLiteral(ORVEX_SOURCE_DIR));
    QCOMPARE(::identityText(b.buildDirectory), QStringLiteral(ORVEX_BUILD_DIR));
    QVERIFY(QFileInfo::exists(::identityText(b.sourceDirectory) +
                              QLatin1String("/CMakeLists.txt")));

    struct utsname system;
    QCOMPARE(uname(&system), 0);
    QCOMPARE(::identityText(b.buildArchitecture), QString::fromLatin1(system.machine));
    QCOMPARE(::identityText(b.buildHost), QHostInfo::localHostName());

    // The record's version ends the default installation directories.
    QVERIFY(::identityText(::productIdentity.userInstallSubdirectory)
                    .endsWith(QLatin1Char('/') + ::identityText(b.version)));
    QVERIFY(::identityText(::productIdentity.systemInstallDirectory)
                    .endsWith(QLatin1Char('/') + ::identityText(b.version)));

    // Built from a git checkout, the record carries the commit that was built.
    QProcess git;
    git.start(QStringLiteral("git"),
              {QStringLiteral("-C"), QStringLiteral(ORVEX_SOURCE_DIR), QStringLiteral("rev-parse"),
               QStringLiteral("HEAD")});
    if (git.waitForFinished(10000) && git.exitCode() == 0)
        QCOMPARE(::identityText(b.commitId),
                 QString::fromLatin1(git.readAllStandardOutput().trimmed()));
    else
        QCOMPARE(::identityText(b.commitId), QString(40, QLatin1Char('0')));
}

void tst_Identity::identityText()
{
    QVERIFY(!::identityText(nullptr).isNull());
    QVERIFY(::identityText(nullptr).isEmpty());
    // Latin-1, not UTF-8: each byte is one character.
    QCOMPARE(::identityText("caf\xe9"), QString(QStringLiteral("caf") + QChar(0xe9)));
}

QTEST_GUILESS_MAIN(tst_Identity)
#include "tst_identity.moc"
