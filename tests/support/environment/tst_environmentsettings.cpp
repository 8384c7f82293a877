#include "buildinfo.h"
#include "environmentguard.h"
#include "environmentsettings.h"
#include "settings.h"

#include <QHash>
#include <QTest>
#include <QThread>

#include <atomic>
#include <vector>

namespace {

const char *const allPrefixes[] = {"ZUV_", "HOK_", "BRESKAN_", "ORVEX_"};

// Unsets a suffix under every prefix.
void clearSuffix(EnvironmentGuard &environment, const QByteArray &suffix)
{
    for (const char *prefix : allPrefixes)
        environment.unset(prefix + suffix);
}

QString shown(const QString &text)
{
    return text.isNull() ? QStringLiteral("<null>") : text;
}

} // namespace

class tst_EnvironmentSettings : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void lookup_data();
    void lookup();
    void cachedUntilInvalidated();
    void disabledCacheReadsAfresh();
    void suspenderRestoresPreviousState();
    void declaredDefaults();
    void concurrentLookups();

private:
    EnvironmentGuard environment;
};

void tst_EnvironmentSettings::init()
{
    for (const char *suffix : {"X", "DEBUG", "DEBUG_SHUTDOWN", "VERSION", "RELEASE_VERSION",
                               "FEATURE_FLAGS", "EVENT_LOOP_WATCHDOG_TIMEOUT"})
        clearSuffix(environment, suffix);
    EnvironmentCache::enable();
    EnvironmentCache::invalidate();
}

void tst_EnvironmentSettings::cleanup()
{
    environment.restore();
    EnvironmentCache::enable();
    EnvironmentCache::invalidate();
}

void tst_EnvironmentSettings::lookup_data()
{
    // kind: text, flag, integer (argument: default), debug, version, release, feature (argument:
    // name). Results are shown as text: "<null>" for a null text, "true"/"false" for booleans.
    QTest::addColumn<QStringList>("variables");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("expected");

    const QString builtVersion = QString::fromLatin1(buildInfo.version);
    auto row = [](const char *name, QStringList variables, const char *kind, const char *suffix,
                  const char *argument, const QString &expected) {
        QTest::newRow(name) << variables << QString::fromLatin1(kind) << QString::fromLatin1(suffix)
                            << QString::fromLatin1(argument) << expected;
    };
    auto s = [](const char *text) { return QString::fromLatin1(text); };
    auto l = [](std::initializer_list<const char *> texts) {
        QStringList list;
        for (const char *text : texts)
            list << QString::fromLatin1(text);
        return list;
    };

    row("text absent is null", {}, "text", "X", "", s("<null>"));
    row("text empty is empty", l({"ORVEX_X="}), "text", "X", "", s(""));
    row("text from ORVEX", l({"ORVEX_X=abc"}), "text", "X", "", s("abc"));
    row("ZUV before HOK", l({"HOK_X=hok", "ZUV_X=zuv"}), "text", "X", "", s("zuv"));
    row("HOK before BRESKAN", l({"BRESKAN_X=b", "HOK_X=h", "ORVEX_X=o"}), "text", "X", "", s("h"));
    row("BRESKAN before ORVEX", l({"BRESKAN_X=b", "ORVEX_X=o"}), "text", "X", "", s("b"));
    row("empty ZUV wins for text", l({"ZUV_X=", "ORVEX_X=5"}), "text", "X", "", s(""));
    row("empty ZUV wins for integer", l({"ZUV_X=", "ORVEX_X=5"}), "integer", "X", "10", s("10"));
    row("empty ZUV wins for flag", l({"ZUV_X=", "ORVEX_X=0"}), "flag", "X", "", s("true"));
    row("unusable integer does not fall through", l({"HOK_X=abc", "ORVEX_X=7"}), "integer", "X",
        "10", s("10"));
    row("integer absent", {}, "integer", "X", "10", s("10"));
    row("integer plain", l({"ORVEX_X=42"}), "integer", "X", "10", s("42"));
    row("integer negative", l({"ORVEX_X=-3"}), "integer", "X", "10", s("-3"));
    row("integer leading blanks", l({"ORVEX_X= 12"}), "integer", "X", "10", s("12"));
    row("integer trailing blank", l({"ORVEX_X=12 "}), "integer", "X", "10", s("10"));
    row("integer sign only", l({"ORVEX_X=+"}), "integer", "X", "10", s("10"));
    row("integer beyond int", l({"ORVEX_X=99999999999"}), "integer", "X", "10", s("10"));
    row("flag absent", {}, "flag", "X", "", s("false"));
    row("flag Disabled", l({"ORVEX_X=Disabled"}), "flag", "X", "", s("false"));
    row("flag OFF", l({"ORVEX_X=OFF"}), "flag", "X", "", s("false"));
    row("flag No", l({"ORVEX_X=No"}), "flag", "X", "", s("false"));
    row("flag disable", l({"ORVEX_X=disable"}), "flag", "X", "", s("false"));
    row("flag 0", l({"ORVEX_X=0"}), "flag", "X", "", s("false"));
    row("flag false is true", l({"ORVEX_X=false"}), "flag", "X", "", s("true"));
    row("flag n is true", l({"ORVEX_X=n"}), "flag", "X", "", s("true"));
    row("flag 00 is true", l({"ORVEX_X=00"}), "flag", "X", "", s("true"));
    row("debug switch off", {}, "debug", "DEBUG_SHUTDOWN", "", s("false"));
    row("debug switch by presence", l({"HOK_DEBUG_SHUTDOWN=0"}), "debug", "DEBUG_SHUTDOWN", "",
        s("true"));
    row("general debug by presence", l({"ORVEX_DEBUG=0"}), "debug", "DEBUG_SHUTDOWN", "",
        s("true"));
    row("general debug empty ZUV", l({"ZUV_DEBUG="}), "debug", "DEBUG_SHUTDOWN", "", s("true"));
    row("version built", {}, "version", "", "",
        builtVersion.isEmpty() ? s("<unknown>") : builtVersion);
    row("version set", l({"HOK_VERSION=9.1"}), "version", "", "", s("9.1"));
    row("version empty", l({"ORVEX_VERSION="}), "version", "", "", s(""));
    row("release follows empty version", l({"ORVEX_VERSION="}), "release", "", "", s(""));
    row("release follows version", l({"ZUV_VERSION=3"}), "release", "", "", s("3"));
    row("release set", l({"ZUV_VERSION=3", "ORVEX_RELEASE_VERSION=3.0.1"}), "release", "", "",
        s("3.0.1"));
    row("feature b", l({"ORVEX_FEATURE_FLAGS=a,,b"}), "feature", "", "b", s("true"));
    row("feature empty name", l({"ORVEX_FEATURE_FLAGS=a,,b"}), "feature", "", "", s("false"));
    row("feature untrimmed", l({"ORVEX_FEATURE_FLAGS=a, x"}), "feature", "", "x", s("false"));
    row("feature case", l({"ORVEX_FEATURE_FLAGS=A"}), "feature", "", "a", s("false"));
    row("feature unset", {}, "feature", "", "a", s("false"));
}

void tst_EnvironmentSettings::lookup()
{
    QFETCH(QStringList, variables);
    QFETCH(QString, kind);
    QFETCH(QString, suffix);
    QFETCH(QString, argument);
    QFETCH(QString, expected);

    for (const QString &variable : variables) {
        const int equals = variable.indexOf(QLatin1Char('='));
        environment.set(variable.left(equals).toLocal8Bit(),
                        variable.mid(equals + 1).toLocal8Bit());
    }
    EnvironmentCache::invalidate();

    const QByteArray name = suffix.toLatin1();
    auto boolean = [](bool b) { return b ? QStringLiteral("true") : QStringLiteral("false"); };
    QString actual;
    if (kind == QLatin1String("text"))
        actual = shown(readTextSetting(name.constData()));
    else if (kind == QLatin1String("flag"))
        actual = boolean(readFlagSetting(name.constData()));
    else if (kind == QLatin1String("integer"))
        actual = QString::number(readIntegerSetting(name.constData(), argument.toInt()));
    else if (kind == QLatin1String("debug"))
        actual = boolean(readDebugSwitch(name.constData()));
    else if (kind == QLatin1String("version"))
        actual = shown(version());
    else if (kind == QLatin1String("release"))
        actual = shown(releaseVersion());
    else if (kind == QLatin1String("feature"))
        actual = boolean(isFeatureEnabled(argument));
    QCOMPARE(actual, expected);
}

void tst_EnvironmentSettings::cachedUntilInvalidated()
{
    environment.set("ORVEX_X", "first");
    QCOMPARE(readTextSetting("X"), QStringLiteral("first"));
    environment.set("ORVEX_X", "second");
    QCOMPARE(readTextSetting("X"), QStringLiteral("first"));
    // A variable that appears under an earlier prefix is not seen either until invalidation.
    environment.set("ZUV_X", "zuv");
    QCOMPARE(readTextSetting("X"), QStringLiteral("first"));
    const quint32 before = EnvironmentCache::generation();
    EnvironmentCache::invalidate();
    QCOMPARE(EnvironmentCache::generation(), before + 1);
    QCOMPARE(readTextSetting("X"), QStringLiteral("zuv"));
    environment.unset("ZUV_X");
    environment.unset("ORVEX_X");
    QCOMPARE(readTextSetting("X"), QStringLiteral("zuv"));
    EnvironmentCache::invalidate();
    QVERIFY(readTextSetting("X").isNull());
}

void tst_EnvironmentSettings::disabledCacheReadsAfresh()
{
    environment.set("ORVEX_X", "1");
    QCOMPARE(readIntegerSetting("X", 0), 1);
    EnvironmentCache::disable();
    QVERIFY(!EnvironmentCache::isEnabled());
    environment.set("ORVEX_X", "2");
    QCOMPARE(readIntegerSetting("X", 0), 2);
    EnvironmentCache::enable();
    environment.set("ORVEX_X", "3");
    // The refresh made while disabled is remembered at the current generation.
    QCOMPARE(readIntegerSetting("X", 0), 2);
}

void tst_EnvironmentSettings::suspenderRestoresPreviousState()
{
    QVERIFY(EnvironmentCache::isEnabled());
    environment.set("ORVEX_X", "a");
    QCOMPARE(readTextSetting("X"), QStringLiteral("a"));
    {
        EnvironmentCacheSuspender suspender;
        QVERIFY(!EnvironmentCache::isEnabled());
        environment.set("ORVEX_X", "b");
        QCOMPARE(readTextSetting("X"), QStringLiteral("b"));
        {
            EnvironmentCacheSuspender inner;
            QVERIFY(!EnvironmentCache::isEnabled());
        }
        // The inner guard began with caching off and must leave it off.
        QVERIFY(!EnvironmentCache::isEnabled());
    }
    QVERIFY(EnvironmentCache::isEnabled());

    EnvironmentCache::disable();
    {
        EnvironmentCacheSuspender suspender;
        QVERIFY(!EnvironmentCache::isEnabled());
    }
    QVERIFY(!EnvironmentCache::isEnabled());
}

void tst_EnvironmentSettings::declaredDefaults()
{
    QCOMPARE(Settings::eventLoopWatchdogTimeout.value(), 10);
    QCOMPARE(Settings::deferredShutdownTimeout.defaultValue, 30);
    QVERIFY(!Settings::debugShutdown.value());
    environment.set("BRESKAN_EVENT_LOOP_WATCHDOG_TIMEOUT", "25");
    EnvironmentCache::invalidate();
    QCOMPARE(Settings::eventLoopWatchdogTimeout.value(), 25);
}

void tst_EnvironmentSettings::concurrentLookups()
{
    // Readers race a thread that keeps invalidating, so remembered texts are replaced while other
    // threads copy them; every reader must still see one of the values the variable ever had.
    environment.set("ORVEX_X", "stable-value-long-enough-to-be-shared");
    std::atomic<bool> wrong {false};
    std::atomic<bool> stop {false};
    std::vector<std::unique_ptr<QThread>> readers;
    for (int i = 0; i < 4; ++i) {
        readers.emplace_back(QThread::create([&] {
            for (int n = 0; n < 20000; ++n) {
                if (readTextSetting("X") !=
                            QLatin1String("stable-value-long-enough-to-be-shared") ||
                    readIntegerSetting("EVENT_LOOP_WATCHDOG_TIMEOUT", 10) != 10)
                    wrong = true;
            }
        }));
        readers.back()->start();
    }
    std::unique_ptr<QThread> invalidator(QThread::create([&] {
        while (!stop)
            EnvironmentCache::invalidate();
    }));
    invalidator->start();
    for (auto &reader : readers)
        QVERIFY(reader->wait(30000));
    stop = true;
    QVERIFY(invalidator->wait(30000));
    QVERIFY(!wrong);
}

QTEST_GUILESS_MAIN(tst_EnvironmentSettings)
#include "tst_environmentsettings.moc"
