#ifndef TOOLNAMES_H
#define TOOLNAMES_H

#include "productidentity.h"

// Names of the suite's auxiliary programs and configuration files, as the support library
// looks them up. Latin-1, constant-initialised like ProductIdentity; read through identityText().
struct ToolNames
{
    const char *outOfMemoryKeyword;
    const char *debuggerVersionLabel;
    const char *configFileLabel;
    const char *userConfigFileName;
    const char *systemConfigFileName;
    const char *legacyName;
    const char *suiteFileStem;
    const char *legacyConfigDirectory;
    const char *remoteDaemonExecutable;
    const char *debuggerRemoteDaemon;
    const char *utilityGuiExecutable;
    const char *utilityExecutable;
    const char *untarExecutable;
    const char *hopgateExecutable;
    const char *ctiExecutable;
    const char *clientExecutable;
    const char *mpirunExecutable;
    const char *treeServerExecutable;
    const char *backendExecutable;
};

extern const ToolNames toolNames;

#endif // TOOLNAMES_H
