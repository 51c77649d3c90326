#include "QtProcessLauncher.h"

#include <QProcess>

namespace zuta::hostapp {

namespace {

void Prepare(QProcess& process, const host::ProcessRequest& request) {
    process.setProgram(QString::fromStdString(request.program));
    QStringList arguments;
    for (const std::string& argument : request.arguments)
        arguments << QString::fromStdString(argument);
    process.setArguments(arguments);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : request.environment)
        environment.insert(QString::fromStdString(name), QString::fromStdString(value));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
}

} // namespace

host::ProcessResult QtProcessLauncher::Run(const host::ProcessRequest& request) {
    host::ProcessResult result;
    QProcess process;
    Prepare(process, request);
    process.start();
    if (!process.waitForStarted(-1)) {
        result.error = "cannot run " + request.program + ": " + process.errorString().toStdString();
        return result;
    }
    result.started = true;
    const int limit =
        request.timeLimit.count() > 0 ? static_cast<int>(request.timeLimit.count()) : -1;
    if (!process.waitForFinished(limit)) {
        process.kill();
        process.waitForFinished(-1);
        result.error = request.program + " did not finish within " +
                       std::to_string(request.timeLimit.count() / 1000) + " s";
        return result;
    }
    if (process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    else
        result.error = request.program + " ended by a signal";
    return result;
}

host::ProcessResult QtProcessLauncher::Start(const host::ProcessRequest& request) {
    host::ProcessResult result;
    QProcess process;
    Prepare(process, request);
    result.started = process.startDetached();
    if (!result.started)
        result.error = "cannot start " + request.program;
    return result;
}

} // namespace zuta::hostapp
