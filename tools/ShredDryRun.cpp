// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShredDryRun.h"

#include "ErasureTexts.h"
#include "ShredOutput.h"
#include "ShredRun.h"
#include "ShredSummary.h"
#include "ShredText.h"
#include "StorageAssessment.h"

#include <sys/stat.h>

void ShredDryRun::listPath(const QByteArray& path)
{
    // The run's own walk: what it would reach, and nothing else.
    StorageAssessment assessment;
    ShredRun::walkTree(path,
        [&](const DirectoryHandle& folder, const QByteArray& name, const QByteArray& file,
            const EntryStat& entry) {
            const QByteArray quoted = ShredText::quoted(file);
            if (!S_ISREG(entry.mode)) {
                ++m_summary.otherEntries;
                m_output.writeOut(ShredText::said(616, {quoted}) + '\n');
                return;
            }
            if (entry.links > 1) {
                ++m_summary.notErased;
                const ShredFailure failure {
                    {}, ShredFailure::Kind::HardLinks, 0, quint64(entry.links)};
                m_output.complain(ShredText::complaint(
                    611, {quoted, ErasureTexts::failureText(failure).toLocal8Bit()}));
                return;
            }
            ++m_summary.files;
            m_summary.bytes += entry.size;
            m_output.writeOut(ShredText::said(617, {quoted}) + '\n');
            const StorageVerdict verdict = assessment.assessAt(folder.fd(), name);
            if (verdict.hasWarning()) {
                ++m_summary.warned;
                m_output.complain(ShredText::complaint(
                    619, {quoted, ErasureTexts::verdictText(verdict).toLocal8Bit()}));
            }
        });
}
