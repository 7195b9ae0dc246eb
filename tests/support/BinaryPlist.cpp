// SPDX-License-Identifier: GPL-3.0-or-later
#include "BinaryPlist.h"

#include <QList>

QByteArray sharedAtEveryLevel(int levels)
{
    QByteArray bytes("bplist00");
    QList<int> offsets;
    for (int i = 0; i < levels; ++i) {
        offsets << int(bytes.size());
        bytes += char(0xA2);
        bytes += char(i + 1);
        bytes += char(i + 1);
    }
    offsets << int(bytes.size());
    bytes += char(0x09); // true
    const int table = int(bytes.size());
    for (const int offset : std::as_const(offsets))
        bytes += char(offset >> 8) + QByteArray(1, char(offset & 0xff));
    QByteArray trailer(32, '\0');
    trailer[6] = 2; // offset size
    trailer[7] = 1; // reference size
    trailer[15] = char(levels + 1); // objects
    trailer[30] = char(table >> 8);
    trailer[31] = char(table & 0xff);
    return bytes + trailer;
}
