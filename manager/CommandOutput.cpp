#include "CommandOutput.h"

#include <QProcess>

CommandOutput runCommand(const QString& program, const QStringList& arguments, int timeoutMs)
{
    CommandOutput result;
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted(timeoutMs))
        return result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return result;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return result;
    result.output = process.readAllStandardOutput().left(kMaxCommandOutput);
    result.available = true;
    return result;
}
