// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShredProgressLine.h"

#include "LanguageTable.h"
#include "PathText.h"
#include "RemainingTime.h"
#include "ShredRun.h"
#include "ShredText.h"
#include "SizeText.h"

#include <algorithm>
#include <sys/ioctl.h>

namespace {

// Back to the start of the line and erase it, so the line is redrawn in place.
const QByteArray kClearLine = QByteArrayLiteral("\r\033[K");

int terminalWidth(int fd)
{
    winsize size {};
    if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

} // namespace

ShredProgressLine::ShredProgressLine(FILE* stream)
    : m_stream(stream)
{ }

void ShredProgressLine::follow(ShredRun& run, int index, int count)
{
    m_index = index;
    m_count = count;
    m_planned = 0;
    m_done = 0;
    m_file.clear();
    m_pass = 0;
    m_passes = 0;
    m_timer.start();
    QObject::connect(&run, &ShredRun::planned, &m_context, [this](qint64, quint64 bytes) {
        m_planned = bytes;
        draw();
    });
    QObject::connect(
        &run, &ShredRun::fileStarted, &m_context, [this](const QString& file, int passes) {
            m_file = file;
            m_passes = passes;
            draw();
        });
    QObject::connect(&run, &ShredRun::passStarted, &m_context, [this](int pass, int) {
        m_pass = pass;
        draw();
    });
    QObject::connect(&run, &ShredRun::bytesWritten, &m_context, [this](quint64 done) {
        m_done = done;
        draw();
    });
    QObject::connect(&run, &ShredRun::fileFinished, &m_context, [this] { m_file.clear(); });
}

void ShredProgressLine::draw()
{
    if (!m_shown)
        return;
    QString head = QStringLiteral("[%1/%2] ").arg(m_index).arg(m_count);
    if (m_planned > 0) {
        const int percent = int(std::min<quint64>(100, m_done * 100 / m_planned));
        head += QString::number(percent) + QStringLiteral("%, ")
            + localizedFormat(QStringLiteral("IDS_KQ_509"),
                {sizeText(double(m_done)), sizeText(double(m_planned))});
    } else {
        head += sizeText(double(m_done));
    }
    if (m_passes > 1 && !m_file.isEmpty())
        head += QStringLiteral(", ")
            + localizedFormat(
                QStringLiteral("IDS_KQ_251"), {QString::number(m_pass), QString::number(m_passes)});
    if (const QString left = RemainingTime::text(m_done, m_planned, m_timer.elapsed());
        !left.isEmpty())
        head += QStringLiteral(", ") + left;
    QString line = head;
    if (!m_file.isEmpty())
        line += QStringLiteral(": ")
            + QString::fromLocal8Bit(ShredText::shown(PathText::toNative(m_file)));
    // A line wider than the terminal wraps, and "\r" would then redraw only its last row.
    const int width = terminalWidth(fileno(m_stream)) - 1;
    if (line.size() > width) {
        const int tail = width - int(head.size()) - 5;
        line = tail > 8 ? head + QStringLiteral(": ...") + line.right(tail) : line.left(width);
    }
    const QByteArray bytes = kClearLine + line.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_stream);
    std::fflush(m_stream);
    m_onLine = true;
}

void ShredProgressLine::clear()
{
    if (!m_onLine)
        return;
    std::fwrite(kClearLine.constData(), 1, size_t(kClearLine.size()), m_stream);
    std::fflush(m_stream);
    m_onLine = false;
}
