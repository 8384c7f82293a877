#include "environmentsettings.h"
#include "installationdirectories.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace {

QStringList warnings;

void captureWarnings(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtWarningMsg)
        warnings << message;
}

} // namespace

class tst_InstallationDirectories : public QObject
{
    Q_OBJECT

private slots:
    void constructedEmpty();
    void setRoot_data();
    void setRoot();
    void setAll();
    void initFromProgramLocation();
};

void tst_InstallationDirectories::constructedEmpty()
{
    // This is the process's first construction, so it reads the setting; BG_TMPDIR under another
    // prefix than ORVEX_ proves the lookup goes through the prefixed settings.
    const bool wasSet = qEnvironmentVariableIsSet("HOK_BG_TMPDIR");
    const QByteArray previous = qgetenv("HOK_BG_TMPDIR");
    qputenv("HOK_BG_TMPDIR", "/scratch/orvex");
    EnvironmentCache::invalidate();
    InstallationDirectories directories;
    QVERIFY(directories.root().isNull());
    QVERIFY(directories.bin().isNull());
    QVERIFY(directories.configDirectoryName().isNull());
    QVERIFY(directories.metrics().isNull());
    QCOMPARE(directories.temporaryBase(), QStringLiteral("/scratch/orvex"));
    // Read once per process: a later change is not seen.
    qputenv("HOK_BG_TMPDIR", "/elsewhere");
    EnvironmentCache::invalidate();
    const QString later = InstallationDirectories().temporaryBase();
    if (wasSet)
        qputenv("HOK_BG_TMPDIR", previous);
    else
        qunsetenv("HOK_BG_TMPDIR");
    EnvironmentCache::invalidate();
    QCOMPARE(later, QStringLiteral("/scratch/orvex"));
}

void tst_InstallationDirectories::setRoot_data()
{
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("warned");

    const QStringList all {QStringLiteral("bin"), QStringLiteral("lib"), QStringLiteral("libexec")};
    QTest::newRow("complete") << all << QStringList();
    QTest::newRow("no lib") << QStringList {QStringLiteral("bin"), QStringLiteral("libexec")}
                            << QStringList {QStringLiteral("lib")};
    QTest::newRow("no lib, no libexec")
            << QStringList {QStringLiteral("bin")}
            << QStringList {QStringLiteral("lib"), QStringLiteral("libexec")};
    QTest::newRow("empty root") << QStringList()
                                << QStringList {QStringLiteral("bin"), QStringLiteral("lib"),
                                                QStringLiteral("libexec")};
}

void tst_InstallationDirectories::setRoot()
{
    QFETCH(QStringList, present);
    QFETCH(QStringList, warned);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    for (const QString &name : present)
        QVERIFY(QDir(root.path()).mkdir(name));
    InstallationDirectories directories;
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureWarnings);
    directories.setRoot(root.path());
    qInstallMessageHandler(previous);
    // Exactly the missing ones, in order; resource is never checked, so its absence is silent.
    QStringList expected;
    for (const QString &name : warned)
        expected << QStringLiteral("Unable to find directory '%1/%2'.\nYour Tavrin product "
                                   "installation may be incomplete or corrupted.")
                            .arg(root.path(), name);
    QCOMPARE(warnings, expected);
    QCOMPARE(directories.root(), root.path());
    QCOMPARE(directories.bin(), root.path() + QStringLiteral("/bin"));
    QCOMPARE(directories.lib(), root.path() + QStringLiteral("/lib"));
    QCOMPARE(directories.libexec(), root.path() + QStringLiteral("/libexec"));
    QCOMPARE(directories.resource(), root.path() + QStringLiteral("/resource"));
    QCOMPARE(directories.icons(), root.path() + QStringLiteral("/resource/icons"));
    QCOMPARE(directories.metrics(), root.path() + QStringLiteral("/hok/metrics"));
    QVERIFY(directories.configDirectoryName().isNull());
}

void tst_InstallationDirectories::setAll()
{
    InstallationDirectories directories;
    directories.setAll(QStringLiteral("/opt/x"));
    for (const QString &field :
         {directories.root(), directories.bin(), directories.lib(), directories.libexec(),
          directories.resource(), directories.icons()})
        QCOMPARE(field, QStringLiteral("/opt/x"));
    QVERIFY(directories.metrics().isNull());
    QVERIFY(directories.configDirectoryName().isNull());
}

void tst_InstallationDirectories::initFromProgramLocation()
{
    InstallationDirectories directories;
    const QtMessageHandler previous = qInstallMessageHandler(captureWarnings);
    directories.initFromProgramLocation();
    qInstallMessageHandler(previous);
    QCOMPARE(directories.root(), QCoreApplication::applicationDirPath() + QStringLiteral("/.."));
    QCOMPARE(directories.configDirectoryName(), QStringLiteral(".breskan"));
}

QTEST_GUILESS_MAIN(tst_InstallationDirectories)
#include "tst_installationdirectories.moc"
