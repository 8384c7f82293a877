#include "debuglog.h"
#include "environmentguard.h"
#include "environmentsettings.h"
#include "settings.h"

#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

const char childModeArgument[] = "--log-child";

QStringList received;
std::atomic<int> counted {0};

void recordingHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    received << QString::fromLatin1(DebugLog::typeName(type)) + QLatin1Char(':') + message;
}

void countingHandler(QtMsgType, const QMessageLogContext &, const QString &)
{
    ++counted;
}

std::atomic<int> churned {0};

void churnHandler(QtMsgType, const QMessageLogContext &, const QString &)
{
    ++churned;
}

void printingHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    std::printf("handler %s: %s\n", DebugLog::typeName(type), message.toLocal8Bit().constData());
    std::fflush(stdout);
}

// Runs in the helper process: installs the handler and issues one message of the named case.
int logChild(const QByteArray &which)
{
    DebugLog::instance()->installMessageHandler();
    DebugLog::instance()->addHandler(printingHandler);
    if (which == "no-such-slot")
        qWarning("QObject::connect: No such slot A::b()");
    else if (which == "no-such-signal")
        qDebug("QObject::connect: No such signal A::c()");
    else if (which == "fatal")
        qFatal("out of memory");
    else if (which == "assert")
        qFatal("ASSERT: \"x\" in file a.cpp, line 1");
    else if (which == "iconv")
        qWarning("QIconvCodec::convertToUnicode: using Latin-1");
    else if (which == "plain")
        qWarning("just a warning");
    return 0;
}

// The environment as it was, and the settings cache emptied, when a test ends.
struct EnvironmentRestorer : EnvironmentGuard
{
    ~EnvironmentRestorer()
    {
        restore();
        EnvironmentCache::invalidate();
    }
};

} // namespace

class tst_DebugLog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void typeName_data();
    void typeName();
    void timeText_data();
    void timeText();
    void formatRecord();
    void writeRecord();
    void handlerAddedTwice();
    void logfReachesOnlyHandlers();
    void stopRules_data();
    void stopRules();
    void writeFullyToSlowReader();
    void writeFullyBadDescriptor();
    void openLogFile();
    void openLogFileErrors();
    void logFilePath_data();
    void logFilePath();
    void concurrentRegistration();
};

void tst_DebugLog::init()
{
    received.clear();
}

void tst_DebugLog::typeName_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("name");
    QTest::newRow("0") << 0 << QStringLiteral("debug");
    QTest::newRow("1") << 1 << QStringLiteral("warning");
    QTest::newRow("2") << 2 << QStringLiteral("critical");
    QTest::newRow("3") << 3 << QStringLiteral("fatal");
    QTest::newRow("4") << 4 << QStringLiteral("info");
    QTest::newRow("5") << 5 << QStringLiteral("unknown");
    QTest::newRow("-1") << -1 << QStringLiteral("unknown");
}

void tst_DebugLog::typeName()
{
    QFETCH(int, type);
    QFETCH(QString, name);
    QCOMPARE(QString::fromLatin1(DebugLog::typeName(type)), name);
}

void tst_DebugLog::timeText_data()
{
    QTest::addColumn<int>("milliseconds");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("0 ms") << 0 << QByteArray("09:15:07.0");
    QTest::newRow("5 ms") << 5 << QByteArray("09:15:07.5");
    QTest::newRow("8 ms") << 8 << QByteArray("09:15:07.8");
    QTest::newRow("50 ms") << 50 << QByteArray("09:15:07.50");
    QTest::newRow("250 ms") << 250 << QByteArray("09:15:07.250");
    QTest::newRow("999 ms") << 999 << QByteArray("09:15:07.999");
}

void tst_DebugLog::timeText()
{
    QFETCH(int, milliseconds);
    QFETCH(QByteArray, expected);
    const QDateTime at(QDate(2026, 3, 4), QTime(9, 15, 7, milliseconds), Qt::LocalTime);
    QCOMPARE(DebugLog::timeText(at.toMSecsSinceEpoch()), expected);
}

void tst_DebugLog::formatRecord()
{
    // Give the test framework its own handler back, which records expected messages.
    const QtMessageHandler testHandler = qInstallMessageHandler(nullptr);
    DebugLog::instance()->installMessageHandler();
    qInstallMessageHandler(testHandler);
    const QByteArray record =
            DebugLog::instance()->formatRecord(QtWarningMsg, QStringLiteral("ä <x>"));
    const QRegularExpression pattern(
            QStringLiteral("^<debug time=\"\\d\\d:\\d\\d:\\d\\d\\.(0|[1-9]\\d{0,2})\" "
                           "source=\"tst_debuglog\" "
                           "pid=\"%1\" type=\"warning\">")
                    .arg(QCoreApplication::applicationPid()));
    const QString text = QString::fromUtf8(record);
    QVERIFY2(pattern.match(text).hasMatch(), record.constData());
    QVERIFY(record.endsWith(QStringLiteral("\">ä <x></debug>").toUtf8()));
}

void tst_DebugLog::writeRecord()
{
    int fds[2];
    QCOMPARE(::pipe(fds), 0);
    DebugLog::instance()->writeRecord(fds[1], QtInfoMsg, QStringLiteral("hello"));
    DebugLog::instance()->writeRecord(-1, QtInfoMsg, QStringLiteral("lost"));
    ::close(fds[1]);
    QByteArray bytes(4096, '\0');
    const ssize_t size = ::read(fds[0], bytes.data(), bytes.size());
    ::close(fds[0]);
    bytes.resize(int(size));
    QVERIFY2(bytes.startsWith("<debug time=\""), bytes.constData());
    QVERIFY2(bytes.endsWith("\" type=\"info\">hello</debug>"), bytes.constData());
}

void tst_DebugLog::handlerAddedTwice()
{
    DebugLog *log = DebugLog::instance();
    log->addHandler(recordingHandler);
    log->addHandler(recordingHandler);
    log->dispatch(QtCriticalMsg, QMessageLogContext(), QStringLiteral("twice"));
    QCOMPARE(received,
             (QStringList {QStringLiteral("critical:twice"), QStringLiteral("critical:twice")}));
    log->removeHandler(recordingHandler);
    log->dispatch(QtCriticalMsg, QMessageLogContext(), QStringLiteral("gone"));
    QCOMPARE(received.size(), 2);
}

void tst_DebugLog::logfReachesOnlyHandlers()
{
    DebugLog *log = DebugLog::instance();
    log->addHandler(recordingHandler);
    log->debugf("%d items in %s", 3, "queue");
    log->warningf("%s", "careful");
    log->logf(QtInfoMsg, QMessageLogContext(), "No such slot %d", 7);
    log->removeHandler(recordingHandler);
    // The stop rules belong to the toolkit's messages: "No such slot" through logf is just text.
    QCOMPARE(received,
             (QStringList {QStringLiteral("debug:3 items in queue"),
                           QStringLiteral("warning:careful"),
                           QStringLiteral("info:No such slot 7")}));
}

void tst_DebugLog::stopRules_data()
{
    QTest::addColumn<QByteArray>("which");
    QTest::addColumn<bool>("crashes");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("standardError");
    QTest::addColumn<QByteArray>("standardOutput");

    QTest::newRow("no such slot aborts")
            << QByteArray("no-such-slot") << true << 0
            << QByteArray("QObject::connect: No such slot A::b()\n")
            << QByteArray("handler warning: QObject::connect: No such slot A::b()\n");
    QTest::newRow("no such signal aborts even as debug")
            << QByteArray("no-such-signal") << true << 0
            << QByteArray("QObject::connect: No such signal A::c()\n")
            << QByteArray("handler debug: QObject::connect: No such signal A::c()\n");
    QTest::newRow("fatal exits 1")
            << QByteArray("fatal") << false << 1 << QByteArray("out of memory\n")
            << QByteArray("handler fatal: out of memory\n");
    QTest::newRow("fatal assert aborts")
            << QByteArray("assert") << true << 0
            << QByteArray("ASSERT: \"x\" in file a.cpp, line 1\n")
            << QByteArray("handler fatal: ASSERT: \"x\" in file a.cpp, line 1\n");
    QTest::newRow("iconv is silent")
            << QByteArray("iconv") << false << 0 << QByteArray() << QByteArray();
    QTest::newRow("warning goes on")
            << QByteArray("plain") << false << 0 << QByteArray("just a warning\n")
            << QByteArray("handler warning: just a warning\n");
}

void tst_DebugLog::stopRules()
{
    QFETCH(QByteArray, which);
    QFETCH(bool, crashes);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, standardError);
    QFETCH(QByteArray, standardOutput);
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QString::fromLatin1(childModeArgument), QString::fromLatin1(which)});
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), crashes ? QProcess::CrashExit : QProcess::NormalExit);
    if (!crashes)
        QCOMPARE(child.exitCode(), exitCode);
    QCOMPARE(child.readAllStandardError(), standardError);
    QCOMPARE(child.readAllStandardOutput(), standardOutput);
}

void tst_DebugLog::writeFullyToSlowReader()
{
    int fds[2];
    QCOMPARE(::pipe2(fds, O_NONBLOCK), 0);
    // Far more than a pipe holds, so the writer meets a full pipe many times.
    QByteArray data(1 << 20, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = char(i * 7 % 251);
    QByteArray collected;
    std::unique_ptr<QThread> reader(QThread::create([&] {
        char chunk[1000];
        for (;;) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(fds[0], &readable);
            ::select(fds[0] + 1, &readable, nullptr, nullptr, nullptr);
            const ssize_t size = ::read(fds[0], chunk, sizeof chunk);
            if (size == 0)
                return;
            if (size > 0)
                collected.append(chunk, int(size));
        }
    }));
    reader->start();
    QCOMPARE(DebugLog::writeFully(fds[1], data.constData(), data.size()), qint64(data.size()));
    ::close(fds[1]);
    QVERIFY(reader->wait(30000));
    ::close(fds[0]);
    QVERIFY(collected == data);
}

void tst_DebugLog::writeFullyBadDescriptor()
{
    int fds[2];
    QCOMPARE(::pipe(fds), 0);
    ::close(fds[1]);
    // Writing to the read end fails at once with EBADF and reports it.
    QCOMPARE(DebugLog::writeFully(fds[0], "x", 1), qint64(-1));
    ::close(fds[0]);
}

void tst_DebugLog::openLogFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("run.log"));
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old contents that must go\n");
    }
    DebugLog *log = DebugLog::instance();
    log->openLogFile(path);
    log->warningf("first %d", 1);
    log->dispatch(QtDebugMsg, QMessageLogContext(), QStringLiteral("second é"));
    QFile written(path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), QByteArray("first 1\nsecond \xe9\n"));

    const QString next = dir.filePath(QStringLiteral("next.log"));
    log->openLogFile(next);
    log->warningf("third");
    QFile moved(next);
    QVERIFY(moved.open(QIODevice::ReadOnly));
    QCOMPARE(moved.readAll(), QByteArray("third\n"));
    QVERIFY(written.seek(0));
    QCOMPARE(written.readAll(), QByteArray("first 1\nsecond \xe9\n"));
}

void tst_DebugLog::openLogFileErrors()
{
    DebugLog *log = DebugLog::instance();
    QTest::ignoreMessage(QtWarningMsg, "Log file name is empty");
    log->openLogFile(QString());
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("missing/run.log"));
    QTest::ignoreMessage(
            QtCriticalMsg,
            QRegularExpression(QStringLiteral("^%1: .+").arg(QRegularExpression::escape(path))));
    log->openLogFile(path);
}

void tst_DebugLog::logFilePath_data()
{
    QTest::addColumn<QStringList>("variables"); // "<dir>" in a value stands for an existing dir
    QTest::addColumn<QString>("settingName");
    QTest::addColumn<QString>("baseName");
    QTest::addColumn<QString>("expected"); // "<null>" for a null text

    QTest::newRow("logs directory")
            << QStringList {QStringLiteral("ZUV_LOGS=<dir>")} << QString()
            << QStringLiteral("comms.log") << QStringLiteral("<dir>/comms-7.log");
    QTest::newRow("logs directory missing")
            << QStringList {QStringLiteral("ZUV_LOGS=<dir>/none")} << QString()
            << QStringLiteral("comms.log") << QStringLiteral("<null>");
    QTest::newRow("setting wins") << QStringList {QStringLiteral("ZUV_LOGS=<dir>"),
                                                  QStringLiteral("HOK_COMMS_LOG=/var/x/my.log")}
                                  << QStringLiteral("COMMS_LOG") << QStringLiteral("comms.log")
                                  << QStringLiteral("/var/x/my-7.log");
    QTest::newRow("setting without .log")
            << QStringList {QStringLiteral("ORVEX_COMMS_LOG=/var/x/my")}
            << QStringLiteral("COMMS_LOG") << QStringLiteral("comms.log")
            << QStringLiteral("/var/x/my-7.log");
    QTest::newRow("setting unset falls back")
            << QStringList {QStringLiteral("BRESKAN_LOGS=<dir>")} << QStringLiteral("COMMS_LOG")
            << QStringLiteral("debug") << QStringLiteral("<dir>/debug-7.log");
    // Neither: the installation's logs-l33t beside the test's directory does not exist.
    QTest::newRow("neither") << QStringList() << QString() << QStringLiteral("comms.log")
                             << QStringLiteral("<null>");
}

void tst_DebugLog::logFilePath()
{
    QFETCH(QStringList, variables);
    QFETCH(QString, settingName);
    QFETCH(QString, baseName);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    EnvironmentRestorer environment;
    for (const char *prefix : {"ZUV_", "HOK_", "BRESKAN_", "ORVEX_"}) {
        environment.set(QByteArray(prefix) + "LOGS", nullptr);
        environment.set(QByteArray(prefix) + "COMMS_LOG", nullptr);
    }
    for (QString variable : variables) {
        variable.replace(QLatin1String("<dir>"), dir.path());
        const int equals = variable.indexOf(QLatin1Char('='));
        const QByteArray value = QFile::encodeName(variable.mid(equals + 1));
        environment.set(variable.left(equals).toLatin1(), &value);
    }
    EnvironmentCache::invalidate();
    expected.replace(QLatin1String("<dir>"), dir.path());
    const QString path = DebugLog::logFilePath(settingName, baseName, QStringLiteral("-7"));
    QCOMPARE(path.isNull() ? QStringLiteral("<null>") : path, expected);
}

void tst_DebugLog::concurrentRegistration()
{
    // Loggers and settings readers run while another thread keeps adding and removing a
    // handler: the handler that stays registered throughout must see every message exactly once.
    DebugLog *log = DebugLog::instance();
    counted = 0;
    log->addHandler(countingHandler);
    constexpr int threads = 4;
    constexpr int messages = 5000;
    std::atomic<bool> stop {false};
    std::vector<std::unique_ptr<QThread>> loggers;
    for (int t = 0; t < threads; ++t) {
        loggers.emplace_back(QThread::create([&] {
            for (int n = 0; n < messages; ++n) {
                log->debugf("message %d, timeout %d", n,
                            Settings::eventLoopWatchdogTimeout.value());
                if (n % 64 == 0)
                    EnvironmentCache::invalidate();
            }
        }));
    }
    std::unique_ptr<QThread> registrar(QThread::create([&] {
        while (!stop) {
            log->addHandler(churnHandler);
            log->addHandler(churnHandler);
            log->removeHandler(churnHandler);
        }
    }));
    registrar->start();
    for (auto &logger : loggers)
        logger->start();
    for (auto &logger : loggers)
        QVERIFY(logger->wait(60000));
    stop = true;
    QVERIFY(registrar->wait(60000));
    log->removeHandler(countingHandler);
    QCOMPARE(counted.load(), threads * messages);
    const int churnedBefore = churned;
    log->debugf("after");
    QCOMPARE(churned.load(), churnedBefore);
}

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], childModeArgument) == 0)
        return logChild(argv[2]);
    QCoreApplication app(argc, argv);
    tst_DebugLog test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_debuglog.moc"
