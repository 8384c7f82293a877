#include "messagefilter.h"

#include "librarydependencies.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

namespace {

// Written straight to standard error: the filter runs while the application object is still
// being built, and must not depend on the toolkit's own logging (rules, patterns) to be heard.
void writeLine(const QByteArray &text)
{
    std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

// The directory of the running program, read from the kernel rather than from the application
// object, which may not be complete when the platform plugin fails.
QString programDirectory()
{
    return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).path();
}

[[noreturn]] void reportPluginFailure(const QString &message)
{
    writeLine("Unable to load Qt QPA plugin.");
    const QSet<QString> missing =
            missingLibraries(programDirectory() + QLatin1String("/platforms/libqxcb.so"));
    if (!missing.isEmpty()) {
        const QStringList names(missing.cbegin(), missing.cend());
        writeLine("\nThese dependencies could not be found:\n" +
                  names.join(QLatin1Char('\n')).toUtf8() + '\n');
    }
    writeLine("Message returned: '" + message.toUtf8() + '\'');
    std::exit(1);
}

} // namespace

void installerMessageFilter(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (message.startsWith(QLatin1String("could not connect to display"))) {
        writeLine("Unable to connect to display.");
        std::exit(1);
    }
    // A plugin that is found but cannot be loaded gets the first message. One that is not found
    // at all gets the second, as a fatal message after which the toolkit would abort without a
    // word to the user; it is the same failure from the user's side, so it gets the same report.
    if (message.startsWith(QLatin1String("Could not load the Qt platform plugin")) ||
        message.startsWith(QLatin1String("Could not find the Qt platform plugin")))
        reportPluginFailure(message);
}
