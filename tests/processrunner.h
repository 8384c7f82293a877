#ifndef PROCESSRUNNER_H
#define PROCESSRUNNER_H

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// The outcome of running a program to its end.
struct ProcessResult
{
    bool finished = false;
    QProcess::ExitStatus exitStatus = QProcess::CrashExit;
    int exitCode = -1;
    QByteArray standardOutput;
    QByteArray standardError;
};

// Runs a program with the given environment and working directory, and waits for it at most
// timeoutMs. A program still running then is killed and reported as not finished, so a test
// never hangs on a window nobody answers.
inline ProcessResult runProgram(const QString &program, const QStringList &arguments,
                                const QProcessEnvironment &environment,
                                const QString &workingDirectory = QString(), int timeoutMs = 30000)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments);
    ProcessResult result;
    if (!process.waitForStarted(timeoutMs))
        return result;
    process.closeWriteChannel();
    result.finished = process.waitForFinished(timeoutMs);
    if (!result.finished) {
        process.kill();
        process.waitForFinished(5000);
    }
    result.exitStatus = process.exitStatus();
    result.exitCode = process.exitCode();
    result.standardOutput = process.readAllStandardOutput();
    result.standardError = process.readAllStandardError();
    return result;
}

// The environment of this process without anything that would lead the toolkit to a display or
// a platform plugin of its own choosing.
inline QProcessEnvironment environmentWithoutDisplay()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "QT_PLUGIN_PATH",
                             "QT_QPA_PLATFORM_PLUGIN_PATH", "QT_DEBUG_PLUGINS", "QT_LOGGING_RULES"})
        environment.remove(QLatin1String(name));
    return environment;
}

#endif // PROCESSRUNNER_H
