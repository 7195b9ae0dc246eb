// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ShredProgressLine.h"

#include <QByteArray>

#include <cstdio>

/// corvane-shred's two streams: whole lines on standard output and error, each first taking the
/// progress line off the terminal they may share, and a failing standard output told once.
class ShredOutput
{
public:
    ShredOutput(FILE* out, FILE* err);

    /// Writes to standard output; false (and a message, the first time) when it cannot, as on a
    /// full disk or a closed stream.
    bool writeOut(const QByteArray& text);
    void writeLine(FILE* stream, const QByteArray& text);
    /// One whole line on standard error.
    void complain(const QByteArray& line) { writeLine(m_err, line); }
    /// Standard output refused a write at some point.
    bool outputFailed() const { return m_outputFailed; }

    FILE* out() const { return m_out; }
    FILE* err() const { return m_err; }
    ShredProgressLine& progress() { return m_progress; }

private:
    FILE* m_out;
    FILE* m_err;
    bool m_outputFailed = false;
    ShredProgressLine m_progress;
};
