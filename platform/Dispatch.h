// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

/// Queues `fn` to run on the GUI thread (the thread of the QCoreApplication), asynchronously.
/// Tasks queued from one thread run in the order they were queued.
void dispatchMain(std::function<void()> fn);

/// Runs `fn` on a worker thread of the global thread pool.
void dispatchGlobal(std::function<void()> fn);

/// Runs `fn` on the GUI thread after `seconds`; call it from the GUI thread.
void performAfter(double seconds, std::function<void()> fn);
