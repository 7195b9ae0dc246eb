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
#include <QTest>

#include <ctime>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Case
{
    const char* fs = "ext4";
    const char* mountOptions = "";
    const char* mkfsOptions = "";
    const char* attribute = ""; // given with chattr while the file is empty
    int size = 256 * 1024;
    const char* setup = ""; // a shell command run in the mount after the file "secret" is written
    const char* assessed = "secret";
    bool rotational = true; // of the image's loop device
    bool onFlash = false; // the image lies in another image, on a non-rotational loop device
    const char* warnings = "";
    const char* notes = "";
    int secretLeft = -1; // after a real erase: 0 gone, 1 left; -1 not erased
    int mode = -1; // the file's permissions, for an assessment by an unprivileged user
};

QString names(const QList<StorageReason>& reasons)
{
    static const char* const kNames[]
        = {"CopyOnWrite",     "SharedExtents", "DataJournal", "InlineData",     "LogStructured",
           "RemoteOrLayered", "FlashStorage",  "MemoryOnly",  "EncryptedDevice"};
    QStringList result;
    for (StorageReason reason : reasons)
        result << QString::fromLatin1(kNames[int(reason)]);
    return result.join(u' ');
}

int imageSizeMiB(const QString& fsType)
{
    return fsType == QStringLiteral("xfs") ? 300 : fsType == QStringLiteral("btrfs") ? 256 : 64;
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
    if (const QString missing = LoopImage::unavailable(QStringLiteral("tmpfs")); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    m_store = std::make_unique<LoopImage>(1536, QStringLiteral("tmpfs"));
    QVERIFY2(m_store->isMounted(), qPrintable(m_store->error()));
}

void TestStorage::verdictOnRealFileSystem_data()
{
    QTest::addColumn<Case>("c");
    // A copy-on-write overwrite goes to new blocks, so the secret is expected to stay.
    QTest::newRow("btrfs, ordinary file")
        << Case{.fs = "btrfs", .warnings = "CopyOnWrite", .secretLeft = 1};
    QTest::newRow("btrfs, No_COW file, non-rotational") << Case{.fs = "btrfs",
                                                                .attribute = "+C",
                                                                .rotational = false,
                                                                .notes = "FlashStorage",
                                                                .secretLeft = 0};
    // btrfs keeps a small file inside its metadata, though not one with No_COW.
    QTest::newRow("btrfs, small file kept in metadata")
        << Case{.fs = "btrfs", .size = 60, .warnings = "CopyOnWrite InlineData"};
    QTest::newRow("btrfs, link judged by its folder") << Case{
        .fs = "btrfs", .attribute = "+C", .setup = "ln -s secret link", .assessed = "link",
        .warnings = "CopyOnWrite"};
    // Opened for writing alone, the file's own flags still count.
    QTest::newRow("btrfs, No_COW file only writable by the user")
        << Case{.fs = "btrfs", .attribute = "+C", .mode = 0222};
    QTest::newRow("xfs, file with a reflinked copy")
        << Case{.fs = "xfs", .setup = "cp --reflink=always secret copy",
                .warnings = "SharedExtents"};
    // 41 extents apart, only the last shared: found only if reading goes on past the first slice.
    QTest::newRow("xfs, fragmented file sharing its last extent") << Case{
        .fs = "xfs", .size = 4096,
        .setup = "for i in $(seq 2 2 80); do dd if=secret of=secret bs=4k count=1 seek=$i "
                 "conv=notrunc status=none; done; head -c 4096 secret >donor; "
                 "xfs_io -c 'reflink donor 0 327680 4096' secret",
        .warnings = "SharedExtents"};
    QTest::newRow("xfs, plain file") << Case{.fs = "xfs"};
    QTest::newRow("ext4, data=journal")
        << Case{.mountOptions = "data=journal", .warnings = "DataJournal"};
    QTest::newRow("ext4, data=journal, FIFO judged by its folder without blocking")
        << Case{.mountOptions = "data=journal", .setup = "mkfifo fifo", .assessed = "fifo",
                .warnings = "DataJournal"};
    QTest::newRow("ext4, inline data")
        << Case{.mkfsOptions = "-O inline_data", .size = 60, .warnings = "InlineData"};
    QTest::newRow("ext4, rotational") << Case{};
    QTest::newRow("ext4, non-rotational") << Case{.rotational = false, .notes = "FlashStorage"};
    QTest::newRow("ext4 in a file on a non-rotational loop")
        << Case{.onFlash = true, .notes = "FlashStorage"};
    QTest::newRow("tmpfs") << Case{.fs = "tmpfs", .notes = "MemoryOnly"};
}

void TestStorage::verdictOnRealFileSystem()
{
    QFETCH(Case, c);
    const QString fsType = QString::fromLatin1(c.fs);
    if (const QString missing = LoopImage::unavailable(fsType); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    QString error;
    std::unique_ptr<LoopImage> flashDisk;
    QString parent = m_store->mountPoint();
    if (c.onFlash) {
        flashDisk = std::make_unique<LoopImage>(128, QStringLiteral("ext4"), QString(),
                                                QStringList(), parent);
        QVERIFY2(flashDisk->isMounted(), qPrintable(flashDisk->error()));
        QVERIFY2(flashDisk->setRotational(false, &error), qPrintable(error));
        parent = flashDisk->mountPoint();
    }
    LoopImage image(imageSizeMiB(fsType), fsType, QString::fromLatin1(c.mountOptions),
                    QString::fromLatin1(c.mkfsOptions).split(u' ', Qt::SkipEmptyParts), parent);
    QVERIFY2(image.isMounted(), qPrintable(image.error()));
    if (fsType != QStringLiteral("tmpfs"))
        QVERIFY2(image.setRotational(c.rotational, &error), qPrintable(error));

    const QString file = image.mountPoint() + QStringLiteral("/secret");
    QByteArray marker(16, Qt::Uninitialized);
    QRandomGenerator(0x5ec2e7).fillRange(reinterpret_cast<quint32*>(marker.data()), 4);
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    if (*c.attribute) {
        QVERIFY2(LoopImage::run(QStringLiteral("chattr"),
                                {QString::fromLatin1(c.attribute), file}, &error),
                 qPrintable(error));
    }
    QCOMPARE(out.write(marker.repeated(c.size / marker.size() + 1).left(c.size)), c.size);
    out.close();
    if (*c.setup) {
        const QString command = QStringLiteral("cd \"$0\" && ") + QString::fromLatin1(c.setup);
        QVERIFY2(LoopImage::run(QStringLiteral("sh"),
                                {QStringLiteral("-c"), command, image.mountPoint()}, &error),
                 qPrintable(error));
    }
    // Extents are only known once written back; until then the file's blocks are delayed.
    ::sync();

    const QByteArray path
        = QFile::encodeName(image.mountPoint() + u'/' + QString::fromLatin1(c.assessed));
    const QString expected = QString::fromLatin1(c.warnings) + u'/' + QString::fromLatin1(c.notes);
    const auto check = [&] {
        const StorageVerdict verdict = StorageAssessment().assessPath(path);
        const QString seen = names(verdict.warnings) + u'/' + names(verdict.notes);
        if (seen != expected)
            qWarning("verdict \"%s\", expected \"%s\"", qPrintable(seen), qPrintable(expected));
        return int(seen != expected);
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
    QVERIFY2(image.unmount(), qPrintable(image.error()));
    QFile raw(image.imagePath());
    QVERIFY(raw.open(QIODevice::ReadOnly));
    QCOMPARE(int(raw.readAll().contains(marker)), c.secretLeft);
}

QTEST_GUILESS_MAIN(TestStorage)
#include "tst_storage.moc"
