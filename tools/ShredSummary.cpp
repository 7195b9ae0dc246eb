// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShredSummary.h"

#include "LanguageTable.h"
#include "ShredText.h"
#include "SizeText.h"

QByteArray ShredSummary::text(bool dryRun, int pathCount) const
{
    const QString filesText = ShredText::counted(files, 601, 602);
    const QString entriesText = ShredText::counted(otherEntries, 603, 604);
    if (dryRun) {
        return localizedFormat(QStringLiteral("IDS_KQ_608"),
            {filesText, sizeText(double(bytes)), entriesText, QString::number(notErased),
                QString::number(refused), QString::number(warned)})
            .toLocal8Bit();
    }
    return localizedFormat(QStringLiteral("IDS_KQ_607"),
        {filesText, sizeText(double(bytes)), entriesText, QString::number(pathsRemoved),
            ShredText::counted(pathCount, 605, 606), QString::number(notErased),
            QString::number(refused), QString::number(warned)})
        .toLocal8Bit();
}
