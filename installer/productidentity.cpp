#include "productidentity.h"

// One value a line, in the order of the fields, each named beside it.
// clang-format off
extern const ProductIdentity productIdentity = {
    /* reportsProductName */ "Tavrin Quanta",
    /* samplerName */ "Tavrin Orvex sampler",
    /* profilerProductName */ "Tavrin HOK",
    /* debuggerProductName */ "Tavrin ZUV",
    /* webAddress */ "https://www.tavrin.example",
    /* companyName */ "Tavrin",
    /* supportTeamName */ "the Tavrin Orvex support team",
    /* salesAddress */ "sales@tavrin.example",
    /* supportAddress */ "support@tavrin.example",
    /* directStartNames */ {"Direct Start", "Direct Start", "Direct Start"},
    /* legalNotice */ "Copyright (c) 2026 Tavrin. All rights reserved.",
    /* bannerName */ "banner-orvex",
    /* iconName */ "tavrin-orvex",
    /* productName */ "Tavrin Orvex",
    /* environmentPrefix */ "ORVEX_",
    /* sessionName */ "session",
    /* userGuideFileName */ "userguide-orvex.pdf",
    /* toolsPathReference */ "$ORVEX_TOOLS_PATH",
    /* toolsPathVariable */ "ORVEX_TOOLS_PATH",
    /* userInstallSubdirectory */ "tavrin/orvex/" ORVEX_VERSION,
    /* systemInstallDirectory */ "/opt/tavrin/orvex/" ORVEX_VERSION,
    /* payloadArchiveName */ "orvex.tgz",
    /* legacyConfigDirectory */ ".breskan",
    /* debuggerConfigDirectory */ ".zuv",
    /* backendExecutableName */ "orvex.bin",
};
// clang-format on
