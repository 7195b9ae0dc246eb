// SPDX-License-Identifier: GPL-3.0-or-later
#include "ErasureTexts.h"
#include "FreeSpaceWipeRecord.h"
#include "FreeSpaceWipeTexts.h"
#include "LanguageTable.h"
#include "LoopImage.h"
#include "ProgramRun.h"
#include "TempTree.h"
#include "ZPHShred.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString kTool = QStringLiteral(CORVANE_BIN_DIR "/corvane-shred");
constexpr qint64 kBlock = 4096;
constexpr qint64 kMarkerSize = 16;

// The bytes each method leaves behind, written out rather than taken from the engine.
QByteArray finalPatternWord(int method)
{
    switch (method) {
    case 2:
        return QByteArray(4, '\xff');
    case 3:
        return QByteArray("\x84\x02\x96\x49", 4);
    default:
        return QByteArray(4, '\0');
    }
}

// A random marker that no overwrite pattern can produce by chance: it holds none of the
// pattern words at any offset and does not repeat every 4 bytes.
QByteArray makeMarker(QRandomGenerator& random, const QList<QByteArray>& taken)
{
    for (;;) {
        QByteArray marker(kMarkerSize, Qt::Uninitialized);
        random.fillRange(reinterpret_cast<quint32*>(marker.data()), kMarkerSize / 4);
        bool usable = !taken.contains(marker) && marker.left(4) != marker.mid(4, 4);
        for (int method = 1; method <= 3 && usable; ++method)
            usable = !QByteArray(marker + marker).contains(finalPatternWord(method));
        if (usable)
            return marker;
    }
}

struct Extent
{
    qint64 logical = 0;
    qint64 physical = 0;
    qint64 length = 0;
};

// The file's extents in 4096-byte blocks, from filefrag; empty with `error` set on failure.
QList<Extent> physicalExtents(const QString& file, QString* error)
{
    QProcess filefrag;
    filefrag.start(u"filefrag"_s, {u"-v"_s, u"-b4096"_s, file});
    if (!filefrag.waitForFinished(30000) || filefrag.exitCode() != 0) {
        *error = u"filefrag failed: "_s + filefrag.errorString()
            + QString::fromLocal8Bit(filefrag.readAllStandardError());
        return {};
    }
    const QString output = QString::fromLocal8Bit(filefrag.readAllStandardOutput());
    // "   0:        0..       1:      34816..     34817:      2:             last,eof"
    static const QRegularExpression row(
        QStringLiteral(
            "^\\s*\\d+:\\s+(\\d+)\\.\\.\\s*(\\d+):\\s+(\\d+)\\.\\.\\s*(\\d+):\\s+(\\d+):"),
        QRegularExpression::MultilineOption);
    QList<Extent> extents;
    for (auto it = row.globalMatch(output); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        extents.append(
            {m.captured(1).toLongLong(), m.captured(3).toLongLong(), m.captured(5).toLongLong()});
    }
    static const QRegularExpression blockSize(u"\\(\\d+ blocks? of 4096 bytes\\)"_s);
    if (!output.contains(blockSize))
        *error = u"unexpected filefrag output: "_s + output;
    return extents;
}

struct ToolCase
{
    const char* fs = "ext4";
    const char* mountOptions = "";
    const char* setup = ""; // shell, in the mount, once its folders sel and more are made
    const char* after = ""; // shell, in the mount, once they are
    bool rotational = true;
    bool wipe = false; // with --wipe-free-space
    int exitCode = 0;
    int warning = -1; // StorageReason told on a warning line, or -1
    int note = -1; // StorageReason told on a note line, or -1
    // Per secret, on the raw image afterwards: 1 left, 0 gone, - either (the run's later writes
    // may land on what a copy-on-write overwrite left behind).
    const char* left = "000";
};

struct SecretFile
{
    QString relative;
    QByteArray content;
    QList<Extent> extents;
};

// Compares the image's bytes of every block the file had in its first `length` bytes with
// `expected(block index)`; returns the number of blocks compared, or -1 at the first mismatch.
qint64 compareBlocks(const QByteArray& image, const SecretFile& file, qint64 length,
    const std::function<QByteArray(qint64 block)>& expected, QString* where)
{
    qint64 compared = 0;
    for (const Extent& extent : file.extents) {
        for (qint64 i = 0; i < extent.length; ++i) {
            const qint64 block = extent.logical + i;
            if (block * kBlock >= length)
                continue;
            const QByteArray want = expected(block);
            const QByteArray have = image.mid((extent.physical + i) * kBlock, want.size());
            if (have != want) {
                *where = u"%1: logical block %2 at physical block %3"_s.arg(file.relative)
                             .arg(block)
                             .arg(extent.physical + i);
                return -1;
            }
            ++compared;
        }
    }
    return compared;
}

} // namespace

Q_DECLARE_METATYPE(ToolCase)

class TestErasure : public QObject
{
    Q_OBJECT

private slots:
    void toolTellsWhereOverwritingCannotReach_data();
    void toolTellsWhereOverwritingCannotReach();
    void toolLeavesNoTraceOnDisk_data();
    void toolLeavesNoTraceOnDisk();
    void largeFileIsOverwrittenToItsEnd();
    void batchedPassesReachTheDiskInOrder_data();
    void batchedPassesReachTheDiskInOrder();
    void fileFailingInABatchIsKeptAndTheRestErased_data();
    void fileFailingInABatchIsKeptAndTheRestErased();
    void killedWipeIsCleanedUpByTheToolsNextRun();
};

void TestErasure::toolTellsWhereOverwritingCannotReach_data()
{
    QTest::addColumn<ToolCase>("c");
    const int journal = int(StorageReason::DataJournal), cow = int(StorageReason::CopyOnWrite);
    QTest::newRow("plain ext4 on a rotational device") << ToolCase {};
    QTest::newRow("ext4 on flash")
        << ToolCase {.rotational = false, .note = int(StorageReason::FlashStorage)};
    QTest::newRow("ext4 journalling data") << ToolCase {
        .mountOptions = "data=journal", .exitCode = 3, .warning = journal, .left = "--1"};
    QTest::newRow("ext4 journalling data, free space wiped")
        << ToolCase {.mountOptions = "data=journal", .wipe = true, .warning = journal};
    QTest::newRow("btrfs, ordinary files")
        << ToolCase {.fs = "btrfs", .exitCode = 3, .warning = cow, .left = "--1"};
    QTest::newRow("btrfs, ordinary files, free space wiped")
        << ToolCase {.fs = "btrfs", .wipe = true, .warning = cow};
    QTest::newRow("btrfs, No_COW folders")
        << ToolCase {.fs = "btrfs", .setup = "chattr +C sel more"};
    // Shared blocks are out of the fill's reach: the warning stays, nothing is wiped.
    for (const bool wipe : {false, true})
        QTest::addRow("xfs, reflinked copy outside the selection%s", wipe ? ", wiped" : "")
            << ToolCase {.fs = "xfs",
                   .after = "cp --reflink=always sel/s2 copy",
                   .wipe = wipe,
                   .exitCode = 3,
                   .warning = int(StorageReason::SharedExtents),
                   .left = "001"};
}

void TestErasure::toolTellsWhereOverwritingCannotReach()
{
    QFETCH(ToolCase, c);
    const QString fs = QString::fromLatin1(c.fs), after = QString::fromLatin1(c.after);
    const int exitCode = c.exitCode, warning = c.warning, note = c.note;
    if (const QString why = LoopImage::unavailable(fs); !why.isEmpty())
        QSKIP(qPrintable(why));
    setLanguageStrings(loadPlistDictionary(u"English"_s));
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
    // A small journal, so that the wipe gets round it on a small image.
    const int sizeMiB = fs == u"xfs" ? 300 : fs == u"btrfs" ? 256 : 96;
    LoopImage image(sizeMiB, fs, QString::fromLatin1(c.mountOptions),
        fs == u"ext4" ? QStringList {u"-J"_s, u"size=8"_s} : QStringList());
    QVERIFY2(image.isMounted(), qPrintable(image.error()));
    QString error;
    QVERIFY2(image.setRotational(c.rotational, &error), qPrintable(error));
    const QString mount = image.mountPoint();
    const auto shell = [&](const QString& command) {
        return command.isEmpty()
            || LoopImage::run(u"sh"_s, {u"-c"_s, u"cd \"$0\" && "_s + command, mount}, &error);
    };
    QVERIFY(QDir(mount).mkdir(u"sel"_s) && QDir(mount).mkdir(u"more"_s));
    QVERIFY2(shell(QString::fromLatin1(c.setup)), qPrintable(error));
    QRandomGenerator random(0x3195);
    QList<QByteArray> markers;
    // Two secrets named one by one, the last alone in a folder named as a whole: erased last,
    // so that no later write of the run can land on the blocks it leaves behind.
    const QStringList paths {mount + u"/more/s0", mount + u"/more/s1", mount + u"/sel"};
    for (int i = 0; i < 3; ++i) {
        markers.append(makeMarker(random, markers));
        QFile file(i == 2 ? mount + u"/sel/s2" : paths.at(i));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(markers.last().repeated(4096)) > 0);
    }
    QVERIFY2(shell(after), qPrintable(error));
    const QByteArray copy = after.isEmpty() ? QByteArray() : TempTree::readFile(mount + u"/copy");
    ::sync();

    const ProgramRun run = ProgramRun::run(kTool,
        (c.wipe ? QStringList {u"--wipe-free-space"_s} : QStringList()) + paths, {}, {}, 120000);
    const QString err = QString::fromUtf8(run.err);
    QVERIFY2(run.exitCode == exitCode, qPrintable(err + QString::fromUtf8(run.out)));
    for (const QString& path : paths)
        QVERIFY(!TempTree::exists(path));
    const int warned = warning < 0 ? 0 : after.isEmpty() ? 3 : 1; // only one was copied
    QCOMPARE(err.contains(u"corvane-shred: warning: '"_s + paths.last() + u"': "), warned > 0);
    if (warning >= 0) {
        // Each path gets a short line; the long explanation comes once.
        QCOMPARE(err.count(ErasureTexts::reasonText(StorageReason(warning))), 1);
        QVERIFY2(
            err.contains(FreeSpaceWipeTexts::shortWarning(StorageReason(warning), u"1 file"_s)),
            qPrintable(err));
        QCOMPARE(err.count(u"old contents may remain ("_s), warned);
    }
    QCOMPARE(err.contains(u"corvane-shred: note: "_s), note >= 0);
    if (note >= 0)
        QVERIFY2(err.contains(ErasureTexts::reasonText(StorageReason(note))), qPrintable(err));
    QCOMPARE(err.contains(u"corvane-shred: resolved: "_s), c.wipe && exitCode == 0);
    const int stillWarned = exitCode == 0 ? 0 : warned;
    QVERIFY2(run.out.endsWith(u"; %1 with a warning.\n"_s.arg(stillWarned).toUtf8()),
        run.out.constData());
    QVERIFY(!QDir(mount)
                 .entryList(QDir::AllEntries | QDir::Hidden)
                 .join(u' ')
                 .contains(u".corvane-free-space-"));
    if (!copy.isEmpty())
        QCOMPARE(TempTree::readFile(mount + u"/copy"), copy); // outside the selection: untouched

    // The verdict is honest both ways: warned files really keep their secret somewhere.
    QVERIFY2(image.unmount(), qPrintable(image.error()));
    const QByteArray raw = TempTree::readFile(image.imagePath());
    for (int i = 0; i < 3; ++i)
        QVERIFY2(c.left[i] == '-' || raw.contains(markers.at(i)) == (c.left[i] == '1'),
            qPrintable(paths.at(i)));
}

void TestErasure::toolLeavesNoTraceOnDisk_data()
{
    QTest::addColumn<int>("method");
    QTest::newRow("method 1, zeros") << 1;
    QTest::newRow("method 2, ones") << 2;
    QTest::newRow("method 3, three passes") << 3;
}

void TestErasure::toolLeavesNoTraceOnDisk()
{
    QFETCH(int, method);
    QVERIFY2(QFileInfo(kTool).isExecutable(), qPrintable(kTool));
    LoopImage image(32, u"ext4"_s, QString(), {u"-b"_s, u"4096"_s});
    if (!image.isMounted())
        QSKIP(qPrintable(u"cannot mount an ext4 test image: "_s + image.error()));

    QRandomGenerator random(quint32(0x5eed0000 + method));
    const QList<std::pair<QString, qint64>> layout {
        {u"one byte"_s, 1},
        {u".hidden"_s, 4095},
        {u"sub/exactly one block é ü ß"_s, 4096},
        {u"sub/deeper/new\nline"_s, 4097},
        {u"sub/.hidden folder/two hundred KiB"_s, 200 * 1024 + 7},
        {u"big/three MiB.bin"_s, 3 * 1024 * 1024 + 13},
        {u"big/日本語.txt"_s, 64},
        {u"empty"_s, 0},
    };
    QList<SecretFile> files;
    QList<QByteArray> markers;
    TempTree tree(image.mountPoint());
    const QString top = tree.path();
    for (const auto& [relative, size] : layout) {
        markers.append(makeMarker(random, markers));
        files.append({relative, markers.last().repeated(size / kMarkerSize + 1).left(size), {}});
        QVERIFY(!tree.writeFile(relative, files.last().content).isEmpty());
    }
    tree.makeDir(u"sub/empty folder"_s);
    ::sync();

    // Where the secrets lie, checked against the raw image so a misread map cannot pass below.
    {
        const QByteArray raw = TempTree::readFile(image.imagePath());
        QVERIFY(!raw.isEmpty());
        for (SecretFile& file : files) {
            QString error;
            file.extents = physicalExtents(top + u'/' + file.relative, &error);
            QVERIFY2(error.isEmpty(), qPrintable(error));
            const qint64 size = file.content.size();
            QString where;
            const qint64 blocks = compareBlocks(
                raw, file, size,
                [&](qint64 block) {
                    return file.content.mid(
                        block * kBlock, std::min(kBlock, size - block * kBlock));
                },
                &where);
            QVERIFY2(blocks >= 0, qPrintable(u"secret not found where filefrag said: "_s + where));
            QCOMPARE(blocks, (size + kBlock - 1) / kBlock);
            if (size >= kMarkerSize)
                QVERIFY(raw.contains(file.content.left(kMarkerSize)));
        }
    }

    const ProgramRun run = ProgramRun::run(kTool, {u"--method"_s, QString::number(method), top});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QVERIFY(!TempTree::exists(top));
    QVERIFY2(image.unmount(), qPrintable(image.error()));

    const QByteArray raw = TempTree::readFile(image.imagePath());
    QVERIFY(!raw.isEmpty());
    const QByteArray word = finalPatternWord(method);
    for (const SecretFile& file : files) {
        const qint64 size = file.content.size();
        if (size >= kMarkerSize) {
            const qsizetype at = raw.indexOf(file.content.left(kMarkerSize));
            QVERIFY2(
                at < 0, qPrintable(u"%1: secret still at byte %2"_s.arg(file.relative).arg(at)));
        }
        const qint64 length = ZPHShred::overwriteLength(quint64(size));
        QString where;
        const qint64 blocks = compareBlocks(
            raw, file, length, [&](qint64) { return word.repeated(kBlock / 4); }, &where);
        QVERIFY2(blocks >= 0, qPrintable(u"not the final pattern: "_s + where));
        QCOMPARE(blocks, length / kBlock);
    }
}

void TestErasure::largeFileIsOverwrittenToItsEnd()
{
    if (qEnvironmentVariableIsEmpty("CORVANE_SLOW_TESTS"))
        QSKIP("writes 4 GiB; runs as the test tst_erasure_large (label slow)");
    constexpr qint64 kFourGiB = Q_INT64_C(4294967296);
    const QStorageInfo storage(QDir::tempPath());
    if (storage.fileSystemType() == "tmpfs")
        QSKIP("the temp folder is in memory; 4 GiB would be taken from RAM");
    if (storage.bytesAvailable() < 6 * Q_INT64_C(1073741824))
        QSKIP(qPrintable(u"needs 6 GiB free in %1, %2 bytes available"_s.arg(QDir::tempPath())
                             .arg(storage.bytesAvailable())));

    TempTree tree;
    const QString path = tree.path(u"large.bin"_s);
    const QByteArray native = QFile::encodeName(path);
    {
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        QVERIFY(fd >= 0);
        // Sparse: only what the overwrite writes takes room.
        QCOMPARE(::ftruncate(fd, kFourGiB + 1), 0);
        ::close(fd);
    }
    ZPHShred engine;
    ShredFailure failure;
    const bool written = engine.overwriteFile(
        native, quint64(kFourGiB + 1), qint32(ZPHShred::kPatternPass3), false, &failure);
    QVERIFY2(written, qPrintable(QString::number(failure.error)));
    QCOMPARE(QFileInfo(path).size(), kFourGiB + kBlock);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray expected = finalPatternWord(3).repeated(kBlock / 4);
    QList<qint64> offsets {0, kFourGiB - kBlock / 2, kFourGiB};
    // A sample in every 256 MiB shows no stretch in between was skipped.
    for (qint64 offset = 256 * 1024 * 1024; offset < kFourGiB; offset += 256 * 1024 * 1024)
        offsets.append(offset + 4 * 1024);
    for (const qint64 offset : offsets) {
        QVERIFY(file.seek(offset));
        QVERIFY2(file.read(kBlock) == expected, qPrintable(u"at byte %1"_s.arg(offset)));
    }
    file.close();
    QVERIFY(QFile::remove(path));
}

void TestErasure::batchedPassesReachTheDiskInOrder_data()
{
    QTest::addColumn<bool>("oneByOne");
    QTest::newRow("a folder") << false;
    QTest::newRow("files named one by one") << true;
}

void TestErasure::batchedPassesReachTheDiskInOrder()
{
    QFETCH(bool, oneByOne);
    const QString strace = QStandardPaths::findExecutable(u"strace"_s);
    if (strace.isEmpty())
        QSKIP("strace is not installed");
    TempTree tree;
    constexpr int kFiles = 60;
    QStringList named;
    for (int i = 0; i < kFiles; ++i)
        named << tree.writeFile(u"top/%1/file%2"_s.arg(i % 3 ? u"sub"_s : u"."_s).arg(i),
            QByteArray(100 + i * 97, 's'));
    const QString log = tree.path(u"trace"_s);
    const ProgramRun run = ProgramRun::run(strace,
        QStringList {u"-f"_s, u"-qq"_s, u"-o"_s, log, u"-e"_s,
            u"trace=openat,pwrite64,close,syncfs,fdatasync,fsync,unlinkat"_s, kTool, u"-m"_s,
            u"3"_s}
            + (oneByOne ? named : QStringList {tree.path(u"top"_s)}));
    if (run.exitCode != 0 && TempTree::readFile(log).isEmpty())
        QSKIP(qPrintable(u"strace cannot trace here: "_s + QString::fromLocal8Bit(run.err)));
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QCOMPARE(TempTree::exists(tree.path(u"top"_s)), oneByOne);

    // Replays the calls: a pass starts with a write at offset 0; it may start, and the file may
    // be unlinked, only once a sync covering the file followed its previous write.
    struct FileState
    {
        int passes = 0;
        bool dirty = false;
        bool unlinked = false;
    };
    QHash<QString, FileState> files;
    QHash<int, QString> open;
    int syncs = 0;
    static const QRegularExpression call(
        uR"re(^\d+\s+(\w+)\((\d+)(?:, "([^"]*)")?(.*)\) += (-?\d+))re"_s);
    QString problems;
    const QStringList lines = QString::fromLocal8Bit(TempTree::readFile(log)).split(u'\n');
    for (const QString& line : lines) {
        const QRegularExpressionMatch m = call.match(line);
        if (!m.hasMatch() || m.captured(5).toInt() < 0)
            continue;
        const QString name = m.captured(1);
        const int fd = m.captured(2).toInt();
        if (name == u"openat" && m.captured(4).contains(u"O_WRONLY"_s)
            && m.captured(3).startsWith(u"file"_s)) {
            open[m.captured(5).toInt()] = m.captured(3);
        } else if (name == u"close") {
            open.remove(fd);
        } else if (name == u"pwrite64" && open.contains(fd)) {
            FileState& file = files[open[fd]];
            if (m.captured(4).endsWith(u", 0"_s)) {
                if (file.dirty)
                    problems += open[fd]
                        + u": pass %1 began before pass %2 was synced\n"_s.arg(file.passes + 1)
                              .arg(file.passes);
                ++file.passes;
            }
            file.dirty = true;
        } else if (name == u"syncfs") {
            ++syncs;
            for (FileState& file : files)
                file.dirty = false;
        } else if ((name == u"fdatasync" || name == u"fsync") && open.contains(fd)) {
            ++syncs;
            files[open[fd]].dirty = false;
        } else if (name == u"unlinkat" && m.captured(3).startsWith(u"file"_s)) {
            FileState& file = files[m.captured(3)];
            if (file.dirty || file.passes != 3)
                problems += m.captured(3)
                    + u": unlinked after %1 passes, last one %2\n"_s.arg(file.passes)
                          .arg(file.dirty ? u"unsynced"_s : u"synced"_s);
            file.unlinked = true;
        }
    }
    QVERIFY2(problems.isEmpty(), qPrintable(problems));
    QCOMPARE(files.size(), kFiles);
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        QVERIFY2(it->unlinked, qPrintable(it.key()));
    // Batched: a sync per pass for many files, not one per file and pass.
    QVERIFY2(syncs < kFiles, qPrintable(u"%1 syncs for %2 files"_s.arg(syncs).arg(kFiles)));
}

void TestErasure::fileFailingInABatchIsKeptAndTheRestErased_data()
{
    batchedPassesReachTheDiskInOrder_data();
}

void TestErasure::fileFailingInABatchIsKeptAndTheRestErased()
{
    QFETCH(bool, oneByOne);
    if (const QString why = LoopImage::unavailable(u"ext4"_s); !why.isEmpty())
        QSKIP(qPrintable(why));
    LoopImage image(32, u"ext4"_s, QString(), {u"-b"_s, u"4096"_s});
    QVERIFY2(image.isMounted(), qPrintable(image.error()));
    const QString top = image.mountPoint() + u"/top"_s;
    QVERIFY(QDir().mkpath(top));
    constexpr int kFiles = 2000;
    QStringList named;
    for (int i = 0; i < kFiles; ++i) {
        const QByteArray secret = u"CORVANE-SECRET-%1;"_s.arg(i, 5, 10, QChar(u'0')).toLatin1();
        named << top + u"/f%1"_s.arg(i);
        QFile out(named.constLast());
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(secret.repeated(1 + i % 180)) > 0);
    }
    // The only file longer than the tool may write (ulimit -f below): its second block fails
    // with EFBIG in the middle of whichever batch it falls into.
    const QString kept = top + u"/kept"_s;
    {
        QFile out(kept);
        QVERIFY(out.open(QIODevice::WriteOnly)
            && out.write(QByteArray("KEPT-").repeated(1000)) == 5000);
    }
    ::sync();
    QVERIFY(TempTree::readFile(image.imagePath()).contains("CORVANE-SECRET-01999;"));

    named.insert(1234, kept);
    const ProgramRun run = ProgramRun::run(u"sh"_s,
        QStringList {u"-c"_s, u"trap '' XFSZ; ulimit -f 8; exec \"$0\" \"$@\""_s, kTool}
            + (oneByOne ? named : QStringList {top}),
        {}, {}, 120000);
    QVERIFY2(run.exitCode == 1, QByteArray(run.err + '\n' + run.out).constData());
    // Told once, by its own name, whether it was named or found in the folder.
    const QByteArray keptLine = QByteArray("cannot erase '") + QFile::encodeName(kept) + '\'';
    QVERIFY2(
        run.err.count("cannot erase ") == 1 && run.err.contains(keptLine), run.err.constData());
    QVERIFY2(run.out.startsWith("Erased 2000 files"), run.out.constData());
    if (oneByOne)
        QVERIFY2(run.out.contains("2000 of 2001 paths removed; 1 not erased"), run.out.constData());
    QCOMPARE(QDir(top).entryList(QDir::Files | QDir::Hidden), QStringList {u"kept"_s});
    QVERIFY2(image.unmount(), qPrintable(image.error()));
    const QByteArray raw = TempTree::readFile(image.imagePath());
    QVERIFY(!raw.contains("CORVANE-SECRET-"));
    QVERIFY(raw.contains("KEPT-KEPT-")); // beyond the first block, never written: kept as it was
}

void TestErasure::killedWipeIsCleanedUpByTheToolsNextRun()
{
    if (const QString why = LoopImage::unavailable(u"ext4"_s); !why.isEmpty())
        QSKIP(qPrintable(why));
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
    LoopImage image(1024, u"ext4"_s); // large enough to be caught while it fills
    QVERIFY2(image.isMounted(), qPrintable(image.error()));
    const QString mount = image.mountPoint();
    const auto fill = [&] {
        const QStringList folders
            = QDir(mount).entryList({u".corvane-free-space-*"_s}, QDir::Dirs | QDir::Hidden);
        return folders.isEmpty() ? QStringList()
                                 : QDir(mount + u'/' + folders.first()).entryList(QDir::Files);
    };
    // SIGTERM: the fill goes at once, and the tool says so.
    QProcess stopped;
    stopped.start(kTool, {u"--wipe-free-space="_s + mount});
    QTRY_VERIFY_WITH_TIMEOUT(!fill().isEmpty() || stopped.state() == QProcess::NotRunning, 30000);
    ::kill(pid_t(stopped.processId()), SIGTERM);
    QVERIFY(stopped.waitForFinished(30000));
    QCOMPARE(stopped.exitCode(), 143);
    QVERIFY(fill().isEmpty());

    QProcess tool;
    tool.start(kTool, {u"--wipe-free-space="_s + mount});
    QTRY_VERIFY_WITH_TIMEOUT(!fill().isEmpty() || tool.state() == QProcess::NotRunning, 30000);
    ::kill(pid_t(tool.processId()), SIGKILL);
    QVERIFY(tool.waitForFinished(30000));
    QCOMPARE(tool.exitStatus(), QProcess::CrashExit);
    QVERIFY(!fill().isEmpty());

    // The tool's next run, whatever it erases, removes the leftover first.
    TempTree tree(mount);
    const ProgramRun run = ProgramRun::run(kTool, {tree.writeFile(u"x"_s, "x")});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QVERIFY(fill().isEmpty());
    QVERIFY(
        QDir(mount).entryList({u".corvane-free-space-*"_s}, QDir::Dirs | QDir::Hidden).isEmpty());
}

QTEST_GUILESS_MAIN(TestErasure)
#include "tst_erasure.moc"
