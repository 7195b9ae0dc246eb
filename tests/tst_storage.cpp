// SPDX-License-Identifier: GPL-3.0-or-later
#include "DirectoryHandle.h"
#include "LoopImage.h"
#include "StorageAssessment.h"
#include "UnprivilegedChild.h"
#include "ZPHShred.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSysInfo>
#include <QTest>
#include <QVersionNumber>

#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

struct Case
{
    const char* fs = "ext4";
    const char* mountOptions = "";
    const char* mkfsOptions = "";
    const char* tune = ""; // tune2fs options for the unmounted image, before the file is written
    const char* attribute = ""; // given with chattr while the file is empty
    int size = 256 * 1024;
    const char* setup = ""; // a shell command run in the mount after the file "secret" is written
    const char* assessed = "secret";
    bool rotational = true; // of the image's loop device
    // File systems, outermost first, each holding the next one's image and the last this one's.
    const char* below = "";
    bool belowRotational = true;
    const char* belowAttribute = ""; // given with chattr to each of their roots
    bool withoutProcFs = false; // the kernel's /proc/fs/ext4 lists out of sight
    bool ioctlOnly = false; // a user reads the superblock by an ioctl of Linux 6.18
    const char* warnings = "";
    const char* notes = "";
    int secretLeft = -1; // on the outermost raw image after an erase: 0 gone, 1 left; -1 no erase
    int mode = -1; // the file's permissions, for an assessment by an unprivileged user
};

QString names(const QList<StorageReason>& reasons)
{
    static const char* const kNames[]
        = {"CopyOnWrite", "SharedExtents", "DataJournal", "InlineData", "LogStructured",
            "RemoteOrLayered", "BackingFile", "FlashStorage", "MemoryOnly", "EncryptedDevice"};
    QStringList result;
    for (StorageReason reason : reasons)
        result << QString::fromLatin1(kNames[int(reason)]);
    return result.join(u' ');
}

} // namespace

Q_DECLARE_METATYPE(Case)

class TestStorage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void verdictOnRealFileSystem_data();
    void verdictOnRealFileSystem();

private:
    // Images live in memory, so no disk of the machine lies below them to add a note.
    std::unique_ptr<LoopImage> m_store;
};

void TestStorage::initTestCase()
{
    if (const QString missing = LoopImage::unavailable(u"tmpfs"_s); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    m_store = std::make_unique<LoopImage>(1536, u"tmpfs"_s);
    QVERIFY2(m_store->isMounted(), qPrintable(m_store->error()));
}

void TestStorage::verdictOnRealFileSystem_data()
{
    QTest::addColumn<Case>("c");
    // A copy-on-write overwrite goes to new blocks, so the secret is expected to stay.
    QTest::newRow("btrfs, ordinary file")
        << Case {.fs = "btrfs", .warnings = "CopyOnWrite", .secretLeft = 1};
    QTest::newRow("btrfs, No_COW file, non-rotational") << Case {.fs = "btrfs",
        .attribute = "+C",
        .rotational = false,
        .notes = "FlashStorage",
        .secretLeft = 0};
    // btrfs keeps a small file inside its metadata, though not one with No_COW.
    QTest::newRow("btrfs, small file kept in metadata")
        << Case {.fs = "btrfs", .size = 60, .warnings = "CopyOnWrite InlineData"};
    QTest::newRow("btrfs, link judged by its folder") << Case {.fs = "btrfs",
        .attribute = "+C",
        .setup = "ln -s secret link",
        .assessed = "link",
        .warnings = "CopyOnWrite"};
    // Opened for writing alone, the file's own flags still count.
    QTest::newRow("btrfs, No_COW file only writable by the user")
        << Case {.fs = "btrfs", .attribute = "+C", .mode = 0222};
    QTest::newRow("xfs, file with a reflinked copy") << Case {
        .fs = "xfs", .setup = "cp --reflink=always secret copy", .warnings = "SharedExtents"};
    // 41 extents apart, only the last shared: found only if reading goes on past the first slice.
    QTest::newRow("xfs, fragmented file sharing its last extent") << Case {.fs = "xfs",
        .size = 4096,
        .setup = "for i in $(seq 2 2 80); do dd if=secret of=secret bs=4k count=1 seek=$i "
                 "conv=notrunc status=none; done; head -c 4096 secret >donor; "
                 "xfs_io -c 'reflink donor 0 327680 4096' secret",
        .warnings = "SharedExtents"};
    QTest::newRow("xfs, plain file") << Case {.fs = "xfs"};
    QTest::newRow("ext4, data=journal")
        << Case {.mountOptions = "data=journal", .warnings = "DataJournal"};
    // The mount table shows only what differs from the superblock's defaults.
    QTest::newRow("ext4 journalling data by the superblock's default")
        << Case {.tune = "-o journal_data", .warnings = "DataJournal", .secretLeft = 1};
    QTest::newRow("ext4, data=journal, no /proc/fs/ext4: read from the mount table")
        << Case {.mountOptions = "data=journal", .withoutProcFs = true, .warnings = "DataJournal"};
    QTest::newRow("ext4, data=journal, FIFO judged by its folder without blocking")
        << Case {.mountOptions = "data=journal",
               .setup = "mkfifo fifo",
               .assessed = "fifo",
               .warnings = "DataJournal"};
    QTest::newRow("ext4, inline data")
        << Case {.mkfsOptions = "-O inline_data", .size = 60, .warnings = "InlineData"};
    // Kept in its inode and committed, then grown out of it: the journal keeps the first copy.
    QTest::newRow("ext4 with inline_data, file grown out of its inode")
        << Case {.mkfsOptions = "-O inline_data",
               .size = 60,
               .setup = "sync; head -c 65536 /dev/zero >>secret",
               .warnings = "InlineData",
               .secretLeft = 1};
    QTest::newRow("ext4 with inline_data, large file, unprivileged user") << Case {
        .mkfsOptions = "-O inline_data", .ioctlOnly = true, .warnings = "InlineData", .mode = 0666};
    QTest::newRow("ext4, rotational") << Case {};
    QTest::newRow("ext4, non-rotational") << Case {.rotational = false, .notes = "FlashStorage"};
    QTest::newRow("ext4 in a file on a non-rotational loop")
        << Case {.below = "ext4", .belowRotational = false, .notes = "FlashStorage"};
    QTest::newRow("ext4 in an ordinary file on btrfs")
        << Case {.below = "btrfs", .warnings = "BackingFile", .secretLeft = 1};
    QTest::newRow("ext4 in a No_COW file on btrfs")
        << Case {.below = "btrfs", .belowAttribute = "+C", .secretLeft = 0};
    QTest::newRow("ext4 in a file on ext4 in an ordinary file on btrfs")
        << Case {.below = "btrfs ext4", .warnings = "BackingFile", .secretLeft = 1};
    QTest::newRow("tmpfs") << Case {.fs = "tmpfs", .notes = "MemoryOnly"};
}

void TestStorage::verdictOnRealFileSystem()
{
    QFETCH(Case, c);
    const QString fsType = QString::fromLatin1(c.fs);
    const QStringList below = QString::fromLatin1(c.below).split(u' ', Qt::SkipEmptyParts);
    for (const QString& type : below + QStringList {fsType}) {
        if (const QString missing = LoopImage::unavailable(type); !missing.isEmpty())
            QSKIP(qPrintable(missing));
    }
    const QVersionNumber kernel = QVersionNumber::fromString(QSysInfo::kernelVersion());
    if (c.ioctlOnly && kernel < QVersionNumber(6, 18))
        QSKIP("a user reads the superblock by an ioctl of Linux 6.18");
    QString error;
    std::vector<std::unique_ptr<LoopImage>> layers;
    const auto innermostFirst = qScopeGuard([&] {
        while (!layers.empty())
            layers.pop_back();
    });
    QString parent = m_store->mountPoint();
    for (const QString& type : below) {
        // No discard: btrfs turns it on by itself on an image kept in memory, and it would punch
        // the freed blocks out of the image at a moment of its own choosing.
        layers.push_back(std::make_unique<LoopImage>(
            type == u"btrfs"_s ? 256 : 128, type, u"nodiscard"_s, QStringList(), parent));
        LoopImage& layer = *layers.back();
        QVERIFY2(layer.isMounted(), qPrintable(layer.error()));
        QVERIFY2(layer.setRotational(c.belowRotational, &error), qPrintable(error));
        parent = layer.mountPoint();
        const QStringList chattr {QString::fromLatin1(c.belowAttribute), parent};
        QVERIFY2(
            !*c.belowAttribute || LoopImage::run(u"chattr"_s, chattr, &error), qPrintable(error));
    }
    const int sizeMiB = fsType == u"xfs" ? 300 : fsType == u"btrfs" ? 256 : 64;
    LoopImage image(sizeMiB, fsType, QString::fromLatin1(c.mountOptions),
        QString::fromLatin1(c.mkfsOptions).split(u' ', Qt::SkipEmptyParts), parent);
    QVERIFY2(image.isMounted(), qPrintable(image.error()));
    if (*c.tune) {
        const QStringList tune = QString::fromLatin1(c.tune).split(u' ') << image.imagePath();
        QVERIFY2(image.unmount() && LoopImage::run(u"tune2fs"_s, tune, &error) && image.mount(),
            qPrintable(error + image.error()));
    }
    if (fsType != u"tmpfs"_s)
        QVERIFY2(image.setRotational(c.rotational, &error), qPrintable(error));

    const QString file = image.mountPoint() + u"/secret"_s;
    QByteArray marker(16, Qt::Uninitialized);
    QRandomGenerator(0x5ec2e7).fillRange(reinterpret_cast<quint32*>(marker.data()), 4);
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    if (*c.attribute) {
        QVERIFY2(LoopImage::run(u"chattr"_s, {QString::fromLatin1(c.attribute), file}, &error),
            qPrintable(error));
    }
    QCOMPARE(out.write(marker.repeated(c.size / marker.size() + 1).left(c.size)), c.size);
    out.close();
    if (*c.setup) {
        const QString command = u"cd \"$0\" && "_s + QString::fromLatin1(c.setup);
        QVERIFY2(LoopImage::run(u"sh"_s, {u"-c"_s, command, image.mountPoint()}, &error),
            qPrintable(error));
    }
    // Extents are only known once written back; until then the file's blocks are delayed.
    ::sync();

    const QByteArray path
        = QFile::encodeName(image.mountPoint() + u'/' + QString::fromLatin1(c.assessed));
    const QString expected = QString::fromLatin1(c.warnings) + u'/' + QString::fromLatin1(c.notes);
    const auto assessment = [&] {
        StorageAssessment result;
        if (c.withoutProcFs)
            result.setSystemRoots(
                u"/sys"_s, u"/proc/self/mountinfo"_s, m_store->mountPoint() + u"/none"_s);
        return result;
    };
    const auto check = [&] {
        const StorageVerdict verdict = assessment().assessPath(path);
        const QString seen = names(verdict.warnings) + u'/' + names(verdict.notes);
        if (seen != expected)
            qWarning("verdict \"%s\", expected \"%s\"", qPrintable(seen), qPrintable(expected));
        // A list being built judges a file by its file system alone once that is known: the
        // same verdict as the run's.
        StorageAssessment listing = assessment();
        listing.setQuickForListing(true);
        listing.assessPath(QFile::encodeName(image.mountPoint() + u'/'));
        struct statx sx;
        const bool listedAlike = c.assessed != QByteArrayView("secret")
            || (::statx(AT_FDCWD, path.constData(), 0, STATX_MNT_ID, &sx) == 0
                && listing.assessListedFile(
                       path, makedev(sx.stx_dev_major, sx.stx_dev_minor), sx.stx_mnt_id)
                    == verdict);
        return int(seen != expected) + 2 * int(!listedAlike);
    };
    if (c.mode < 0) {
        QCOMPARE(check(), 0);
    } else {
        if (!canDropPrivileges())
            QSKIP("needs root to assess as another user");
        QCOMPARE(::chmod(path.constData(), mode_t(c.mode)), 0);
        for (QString dir = QFileInfo(file).path(); dir.startsWith(QDir::tempPath() + u'/');
             dir = QFileInfo(dir).path())
            QCOMPARE(::chmod(QFile::encodeName(dir).constData(), 0755), 0);
        QCOMPARE(runUnprivileged(check), 0);
    }
    if (c.secretLeft < 0)
        return;
    ZPHShred engine;
    engine.setPerFileDelayMs(0);
    engine.shredFile(file, 1);
    QVERIFY(!QFile::exists(file));
    // Searched on the outermost image, where the layers above leave what they leave.
    QVERIFY2(image.unmount(), qPrintable(image.error()));
    for (auto layer = layers.rbegin(); layer != layers.rend(); ++layer)
        QVERIFY2((*layer)->unmount(), qPrintable((*layer)->error()));
    QFile raw(layers.empty() ? image.imagePath() : layers.front()->imagePath());
    QVERIFY(raw.open(QIODevice::ReadOnly));
    QCOMPARE(int(raw.readAll().contains(marker)), c.secretLeft);
}

QTEST_GUILESS_MAIN(TestStorage)
#include "tst_storage.moc"
