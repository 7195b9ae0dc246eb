// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShredRun.h"
#include "TempTree.h"
#include "ZPHShred.h"

#include <QSignalSpy>
#include <QTest>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

// One shred run as both front ends drive it: its signals, its stop, and its read-back.
class TestShredRun : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void progressCountsEveryPassInBytes_data();
    void progressCountsEveryPassInBytes();
    void signalsArriveQueuedFromItsThread();
    void stopInTheMiddleOfAFileKeepsIt();
    void stopBetweenFilesLeavesTheRestUntouched();
    void verificationCatchesWhatTheDiskReturns_data();
    void verificationCatchesWhatTheDiskReturns();
    void listedFoldersGoOnlyWhenLeftEmpty();
    void progressKeepsUpWhenFilesArePaced();
    void stoppedRunStillRemovesTheFoldersItEmptied();

private:
    ZPHShred m_engine;
};

namespace {

ShredTarget pathTarget(const QString& path)
{
    return ShredTarget::make(ShredTarget::Kind::Path, QFile::encodeName(path));
}

FileIdentity identity(const QString& path)
{
    struct stat st;
    ::lstat(QFile::encodeName(path).constData(), &st);
    return FileIdentity {quint64(st.st_dev), quint64(st.st_ino)};
}

} // namespace

void TestShredRun::init()
{
    m_engine.setPerFileDelayMs(0);
    m_engine.setStopRequested(false);
    m_engine.setReadFunctionForTesting({});
    m_engine.setBatching(true);
}

void TestShredRun::progressCountsEveryPassInBytes_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<QList<int>>("passes");
    QTest::newRow("one pass") << 1 << QList<int> {1};
    QTest::newRow("three passes") << 3 << QList<int> {1, 2, 3};
}

void TestShredRun::progressCountsEveryPassInBytes()
{
    QFETCH(int, method);
    QFETCH(QList<int>, passes);
    TempTree tree;
    tree.writeFile(QStringLiteral("d/a"), QByteArray(5000, 'a')); // two blocks a pass
    tree.writeFile(QStringLiteral("d/sub/b"), QByteArray(1, 'b')); // one block a pass
    ShredRun run(m_engine, {pathTarget(tree.path(QStringLiteral("d")))}, method, false);
    QSignalSpy planned(&run, &ShredRun::planned);
    QSignalSpy written(&run, &ShredRun::bytesWritten);
    QSignalSpy passStarted(&run, &ShredRun::passStarted);
    QSignalSpy finished(&run, &ShredRun::finished);
    run.run();

    const quint64 expected = 3 * 4096 * quint64(passes.size());
    QCOMPARE(planned.size(), 1);
    QCOMPARE(planned.first().at(0).toLongLong(), 2);
    QCOMPARE(planned.first().at(1).toULongLong(), expected);
    QCOMPARE(written.last().first().toULongLong(), expected);
    // Both small files share one batch, which goes through each pass once.
    QList<int> told;
    for (const QList<QVariant>& pass : passStarted)
        told << pass.first().toInt();
    QCOMPARE(told, passes);
    QCOMPARE(finished.size(), 1);
    QVERIFY(finished.first().first().value<ShredReport>().succeeded());
    QVERIFY(!TempTree::exists(tree.path(QStringLiteral("d"))));
}

void TestShredRun::signalsArriveQueuedFromItsThread()
{
    TempTree tree;
    const QString file = tree.writeFile(QStringLiteral("f"), "secret");
    ShredRun run(m_engine, {pathTarget(file)}, 1, false);
    QThread* receiverThread = nullptr;
    QObject receiver;
    connect(&run, &ShredRun::fileFinished, &receiver,
        [&] { receiverThread = QThread::currentThread(); });
    QSignalSpy finished(&run, &ShredRun::finished);
    run.startInBackground();
    QTRY_COMPARE(finished.size(), 1);
    QTRY_VERIFY(receiverThread);
    QCOMPARE(receiverThread, QThread::currentThread());
    QVERIFY(!TempTree::exists(file));
}

void TestShredRun::stopInTheMiddleOfAFileKeepsIt()
{
    TempTree tree;
    const QByteArray secret = TempTree::incompressible(8 * 1024 * 1024);
    const QString big = tree.writeFile(QStringLiteral("big"), secret);
    const QString after = tree.writeFile(QStringLiteral("z-after"), "untouched");
    ShredRun run(m_engine, {pathTarget(big), pathTarget(after)}, 3, false);
    // Asked from another thread's point of view: after the first chunk of the first pass.
    connect(
        &run, &ShredRun::bytesWritten, &run,
        [&](quint64 done) {
            if (done > 0 && done < 8 * 1024 * 1024)
                run.requestStop();
        },
        Qt::DirectConnection);
    m_engine.setObserver(nullptr);
    QSignalSpy finished(&run, &ShredRun::finished);
    QSignalSpy fileFinished(&run, &ShredRun::fileFinished);
    // The run reports progress at most every few dozen milliseconds; the first chunk always.
    run.run();

    const ShredReport report = finished.first().first().value<ShredReport>();
    QVERIFY(report.stopped);
    QCOMPARE(report.stoppedPath, big);
    QCOMPARE(report.filesErased, 0);
    QVERIFY(TempTree::exists(big)); // kept, half overwritten, never unlinked
    QCOMPARE(TempTree::readFile(after), QByteArray("untouched"));
    QCOMPARE(fileFinished.first().at(1).value<ShredFileResult>().outcome,
        ShredFileResult::Outcome::Stopped);
    QCOMPARE(report.failures.first().kind, ShredFailure::Kind::Stopped);
}

void TestShredRun::stopBetweenFilesLeavesTheRestUntouched()
{
    TempTree tree;
    const QString first = tree.writeFile(QStringLiteral("d/1"), "one");
    ShredRun run(m_engine,
        {pathTarget(first), pathTarget(tree.writeFile(QStringLiteral("d/2"), "two"))}, 1, false);
    connect(
        &run, &ShredRun::fileFinished, &run, [&] { run.requestStop(); }, Qt::DirectConnection);
    QSignalSpy finished(&run, &ShredRun::finished);
    run.run();
    const ShredReport report = finished.first().first().value<ShredReport>();
    QVERIFY(report.stopped);
    QVERIFY(report.stoppedPath.isEmpty()); // no file was interrupted
    QCOMPARE(report.filesErased, 1);
    QVERIFY(!TempTree::exists(first));
    QCOMPARE(TempTree::readFile(tree.path(QStringLiteral("d/2"))), QByteArray("two"));
}

void TestShredRun::verificationCatchesWhatTheDiskReturns_data()
{
    // What the seam makes the device answer; a real disk cannot be made to lie on demand.
    QTest::addColumn<int>("fault"); // 0 none, 1 a flipped byte, 2 EIO
    QTest::addColumn<bool>("erased");
    QTest::addColumn<int>("kind");
    QTest::newRow("pattern read back") << 0 << true << 0;
    QTest::newRow("one byte differs") << 1 << false << int(ShredFailure::Kind::VerifyMismatch);
    QTest::newRow("read error") << 2 << false << int(ShredFailure::Kind::VerifyReadFailed);
}

void TestShredRun::verificationCatchesWhatTheDiskReturns()
{
    QFETCH(int, fault);
    QFETCH(bool, erased);
    QFETCH(int, kind);
    TempTree tree;
    const QString file = tree.writeFile(QStringLiteral("f"), QByteArray(10000, 's'));
    m_engine.setReadFunctionForTesting(
        [fault](int fd, void* buffer, size_t length, off_t offset) -> ssize_t {
            if (fault == 2) {
                errno = EIO;
                return -1;
            }
            const ssize_t n = ::pread(fd, buffer, length, offset);
            if (fault == 1 && n > 100 && offset == 0)
                static_cast<char*>(buffer)[100] ^= 0x01;
            return n;
        });
    ShredRun run(m_engine, {pathTarget(file)}, 3, true);
    QSignalSpy finished(&run, &ShredRun::finished);
    run.run();
    const ShredReport report = finished.first().first().value<ShredReport>();
    QCOMPARE(!TempTree::exists(file), erased);
    QCOMPARE(report.filesErased, erased ? 1 : 0);
    if (!erased) {
        QCOMPARE(int(report.failures.first().kind), kind);
        // Kept after all its passes: it holds the last pattern, not the secret.
        QCOMPARE(TempTree::readFile(file).left(4), QByteArray("\x84\x02\x96\x49", 4));
    }
}

void TestShredRun::listedFoldersGoOnlyWhenLeftEmpty()
{
    TempTree tree;
    const QString checked = tree.writeFile(QStringLiteral("top/checked"), "x");
    tree.writeFile(QStringLiteral("top/unchecked"), "y");
    tree.makeDir(QStringLiteral("top/empty"));
    ShredTarget top = ShredTarget::make(ShredTarget::Kind::ListedFolder,
        QFile::encodeName(tree.path(QStringLiteral("top"))),
        identity(tree.path(QStringLiteral("top"))));
    top.children << ShredTarget::make(
        ShredTarget::Kind::ListedFile, QFile::encodeName(checked), identity(checked), 1)
                 << ShredTarget::make(ShredTarget::Kind::EmptyFolder,
                        QFile::encodeName(tree.path(QStringLiteral("top/empty"))),
                        identity(tree.path(QStringLiteral("top/empty"))));
    ShredRun run(m_engine, {top}, 1, false);
    QSignalSpy finished(&run, &ShredRun::finished);
    run.run();
    const ShredReport report = finished.first().first().value<ShredReport>();
    QVERIFY(!TempTree::exists(checked));
    QVERIFY(!TempTree::exists(tree.path(QStringLiteral("top/empty"))));
    // The unchecked file keeps its folder, and that is no failure: the user kept it.
    QVERIFY(TempTree::exists(tree.path(QStringLiteral("top/unchecked"))));
    QVERIFY(report.failures.isEmpty());
}

void TestShredRun::progressKeepsUpWhenFilesArePaced()
{
    // The window pauses 10 ms before each file: a batch must not hold the bar back for long.
    TempTree tree;
    QList<ShredTarget> targets;
    constexpr int kFiles = 60;
    for (int i = 0; i < kFiles; ++i) {
        const QString file = tree.writeFile(QStringLiteral("f%1").arg(i), "secret");
        targets << ShredTarget::make(
            ShredTarget::Kind::ListedFile, QFile::encodeName(file), identity(file), 6);
    }
    m_engine.setPerFileDelayMs(10);
    ShredRun run(m_engine, targets, 1, false);
    quint64 written = 0;
    QList<quint64> writtenWhenStarted;
    connect(&run, &ShredRun::bytesWritten, this, [&](quint64 done) { written = done; });
    connect(&run, &ShredRun::fileStarted, this, [&] { writtenWhenStarted << written; });
    run.run();
    QCOMPARE(writtenWhenStarted.size(), kFiles);
    QVERIFY2(writtenWhenStarted.at(kFiles * 2 / 3) > 0,
        "no byte written while two thirds of the files were started");
    QCOMPARE(written, quint64(kFiles) * 4096);
}

void TestShredRun::stoppedRunStillRemovesTheFoldersItEmptied()
{
    TempTree tree;
    QList<ShredTarget> targets;
    for (const QString& name : {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}) {
        const QString file = tree.writeFile(name + QStringLiteral("/file"), "secret");
        const QString folder = tree.path(name);
        ShredTarget listed = ShredTarget::make(
            ShredTarget::Kind::ListedFolder, QFile::encodeName(folder), identity(folder));
        listed.fullyChecked = true;
        listed.children << ShredTarget::make(
            ShredTarget::Kind::ListedFile, QFile::encodeName(file), identity(file), 6);
        targets << listed;
    }
    m_engine.setBatching(false); // one file at a time, so the stop falls between b and c
    ShredRun run(m_engine, targets, 1, false);
    connect(
        &run, &ShredRun::fileFinished, &run,
        [&](const QString& path) {
            if (path.endsWith(QStringLiteral("b/file")))
                run.requestStop();
        },
        Qt::DirectConnection);
    QSignalSpy finished(&run, &ShredRun::finished);
    run.run();
    const ShredReport report = finished.first().first().value<ShredReport>();
    QVERIFY(report.stopped);
    QVERIFY(!TempTree::exists(tree.path(QStringLiteral("a"))));
    QVERIFY(!TempTree::exists(tree.path(QStringLiteral("b"))));
    QCOMPARE(TempTree::readFile(tree.path(QStringLiteral("c/file"))), QByteArray("secret"));
    QVERIFY(report.failures.isEmpty()); // c was not reached, and the stop says so
}

QTEST_GUILESS_MAIN(TestShredRun)
#include "tst_shredrun.moc"
