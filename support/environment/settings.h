#ifndef SETTINGS_H
#define SETTINGS_H

#include "environmentsettings.h"

// Every tunable and debug switch of the support library, declared here and nowhere else, so that
// one file lists them all. Each exists under the four prefixes ZUV_, HOK_, BRESKAN_ and ORVEX_.
namespace Settings {

struct TextSetting
{
    const char *suffix;
    QString value() const { return readTextSetting(suffix); }
};

struct FlagSetting
{
    const char *suffix;
    bool value() const { return readFlagSetting(suffix); }
};

struct IntegerSetting
{
    const char *suffix;
    int defaultValue;
    int value() const { return readIntegerSetting(suffix, defaultValue); }
};

struct DebugSwitch
{
    const char *suffix;
    bool value() const { return readDebugSwitch(suffix); }
};

inline constexpr FlagSetting allowNewlineInArgs {"ALLOW_NEWLINE_IN_ARGS"};
inline constexpr TextSetting authMode {"AUTH_MODE"};
inline constexpr TextSetting bgTmpdir {"BG_TMPDIR"};
// DEBUG itself is the general switch every debug switch falls back on: readDebugSwitch("DEBUG").
inline constexpr DebugSwitch debug {"DEBUG"};
inline constexpr FlagSetting debugCram {"DEBUG_CRAM"};
inline constexpr TextSetting debugScKill {"DEBUG_SC_KILL"};
inline constexpr DebugSwitch debugShutdown {"DEBUG_SHUTDOWN"};
inline constexpr FlagSetting debugTlsPsk {"DEBUG_TLS_PSK"};
inline constexpr IntegerSetting deferredShutdownTimeout {"DEFERRED_SHUTDOWN_TIMEOUT", 30};
inline constexpr IntegerSetting eventLoopWatchdogTimeout {"EVENT_LOOP_WATCHDOG_TIMEOUT", 10};
inline constexpr TextSetting featureFlags {"FEATURE_FLAGS"};
inline constexpr FlagSetting forceIpHostname {"FORCE_IP_HOSTNAME"};
inline constexpr FlagSetting ignoreStackLimit {"IGNORE_STACK_LIMIT"};
inline constexpr TextSetting localhost {"LOCALHOST"};
inline constexpr FlagSetting localhostIpv6 {"LOCALHOST_IPV6"};
inline constexpr TextSetting logs {"LOGS"};
inline constexpr TextSetting networkInterfaces {"NETWORK_INTERFACES"};
inline constexpr FlagSetting overwriteLog {"OVERWRITE_LOG"};
inline constexpr DebugSwitch pidfileDebug {"PIDFILE_DEBUG"};
inline constexpr TextSetting releaseVersion {"RELEASE_VERSION"};
inline constexpr DebugSwitch routabilityDebug {"ROUTABILITY_DEBUG"};
inline constexpr TextSetting userTempName {"USER_TEMP_NAME"};
inline constexpr TextSetting version {"VERSION"};

} // namespace Settings

#endif // SETTINGS_H
