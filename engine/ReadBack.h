// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DirectoryHandle.h"
#include "ShredReport.h"

#include <functional>
#include <sys/types.h>

/// Reads a file back past the page cache after its last pass and compares it with the pattern.
class ReadBack
{
public:
    using ReadFunction = std::function<ssize_t(int fd, void* buffer, size_t length, off_t offset)>;

    /// Replaces pread(); lets tests make a disk return other bytes. Empty restores pread().
    void setReadFunction(ReadFunction read) { m_read = std::move(read); }

    /// Whether the entry `name` of `dir`, still the examined file `st`, holds `value` over its
    /// first `length` bytes; `kind` and `error` say why not.
    bool verify(const DirectoryHandle& dir, const QByteArray& name, const EntryStat& st,
        quint64 length, qint32 value, ShredFailure::Kind* kind, int* error) const;

private:
    ReadFunction m_read;
};
