#ifndef BUILDINFO_H
#define BUILDINFO_H

#include "productidentity.h"

// What the build system records about the build. The definition is generated at build time
// (buildinfo.cpp.in); read fields through identityText().
struct BuildInfo
{
    const char *buildTimestamp;
    const char *buildDate;
    const char *buildDirectory;
    const char *sourceDirectory;
    const char *buildOsVersion;
    const char *buildOsName;
    const char *buildPlatform;
    const char *buildArchitecture;
    const char *buildHost;
    const char *buildVersion;
    const char *version;
    const char *buildNumber;
    const char *changeId;
    const char *patchSetId;
    const char *commitId;
};

extern const BuildInfo buildInfo;

#endif // BUILDINFO_H
