#ifndef PRODUCTIDENTITY_H
#define PRODUCTIDENTITY_H

#include <QString>

// The suite's names, contacts, file names and default installation directories.
// Fields are Latin-1 texts; the record is constant-initialised, so it is complete before any
// dynamic initialisation (and so before any static object that reads it) runs.
struct ProductIdentity
{
    const char *reportsProductName;
    const char *samplerName;
    const char *profilerProductName;
    const char *debuggerProductName;
    const char *webAddress;
    const char *companyName;
    const char *supportTeamName;
    const char *salesAddress;
    const char *supportAddress;
    const char *directStartNames[3];
    const char *legalNotice;
    const char *bannerName;
    const char *iconName;
    const char *productName;
    const char *environmentPrefix;
    const char *sessionName;
    const char *userGuideFileName;
    const char *toolsPathReference;
    const char *toolsPathVariable;
    const char *userInstallSubdirectory;
    const char *systemInstallDirectory;
    const char *payloadArchiveName;
    const char *legacyConfigDirectory;
    const char *debuggerConfigDirectory;
    const char *backendExecutableName;
};

extern const ProductIdentity productIdentity;

// The one way to turn a field of an identity record into a QString: Latin-1, and a null field
// becomes an empty (not a null) string, so callers never have to tell the two apart.
inline QString identityText(const char *field)
{
    return field ? QString::fromLatin1(field) : QString(QLatin1String(""));
}

#endif // PRODUCTIDENTITY_H
