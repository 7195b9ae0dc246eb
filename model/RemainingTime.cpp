// SPDX-License-Identifier: GPL-3.0-or-later
#include "RemainingTime.h"

#include "LanguageTable.h"
#include "SizeText.h"

#include <cmath>

QString RemainingTime::text(quint64 done, quint64 planned, qint64 elapsedMs)
{
    if (elapsedMs < kEstimateAfterMs || done == 0 || planned <= done)
        return {};
    const double seconds = double(planned - done) / (double(done) / double(elapsedMs)) / 1000.0;
    return localizedFormat(QStringLiteral("IDS_KQ_252"), durationText(qint64(std::ceil(seconds))));
}
