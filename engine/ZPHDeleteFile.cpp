// SPDX-License-Identifier: GPL-3.0-or-later
#include "ZPHDeleteFile.h"

#include "PathText.h"
#include "SystemLog.h"

#include <QFile>

#include <cstdio>
#include <filesystem>
#include <system_error>

bool ZPHDeleteFile::deleteSingleFile(const QString& path)
{
    const std::filesystem::path native(PathText::toNative(path).toStdString());
    std::error_code error;
    // symlink_status: a link is removed as a link, never followed.
    if (!std::filesystem::exists(std::filesystem::symlink_status(native, error))) {
        // Names stay out of the log, which outlives what it would name.
        SystemLog::log("Could not remove: no such file or folder");
        return false;
    }
    std::filesystem::remove_all(native, error);
    if (error) {
        SystemLog::log("Could not remove: %s", error.message().c_str());
        return false;
    }
    return true;
}

bool ZPHDeleteFile::deleteMultipleFiles(const QStringList& paths)
{
    for (const QString& path : paths) {
        if (!deleteSingleFile(path))
            return false;
    }
    return true;
}

bool ZPHDeleteFile::renameFile(const QString& source, const QString& destination)
{
    return std::rename(
               PathText::toNative(source).constData(), PathText::toNative(destination).constData())
        == 0;
}
