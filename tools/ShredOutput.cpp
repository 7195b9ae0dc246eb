// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShredOutput.h"

#include "ShredText.h"

#include <cerrno>
#include <cstring>

ShredOutput::ShredOutput(FILE* out, FILE* err)
    : m_out(out)
    , m_err(err)
    , m_progress(err)
{ }

bool ShredOutput::writeOut(const QByteArray& text)
{
    // A full disk or a closed pipe on standard output is an error, as for any GNU tool, told
    // once: the lines after it would fail the same way.
    if (m_outputFailed)
        return false;
    m_progress.clear();
    const bool ok
        = std::fwrite(text.constData(), 1, size_t(text.size()), m_out) == size_t(text.size())
        && std::fflush(m_out) == 0;
    if (!ok) {
        m_outputFailed = true;
        complain(ShredText::complaint(615, {std::strerror(errno)}));
    }
    return ok;
}

void ShredOutput::writeLine(FILE* stream, const QByteArray& text)
{
    // Standard output may share the terminal with the progress line.
    m_progress.clear();
    const QByteArray line = text + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stream);
    std::fflush(stream);
}
