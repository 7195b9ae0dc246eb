// SPDX-License-Identifier: GPL-3.0-or-later
#include "StdoutCapture.h"

#include <cstdio>
#include <unistd.h>

StdoutCapture::StdoutCapture()
{
    if (!m_file.open())
        return;
    std::fflush(stdout);
    m_saved = ::dup(STDOUT_FILENO);
    ::dup2(m_file.handle(), STDOUT_FILENO);
}

StdoutCapture::~StdoutCapture()
{
    restore();
}

QByteArray StdoutCapture::text()
{
    restore();
    m_file.seek(0);
    return m_file.readAll();
}

void StdoutCapture::restore()
{
    if (m_saved < 0)
        return;
    std::fflush(stdout);
    ::dup2(m_saved, STDOUT_FILENO);
    ::close(m_saved);
    m_saved = -1;
}
