// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QSet>

/// This process's IPv4 and IPv6 sockets ("socket:[inode]"), listening or not.
QSet<QByteArray> networkSockets();
