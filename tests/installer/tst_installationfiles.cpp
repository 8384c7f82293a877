#include "installationfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class tst_InstallationFiles : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void find_data();
    void find();
    void programInRoot();
    void candidates();

private:
    QScopedPointer<QTemporaryDir> root;
};

// Creates a file-system entry at a path below the test's root ("link:" makes a dangling
// symbolic link instead of a file).
static bool createEntry(const QString &root, const QString &relative)
{
    const bool link = relative.startsWith(QLatin1String("link:"));
    const QString path = root + QLatin1Char('/') + (link ? relative.mid(5) : relative);
    if (!QDir().mkpath(QFileInfo(path).path()))
        return false;
    if (link)
        return QFile::link(root + QLatin1String("/nowhere"), path);
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

void tst_InstallationFiles::init()
{
    root.reset(new QTemporaryDir);
    QVERIFY(root->isValid());
}

void tst_InstallationFiles::find_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("programDirectory");
    QTest::addColumn<QString>("workingDirectory");
    QTest::addColumn<QString>("expected"); // relative to the root; "-" for none

    QTest::newRow("archive beside the program")
            << QStringList {QStringLiteral("D/setup/orvex.tgz"), QStringLiteral("D/bin/zuv")}
            << QStringLiteral("D/setup") << QStringLiteral("W") << QStringLiteral("D/setup");
    QTest::newRow("parent of the program holds bin/zuv")
            << QStringList {QStringLiteral("D/bin/zuv"), QStringLiteral("D/setup/readme")}
            << QStringLiteral("D/setup") << QStringLiteral("W") << QStringLiteral("D");
    QTest::newRow("program directory wins over its parent")
            << QStringList {QStringLiteral("D/bin/zuv"), QStringLiteral("D/setup/bin/hok")}
            << QStringLiteral("D/setup") << QStringLiteral("W") << QStringLiteral("D/setup");
    QTest::newRow("working directory")
            << QStringList {QStringLiteral("W/orvex.tgz"), QStringLiteral("D/setup/readme")}
            << QStringLiteral("D/setup") << QStringLiteral("W") << QStringLiteral("W");
    QTest::newRow("parent of the working directory")
            << QStringList {QStringLiteral("P/bin/zuv"), QStringLiteral("P/W/readme"),
                            QStringLiteral("D/setup/readme")}
            << QStringLiteral("D/setup") << QStringLiteral("P/W") << QStringLiteral("P");
    QTest::newRow("program candidates come before the working directory")
            << QStringList {QStringLiteral("D/bin/zuv"), QStringLiteral("W/orvex.tgz"),
                            QStringLiteral("D/setup/readme")}
            << QStringLiteral("D/setup") << QStringLiteral("W") << QStringLiteral("D");
    QTest::newRow("only bin/hok qualifies")
            << QStringList {QStringLiteral("D/bin/hok")} << QStringLiteral("D")
            << QStringLiteral("W") << QStringLiteral("D");
    QTest::newRow("a dangling link counts as an entry")
            << QStringList {QStringLiteral("link:D/orvex.tgz")} << QStringLiteral("D")
            << QStringLiteral("W") << QStringLiteral("D");
    QTest::newRow("a directory named like the archive counts")
            << QStringList {QStringLiteral("D/orvex.tgz/x")} << QStringLiteral("D")
            << QStringLiteral("W") << QStringLiteral("D");
    QTest::newRow("other names do not count")
            << QStringList {QStringLiteral("D/orvex.tar.gz"), QStringLiteral("D/bin/orvex"),
                            QStringLiteral("D/zuv"), QStringLiteral("W/readme")}
            << QStringLiteral("D") << QStringLiteral("W") << QStringLiteral("-");
}

void tst_InstallationFiles::find()
{
    QFETCH(QStringList, entries);
    QFETCH(QString, programDirectory);
    QFETCH(QString, workingDirectory);
    QFETCH(QString, expected);

    // Everything lies two levels below the temporary directory, so that no candidate (the
    // parents included) reaches outside the fixture.
    const QString base = root->filePath(QStringLiteral("a/b"));
    QVERIFY(QDir().mkpath(base));
    for (const QString &entry : entries)
        QVERIFY2(createEntry(base, entry), qPrintable(entry));
    QDir().mkpath(base + QLatin1Char('/') + programDirectory);
    QDir().mkpath(base + QLatin1Char('/') + workingDirectory);

    const QString found = findInstallationFiles(base + QLatin1Char('/') + programDirectory,
                                                base + QLatin1Char('/') + workingDirectory);
    if (expected == QLatin1String("-"))
        QVERIFY2(found.isNull(), qPrintable(found));
    else
        QCOMPARE(found, base + QLatin1Char('/') + expected);
}

void tst_InstallationFiles::programInRoot()
{
    // "/" is its own parent: it is looked at twice, then the working directory is.
    QVERIFY(createEntry(root->path(), QStringLiteral("W/bin/zuv")));
    const QString working = root->filePath(QStringLiteral("W"));
    QVERIFY(!QFileInfo::exists(QStringLiteral("/orvex.tgz")));
    QVERIFY(!QFileInfo::exists(QStringLiteral("/bin/zuv")) &&
            !QFileInfo::exists(QStringLiteral("/bin/hok")));
    QCOMPARE(findInstallationFiles(QStringLiteral("/"), working), working);
}

void tst_InstallationFiles::candidates()
{
    QCOMPARE(installationCandidates(QStringLiteral("/"), QStringLiteral("/home/u")),
             (QStringList {QStringLiteral("/"), QStringLiteral("/"), QStringLiteral("/home/u"),
                           QStringLiteral("/home")}));
    QCOMPARE(installationCandidates(QStringLiteral("/x/setup"), QStringLiteral("/w")),
             (QStringList {QStringLiteral("/x/setup"), QStringLiteral("/x"), QStringLiteral("/w"),
                           QStringLiteral("/")}));
}

QTEST_APPLESS_MAIN(tst_InstallationFiles)
#include "tst_installationfiles.moc"
