#include "toolnames.h"

// One value a line, in the order of the fields, each named beside it.
// clang-format off
extern const ToolNames toolNames = {
    /* outOfMemoryKeyword */ "out_of_memory",
    /* debuggerVersionLabel */ "zuv debugger version",
    /* configFileLabel */ "Config File",
    /* userConfigFileName */ "user.config",
    /* systemConfigFileName */ "system.config",
    /* legacyName */ "breskan",
    /* suiteFileStem */ "tavrin-orvex",
    /* legacyConfigDirectory */ ".breskan",
    /* remoteDaemonExecutable */ "orvex-remoted.bin",
    /* debuggerRemoteDaemon */ "zuv-remoted",
    /* utilityGuiExecutable */ "zuv-util-gui",
    /* utilityExecutable */ "zuv-util",
    /* untarExecutable */ "orvex-untar",
    /* hopgateExecutable */ "hopgate",
    /* ctiExecutable */ "orvex-cti",
    /* clientExecutable */ "orvex-client",
    /* mpirunExecutable */ "orvex-mpirun",
    /* treeServerExecutable */ "orvex-treeserver",
    /* backendExecutable */ "orvex-backend",
};
// clang-format on
