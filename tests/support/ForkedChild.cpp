// SPDX-License-Identifier: GPL-3.0-or-later
#include "ForkedChild.h"

#include <QElapsedTimer>
#include <cerrno>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

int runForked(const std::function<int()>& fn, int timeoutMs)
{
    const pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0)
        ::_exit(fn() & 0x7f);
    QElapsedTimer clock;
    clock.start();
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, timeoutMs < 0 ? 0 : WNOHANG);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR)
            return -1;
        if (timeoutMs >= 0 && clock.elapsed() > timeoutMs) {
            ::kill(pid, SIGKILL);
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
            return -1;
        }
        if (done == 0)
            ::usleep(10000);
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) >= 126)
        return -1;
    return WEXITSTATUS(status);
}
