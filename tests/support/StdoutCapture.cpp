// SPDX-License-Identifier: GPL-3.0-or-later
#include "StdoutCapture.h"

#include <cstdio>
#include <unistd.h>

StdoutCapture::StdoutCapture(int descriptor)
    : m_descriptor(descriptor)
{
    if (!m_file.open())
        return;
    std::fflush(nullptr);
    m_saved = ::dup(m_descriptor);
    ::dup2(m_file.handle(), m_descriptor);
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
    std::fflush(nullptr);
    ::dup2(m_saved, m_descriptor);
    ::close(m_saved);
    m_saved = -1;
}
