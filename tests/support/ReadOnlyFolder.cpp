// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReadOnlyFolder.h"

#include "LoopImage.h"

#include <QFile>
#include <sys/stat.h>
#include <unistd.h>

ReadOnlyFolder::ReadOnlyFolder(const QString& folder)
    : m_folder(folder)
{
    if (::geteuid() == 0) {
        m_mounted = LoopImage::bindReadOnly(folder, folder, &m_error);
        if (!m_mounted)
            m_error = QStringLiteral("no read-only bind mount: ") + m_error;
    } else if (::chmod(QFile::encodeName(folder).constData(), 0555) != 0) {
        m_error = QStringLiteral("cannot change the folder's mode");
    }
}

ReadOnlyFolder::~ReadOnlyFolder()
{
    if (m_mounted)
        LoopImage::unmountPath(m_folder);
    ::chmod(QFile::encodeName(m_folder).constData(), 0755);
}
