// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

/// A binary property list of `levels` arrays, each holding the next one twice: a reader that
/// copies every share doubles what it builds at each level.
QByteArray sharedAtEveryLevel(int levels);
