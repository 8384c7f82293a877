// Cost of a setting lookup (cached, uncached, and reading the environment directly as the
// reference) and of one debug message with no sink and with the file sink.
#include "debuglog.h"
#include "environmentsettings.h"
#include "settings.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

void setUp()
{
    qputenv("ORVEX_EVENT_LOOP_WATCHDOG_TIMEOUT", "25");
    EnvironmentCache::enable();
    EnvironmentCache::invalidate();
}

void cachedLookup(benchmark::State &state)
{
    setUp();
    for (auto _ : state)
        benchmark::DoNotOptimize(Settings::eventLoopWatchdogTimeout.value());
}
BENCHMARK(cachedLookup)->ThreadRange(1, 2);

void cachedTextLookup(benchmark::State &state)
{
    setUp();
    qputenv("ORVEX_AUTH_MODE", "Cram");
    EnvironmentCache::invalidate();
    for (auto _ : state)
        benchmark::DoNotOptimize(Settings::authMode.value());
}
BENCHMARK(cachedTextLookup);

void uncachedLookup(benchmark::State &state)
{
    setUp();
    EnvironmentCacheSuspender suspender;
    for (auto _ : state)
        benchmark::DoNotOptimize(Settings::eventLoopWatchdogTimeout.value());
}
BENCHMARK(uncachedLookup);

// The reference: what a component would do without the settings layer, for one name only.
void directEnvironment(benchmark::State &state)
{
    setUp();
    for (auto _ : state) {
        const char *value = std::getenv("ZUV_EVENT_LOOP_WATCHDOG_TIMEOUT");
        if (!value)
            value = std::getenv("HOK_EVENT_LOOP_WATCHDOG_TIMEOUT");
        if (!value)
            value = std::getenv("BRESKAN_EVENT_LOOP_WATCHDOG_TIMEOUT");
        if (!value)
            value = std::getenv("ORVEX_EVENT_LOOP_WATCHDOG_TIMEOUT");
        benchmark::DoNotOptimize(value ? std::atoi(value) : 10);
    }
}
BENCHMARK(directEnvironment);

void debugMessageNoSink(benchmark::State &state)
{
    for (auto _ : state)
        DebugLog::instance()->debugf("message %d", 42);
}
BENCHMARK(debugMessageNoSink);

void debugMessageFileSink(benchmark::State &state)
{
    QTemporaryDir dir;
    DebugLog::instance()->openLogFile(dir.filePath(QStringLiteral("bench.log")));
    for (auto _ : state)
        DebugLog::instance()->debugf("message %d", 42);
}
BENCHMARK(debugMessageFileSink);

} // namespace

BENCHMARK_MAIN();
