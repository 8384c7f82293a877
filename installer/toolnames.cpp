#include "toolnames.h"

extern const ToolNames toolNames = {
    "out_of_memory",     "zuv debugger version",
    "Config File",       "user.config",
    "system.config",     "breskan",
    "tavrin-orvex",      ".breskan",
    "orvex-remoted.bin", "zuv-remoted",
    "zuv-util-gui",      "zuv-util",
    "orvex-untar",       "hopgate",
    "orvex-cti",         "orvex-client",
    "orvex-mpirun",      "orvex-treeserver",
    "orvex-backend",
};
