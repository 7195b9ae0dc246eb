// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ShredObserver.h"
#include "ShredReport.h"

#include <QByteArray>
#include <QList>
#include <atomic>
#include <cstddef>

/// Writes overwrite passes: the pattern of a pass type, the length rounded to whole blocks,
/// every byte written in full and, unless the caller syncs a batch itself, on the disk before a
/// pass counts. Chunks are told to the observer as they are written; a stop request ends a pass
/// after the chunk being written.
class PassWriter
{
public:
    enum class Result
    {
        Done,
        Failed,
        Stopped
    };

    static constexpr quint32 kPattern3 = 1234567812u; // 0x49960284
    static constexpr quint64 kBlockSize = 4096;
    static constexpr size_t kMaxChunk = 1024 * 1024;

    explicit PassWriter(const std::atomic<bool>& stop)
        : m_stop(stop)
    { }

    /// Told of the bytes written; set only while no run lasts.
    void setObserver(ShredObserver* observer) { m_observer = observer; }

    /// Writes `value` (host byte order), or random words, over the first `length` bytes of the
    /// open file `fd`, and with `sync` makes the pass durable. On failure `kind` and `error` say
    /// why.
    Result write(int fd, quint64 length, qint32 value, bool randomWrite, bool sync,
        ShredFailure::Kind* kind, int* error) const;
    /// One pass over the file at `path`, opened anew (never following a link, never blocking):
    /// anything but a regular file with one link is refused.
    bool overwritePath(const QByteArray& path, quint64 size, qint32 value, bool randomWrite,
        ShredFailure& failure) const;

    /// The pass values of a pass type, in order; any type but 2 and 3 is 1.
    static QList<qint32> passValues(int nPassType);
    /// `size` rounded up to whole blocks.
    static quint64 overwriteLength(quint64 size);
    /// Fills `length` bytes with the 32-bit word `value`, as a pass writes it.
    static void fillPattern(char* buffer, size_t length, qint32 value);

private:
    const std::atomic<bool>& m_stop;
    ShredObserver* m_observer = nullptr;
};
