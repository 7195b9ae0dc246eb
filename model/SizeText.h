// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

/// A byte count as short text in decimal units: "0 bytes", "999 bytes", "1.5 KB", "1.2 MB",
/// "5.0 GB". The unit is chosen before rounding, so 999,950 bytes read "1000.0 KB".
/// A value that is not a number reads as "0 bytes". The decimal separator is the default
/// locale's ("1,5 KB" in German). Keeps no state; any thread.
QString sizeText(double bytes);

/// A time left as short text: "42 s", "3 min", "2 h 5 min".
QString durationText(qint64 seconds);
