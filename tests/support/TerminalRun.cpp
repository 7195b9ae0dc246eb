// SPDX-License-Identifier: GPL-3.0-or-later
#include "TerminalRun.h"

#include <QProcess>

#include <poll.h>
#include <pty.h>
#include <unistd.h>

TerminalRun TerminalRun::run(const QString& program, const QStringList& arguments, int columns)
{
    TerminalRun result;
    int master = -1;
    int slave = -1;
    winsize size {0, static_cast<unsigned short>(columns), 0, 0};
    if (::openpty(&master, &slave, nullptr, nullptr, &size) != 0)
        return result;
    result.available = true;
    QProcess process;
    process.setChildProcessModifier([slave] { ::dup2(slave, STDERR_FILENO); });
    process.start(program, arguments);
    const bool finished = process.waitForFinished(30000);
    ::close(slave);
    pollfd poller {master, POLLIN, 0};
    char buffer[4096];
    for (ssize_t n = 0; ::poll(&poller, 1, 2000) > 0 && (n = ::read(master, buffer, 4096)) > 0;)
        result.terminal.append(buffer, n);
    ::close(master);
    if (finished && process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    return result;
}
