// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <utility>

/// An Info.plist whose dictionary holds `entries`, each a key and a string value, in order.
QByteArray infoPlist(const QList<std::pair<QByteArray, QByteArray>>& entries);
