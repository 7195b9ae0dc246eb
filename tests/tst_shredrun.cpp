// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShredRun.h"
#include "ShredTargets.h"
#include "TempTree.h"
#include "ZPHShred.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

using Kind = ShredTarget::Kind;

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
    void verificationCatchesWhatTheDiskReturns_data();
    void verificationCatchesWhatTheDiskReturns();
    void eachTargetGetsItsOwnReport();
    void listedFoldersGoOnlyWhenLeftEmpty();
    void progressKeepsUpWhenFilesArePaced();
    void stopBetweenFilesLeavesTheRestButRemovesTheFoldersItEmptied_data();
    void stopBetweenFilesLeavesTheRestButRemovesTheFoldersItEmptied();

private:
    ShredReport runToTheEnd(ShredRun& run);

    ZPHShred m_engine;
};

void TestShredRun::init()
{
    m_engine.setPerFileDelayMs(0);
    m_engine.setStopRequested(false);
    m_engine.setReadFunctionForTesting({});
    m_engine.setBatching(true);
}

ShredReport TestShredRun::runToTheEnd(ShredRun& run)
{
    QSignalSpy finished(&run, &ShredRun::finished);
    run.run();
    if (finished.size() == 1)
        return finished.first().first().value<ShredReport>();
    QTest::qFail("the run did not finish exactly once", __FILE__, __LINE__);
    ShredReport none;
    none.aborted = true;
    return none;
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
    ShredRun run(
        m_engine, {shredTarget(Kind::Path, tree.path(QStringLiteral("d")))}, method, false);
    QSignalSpy planned(&run, &ShredRun::planned);
    QSignalSpy written(&run, &ShredRun::bytesWritten);
    QSignalSpy passStarted(&run, &ShredRun::passStarted);
    QVERIFY(runToTheEnd(run).succeeded());

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
    QVERIFY(!TempTree::exists(tree.path(QStringLiteral("d"))));
}

void TestShredRun::signalsArriveQueuedFromItsThread()
{
    TempTree tree;
    const QString file = tree.writeFile(QStringLiteral("f"), "secret");
    ShredRun run(m_engine, {shredTarget(Kind::Path, file)}, 1, false);
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
    const QString big = tree.writeFile(QStringLiteral("big"), TempTree::incompressible(8 << 20));
    const QString after = tree.writeFile(QStringLiteral("z-after"), "untouched");
    ShredRun run(
        m_engine, {shredTarget(Kind::Path, big), shredTarget(Kind::Path, after)}, 3, false);
    // Asked from another thread's point of view: after the first chunk of the first pass, which
    // the run always tells.
    connect(
        &run, &ShredRun::bytesWritten, &run,
        [&](quint64 done) {
            if (done > 0 && done < 8 << 20)
                run.requestStop();
        },
        Qt::DirectConnection);
    QSignalSpy fileFinished(&run, &ShredRun::fileFinished);
    const ShredReport report = runToTheEnd(run);

    QVERIFY(report.stopped);
    QCOMPARE(report.stoppedPath, big);
    QCOMPARE(report.filesErased, 0);
    QVERIFY(TempTree::exists(big)); // kept, half overwritten, never unlinked
    QCOMPARE(TempTree::readFile(after), QByteArray("untouched"));
    QCOMPARE(fileFinished.first().at(1).value<ShredFileResult>().outcome,
        ShredFileResult::Outcome::Stopped);
    QCOMPARE(report.failures.first().kind, ShredFailure::Kind::Stopped);
}

void TestShredRun::verificationCatchesWhatTheDiskReturns_data()
{
    // What the seam makes the device answer; a real disk cannot be made to lie on demand.
    QTest::addColumn<int>("fault"); // 0 none, 1 a flipped byte, 2 EIO
    QTest::addColumn<int>("kind"); // -1: erased
    QTest::newRow("pattern read back") << 0 << -1;
    QTest::newRow("one byte differs") << 1 << int(ShredFailure::Kind::VerifyMismatch);
    QTest::newRow("read error") << 2 << int(ShredFailure::Kind::VerifyReadFailed);
}

void TestShredRun::verificationCatchesWhatTheDiskReturns()
{
    QFETCH(int, fault);
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
    ShredRun run(m_engine, {shredTarget(Kind::Path, file)}, 3, true);
    const ShredReport report = runToTheEnd(run);
    QCOMPARE(TempTree::exists(file), kind >= 0);
    QCOMPARE(report.filesErased, kind >= 0 ? 0 : 1);
    if (kind >= 0) {
        QCOMPARE(int(report.failures.first().kind), kind);
        // Kept after all its passes: it holds the last pattern, not the secret.
        QCOMPARE(TempTree::readFile(file).left(4), QByteArray("\x84\x02\x96\x49", 4));
    }
}

void TestShredRun::eachTargetGetsItsOwnReport()
{
    // The listed files share one batch, which ends once the folder's turn comes; the read-back
    // fails for the first file only.
    TempTree tree;
    const QString faulty = tree.writeFile(QStringLiteral("faulty"), "secret");
    tree.writeFile(QStringLiteral("d/1"), "one");
    tree.writeFile(QStringLiteral("d/2"), "two");
    struct stat faultySt;
    QVERIFY(::stat(QFile::encodeName(faulty).constData(), &faultySt) == 0);
    m_engine.setReadFunctionForTesting([&](int fd, void* buffer, size_t length, off_t offset) {
        struct stat st;
        const ssize_t n = ::pread(fd, buffer, length, offset);
        if (n > 0 && ::fstat(fd, &st) == 0 && st.st_ino == faultySt.st_ino)
            static_cast<char*>(buffer)[0] ^= 0x01;
        return n;
    });
    ShredRun run(m_engine,
        {shredTarget(Kind::ListedFile, faulty),
            shredTarget(Kind::ListedFile, tree.writeFile(QStringLiteral("fine"), "secret")),
            shredTarget(Kind::ListedFile, tree.path(QStringLiteral("gone"))),
            shredTarget(Kind::Path, tree.path(QStringLiteral("d")))},
        1, true);
    QSignalSpy told(&run, &ShredRun::targetFinished);
    QCOMPARE(runToTheEnd(run).filesErased, 3);
    // Per target: its index, files erased, whether its path is gone, the kinds of its failures.
    const QList<QList<int>> expected {{0, 0, 0, int(ShredFailure::Kind::VerifyMismatch)}, {1, 1, 1},
        {2, 0, 1, int(ShredFailure::Kind::Missing)}, {3, 2, 1}};
    QCOMPARE(told.size(), expected.size());
    for (int i = 0; i < told.size(); ++i) {
        const ShredReport report = told.at(i).at(1).value<ShredReport>();
        QList<int> got {told.at(i).at(0).toInt(), int(report.filesErased), report.pathRemoved};
        for (const ShredFailure& failure : report.failures)
            got << int(failure.kind);
        QCOMPARE(got, expected.at(i));
    }
}

void TestShredRun::listedFoldersGoOnlyWhenLeftEmpty()
{
    TempTree tree;
    const QString checked = tree.writeFile(QStringLiteral("top/checked"), "x");
    tree.writeFile(QStringLiteral("top/unchecked"), "y");
    const QString empty = tree.makeDir(QStringLiteral("top/empty"));
    ShredTarget top = shredTarget(Kind::ListedFolder, tree.path(QStringLiteral("top")));
    top.children << shredTarget(Kind::ListedFile, checked) << shredTarget(Kind::EmptyFolder, empty);
    ShredRun run(m_engine, {top}, 1, false);
    const ShredReport report = runToTheEnd(run);
    QVERIFY(!TempTree::exists(checked));
    QVERIFY(!TempTree::exists(empty));
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
    for (int i = 0; i < kFiles; ++i)
        targets << shredTarget(
            Kind::ListedFile, tree.writeFile(QStringLiteral("f%1").arg(i), "secret"));
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

void TestShredRun::stopBetweenFilesLeavesTheRestButRemovesTheFoldersItEmptied_data()
{
    QTest::addColumn<bool>("othersRemoveTheRest");
    QTest::newRow("the rest left alone") << false;
    // Not ours to report: the run never reached it.
    QTest::newRow("the rest removed by another program meanwhile") << true;
}

void TestShredRun::stopBetweenFilesLeavesTheRestButRemovesTheFoldersItEmptied()
{
    QFETCH(bool, othersRemoveTheRest);
    TempTree tree;
    QList<ShredTarget> targets;
    for (const QString& name : {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}) {
        const QString file = tree.writeFile(name + QStringLiteral("/file"), "secret");
        ShredTarget listed = shredTarget(Kind::ListedFolder, tree.path(name));
        listed.fullyChecked = true;
        listed.children << shredTarget(Kind::ListedFile, file);
        targets << listed;
    }
    m_engine.setBatching(false); // one file at a time, so the stop falls between b and c
    ShredRun run(m_engine, targets, 1, false);
    connect(
        &run, &ShredRun::fileFinished, &run,
        [&](const QString& path) {
            if (!path.endsWith(QStringLiteral("b/file")))
                return;
            run.requestStop();
            if (othersRemoveTheRest)
                QVERIFY(QDir(tree.path(QStringLiteral("c"))).removeRecursively());
        },
        Qt::DirectConnection);
    QSignalSpy told(&run, &ShredRun::targetFinished);
    const ShredReport report = runToTheEnd(run);
    QVERIFY(report.stopped);
    QVERIFY(report.stoppedPath.isEmpty()); // no file was interrupted
    QCOMPARE(report.filesErased, 2);
    QCOMPARE(told.size(), 2); // c is not told, as if it was never handed over
    QVERIFY(!TempTree::exists(tree.path(QStringLiteral("a"))));
    QVERIFY(!TempTree::exists(tree.path(QStringLiteral("b"))));
    if (!othersRemoveTheRest)
        QCOMPARE(TempTree::readFile(tree.path(QStringLiteral("c/file"))), QByteArray("secret"));
    QVERIFY(report.failures.isEmpty()); // c was not reached, and the stop says so
}

QTEST_GUILESS_MAIN(TestShredRun)
#include "tst_shredrun.moc"
