// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgramRun.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QSignalSpy>

ProgramRun ProgramRun::run(const QString& program, const QStringList& arguments,
    const QStringList& environment, const QString& workingDirectory, int timeoutMs)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& setting : environment) {
        const qsizetype equals = setting.indexOf(u'=');
        if (equals < 0)
            env.remove(setting);
        else
            env.insert(setting.left(equals), setting.mid(equals + 1));
    }
    QProcess process;
    process.setProcessEnvironment(env);
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    QSignalSpy finished(&process, &QProcess::finished);
    process.start(program, arguments);
    ProgramRun result;
    if (!process.waitForStarted(timeoutMs))
        return result;
    if (!finished.wait(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
    } else if (process.exitStatus() == QProcess::NormalExit) {
        result.exitCode = process.exitCode();
    }
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}
