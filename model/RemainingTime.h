// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

/// The time a run has left, told the same way on the progress screen and on the command line.
/// Keeps no state; any thread.
class RemainingTime
{
public:
    /// An estimate needs this long a run behind it: the first seconds' rate misleads.
    static constexpr qint64 kEstimateAfterMs = 10000;

    /// "about 42 s left" for a run that has written `done` of its `planned` bytes in
    /// `elapsedMs`, at the rate so far, rounded up to whole seconds; empty while too early to
    /// tell, before the first byte and once everything is written.
    static QString text(quint64 done, quint64 planned, qint64 elapsedMs);
};
