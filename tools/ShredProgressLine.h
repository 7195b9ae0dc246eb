// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <cstdio>

class ShredRun;

/// corvane-shred's progress line on a terminal: "[path/paths] percent, bytes, pass, time left:
/// file", redrawn in place within the terminal's width while a run erases one path (or the
/// files named one by one). Drawn only when shown, and cleared before any other line.
class ShredProgressLine
{
public:
    explicit ShredProgressLine(FILE* stream);

    /// Whether it is drawn at all: only on a terminal, and never for a dry run.
    void setShown(bool shown) { m_shown = shown; }
    /// Starts afresh for `run`, which erases the path `index` of `count`, and follows it.
    void follow(ShredRun& run, int index, int count);
    /// Takes the line off the terminal, if it is there.
    void clear();

private:
    void draw();

    FILE* m_stream;
    QObject m_context;
    bool m_shown = false;
    bool m_onLine = false;
    int m_index = 0;
    int m_count = 0;
    quint64 m_planned = 0;
    quint64 m_done = 0;
    QString m_file;
    int m_pass = 0;
    int m_passes = 0;
    QElapsedTimer m_timer;
};
