#include "Dispatch.h"

#include <QCoreApplication>
#include <QThreadPool>
#include <QTimer>

#include <cmath>

void dispatchMain(std::function<void()> fn)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(fn), Qt::QueuedConnection);
}

void dispatchGlobal(std::function<void()> fn)
{
    QThreadPool::globalInstance()->start(std::move(fn));
}

void performAfter(double seconds, std::function<void()> fn)
{
    const int ms = int(std::lround(std::max(0.0, seconds) * 1000.0));
    QTimer::singleShot(ms, QCoreApplication::instance(), std::move(fn));
}
