#include "environmentsettings.h"

#include "buildinfo.h"
#include "settings.h"

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QStringList>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

const char *const prefixes[] = {"ZUV_", "HOK_", "BRESKAN_", "ORVEX_"};
constexpr int prefixCount = 4;
constexpr int orvexPrefix = 3;

// What was last read of one prefixed variable. The stamp starts below every generation so the
// first lookup always reads the environment.
struct Remembered
{
    qint64 stamp = -1;
    bool present = false;
    QByteArray raw;
    QString text;
};

struct Entry
{
    Remembered names[prefixCount];
};

// Lookups come from every thread the library runs on, and a refresh replaces a remembered text
// that another thread may be copying; one mutex guards the table and every remembered result.
// The critical section is one hash probe and, on a refresh, at most four getenv calls.
struct Cache
{
    QMutex mutex;
    QHash<QByteArray, Entry> entries;
    std::atomic<quint32> generation {0};
    std::atomic<bool> enabled {true};
};

Cache &cache()
{
    static Cache instance;
    return instance;
}

// Called with the mutex held.
const Remembered &remembered(Entry &entry, const char *suffix, int prefix)
{
    Cache &c = cache();
    Remembered &r = entry.names[prefix];
    const quint32 generation = c.generation.load(std::memory_order_acquire);
    if (c.enabled.load(std::memory_order_acquire) && r.stamp == qint64(generation))
        return r;
    const QByteArray name = QByteArray(prefixes[prefix]) + suffix;
    r.present = qEnvironmentVariableIsSet(name.constData());
    r.raw = r.present ? qgetenv(name.constData()) : QByteArray();
    r.text = r.present ? QString::fromLocal8Bit(r.raw) : QString();
    r.stamp = generation;
    return r;
}

Entry &entryFor(const char *suffix)
{
    // The probe reuses the caller's bytes; only a first lookup copies the suffix into the table.
    const QByteArray key = QByteArray::fromRawData(suffix, int(std::strlen(suffix)));
    QHash<QByteArray, Entry> &entries = cache().entries;
    auto it = entries.find(key);
    if (it == entries.end())
        it = entries.insert(QByteArray(suffix), Entry());
    return it.value();
}

// Called with the mutex held: the one prefixed variable that counts for the suffix.
const Remembered &chosen(const char *suffix)
{
    Entry &entry = entryFor(suffix);
    for (int prefix = 0; prefix < orvexPrefix; ++prefix) {
        const Remembered &r = remembered(entry, suffix, prefix);
        if (r.present)
            return r;
    }
    return remembered(entry, suffix, orvexPrefix);
}

bool anyPresent(const char *suffix)
{
    Entry &entry = entryFor(suffix);
    for (int prefix = 0; prefix < prefixCount; ++prefix) {
        if (remembered(entry, suffix, prefix).present)
            return true;
    }
    return false;
}

bool flagValue(const Remembered &r)
{
    if (!r.present)
        return false;
    static const char *const offWords[] = {"no", "off", "disable", "disabled", "0"};
    for (const char *word : offWords) {
        if (qstricmp(r.raw.constData(), word) == 0)
            return false;
    }
    return true;
}

} // namespace

QString readTextSetting(const char *suffix)
{
    QMutexLocker locker(&cache().mutex);
    return chosen(suffix).text;
}

bool readFlagSetting(const char *suffix)
{
    QMutexLocker locker(&cache().mutex);
    return flagValue(chosen(suffix));
}

int readIntegerSetting(const char *suffix, int defaultValue)
{
    QByteArray raw;
    {
        QMutexLocker locker(&cache().mutex);
        const Remembered &r = chosen(suffix);
        if (!r.present)
            return defaultValue;
        raw = r.raw;
    }
    const char *begin = raw.constData();
    char *end = nullptr;
    errno = 0;
    const long value = std::strtol(begin, &end, 10);
    // A number the int cannot hold is as unusable as trailing characters: the default applies.
    if (end == begin || *end != '\0' || errno == ERANGE || value < INT_MIN || value > INT_MAX)
        return defaultValue;
    return int(value);
}

bool readDebugSwitch(const char *suffix)
{
    QMutexLocker locker(&cache().mutex);
    return anyPresent(suffix) || anyPresent(Settings::debug.suffix);
}

QString version()
{
    const QString setting = Settings::version.value();
    if (!setting.isNull())
        return setting;
    const QString built = identityText(buildInfo.version);
    return built.isEmpty() ? QStringLiteral("<unknown>") : built;
}

QString releaseVersion()
{
    const QString setting = Settings::releaseVersion.value();
    return setting.isNull() ? version() : setting;
}

bool isFeatureEnabled(const QString &name)
{
    const QStringList parts =
            Settings::featureFlags.value().split(QLatin1Char(','), Qt::SkipEmptyParts);
    return parts.contains(name);
}

void EnvironmentCache::invalidate()
{
    cache().generation.fetch_add(1, std::memory_order_acq_rel);
}

void EnvironmentCache::disable()
{
    cache().enabled.store(false, std::memory_order_release);
}

void EnvironmentCache::enable()
{
    cache().enabled.store(true, std::memory_order_release);
}

bool EnvironmentCache::isEnabled()
{
    return cache().enabled.load(std::memory_order_acquire);
}

quint32 EnvironmentCache::generation()
{
    return cache().generation.load(std::memory_order_acquire);
}

EnvironmentCacheSuspender::EnvironmentCacheSuspender() : wasEnabled(EnvironmentCache::isEnabled())
{
    EnvironmentCache::disable();
}

EnvironmentCacheSuspender::~EnvironmentCacheSuspender()
{
    if (wasEnabled)
        EnvironmentCache::enable();
}
