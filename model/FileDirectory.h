// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Filedata.h"

class StorageAssessment;
struct EntryStat;
struct statx;

#include <QUrl>
#include <optional>

/// One item the user added: its URL and, when they could be read, its attributes.
struct FileDirectory
{
    /// Every record the application builds has one; a default record has none.
    std::optional<QUrl> url;
    /// Missing when the attributes could not be read (the item vanished, a non-file URL).
    std::optional<Filedata> file;
    /// Never changed; the checked state of a row is the item dictionary's `state`.
    bool state = false;
    /// Set by the scan for a folder whose listing is empty.
    bool isemptyFolder = false;

    /// Reads the item's own attributes with lstat: a symbolic link is described as a link, never
    /// as its target (trailing slashes are ignored for the same reason). Never fails: on a read
    /// error it prints "Error reading file attributes" to standard output and returns the record
    /// without `file`. Safe to call from any thread. With `assessment`, a regular file's storage
    /// verdict is filled in too.
    static FileDirectory fromUrl(const QUrl& url, StorageAssessment* assessment = nullptr);
    /// The record of the item at `nativePath`, named `name`, from attributes already read with
    /// statx (without following a link); lets a folder's listing stat entries relative to it.
    static FileDirectory fromStatx(const QUrl& url, const struct statx& st,
        const QByteArray& nativePath, const QString& name, StorageAssessment* assessment = nullptr);
    /// As fromStatx(), from what a folder walk read, except that a regular file's type is left
    /// for Filedata::typeName() to work out when its row is shown.
    static FileDirectory fromEntry(const QUrl& url, const EntryStat& st,
        const QByteArray& nativePath, const QString& name, StorageAssessment* assessment = nullptr);
};
