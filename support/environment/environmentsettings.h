#ifndef ENVIRONMENTSETTINGS_H
#define ENVIRONMENTSETTINGS_H

#include <QString>

// Typed lookups of a setting named by its suffix. The variable that counts is the first of
// ZUV_<suffix>, HOK_<suffix>, BRESKAN_<suffix> that is present (an empty value is present), else
// ORVEX_<suffix>; an unusable value takes the default and never falls through to a later prefix.
// Every lookup is safe to call from any thread.
QString readTextSetting(const char *suffix);
bool readFlagSetting(const char *suffix);
int readIntegerSetting(const char *suffix, int defaultValue);
bool readDebugSwitch(const char *suffix);

QString version();
QString releaseVersion();
bool isFeatureEnabled(const QString &name);

// Results are remembered per variable and stamped with the cache's generation; a component that
// changes its own environment calls invalidate() so that the next lookups read it again.
class EnvironmentCache
{
public:
    static void invalidate();
    static void disable();
    static void enable();
    static bool isEnabled();
    static quint32 generation();
};

class EnvironmentCacheSuspender
{
public:
    EnvironmentCacheSuspender();
    ~EnvironmentCacheSuspender();
    EnvironmentCacheSuspender(const EnvironmentCacheSuspender &) = delete;
    EnvironmentCacheSuspender &operator=(const EnvironmentCacheSuspender &) = delete;

private:
    bool wasEnabled;
};

#endif // ENVIRONMENTSETTINGS_H
