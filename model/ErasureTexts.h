// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Filedata.h"
#include "PathChecks.h"
#include "ShredReport.h"
#include "StorageVerdict.h"

#include <QString>

/// The words users read about a shred run, from the language table, so the window and the
/// command line say the same thing.
class ErasureTexts
{
public:
    /// Why `failure`'s path was not erased, with the system's own words for its error.
    static QString failureText(const ShredFailure& failure);
    /// One sentence on what `reason` means for the old contents, and what can be done.
    static QString reasonText(StorageReason reason);
    /// The sentence for the verdict's main reason; empty when the overwrite reaches the data.
    static QString verdictText(const StorageVerdict& verdict);
    /// Why a regular file `file` will not be erased, as it was when listed; empty when nothing
    /// seen then stands in the way.
    static QString listedRefusalText(const Filedata& file);
    /// Why a path with `verdict` is refused, for a terminal: the window shows one alert instead.
    static QString refusalText(PathCheck::Verdict verdict);
    /// The name of the overwrite method the engine runs for `nPassType`.
    static QString methodText(int nPassType);
    /// `text` without its leading "not erased:" mark, for lists whose title already says so.
    static QString withoutNotErasedMark(const QString& text);
};
