#include "entry.h"
#include "messagefilter.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // Before the application object: a missing display or platform plugin shows up while it is
    // being constructed.
    qInstallMessageHandler(installerMessageFilter);
    QApplication application(argc, argv);
    // The toolkit has taken its own options (-display, -platform, -style ...) out by now.
    return runInstaller(application, QCoreApplication::arguments());
}
