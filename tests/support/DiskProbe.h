// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

/// Free bytes of the file system holding `path` (the administrator's reserve included).
quint64 freeBytes(const QString& path);
/// SHA-256 of the file's content.
QByteArray checksum(const QString& path);
/// Runs `command` with sh in `folder`; true for an empty command.
bool shellIn(const QString& folder, const QString& command, QString* error);
