// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <functional>

/// The system log (syslog, ident "corvane"). Messages are fixed texts, formatted printf-style.
class SystemLog
{
public:
    using Sink = std::function<void(const QString& line)>;

    static void log(const char* format, ...) __attribute__((format(printf, 1, 2)));

    /// Also hands every logged line to `sink` (tests read the lines this way); empty to stop.
    static void setSink(Sink sink);
    /// Whether lines also go to syslog (the default). Tests turn it off so that they never write
    /// to the machine's real log; the sink still receives every line.
    static void setForwardToSyslog(bool forward);
};
