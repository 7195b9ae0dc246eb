// SPDX-License-Identifier: GPL-3.0-or-later
#include "LoopImage.h"
#include "NotificationCenter.h"
#include "SystemLog.h"
#include "TempTree.h"
#include "TreeWalk.h"
#include "UnprivilegedChild.h"
#include "ZPHDeleteFile.h"
#include "ZPHFileFunctions.h"
#include "ZPHShred.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QTest>
#include <QThread>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The bytes each pass type must leave on disk, written out rather than taken from the engine.
QByteArray patternBytes(int passType, qsizetype length)
{
    QByteArray word;
    switch (passType) {
    case 2:
        word = QByteArray("\xff\xff\xff\xff", 4);
        break;
    case 3:
        word = QByteArray("\x84\x02\x96\x49", 4);
        break;
    default:
        word = QByteArray(4, '\0');
    }
    return word.repeated(length / 4);
}

// Collects the engine's progress notifications, thread-safely.
struct ProgressRecorder
{
    explicit ProgressRecorder(std::function<void(const Notification&)> extra = {})
    {
        NotificationCenter::defaultCenter().addObserver(
            QStringLiteral("ZPHBraskoUpdateMessage"), &owner, [this, extra](const Notification& n) {
                {
                    std::lock_guard lock(mutex);
                    seen.append(n.userInfo);
                    senders.append(n.object);
                }
                if (extra)
                    extra(n);
            });
    }
    QList<QVariantMap> all()
    {
        std::lock_guard lock(mutex);
        return seen;
    }
    QStringList paths()
    {
        QStringList out;
        for (const QVariantMap& m : all())
            out << m.value(QStringLiteral("path")).toString();
        return out;
    }
    QObject owner;
    std::mutex mutex;
    QList<QVariantMap> seen;
    QList<const void*> senders;
};

bool failedFor(const ShredReport& report, const QString& path)
{
    for (const ShredFailure& f : report.failures) {
        if (f.path == path)
            return true;
    }
    return false;
}

} // namespace

class TestEngine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void passPatternAndLength_data();
    void passPatternAndLength();
    void overwriteLengthCoversFilesOver4GiB();
    void overwriteRefusesWhatIsNotAPlainFile();

    void folderTreeNotifiesThenErasesEverything();
    void noFileToEraseNotifiesNothing_data();
    void noFileToEraseNotifiesNothing();
    void pauseHoldsBetweenFilesAndAbortWaitsForResume();

    void linksAndSpecialFilesAreRemovedNeverFollowed();
    void hardLinkedFileIsKeptAndReported();
    void unwritableOrUnreadableIsReportedAndKept();
    void fullFileSystemReportsAndKeeps();
    void mountPointsAreLeftAloneOrErasedInside();
    void listedFileThatChangedIsRefused();
    void homeFolderIsRefusedByTheEngineItself();

    void treeWalkHoldsTwoFoldersAtAnyDepth();
    void fileFunctions();
    void deleteFileFunctions();
    void logsNeverNameAFile_data();
    void logsNeverNameAFile();
    void applicationRunningIgnoresCase();

private:
    ZPHShred m_engine;
};

void TestEngine::initTestCase()
{
    // Failure paths log on purpose; keep them out of the machine's journal.
    SystemLog::setForwardToSyslog(false);
}

void TestEngine::init()
{
    m_engine.setBFileShreddingOperationAborted(false);
    m_engine.setBPauseFileShreddingOperation(false);
    m_engine.setPerFileDelayMs(0);
    m_engine.setBeforeUnlinkHook({});
}

void TestEngine::passPatternAndLength_data()
{
    QTest::addColumn<int>("passType");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("expectedLength");
    for (const int type : {1, 2, 3, 0, 4, -5}) {
        for (const auto& [size, expected] : std::initializer_list<std::pair<int, int>> {
                 {0, 0}, {1, 4096}, {4095, 4096}, {4096, 4096}, {4097, 8192}, {300000, 303104}}) {
            QTest::addRow("type %d, %d bytes", type, size) << type << size << expected;
        }
    }
}

void TestEngine::passPatternAndLength()
{
    QFETCH(int, passType);
    QFETCH(int, size);
    QFETCH(int, expectedLength);
    TempTree tree;
    const QString file = tree.writeFile(QStringLiteral("secret.bin"), QByteArray(size, 'S'));
    QByteArray before;
    m_engine.setBeforeUnlinkHook([&](const QString& path) { before = TempTree::readFile(path); });
    m_engine.shredFile(file, passType);
    QCOMPARE(before.size(), expectedLength);
    QCOMPARE(before, patternBytes(passType, expectedLength));
    QVERIFY(!TempTree::exists(file));
    const ShredReport report = m_engine.lastReport();
    QVERIFY(report.succeeded());
    QCOMPARE(report.filesErased, 1);
    QCOMPARE(report.bytesErased, quint64(size));
    QVERIFY(report.pathRemoved);
}

void TestEngine::overwriteLengthCoversFilesOver4GiB()
{
    // The low 32 bits of 4 GiB are 0, but the whole file must still be covered.
    QCOMPARE(ZPHShred::overwriteLength(Q_UINT64_C(4294967296)), Q_UINT64_C(4294967296));
    QCOMPARE(ZPHShred::overwriteLength(Q_UINT64_C(4294967297)), Q_UINT64_C(4294971392));
}

void TestEngine::overwriteRefusesWhatIsNotAPlainFile()
{
    TempTree tree;
    const QString outside = tree.writeFile(QStringLiteral("outside.txt"), "keep me");
    const QString link = tree.makeSymlink(QStringLiteral("link"), outside);
    const QString fifo = tree.makeFifo(QStringLiteral("fifo"));
    const QString hard = tree.makeHardLink(QStringLiteral("hard"), outside);
    QStringList logged;
    SystemLog::setSink([&](const QString& line) { logged << line; });
    const QList<std::pair<QString, ShredFailure::Kind>> refused {
        {link, ShredFailure::Kind::OpenFailed}, // O_NOFOLLOW
        {fifo, ShredFailure::Kind::OpenFailed}, // opened, but not a regular file
        {hard, ShredFailure::Kind::HardLinks},
        {tree.path(QStringLiteral("none")), ShredFailure::Kind::OpenFailed},
    };
    for (const auto& [path, kind] : refused) {
        ShredFailure failure;
        QVERIFY2(!m_engine.overwriteFile(QFile::encodeName(path), 4096, 0, false, &failure),
            qPrintable(path));
        QVERIFY2(failure.kind == kind, qPrintable(path));
    }
    SystemLog::setSink({});
    QCOMPARE(TempTree::readFile(outside), QByteArray("keep me"));
    QVERIFY(!TempTree::exists(tree.path(QStringLiteral("none"))));
    QCOMPARE(logged, QStringList(4, QStringLiteral("Could not Open File!!")));
}

void TestEngine::folderTreeNotifiesThenErasesEverything()
{
    TempTree tree;
    const QString top = tree.makeDir(QStringLiteral("top"));
    const QStringList files {
        tree.writeFile(QStringLiteral("top/a.txt"), QByteArray(5000, 'a')),
        tree.writeFile(QStringLiteral("top/.hidden"), "h"),
        tree.writeFile(QStringLiteral("top/sub/deeper/with space é.txt"), "x"),
        tree.writeFile(QStringLiteral("top/sub/new\nline"), "y"),
    };
    tree.makeDir(QStringLiteral("top/sub/empty"));
    QStringList sizesAtNotification;
    ProgressRecorder progress([&](const Notification& n) {
        // The file is still whole when observers look at it.
        sizesAtNotification << ZPHFileFunctions::getFileSize(
            n.userInfo.value(QStringLiteral("path")).toString());
    });
    m_engine.shredFile(top, 3);
    QStringList seenPaths = progress.paths();
    QStringList expected = files;
    seenPaths.sort();
    expected.sort();
    QCOMPARE(seenPaths, expected);
    for (const void* sender : progress.senders)
        QCOMPARE(sender, static_cast<const void*>(&m_engine));
    QVERIFY(!sizesAtNotification.contains(QStringLiteral("0")));
    QVERIFY(!TempTree::exists(top));
    const ShredReport report = m_engine.lastReport();
    QVERIFY(report.succeeded());
    QCOMPARE(report.filesErased, 4);
    QCOMPARE(report.bytesErased, quint64(5003));
    QVERIFY(report.pathRemoved);
}

void TestEngine::noFileToEraseNotifiesNothing_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing path") << QStringLiteral("missing");
    QTest::newRow("empty folders, removed") << QStringLiteral("empty");
    QTest::newRow("aborted before the start, all kept") << QStringLiteral("aborted");
}

void TestEngine::noFileToEraseNotifiesNothing()
{
    QFETCH(QString, kind);
    TempTree tree;
    const QString file
        = kind == u"aborted" ? tree.writeFile(QStringLiteral("f/a"), "secret") : QString();
    if (kind == u"empty")
        tree.makeDir(QStringLiteral("f/inner"));
    m_engine.setBFileShreddingOperationAborted(kind == u"aborted");
    ProgressRecorder progress;
    const ShredReport report = m_engine.shredFile(tree.path(QStringLiteral("f")), 1);
    QVERIFY(progress.all().isEmpty());
    QCOMPARE(report.pathMissing, kind == u"missing");
    QCOMPARE(report.aborted, kind == u"aborted");
    QCOMPARE(report.succeeded(), kind == u"empty");
    QCOMPARE(report.entriesRemoved, kind == u"empty" ? 2 : 0);
    QCOMPARE(TempTree::exists(tree.path(QStringLiteral("f"))), kind == u"aborted");
    if (!file.isEmpty())
        QCOMPARE(TempTree::readFile(file), QByteArray("secret"));
}

void TestEngine::pauseHoldsBetweenFilesAndAbortWaitsForResume()
{
    TempTree tree;
    for (int i = 0; i < 4; ++i)
        tree.writeFile(QStringLiteral("p/file%1").arg(i), "data");
    std::atomic<int> notified {0};
    ProgressRecorder progress([&](const Notification&) {
        if (notified++ == 0)
            m_engine.setBPauseFileShreddingOperation(true); // while the first file is in hand
    });
    std::unique_ptr<QThread> worker(
        QThread::create([&] { m_engine.shredFile(tree.path(QStringLiteral("p")), 1); }));
    worker->start();
    // The first file still finishes: paused only between files.
    QTRY_COMPARE(QDir(tree.path(QStringLiteral("p"))).entryList(QDir::Files).size(), 3);
    QThread::msleep(150);
    QCOMPARE(notified.load(), 1);
    QVERIFY(worker->isRunning());
    // Abort while paused counts only once the pause ends.
    m_engine.setBFileShreddingOperationAborted(true);
    QThread::msleep(50);
    QVERIFY(worker->isRunning());
    m_engine.setBPauseFileShreddingOperation(false);
    QVERIFY(worker->wait(5000));
    QCOMPARE(notified.load(), 1);
    QCOMPARE(QDir(tree.path(QStringLiteral("p"))).entryList(QDir::Files).size(), 3);
    QVERIFY(m_engine.lastReport().aborted);
    QCOMPARE(m_engine.lastReport().filesErased, 1);
}

void TestEngine::linksAndSpecialFilesAreRemovedNeverFollowed()
{
    TempTree outsideTree;
    const QString outsideFile = outsideTree.writeFile(QStringLiteral("file.txt"), "outside data");
    const QString outsideDir = outsideTree.makeDir(QStringLiteral("folder"));
    const QString outsideInner = outsideTree.writeFile(QStringLiteral("folder/inner.txt"), "inner");

    TempTree tree;
    tree.writeFile(QStringLiteral("sel/own.txt"), "mine");
    tree.makeSymlink(QStringLiteral("sel/to-file"), outsideFile);
    tree.makeSymlink(QStringLiteral("sel/to-folder"), outsideDir);
    tree.makeSymlink(QStringLiteral("sel/dangling"), tree.path(QStringLiteral("nowhere")));
    tree.makeFifo(QStringLiteral("sel/fifo"));
    const QByteArray raw
        = QFile::encodeName(tree.path(QStringLiteral("sel"))) + "/bad\xff\xfe-name";
    const int fd = ::open(raw.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, "secret", 6), ssize_t(6));
    ::close(fd);
    // Links and a FIFO handed as the path itself; a trailing slash must not follow a link.
    const QString topLink = tree.makeSymlink(QStringLiteral("top-link"), outsideDir);
    const QString topFileLink = tree.makeSymlink(QStringLiteral("top-file-link"), outsideFile);
    const QString topFifo = tree.makeFifo(QStringLiteral("top-fifo"));

    // A FIFO without a reader would block a writer for ever: run where a hang shows as a timeout.
    ShredReport inFolder;
    QList<ShredReport> atTop;
    std::atomic<bool> done {false};
    std::unique_ptr<QThread> worker(QThread::create([&] {
        inFolder = m_engine.shredFile(tree.path(QStringLiteral("sel")), 2);
        for (const QString& path :
            QStringList {topLink + QStringLiteral("/"), topFileLink, topFifo})
            atTop << m_engine.shredFile(path, 3);
        done = true;
    }));
    worker->start();
    QTRY_VERIFY_WITH_TIMEOUT(done.load(), 10000);
    worker->wait();
    QVERIFY(!TempTree::exists(tree.path(QStringLiteral("sel"))));
    QVERIFY(inFolder.succeeded());
    QCOMPARE(inFolder.filesErased, 2); // own.txt and the name that is not UTF-8
    for (const QString& path : {topLink, topFileLink, topFifo})
        QVERIFY2(!TempTree::exists(path), qPrintable(path));
    for (const ShredReport& report : atTop) {
        QCOMPARE(report.filesErased, 0);
        QCOMPARE(report.entriesRemoved, 1);
    }
    QCOMPARE(TempTree::readFile(outsideFile), QByteArray("outside data"));
    QCOMPARE(TempTree::readFile(outsideInner), QByteArray("inner"));
}

void TestEngine::hardLinkedFileIsKeptAndReported()
{
    TempTree outside;
    const QString original = outside.writeFile(QStringLiteral("original"), "shared data");
    TempTree tree;
    const QString shared = tree.makeHardLink(QStringLiteral("sel/shared"), original);
    QVERIFY(!shared.isEmpty());
    const QString own = tree.writeFile(QStringLiteral("sel/own"), "own");
    m_engine.shredFile(tree.path(QStringLiteral("sel")), 3);
    const ShredReport report = m_engine.lastReport();
    QCOMPARE(TempTree::readFile(original), QByteArray("shared data"));
    QCOMPARE(TempTree::readFile(shared), QByteArray("shared data"));
    QVERIFY(!TempTree::exists(own));
    QVERIFY(failedFor(report, shared));
    QCOMPARE(report.failures.size(), 1); // reported once, not again by the final removal
    QVERIFY(report.failures.first().kind == ShredFailure::Kind::HardLinks);
    QCOMPARE(report.failures.first().detail, quint64(2));
    QVERIFY(!report.pathRemoved);
    QVERIFY(TempTree::exists(tree.path(QStringLiteral("sel"))));
    QVERIFY(!report.succeeded());

    // Handed directly, too.
    m_engine.shredFile(shared, 1);
    QCOMPARE(TempTree::readFile(original), QByteArray("shared data"));
    QVERIFY(failedFor(m_engine.lastReport(), shared));
}
void TestEngine::unwritableOrUnreadableIsReportedAndKept()
{
    if (!canDropPrivileges())
        QSKIP("needs root to run the shred as another user");
    TempTree tree;
    const QString top = tree.makeDir(QStringLiteral("top"));
    const QString closed = tree.makeDir(QStringLiteral("top/closed"));
    const QString inside = tree.writeFile(QStringLiteral("top/closed/inside"), "hidden from user");
    const QString locked = tree.writeFile(QStringLiteral("top/locked"), "root secret");
    const QString mine = tree.writeFile(QStringLiteral("top/mine"), "mine");
    ::chmod(QFile::encodeName(tree.path()).constData(), 0755);
    for (const QString& p : {top, closed, mine})
        ::chown(QFile::encodeName(p).constData(), 65534, 65534);
    ::chmod(QFile::encodeName(locked).constData(), 0644);
    ::chmod(QFile::encodeName(closed).constData(), 0);
    const QString errFile = tree.writeFile(QStringLiteral("stderr.txt"), {});
    ::chmod(QFile::encodeName(errFile).constData(), 0666);
    // The child may unlink "locked" (its folder is the child's) but not write it: it must not
    // unlink it either. It cannot read "closed" at all, which the size walk also survives.
    const int result = runUnprivileged([&] {
        std::freopen(QFile::encodeName(errFile).constData(), "w", stderr);
        const QString size = ZPHFileFunctions::getFolderSize(top);
        fflush(stderr);
        if (size != QStringLiteral("15")) // "locked" and "mine"
            return 2;
        ZPHShred engine;
        engine.setPerFileDelayMs(0);
        const ShredReport report = engine.shredFile(top, 1);
        return failedFor(report, closed) && failedFor(report, locked) && !report.pathRemoved
                && report.filesErased == 1
            ? 0
            : 1;
    });
    ::chmod(QFile::encodeName(closed).constData(), 0755);
    QCOMPARE(result, 0);
    const QString messages = QString::fromUtf8(TempTree::readFile(errFile));
    // Standard error may end up in the journal: the reason, never the name.
    QVERIFY2(messages.contains(QStringLiteral("could not open directory\n"))
            && !messages.contains(closed),
        qPrintable(messages));
    QVERIFY2(messages.contains(QStringLiteral("error is 13/")), qPrintable(messages));
    QCOMPARE(TempTree::readFile(inside), QByteArray("hidden from user"));
    QCOMPARE(TempTree::readFile(locked), QByteArray("root secret"));
    QVERIFY(!TempTree::exists(mine));
}

void TestEngine::fullFileSystemReportsAndKeeps()
{
    // 1 KiB blocks: a 1-byte file must grow to 4096 bytes, which a full disk refuses.
    LoopImage image(8, QStringLiteral("ext4"), QString(),
        {QStringLiteral("-b"), QStringLiteral("1024"), QStringLiteral("-m"), QStringLiteral("0")});
    if (!image.isMounted())
        QSKIP(qPrintable(QStringLiteral("cannot mount a test image: ") + image.error()));
    TempTree tree(image.mountPoint());
    const QString small = tree.writeFile(QStringLiteral("sel/small"), "s");
    {
        const int fd = ::open(QFile::encodeName(tree.path(QStringLiteral("filler"))).constData(),
            O_WRONLY | O_CREAT, 0600);
        QVERIFY(fd >= 0);
        const QByteArray block(64 * 1024, 'f');
        while (::write(fd, block.constData(), size_t(block.size())) > 0) { }
        while (::write(fd, "f", 1) == 1) { }
        ::fsync(fd);
        ::close(fd);
    }
    ::sync();
    m_engine.shredFile(tree.path(QStringLiteral("sel")), 1);
    const ShredReport report = m_engine.lastReport();
    QVERIFY(failedFor(report, small));
    QVERIFY(TempTree::exists(small));
    QVERIFY(!report.pathRemoved);
    QVERIFY(TempTree::exists(tree.path(QStringLiteral("sel"))));
}

void TestEngine::mountPointsAreLeftAloneOrErasedInside()
{
    LoopImage image(4, QStringLiteral("tmpfs"));
    if (!image.isMounted())
        QSKIP(qPrintable(QStringLiteral("cannot mount: ") + image.error()));
    TempTree onImage(image.mountPoint());
    const QString other = onImage.writeFile(QStringLiteral("other.txt"), "on another file system");
    TempTree outside;
    const QString outsideFolder = outside.makeDir(QStringLiteral("folder"));
    const QString outsideSecret
        = outside.writeFile(QStringLiteral("folder/secret.txt"), "folder secret");
    const QString outsideFile = outside.writeFile(QStringLiteral("file.txt"), "file secret");
    TempTree tree;
    const QString mounted = tree.makeDir(QStringLiteral("sel/mounted"));
    const QString boundFolder = tree.makeDir(QStringLiteral("sel/bound"));
    const QString boundFile = tree.writeFile(QStringLiteral("sel/bindfile"), "");
    tree.writeFile(QStringLiteral("sel/own"), "own");
    // The binds of "outside" are on the same file system: the device number alone cannot tell.
    QString error;
    if (!LoopImage::bind(image.mountPoint(), mounted, &error)
        || !LoopImage::bind(outsideFolder, boundFolder, &error)
        || !LoopImage::bind(outsideFile, boundFile, &error))
        QSKIP(qPrintable(QStringLiteral("bind mounts are not permitted here: ") + error));
    const ShredReport report = m_engine.shredFile(tree.path(QStringLiteral("sel")), 1);
    // Handed directly, a bind-mounted file is refused as well.
    const ShredReport direct = m_engine.shredFile(boundFile, 1);
    for (const QString& target : {mounted, boundFolder, boundFile})
        LoopImage::unmountPath(target);
    QCOMPARE(TempTree::readFile(other), QByteArray("on another file system"));
    QCOMPARE(TempTree::readFile(outsideSecret), QByteArray("folder secret"));
    QCOMPARE(TempTree::readFile(outsideFile), QByteArray("file secret"));
    QVERIFY(!TempTree::exists(tree.path(QStringLiteral("sel/own"))));
    for (const QString& target : {mounted, boundFolder, boundFile})
        QVERIFY2(failedFor(report, target), qPrintable(target));
    QVERIFY(!report.pathRemoved);
    QVERIFY(failedFor(direct, boundFile));

    // A selected folder that is itself a mount point: all of it lies on that mount.
    onImage.writeFile(QStringLiteral("sub/b.txt"), "b");
    onImage.makeSymlink(QStringLiteral("link"), QStringLiteral("/nowhere"));
    const ShredReport whole = m_engine.shredFile(image.mountPoint(), 1);
    QCOMPARE(whole.filesErased, 2);
    for (const ShredFailure& failure : whole.failures)
        QVERIFY2(failure.kind != ShredFailure::Kind::OtherMount, qPrintable(failure.path));
    QVERIFY(!TempTree::exists(other));
    QVERIFY(!TempTree::exists(onImage.path(QStringLiteral("sub"))));
    QVERIFY(!TempTree::exists(onImage.path(QStringLiteral("link"))));

    // A selected read-only mount: what it holds is reported and kept.
    const QString readOnly = tree.makeDir(QStringLiteral("ro"));
    if (!LoopImage::bindReadOnly(outsideFolder, readOnly, &error))
        QSKIP(qPrintable(QStringLiteral("no read-only bind mount here: ") + error));
    const ShredReport kept = m_engine.shredFile(readOnly, 1);
    LoopImage::unmountPath(readOnly);
    QVERIFY(failedFor(kept, readOnly + QStringLiteral("/secret.txt")));
    QVERIFY(!kept.pathRemoved);
    QCOMPARE(TempTree::readFile(outsideSecret), QByteArray("folder secret"));
}

void TestEngine::listedFileThatChangedIsRefused()
{
    TempTree outside;
    const QString outsideFile = outside.writeFile(QStringLiteral("file.txt"), "outside");
    TempTree tree;
    const QString listed = tree.writeFile(QStringLiteral("sel/sub/file.txt"), "listed");
    struct stat st;
    QCOMPARE(::lstat(QFile::encodeName(listed).constData(), &st), 0);
    const FileIdentity identity {quint64(st.st_dev), quint64(st.st_ino)};

    // A folder on the path swapped for a link to another folder holding the same name.
    QVERIFY(QDir(tree.path(QStringLiteral("sel/sub"))).removeRecursively());
    tree.makeSymlink(QStringLiteral("sel/sub"), outside.path());
    ShredReport report = m_engine.shredFile(listed, 1, identity);
    QCOMPARE(TempTree::readFile(outsideFile), QByteArray("outside"));
    QVERIFY(failedFor(report, listed));
    QCOMPARE(report.filesErased, 0);

    // The listed file replaced by a folder: its content was never listed and stays.
    ::unlink(QFile::encodeName(tree.path(QStringLiteral("sel/sub"))).constData());
    const QString unlisted
        = tree.writeFile(QStringLiteral("sel/sub/file.txt/never-listed"), "unlisted");
    report = m_engine.shredFile(listed, 1, identity);
    QCOMPARE(TempTree::readFile(unlisted), QByteArray("unlisted"));
    QVERIFY(failedFor(report, listed));

    // The very file that was listed is erased.
    const QString again = tree.writeFile(QStringLiteral("again.txt"), "again");
    QCOMPARE(::lstat(QFile::encodeName(again).constData(), &st), 0);
    report = m_engine.shredFile(again, 1, FileIdentity {quint64(st.st_dev), quint64(st.st_ino)});
    QVERIFY(report.succeeded());
    QVERIFY(!TempTree::exists(again));
}

void TestEngine::homeFolderIsRefusedByTheEngineItself()
{
    // $HOME points at a folder made for the test; the real home is never handed over.
    TempTree tree;
    const QString fakeHome = tree.makeDir(QStringLiteral("home/user"));
    const QString kept = tree.writeFile(QStringLiteral("home/user/notes.txt"), "notes");
    const QByteArray saved = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(fakeHome));
    const ShredReport report = m_engine.shredFile(fakeHome + QStringLiteral("/"), 1);
    qputenv("HOME", saved);
    QCOMPARE(TempTree::readFile(kept), QByteArray("notes"));
    QVERIFY(failedFor(report, fakeHome));
    QCOMPARE(report.filesErased, 0);
}

namespace {

// The descriptors this process has open, counted the same way each time.
int openDescriptors()
{
    int err = 0;
    const DirectoryHandle fds = DirectoryHandle::open("/proc/self/fd", &err);
    return int(fds.names(&err).value_or(std::vector<QByteArray>()).size());
}

} // namespace

void TestEngine::treeWalkHoldsTwoFoldersAtAnyDepth()
{
    constexpr int kLevels = 40;
    TempTree tree;
    QString folder = QStringLiteral("top");
    for (int level = 0; level < kLevels; ++level) {
        folder += QStringLiteral("/d");
        tree.writeFile(folder + QStringLiteral("/f"), "x");
    }
    tree.makeSymlink(QStringLiteral("top/d/link"), tree.path(QStringLiteral("top/d/d")));

    const int before = openDescriptors();
    QByteArray name;
    int err = 0;
    DirectoryHandle parent
        = TreeWalk::openParentOf(QFile::encodeName(tree.path(QStringLiteral("top"))), &name, &err);
    QVERIFY(parent.isValid());
    QList<QByteArray> open; // folders entered and not yet done, innermost last
    int mostHeld = 0;
    int entries = 0;
    TreeWalk walk;
    walk.onFolder = [&](const TreeWalk::Entry& entry) {
        open.append(entry.path);
        return TreeWalk::Step::Continue;
    };
    walk.onEntry = [&](const TreeWalk::Entry& entry) {
        mostHeld = std::max(mostHeld, openDescriptors() - before);
        // Each entry comes while its own folder is the innermost one entered.
        if (!open.isEmpty() && entry.path == QByteArray(open.last() + '/' + entry.name))
            ++entries;
        return TreeWalk::Step::Continue;
    };
    walk.onFolderDone = [&](const TreeWalk::Entry& entry) {
        mostHeld = std::max(mostHeld, openDescriptors() - before);
        if (!open.isEmpty() && open.last() == entry.path)
            open.removeLast();
        return TreeWalk::Step::Continue;
    };
    QVERIFY(walk.walk(parent, name, QFile::encodeName(tree.path(QStringLiteral("top")))));
    QCOMPARE(entries, kLevels + 1); // every file and the link, the link never followed
    QVERIFY(open.isEmpty());
    // The folder walked and the one above it while going back up; never one a level.
    QVERIFY2(mostHeld <= 2, QByteArray::number(mostHeld).constData());
    QVERIFY(parent.isValid()); // handed back open
}

void TestEngine::fileFunctions()
{
    TempTree tree;
    QCOMPARE(ZPHFileFunctions::getFileSize(tree.path(QStringLiteral("none"))), QStringLiteral("0"));
    const QString five = tree.writeFile(QStringLiteral("f/five"), "12345");
    QCOMPARE(ZPHFileFunctions::getFileSize(five), QStringLiteral("5"));
    tree.writeFile(QStringLiteral("f/.hidden"), "123");
    const QString link = tree.makeSymlink(QStringLiteral("f/link"), five);
    const QString deep = tree.writeFile(QStringLiteral("f/a/b/deep"), "1");
    tree.makeDir(QStringLiteral("f/empty/also-empty"));
    QCOMPARE(ZPHFileFunctions::getFileSize(link), QString::number(five.toUtf8().size()));

    QStringList list
        = ZPHFileFunctions::getFilesListFromDirectoryPath(tree.path(QStringLiteral("f")));
    list.sort();
    QStringList expected {five, tree.path(QStringLiteral("f/.hidden")), deep};
    expected.sort();
    QCOMPARE(list, expected);
    QVERIFY(ZPHFileFunctions::getFilesListFromDirectoryPath(tree.path(QStringLiteral("f/empty")))
                .isEmpty());
    QVERIFY(ZPHFileFunctions::getFilesListFromDirectoryPath(five).isEmpty());

    // Lengths of the files plus the link's own length.
    const quint64 total = 5 + 3 + 1 + quint64(five.toUtf8().size());
    QCOMPARE(
        ZPHFileFunctions::getFolderSize(tree.path(QStringLiteral("f"))), QString::number(total));
}

void TestEngine::deleteFileFunctions()
{
    TempTree tree;
    ZPHDeleteFile deleter;
    QVERIFY(deleter.deleteMultipleFiles({}));
    const QString a = tree.writeFile(QStringLiteral("a"), "a");
    const QString c = tree.writeFile(QStringLiteral("c"), "c");
    QVERIFY(!deleter.deleteMultipleFiles({a, tree.path(QStringLiteral("missing")), c}));
    QVERIFY(!TempTree::exists(a));
    QVERIFY(TempTree::exists(c)); // later paths untouched
    const QString target = tree.writeFile(QStringLiteral("target/t"), "t");
    const QString link
        = tree.makeSymlink(QStringLiteral("link"), tree.path(QStringLiteral("target")));
    QVERIFY(deleter.deleteSingleFile(link));
    QVERIFY(TempTree::exists(target));
    QVERIFY(deleter.renameFile(c, tree.path(QStringLiteral("renamed"))));
    QCOMPARE(TempTree::readFile(tree.path(QStringLiteral("renamed"))), QByteArray("c"));
    QVERIFY(!deleter.renameFile(c, tree.path(QStringLiteral("again"))));
}

void TestEngine::logsNeverNameAFile_data()
{
    QTest::addColumn<bool>("batched");
    QTest::newRow("alone") << false;
    QTest::newRow("in a batch") << true;
}

void TestEngine::logsNeverNameAFile()
{
    QFETCH(bool, batched);
    TempTree tree;
    const QString file
        = tree.writeFile(QStringLiteral("tax-return-2026.pdf"), QByteArray(5000, 't'));
    // Moved away between its last pass and its unlink: the unlink fails for real.
    m_engine.setBeforeUnlinkHook([&](const QString& path) {
        QVERIFY(QFile::rename(path, tree.path(QStringLiteral("moved"))));
    });
    m_engine.setBatching(batched);
    QStringList logged;
    SystemLog::setSink([&](const QString& line) { logged << line; });
    m_engine.shredFile(file, 1);
    ZPHDeleteFile().deleteSingleFile(file);
    SystemLog::setSink({});
    m_engine.setBatching(true);
    QCOMPARE(m_engine.lastReport().failures.value(0).kind, ShredFailure::Kind::UnlinkFailed);
    QCOMPARE(logged.size(), 2);
    for (const QString& line : std::as_const(logged))
        QVERIFY2(!line.contains(QStringLiteral("tax-return")) && !line.contains(tree.path()),
            qPrintable(line));
}

void TestEngine::applicationRunningIgnoresCase()
{
    TempTree proc;
    proc.writeFile(QStringLiteral("123/comm"), "KeePassXC\n");
    proc.writeFile(QStringLiteral("self/comm"), "ignored\n");
    proc.writeFile(QStringLiteral("456/comm"), "bash\n");
    ZPHFileFunctions::setProcRoot(proc.path());
    QVERIFY(ZPHFileFunctions::isApplicationRunning(QStringLiteral("keepassxc")));
    QVERIFY(ZPHFileFunctions::isApplicationRunning(QStringLiteral("BASH")));
    QVERIFY(!ZPHFileFunctions::isApplicationRunning(QStringLiteral("ignored")));
    QVERIFY(!ZPHFileFunctions::isApplicationRunning(QStringLiteral("keepass")));
    ZPHFileFunctions::setProcRoot(QStringLiteral("/proc"));
    // This very test binary is running.
    QVERIFY(ZPHFileFunctions::isApplicationRunning(QCoreApplication::applicationName().toUpper()));
}

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
