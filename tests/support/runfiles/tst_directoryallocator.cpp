#include "buildinfo.h"
#include "directoryallocator.h"
#include "environmentguard.h"
#include "environmentsettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char childModeArgument[] = "--fatal-child";

// Runs in the helper process: the default handler must end it on the first failure.
int fatalChild(const char *base)
{
    DirectoryAllocator::userTemporaryDirectory(QString::fromLocal8Bit(base));
    return 0;
}

mode_t modeOf(const QString &path)
{
    struct stat status;
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return mode_t(-1);
    return status.st_mode;
}

} // namespace

class tst_DirectoryAllocator : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void systemTemporaryDirectory_data();
    void systemTemporaryDirectory();
    void userTempName_data();
    void userTempName();
    void createsPrivateDirectory();
    void tightensExistingDirectory();
    void rejectsSymbolicLink();
    void rejectsOtherOwner();
    void reportsCreationFailure();
    void makeTemporaryFile();
    void makeTemporaryFileFails();
    void platformPath();
    void defaultHandlerEndsProcess();

private:
    void setVariable(const char *name, const QByteArray *value);
    EnvironmentGuard environment;
    QStringList errors;
};

void tst_DirectoryAllocator::setVariable(const char *name, const QByteArray *value)
{
    environment.set(name, value);
}

void tst_DirectoryAllocator::init()
{
    errors.clear();
    DirectoryAllocator::errorHandler = [this](const QString &message) { errors << message; };
    for (const char *name :
         {"ZUV_USER_TEMP_NAME", "HOK_USER_TEMP_NAME", "BRESKAN_USER_TEMP_NAME",
          "ORVEX_USER_TEMP_NAME", "BG_JOBID", "LOGNAME", "USER", "USERNAME", "SLURM_JOB_USER"})
        setVariable(name, nullptr);
    const QByteArray tester("tester");
    setVariable("LOGNAME", &tester);
    EnvironmentCache::invalidate();
}

void tst_DirectoryAllocator::cleanup()
{
    environment.restore();
    EnvironmentCache::invalidate();
}

void tst_DirectoryAllocator::systemTemporaryDirectory_data()
{
    QTest::addColumn<QString>("tmpdir"); // "<unset>", "<dir>", "<file>" or a path
    QTest::addColumn<bool>("expectFallback");

    QTest::newRow("unset") << QStringLiteral("<unset>") << true;
    QTest::newRow("missing") << QStringLiteral("/nonexistent/orvex-tmp") << true;
    QTest::newRow("existing") << QStringLiteral("<dir>") << false;
    QTest::newRow("a file") << QStringLiteral("<file>") << false;
}

void tst_DirectoryAllocator::systemTemporaryDirectory()
{
    QFETCH(QString, tmpdir);
    QFETCH(bool, expectFallback);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString path = tmpdir;
    QStringList expectedErrors;
    if (tmpdir == QLatin1String("<dir>")) {
        path = dir.path();
    } else if (tmpdir == QLatin1String("<file>")) {
        // Exists and is writable, so there is no fallback; the handler hears of it and the path
        // comes back unchecked.
        path = dir.filePath(QStringLiteral("file"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        expectedErrors << QStringLiteral("Temporary directory is really a file: %1").arg(path);
    }
    const QByteArray value = QFile::encodeName(path);
    setVariable("TMPDIR", tmpdir == QLatin1String("<unset>") ? nullptr : &value);
    QCOMPARE(DirectoryAllocator::systemTemporaryDirectory(),
             expectFallback ? QStringLiteral("/tmp") : path);
    QCOMPARE(errors, expectedErrors);
}

void tst_DirectoryAllocator::userTempName_data()
{
    // Each row sets "NAME=value" pairs on top of LOGNAME=tester.
    QTest::addColumn<QStringList>("variables");
    QTest::addColumn<QString>("expected");

    QTest::newRow("login name") << QStringList() << QStringLiteral("tavrin-orvex-tester");
    QTest::newRow("job id first") << QStringList {QStringLiteral("BG_JOBID=42")}
                                  << QStringLiteral("tavrin-orvex-42");
    QTest::newRow("empty job id counts")
            << QStringList {QStringLiteral("BG_JOBID=")} << QStringLiteral("tavrin-orvex-");
    QTest::newRow("setting wins") << QStringList {QStringLiteral("BG_JOBID=42"),
                                                  QStringLiteral("HOK_USER_TEMP_NAME=mine")}
                                  << QStringLiteral("mine");
    QTest::newRow("no login name")
            << QStringList {QStringLiteral("-LOGNAME"), QStringLiteral("USERNAME=carol"),
                            QStringLiteral("SLURM_JOB_USER=dave")}
            << QStringLiteral("tavrin-orvex-carol");
    QTest::newRow("slurm last") << QStringList {QStringLiteral("-LOGNAME"),
                                                QStringLiteral("SLURM_JOB_USER=dave")}
                                << QStringLiteral("tavrin-orvex-dave");
    QTest::newRow("nobody") << QStringList {QStringLiteral("-LOGNAME")}
                            << QStringLiteral("tavrin-orvex-unknown");
}

void tst_DirectoryAllocator::userTempName()
{
    QFETCH(QStringList, variables);
    QFETCH(QString, expected);
    for (const QString &variable : variables) {
        if (variable.startsWith(QLatin1Char('-'))) {
            setVariable(variable.mid(1).toLatin1().constData(), nullptr);
            continue;
        }
        const int equals = variable.indexOf(QLatin1Char('='));
        const QByteArray value = variable.mid(equals + 1).toLocal8Bit();
        setVariable(variable.left(equals).toLatin1().constData(), &value);
    }
    EnvironmentCache::invalidate();
    QCOMPARE(DirectoryAllocator::userTempName(), expected);
}

void tst_DirectoryAllocator::createsPrivateDirectory()
{
    QTemporaryDir base;
    QVERIFY(base.isValid());
    const QString path = DirectoryAllocator::userTemporaryDirectory(base.path());
    QCOMPARE(path, base.path() + QStringLiteral("/tavrin-orvex-tester"));
    QVERIFY(S_ISDIR(modeOf(path)));
    QCOMPARE(modeOf(path) & 0777, mode_t(0700) & ~mode_t(0022) & 0777);
    // A second call finds and accepts it.
    QCOMPARE(DirectoryAllocator::userTemporaryDirectory(base.path()), path);
    QCOMPARE(errors, QStringList());
}

void tst_DirectoryAllocator::tightensExistingDirectory()
{
    QTemporaryDir base;
    QVERIFY(base.isValid());
    const QString path = base.path() + QStringLiteral("/tavrin-orvex-tester");
    QVERIFY(QDir().mkdir(path));
    QVERIFY(::chmod(QFile::encodeName(path).constData(), 0755) == 0);
    QCOMPARE(DirectoryAllocator::userTemporaryDirectory(base.path()), path);
    QCOMPARE(modeOf(path) & 07777, mode_t(0700));
    QCOMPARE(errors, QStringList());
}

void tst_DirectoryAllocator::rejectsSymbolicLink()
{
    QTemporaryDir base;
    QVERIFY(base.isValid());
    const QString target = base.path() + QStringLiteral("/target");
    QVERIFY(QDir().mkdir(target));
    const QString path = base.path() + QStringLiteral("/tavrin-orvex-tester");
    QVERIFY(QFile::link(target, path));
    QVERIFY(DirectoryAllocator::userTemporaryDirectory(base.path()).isNull());
    QCOMPARE(errors,
             QStringList {QStringLiteral("Temporary directory is not a directory: %1 (%2)")
                                  .arg(path)
                                  .arg(S_IFLNK)});
}

void tst_DirectoryAllocator::rejectsOtherOwner()
{
    if (::getuid() != 0)
        QSKIP("Needs root to make a directory as another user");
    const passwd *nobody = ::getpwnam("nobody");
    QVERIFY(nobody);
    QTemporaryDir base;
    QVERIFY(base.isValid());
    QVERIFY(::chmod(QFile::encodeName(base.path()).constData(), 0777) == 0);
    const QString path = base.path() + QStringLiteral("/tavrin-orvex-tester");
    const QByteArray encoded = QFile::encodeName(path);
    // The directory is made by a child that has become the other user, as an attacker would.
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        const bool made = ::setgid(nobody->pw_gid) == 0 && ::setuid(nobody->pw_uid) == 0 &&
                ::mkdir(encoded.constData(), 0700) == 0;
        ::_exit(made ? 0 : 1);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    QVERIFY(DirectoryAllocator::userTemporaryDirectory(base.path()).isNull());
    QCOMPARE(errors,
             QStringList {QStringLiteral("Temporary directory is owned by someone else: %1 (%2)")
                                  .arg(path)
                                  .arg(nobody->pw_uid)});
    QCOMPARE(modeOf(path) & 07777, mode_t(0700));
}

void tst_DirectoryAllocator::reportsCreationFailure()
{
    QTemporaryDir base;
    QVERIFY(base.isValid());
    const QString missing = base.path() + QStringLiteral("/missing");
    QVERIFY(DirectoryAllocator::userTemporaryDirectory(missing).isNull());
    QCOMPARE(errors,
             QStringList {QStringLiteral("Failed to create temporary directory: %1 (%2)")
                                  .arg(missing + QStringLiteral("/tavrin-orvex-tester"),
                                       QStringLiteral("No such file or directory"))});
}

void tst_DirectoryAllocator::makeTemporaryFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString first =
            DirectoryAllocator::makeTemporaryFile(dir.path(), QStringLiteral("pidfile"));
    const QString second =
            DirectoryAllocator::makeTemporaryFile(dir.path(), QStringLiteral("pidfile"));
    QVERIFY(!first.isNull());
    QVERIFY(first != second);
    for (const QString &path : {first, second}) {
        const QFileInfo info(path);
        QCOMPARE(info.path(), dir.path());
        QVERIFY2(info.fileName().startsWith(QLatin1String("pidfi")), qPrintable(path));
        QCOMPARE(info.fileName().size(), 11);
        QCOMPARE(info.size(), 0);
        QCOMPARE(modeOf(path) & 07777, mode_t(0600));
    }
    const QString shortPrefix =
            DirectoryAllocator::makeTemporaryFile(dir.path(), QStringLiteral("ab"));
    QCOMPARE(QFileInfo(shortPrefix).fileName().size(), 8);
}

void tst_DirectoryAllocator::makeTemporaryFileFails()
{
    QVERIFY(DirectoryAllocator::makeTemporaryFile(QStringLiteral("/nonexistent/dir"),
                                                  QStringLiteral("x"))
                    .isNull());
    QCOMPARE(errors, QStringList());
}

void tst_DirectoryAllocator::platformPath()
{
    QCOMPARE(DirectoryAllocator::platformPath(),
             QString::fromLatin1(buildInfo.buildArchitecture) + QLatin1Char('/') +
                     QString::fromLatin1(buildInfo.buildOsName) + QLatin1Char('/') +
                     QString::fromLatin1(buildInfo.buildOsVersion));
}

void tst_DirectoryAllocator::defaultHandlerEndsProcess()
{
    QTemporaryDir base;
    QVERIFY(base.isValid());
    const QString missing = base.path() + QStringLiteral("/missing");
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ORVEX_USER_TEMP_NAME"), QStringLiteral("private"));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {QString::fromLatin1(childModeArgument), missing});
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    const QString standardError = QString::fromLocal8Bit(child.readAllStandardError());
    QVERIFY2(standardError.contains(
                     QStringLiteral("Failed to create temporary directory: %1/private "
                                    "(No such file or directory)")
                             .arg(missing)),
             qPrintable(standardError));
}

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], childModeArgument) == 0)
        return fatalChild(argv[2]);
    QCoreApplication app(argc, argv);
    tst_DirectoryAllocator test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_directoryallocator.moc"
