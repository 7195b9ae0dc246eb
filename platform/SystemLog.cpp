// SPDX-License-Identifier: GPL-3.0-or-later
#include "SystemLog.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <syslog.h>
#include <vector>

namespace {

std::mutex& sinkMutex()
{
    static std::mutex mutex;
    return mutex;
}

SystemLog::Sink& sink()
{
    static SystemLog::Sink s;
    return s;
}

std::atomic<bool> forwardToSyslog {true};

} // namespace

void SystemLog::log(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::vector<char> buffer(size_t(std::max(length, 0)) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    va_end(args);

    if (forwardToSyslog) {
        static std::once_flag opened;
        std::call_once(opened, [] { ::openlog("corvane", LOG_PID, LOG_USER); });
        ::syslog(LOG_ERR, "%s", buffer.data());
    }
    std::lock_guard lock(sinkMutex());
    if (sink())
        sink()(QString::fromUtf8(buffer.data()));
}

void SystemLog::setSink(Sink s)
{
    std::lock_guard lock(sinkMutex());
    sink() = std::move(s);
}

void SystemLog::setForwardToSyslog(bool forward)
{
    forwardToSyslog = forward;
}
