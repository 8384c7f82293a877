#include "entry.h"
#include "messagefilter.h"

#include <QApplication>
#include <QStringList>

#include <cstring>
#include <vector>

int main(int argc, char *argv[])
{
    // Before the application object: a missing display or platform plugin shows up while it is
    // being constructed.
    qInstallMessageHandler(installerMessageFilter);

    // The X11 platform takes "-icon <file>" as its own option and would swallow the installer's
    // "-icon" together with the argument after it. The installer's option is taken out before
    // the toolkit sees the arguments, and handed to the entry point afterwards.
    bool iconsOnly = false;
    std::vector<char *> toolkitArguments;
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && std::strcmp(argv[i], "-icon") == 0)
            iconsOnly = true;
        else
            toolkitArguments.push_back(argv[i]);
    }
    int toolkitCount = int(toolkitArguments.size());
    toolkitArguments.push_back(nullptr);
    QApplication application(toolkitCount, toolkitArguments.data());

    // The toolkit has taken its own options (-display, -platform, -style ...) out by now. Where
    // "-icon" stood among the rest does not matter.
    QStringList arguments = QCoreApplication::arguments();
    if (iconsOnly)
        arguments.append(QStringLiteral("-icon"));
    return runInstaller(application, arguments);
}
