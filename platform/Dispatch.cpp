// SPDX-License-Identifier: GPL-3.0-or-later
#include "Dispatch.h"

#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <cmath>

void dispatchMain(std::function<void()> fn)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(fn), Qt::QueuedConnection);
}

void dispatchGlobal(std::function<void()> fn)
{
    // A pool of our own: Qt's raster engine fills shapes on the global pool, and long jobs
    // there make the GUI thread wait for a thread while it paints.
    static QThreadPool* pool = [] {
        auto* made = new QThreadPool(QCoreApplication::instance());
        made->setMaxThreadCount(std::max(2, QThread::idealThreadCount()));
        return made;
    }();
    pool->start(std::move(fn));
}

void performAfter(double seconds, std::function<void()> fn)
{
    const int ms = int(std::lround(std::max(0.0, seconds) * 1000.0));
    QTimer::singleShot(ms, QCoreApplication::instance(), std::move(fn));
}
