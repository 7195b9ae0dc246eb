// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QTimer>
#include <functional>

/// Runs the real event loop, calls `first` from it, and returns the loop's exit code: what a
/// quit gives, or 7 when nothing ends the loop within `guardMs`.
inline int execAfter(QObject* context, std::function<void()> first, int guardMs = 5000)
{
    QTimer::singleShot(0, context, std::move(first));
    QTimer::singleShot(guardMs, QCoreApplication::instance(), [] { QCoreApplication::exit(7); });
    return QCoreApplication::exec();
}
