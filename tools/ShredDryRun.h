// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

class ShredOutput;
struct ShredSummary;

/// corvane-shred --dry-run: tells, for a path the checks accepted, each file a run would erase
/// (and each it would not, and why) and each other entry it would remove, touching nothing, and
/// counts them in the summary.
class ShredDryRun
{
public:
    ShredDryRun(ShredOutput& output, ShredSummary& summary)
        : m_output(output)
        , m_summary(summary)
    { }

    void listPath(const QByteArray& path);

private:
    ShredOutput& m_output;
    ShredSummary& m_summary;
};
