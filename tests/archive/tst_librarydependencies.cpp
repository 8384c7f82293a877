#include "librarydependencies.h"
#include "tar.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QString fixtureProgram = QStringLiteral(ORVEX_FIXTURE_PROGRAM);
const QString fixtureLibrary = QStringLiteral(ORVEX_FIXTURE_LIBRARY);
const QString fixtureName = QFileInfo(fixtureLibrary).fileName();

QStringList texts(const QSignalSpy &spy)
{
    QStringList values;
    for (const QList<QVariant> &arguments : spy)
        values.append(arguments.at(0).toString());
    return values;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Sets an environment variable for the life of the object, then puts the old value back.
class ScopedVariable
{
public:
    ScopedVariable(const char *name, const QByteArray &value)
        : name(name), wasSet(qEnvironmentVariableIsSet(name)), old(qgetenv(name))
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~ScopedVariable()
    {
        if (wasSet)
            qputenv(name, old);
        else
            qunsetenv(name);
    }
    ScopedVariable(const ScopedVariable &) = delete;
    ScopedVariable &operator=(const ScopedVariable &) = delete;

private:
    const char *name;
    bool wasSet;
    QByteArray old;
};

} // namespace

class tst_LibraryDependencies : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();

    void missingLibrary();
    void resolvedPathsAreCleaned_data();
    void resolvedPathsAreCleaned();
    void emptyResults_data();
    void emptyResults();
    void copyWithDependencies();
    void copyWithDependenciesGoesOnAfterFailures();

private:
    std::unique_ptr<QTemporaryDir> dir;
    // The search path is the tests' to set; whatever the caller had is kept out.
    std::unique_ptr<ScopedVariable> libraryPath;
};

void tst_LibraryDependencies::init()
{
    libraryPath.reset();
    libraryPath = std::make_unique<ScopedVariable>("LD_LIBRARY_PATH", QByteArray());
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void tst_LibraryDependencies::missingLibrary()
{
    QCOMPARE(missingLibraries(fixtureProgram), QSet<QString> {fixtureName});

    Tar tar(nullptr);
    QSignalSpy errors(&tar, &Tar::error);
    QSignalSpy statuses(&tar, &Tar::status);
    QStringList missing {QStringLiteral("earlier")};
    const QStringList resolved = tar.libraryDependencies(fixtureProgram, &missing);
    QCOMPARE(missing, (QStringList {QStringLiteral("earlier"), fixtureName}));
    QVERIFY(!resolved.isEmpty());
    for (const QString &path : resolved) {
        QVERIFY2(path.startsWith(QLatin1Char('/')) && path == QDir::cleanPath(path),
                 qPrintable(path));
        QVERIFY(QFileInfo::exists(path));
        QVERIFY(!path.endsWith(fixtureName));
    }
    QCOMPARE(resolved.filter(QRegularExpression(QStringLiteral("/libc\\.so\\.6$"))).size(), 1);

    // A second program with the same gap adds the name again; the set holds it once.
    tar.libraryDependencies(fixtureProgram, &missing);
    QCOMPARE(missing, (QStringList {QStringLiteral("earlier"), fixtureName, fixtureName}));
    // Without a list the names not found are simply left out.
    QCOMPARE(tar.libraryDependencies(fixtureProgram), resolved);
    QCOMPARE(errors.size() + statuses.size(), 0);
}

void tst_LibraryDependencies::resolvedPathsAreCleaned_data()
{
    QTest::addColumn<QString>("searchPath");
    QTest::addColumn<QString>("reported");
    // %D stands for the directory holding the fixture library, %P for its parent.
    QTest::newRow("plain") << "%D" << QLatin1String("%D/") + fixtureName;
    QTest::newRow("doubled separator")
        << "%P//fixturelib" << QLatin1String("%P//fixturelib/") + fixtureName;
    QTest::newRow(".. segment") << "%D/../fixturelib"
                                << QLatin1String("%D/../fixturelib/") + fixtureName;
    QTest::newRow(". segment") << "%P/./fixturelib"
                               << QLatin1String("%P/./fixturelib/") + fixtureName;
}

void tst_LibraryDependencies::resolvedPathsAreCleaned()
{
    QFETCH(QString, searchPath);
    QFETCH(QString, reported);
    const QString directory = QFileInfo(fixtureLibrary).path();
    const QString parent = QFileInfo(directory).path();
    for (QString *text : {&searchPath, &reported})
        text->replace(QLatin1String("%D"), directory).replace(QLatin1String("%P"), parent);
    ScopedVariable path("LD_LIBRARY_PATH", QFile::encodeName(searchPath));

    // The loader reports the library the way the search path spells it...
    QVERIFY2(
        lddReport(fixtureProgram).join(QLatin1Char('\n')).contains(reported + QLatin1String(" (")),
        qPrintable(lddReport(fixtureProgram).join(QLatin1Char('\n'))));
    // ...and the listing gives it cleaned.
    Tar tar(nullptr);
    QStringList missing;
    const QStringList resolved = tar.libraryDependencies(fixtureProgram, &missing);
    QVERIFY(resolved.contains(directory + QLatin1Char('/') + fixtureName));
    QCOMPARE(resolved.filter(fixtureName).size(), 1);
    QCOMPARE(missing, QStringList());
    QCOMPARE(missingLibraries(fixtureProgram), QSet<QString>());
}

void tst_LibraryDependencies::emptyResults_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("withoutLdd");
    QTest::newRow("not a dynamic executable") << "%T/script.sh" << false;
    QTest::newRow("no such file") << "%T/absent" << false;
    QTest::newRow("ldd not on the search path") << ORVEX_FIXTURE_PROGRAM << true;
}

void tst_LibraryDependencies::emptyResults()
{
    QFETCH(QString, file);
    QFETCH(bool, withoutLdd);
    file.replace(QLatin1String("%T"), dir->path());
    QFile script(dir->filePath(QStringLiteral("script.sh")));
    QVERIFY(script.open(QIODevice::WriteOnly));
    QVERIFY(script.write("#!/bin/sh\nexit 0\n") > 0);
    script.close();
    QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));
    // An empty directory as the whole search path: no ldd anywhere.
    const QString emptyDirectory = dir->filePath(QStringLiteral("empty"));
    QVERIFY(QDir().mkpath(emptyDirectory));
    std::unique_ptr<ScopedVariable> searchPath;
    if (withoutLdd)
        searchPath = std::make_unique<ScopedVariable>("PATH", QFile::encodeName(emptyDirectory));

    QCOMPARE(missingLibraries(file), QSet<QString>());
    Tar tar(nullptr);
    QSignalSpy errors(&tar, &Tar::error);
    QStringList missing {QStringLiteral("earlier")};
    QCOMPARE(tar.libraryDependencies(file, &missing), QStringList());
    QCOMPARE(missing, QStringList {QStringLiteral("earlier")});
    QCOMPARE(errors.size(), 0);
}

void tst_LibraryDependencies::copyWithDependencies()
{
    ScopedVariable path("LD_LIBRARY_PATH", QFile::encodeName(QFileInfo(fixtureLibrary).path()));
    Tar tar(nullptr);
    const QStringList resolved = tar.libraryDependencies(fixtureProgram);
    QVERIFY(resolved.size() >= 2);
    QSignalSpy errors(&tar, &Tar::error);
    QSignalSpy statuses(&tar, &Tar::status);
    const QString destination = dir->filePath(QStringLiteral("bundle"));
    QVERIFY(QDir().mkpath(destination));

    tar.copyWithDependencies(fixtureProgram, destination + QLatin1Char('/'));
    QCOMPARE(texts(errors), QStringList());
    QStringList expectedStatus;
    QStringList expectedFiles;
    for (const QString &library : resolved) {
        expectedStatus.append(QStringLiteral("Copying \"%1\" to \"%2\"")
                                  .arg(QFileInfo(library).fileName(), destination));
        expectedFiles.append(QFileInfo(library).fileName());
        QCOMPARE(contents(destination + QLatin1Char('/') + QFileInfo(library).fileName()),
                 contents(library));
    }
    QCOMPARE(texts(statuses), expectedStatus);
    expectedFiles.sort();
    QCOMPARE(QDir(destination).entryList(QDir::Files, QDir::Name), expectedFiles);
    // The program itself is not part of what it depends on.
    QVERIFY(
        !QFileInfo::exists(destination + QLatin1Char('/') + QFileInfo(fixtureProgram).fileName()));
}

void tst_LibraryDependencies::copyWithDependenciesGoesOnAfterFailures()
{
    ScopedVariable path("LD_LIBRARY_PATH", QFile::encodeName(QFileInfo(fixtureLibrary).path()));
    Tar tar(nullptr);
    const QStringList resolved = tar.libraryDependencies(fixtureProgram);
    QSignalSpy errors(&tar, &Tar::error);
    // The prefix is taken as text: without a trailing "/" the names are glued to it, and a
    // prefix in a directory that does not exist fails for every library.
    const QString prefix = dir->filePath(QStringLiteral("missing/lib-"));
    tar.copyWithDependencies(fixtureProgram, prefix);
    QStringList expected;
    for (const QString &library : resolved)
        expected.append(QStringLiteral("Can't open \"%1%2\" for writing.")
                            .arg(prefix, QFileInfo(library).fileName()));
    QCOMPARE(texts(errors), expected);
}

QTEST_GUILESS_MAIN(tst_LibraryDependencies)
#include "tst_librarydependencies.moc"
