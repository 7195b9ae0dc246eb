// SPDX-License-Identifier: GPL-3.0-or-later
#include "DiskProbe.h"
#include "Expectations.h"
#include "ForkedChild.h"
#include "FreeSpaceWipe.h"
#include "FreeSpaceWipeRecord.h"
#include "FreeSpaceWipeTexts.h"
#include "LanguageTable.h"
#include "LoopImage.h"
#include "TempTree.h"
#include "UnprivilegedChild.h"
#include "ZPHShred.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int kSecrets = 40;
constexpr int kSecretBytes = 60 * 1024;

// A text no fill pattern can make, different for every file.
QByteArray secretHead(int i)
{
    return QByteArray("corvane secret number ") + QByteArray::number(i + 100) + " of the test;";
}

int secretsIn(const QByteArray& raw)
{
    int found = 0;
    for (int i = 0; i < kSecrets; ++i)
        found += raw.contains(secretHead(i)) ? 1 : 0;
    return found;
}

QStringList privateFolders(const QString& folder)
{
    return QDir(folder).entryList({QString::fromLatin1(FreeSpaceWipeRecord::kFolderPrefix) + u'*'},
        QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
}

// The figures, for a failure's message.
QByteArray described(const FreeSpaceWipeReport& r)
{
    const QList<quint64> figures {quint64(r.refusal), quint64(r.error), r.full, r.stopped,
        r.bytesFilled, r.leftUnwritten, r.reservedLeft, r.journalBytes, r.journalCycled,
        r.bytesWritten};
    QByteArray text = "refusal error full stopped filled left reserved journal cycled written:";
    for (const quint64 figure : figures)
        text += ' ' + QByteArray::number(figure);
    return text;
}

FreeSpaceWipeReport wipe(const QString& folder, const QList<StorageReason>& reasons = {})
{
    FreeSpaceWipe run(QFile::encodeName(folder));
    run.setReasonsToReach(reasons);
    FreeSpaceWipeReport report;
    QObject::connect(
        &run, &FreeSpaceWipe::finished, [&](const FreeSpaceWipeReport& r) { report = r; });
    run.run();
    return report;
}

// Erases `relative` under `mount` with the engine and returns the verdicts it warned with.
QList<StorageVerdict> erase(const QString& mount, const QString& relative)
{
    ZPHShred engine;
    engine.setPerFileDelayMs(0);
    const ShredReport report = engine.shredFile(mount + u'/' + relative, 1);
    QList<StorageVerdict> verdicts;
    for (const ShredWarning& warning : report.warnings)
        verdicts.append(warning.verdict);
    return report.pathRemoved ? verdicts : QList<StorageVerdict>();
}

} // namespace

class TestFreeSpaceWipe : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void wipeLeavesNoSecretInTheRawImage_data();
    void wipeLeavesNoSecretInTheRawImage();
    void sharedBlocksAreNotReached_data();
    void sharedBlocksAreNotReached();
    void unprivilegedFillStopsAtTheReserve();
    void stoppedWipeRemovesItsFillAtOnce();
    void killedWipeIsCleanedUpByTheNextRun();
    void refusedWithoutWritingAnything_data();
    void refusedWithoutWritingAnything();

private:
    QTemporaryDir m_state;
};

void TestFreeSpaceWipe::initTestCase()
{
    // An unprivileged child records its folders here too.
    QVERIFY(m_state.isValid());
    QVERIFY(::chmod(QFile::encodeName(m_state.path()).constData(), 0777) == 0);
    qputenv("XDG_STATE_HOME", QFile::encodeName(m_state.path()));
    setLanguageStrings(loadPlistDictionary(u"English"_s));
}

void TestFreeSpaceWipe::init()
{
    QFile::remove(FreeSpaceWipeRecord::path());
}

void TestFreeSpaceWipe::wipeLeavesNoSecretInTheRawImage_data()
{
    QTest::addColumn<QString>("fs");
    QTest::addColumn<QString>("options");
    QTest::addColumn<QStringList>("mkfs");
    QTest::addColumn<int>("sizeMiB");
    QTest::addColumn<int>("reason");
    QTest::addColumn<int>("keptKiB"); // outside the selection
    QTest::newRow("btrfs") << u"btrfs"_s << QString() << QStringList() << 256
                           << int(StorageReason::CopyOnWrite) << 300;
    QTest::newRow("ext4 data=journal, 8 MiB journal")
        << u"ext4"_s << u"data=journal"_s << QStringList {u"-J"_s, u"size=8"_s} << 96
        << int(StorageReason::DataJournal) << 300;
    // Less free space than twice the journal: cycled by filling it again and again.
    QTest::newRow("ext4 data=journal, free space under twice the journal")
        << u"ext4"_s << u"data=journal"_s << QStringList {u"-J"_s, u"size=8"_s} << 96
        << int(StorageReason::DataJournal) << 68 * 1024;
}

void TestFreeSpaceWipe::wipeLeavesNoSecretInTheRawImage()
{
    QFETCH(QString, fs);
    QFETCH(QString, options);
    QFETCH(QStringList, mkfs);
    QFETCH(int, sizeMiB);
    QFETCH(int, reason);
    QFETCH(int, keptKiB);
    if (const QString why = LoopImage::unavailable(fs); !why.isEmpty())
        QSKIP(qPrintable(why));
    LoopImage image(sizeMiB, fs, options, mkfs);
    QVERIFY2(image.isMounted(), qPrintable(image.error()));
    const QString mount = image.mountPoint();
    TempTree tree(mount);
    const QString kept = tree.writeFile(u"kept/notes"_s, TempTree::incompressible(keptKiB * 1024));
    const QByteArray keptSum = checksum(kept);
    for (int i = 0; i < kSecrets; ++i) {
        const QByteArray head = secretHead(i);
        tree.writeFile(u"sel/secret-%1"_s.arg(i),
            head.repeated(kSecretBytes / head.size() + 1).left(kSecretBytes));
    }
    ::sync();

    const QList<StorageVerdict> verdicts = erase(tree.path(), u"sel"_s);
    QCOMPARE(verdicts.size(), kSecrets);
    QVERIFY(verdicts.first().warnings.contains(StorageReason(reason)));
    ::sync();
    // The test sees what it looks for: the erasure alone left old copies behind.
    QVERIFY(secretsIn(TempTree::readFile(image.imagePath())) > 0);

    const quint64 before = freeBytes(mount);
    const FreeSpaceWipeReport report = wipe(tree.path(), verdicts.first().warnings);
    QVERIFY2(report.completed(), described(report));
    QCOMPARE(report.mountPoint, mount);
    QCOMPARE(report.fileSystem, fs);
    for (const StorageVerdict& verdict : verdicts)
        QVERIFY2(report.resolves(verdict), described(report));
    QCOMPARE(report.journalCycled, StorageReason(reason) == StorageReason::DataJournal);
    if (report.journalCycled)
        QVERIFY(report.bytesWritten >= 2 * report.journalBytes);
    const quint64 after = freeBytes(mount);
    QVERIFY2(after * 100 >= before * 99 && after * 100 <= before * 101,
        qPrintable(u"free %1 before, %2 after"_s.arg(before).arg(after)));
    QVERIFY(privateFolders(tree.path()).isEmpty());
    QVERIFY(FreeSpaceWipeRecord::entries().isEmpty());
    QCOMPARE(checksum(kept), keptSum);

    QVERIFY2(image.unmount(), qPrintable(image.error()));
    QCOMPARE(secretsIn(TempTree::readFile(image.imagePath())), 0);
}

void TestFreeSpaceWipe::sharedBlocksAreNotReached_data()
{
    QTest::addColumn<QString>("fs");
    QTest::addColumn<int>("sizeMiB");
    QTest::addColumn<QString>("before"); // shell, in the mount, before the secret is written
    QTest::addColumn<QString>("share"); // shell, in the mount, once it is
    QTest::addColumn<QString>("copy");
    QTest::newRow("xfs, reflinked copy")
        << u"xfs"_s << 300 << u"mkdir vol"_s << u"cp --reflink=always vol/sel/secret-0 copy"_s
        << u"copy"_s;
    QTest::newRow("btrfs, snapshot")
        << u"btrfs"_s << 256 << u"btrfs -q subvolume create vol"_s
        << u"btrfs -q subvolume snapshot vol snap"_s << u"snap/sel/secret-0"_s;
}

void TestFreeSpaceWipe::sharedBlocksAreNotReached()
{
    QFETCH(QString, fs);
    QFETCH(int, sizeMiB);
    QFETCH(QString, before);
    QFETCH(QString, share);
    QFETCH(QString, copy);
    if (const QString why = LoopImage::unavailable(fs); !why.isEmpty())
        QSKIP(qPrintable(why));
    LoopImage image(sizeMiB, fs);
    QVERIFY2(image.isMounted(), qPrintable(image.error()));
    const QString mount = image.mountPoint();
    QString error;
    QVERIFY2(shellIn(mount, before, &error), qPrintable(error));
    const QByteArray head = secretHead(0);
    QVERIFY(QDir().mkpath(mount + u"/vol/sel"));
    QVERIFY(TempTree::writeNative(
        QFile::encodeName(mount + u"/vol/sel/secret-0"), head.repeated(2000)));
    QVERIFY2(shellIn(mount, share, &error), qPrintable(error));
    const QByteArray copySum = checksum(mount + u'/' + copy);
    ::sync();

    const QList<StorageVerdict> verdicts = erase(mount, u"vol/sel"_s);
    QCOMPARE(verdicts.size(), 1);
    QVERIFY(verdicts.first().warnings.contains(StorageReason::SharedExtents));
    const FreeSpaceWipeReport report = wipe(mount, verdicts.first().warnings);
    QVERIFY2(report.completed(), described(report));
    QCOMPARE(FreeSpaceWipeReport::reach(StorageReason::SharedExtents),
        FreeSpaceWipeReport::Reach::NotReached);
    QVERIFY(!report.resolves(verdicts.first()));
    QCOMPARE(checksum(mount + u'/' + copy), copySum);
    QVERIFY2(image.unmount(), qPrintable(image.error()));
    // Still there, as the other copy holds it: the report's "not reached" is the truth.
    QCOMPARE(secretsIn(TempTree::readFile(image.imagePath())), 1);
}

void TestFreeSpaceWipe::unprivilegedFillStopsAtTheReserve()
{
    if (!canDropPrivileges())
        QSKIP("needs root to run a child as another user");
    LoopImage image(64, u"ext4"_s); // mke2fs keeps 5% for the administrator
    QVERIFY2(image.isMounted(), qPrintable(image.error()));
    const QString open = image.mountPoint() + u"/open";
    QVERIFY(QDir().mkpath(open));
    for (const QString& path : {QFileInfo(image.mountPoint()).path(), image.mountPoint(), open})
        QVERIFY(::chmod(QFile::encodeName(path).constData(), path == open ? 0777 : 0755) == 0);

    const int result = runUnprivileged([&] {
        const FreeSpaceWipeReport report = wipe(open);
        // The reserve is named, with the share that was reached.
        const QString told = FreeSpaceWipeTexts::outcome(report, {}, 0).join(u' ');
        return firstFailed({report.completed(), report.reservedLeft != 0,
            report.shareReached() <= 0.97 && report.shareReached() >= 0.9,
            !report.resolves({{StorageReason::CopyOnWrite}, {}}),
            told.contains(FreeSpaceWipeTexts::percent(report.shareReached()))
                && told.contains(u"for the administrator"_s)});
    });
    QCOMPARE(result, 0);
    QVERIFY(privateFolders(open).isEmpty());
}

void TestFreeSpaceWipe::stoppedWipeRemovesItsFillAtOnce()
{
    if (const QString why = LoopImage::unavailable(u"ext4"_s); !why.isEmpty())
        QSKIP(qPrintable(why));
    LoopImage image(256, u"ext4"_s);
    QVERIFY2(image.isMounted(), qPrintable(image.error()));
    const QString mount = image.mountPoint();
    const quint64 before = freeBytes(mount);
    FreeSpaceWipe run(QFile::encodeName(mount));
    int leftoversWhileRunning = -1;
    quint64 stoppedAt = 0;
    QStringList foldersWhileRunning;
    QObject::connect(&run, &FreeSpaceWipe::bytesWritten, [&](quint64 done) {
        if (done < 48 * 1024 * 1024 || leftoversWhileRunning >= 0)
            return;
        // A folder in use is no leftover, whoever looks.
        leftoversWhileRunning = FreeSpaceWipeRecord::removeLeftovers();
        foldersWhileRunning = privateFolders(mount);
        stoppedAt = done;
        run.requestStop();
    });
    FreeSpaceWipeReport report;
    QObject::connect(
        &run, &FreeSpaceWipe::finished, [&](const FreeSpaceWipeReport& r) { report = r; });
    run.run();
    QCOMPARE(leftoversWhileRunning, 0);
    QCOMPARE(foldersWhileRunning.size(), 1);
    QVERIFY2(report.stopped && !report.full && !report.completed(), described(report));
    // At once: not a chunk more once the stop was asked for.
    QVERIFY2(report.bytesFilled <= stoppedAt + FreeSpaceWipe::kChunkBytes, described(report));
    QVERIFY(privateFolders(mount).isEmpty());
    QVERIFY(FreeSpaceWipeRecord::entries().isEmpty());
    QVERIFY(freeBytes(mount) * 100 >= before * 99);
}

void TestFreeSpaceWipe::killedWipeIsCleanedUpByTheNextRun()
{
    if (const QString why = LoopImage::unavailable(u"ext4"_s); !why.isEmpty())
        QSKIP(qPrintable(why));
    LoopImage image(96, u"ext4"_s);
    QVERIFY2(image.isMounted(), qPrintable(image.error()));
    const QString mount = image.mountPoint();
    const quint64 before = freeBytes(mount);
    const int killed = runForked([&] {
        FreeSpaceWipe run(QFile::encodeName(mount));
        QObject::connect(&run, &FreeSpaceWipe::bytesWritten, [](quint64 done) {
            if (done >= 32 * 1024 * 1024)
                ::kill(::getpid(), SIGKILL);
        });
        run.run();
        return 0;
    });
    QCOMPARE(killed, -1);
    const QStringList left = privateFolders(mount);
    QCOMPARE(left.size(), 1);
    QCOMPARE(FreeSpaceWipeRecord::entries(), {QFile::encodeName(mount + u'/' + left.first())});
    QVERIFY(freeBytes(mount) < before - 16 * 1024 * 1024);

    const FreeSpaceWipeReport report = wipe(mount);
    QCOMPARE(report.leftoversRemoved, 1);
    QVERIFY(report.completed());
    QVERIFY(privateFolders(mount).isEmpty());
    QVERIFY(FreeSpaceWipeRecord::entries().isEmpty());
    QVERIFY(freeBytes(mount) * 100 >= before * 99);
}

void TestFreeSpaceWipe::refusedWithoutWritingAnything_data()
{
    using Refusal = FreeSpaceWipeReport::Refusal;
    QTest::addColumn<QString>("fs");
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("setup"); // shell, in the mount
    QTest::addColumn<bool>("unprivileged");
    QTest::addColumn<int>("refusal");
    QTest::newRow("read-only") << u"ext4"_s << u"ro"_s << QString() << false
                               << int(Refusal::ReadOnly);
    QTest::newRow("already full") << u"ext4"_s << QString()
                                  << u"dd if=/dev/zero of=all bs=1M 2>/dev/null; sync"_s << false
                                  << int(Refusal::AlreadyFull);
    QTest::newRow("memory file system")
        << u"tmpfs"_s << QString() << QString() << false << int(Refusal::MemoryOnly);
    QTest::newRow("folder the user may not write")
        << u"ext4"_s << QString() << QString() << true << int(Refusal::NotWritable);
    QTest::newRow("missing folder")
        << QString() << QString() << QString() << false << int(Refusal::Unexamined);
}

void TestFreeSpaceWipe::refusedWithoutWritingAnything()
{
    QFETCH(QString, fs);
    QFETCH(QString, options);
    QFETCH(QString, setup);
    QFETCH(bool, unprivileged);
    QFETCH(int, refusal);
    QTemporaryDir missing;
    std::unique_ptr<LoopImage> image;
    QString folder = missing.path() + u"/gone"_s;
    if (!fs.isEmpty()) {
        if (const QString why = LoopImage::unavailable(fs); !why.isEmpty())
            QSKIP(qPrintable(why));
        image = std::make_unique<LoopImage>(32, fs, options);
        QVERIFY2(image->isMounted(), qPrintable(image->error()));
        folder = image->mountPoint();
        QString error;
        QVERIFY2(shellIn(folder, setup, &error), qPrintable(error));
        ::chmod(QFile::encodeName(QFileInfo(folder).path()).constData(), 0755);
    }
    const quint64 before = freeBytes(folder);
    FreeSpaceWipeReport report;
    if (unprivileged) {
        QVERIFY(canDropPrivileges());
        QCOMPARE(runUnprivileged([&] { return int(wipe(folder).refusal); }), refusal);
    } else {
        report = wipe(folder);
        QCOMPARE(int(report.refusal), refusal);
        QCOMPARE(report.bytesWritten, quint64(0));
    }
    QCOMPARE(freeBytes(folder), before);
    QVERIFY(privateFolders(folder).isEmpty());
    QVERIFY(FreeSpaceWipeRecord::entries().isEmpty());
}

QTEST_GUILESS_MAIN(TestFreeSpaceWipe)
#include "tst_freespacewipe.moc"
