// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QTemporaryFile>

/// Points this process's standard output (descriptor 1), or `descriptor` (STDERR_FILENO), at a
/// temporary file from construction until text() or destruction, for code that prints with
/// printf. QtTest's own lines written meanwhile are caught too.
class StdoutCapture
{
public:
    explicit StdoutCapture(int descriptor = 1);
    ~StdoutCapture();
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    /// Ends the capture and returns what was printed.
    QByteArray text();

private:
    void restore();

    QTemporaryFile m_file;
    int m_descriptor;
    int m_saved = -1;
};
