// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShredCommand.h"
#include "SystemLog.h"
#include "ZPHShred.h"

#include <QCoreApplication>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

std::atomic<bool>* g_stopFlag = nullptr;

// Only stores: the run notices after the chunk it is writing. A second signal of the same kind
// ends the process at once (SA_RESETHAND).
void onStopSignal(int signal)
{
    ShredCommand::s_stopSignal = signal;
    g_stopFlag->store(true);
}

// A standard stream the caller closed gets /dev/null opened the other way round in its place:
// writing to it then fails with EBADF, as on the closed stream, and no descriptor the program
// opens later (the toolkit's eventfd, a file being erased) can take the number and receive
// what was meant for standard output.
void keepClosedStandardStreamsClosed()
{
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
        if (opened >= 0 && opened != fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
}

} // namespace

int main(int argc, char* argv[])
{
    keepClosedStandardStreamsClosed();
    // The paths are the arguments' own bytes: the toolkit neither sees nor decodes them.
    QList<QByteArray> arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QCoreApplication app(qtArgc, qtArgv);
    QCoreApplication::setApplicationName(QStringLiteral("corvane-shred"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));

    // A command-line tool reports on its own output; the system log is the window's habit.
    SystemLog::setForwardToSyslog(false);
    // A deep tree holds one descriptor per level while it is erased.
    rlimit files {};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &files);
    }

    ZPHShred& engine = sharedShredEngine();
    g_stopFlag = engine.stopFlag();
    struct sigaction action
    {
    };
    action.sa_handler = onStopSignal;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);

    ShredCommand command(engine, stdout, stderr);
    return command.run(arguments);
}
