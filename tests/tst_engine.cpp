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
#include <QFile>
#include <QObject>
#include <QTest>
#include <QThread>
#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// The bytes each pass type must leave on disk, written out rather than taken from the engine.
QByteArray patternBytes(int passType, qsizetype length)
{
    const QByteArray word = passType == 2 ? QByteArray(4, '\xff')
        : passType == 3                   ? QByteArray("\x84\x02\x96\x49", 4)
                                          : QByteArray(4, '\0');
    return word.repeated(length / 4);
}

// Collects the engine's progress notifications, thread-safely.
// Read once the run is over: the engine notifies from the thread it runs on.
struct ProgressRecorder
{
    explicit ProgressRecorder(std::function<void(const Notification&)> extra = {})
    {
        NotificationCenter::defaultCenter().addObserver(
            u"ZPHBraskoUpdateMessage"_s, &owner, [this, extra](const Notification& n) {
                paths << n.userInfo.value(u"path"_s).toString();
                senders << n.object;
                if (extra)
                    extra(n);
            });
    }
    QObject owner;
    QStringList paths;
    QList<const void*> senders;
};

bool failedFor(const ShredReport& report, const QString& path)
{
    return std::any_of(report.failures.cbegin(), report.failures.cend(),
        [&](const ShredFailure& failure) { return failure.path == path; });
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
    const QString file = tree.writeFile(u"secret.bin"_s, QByteArray(size, 'S'));
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
    const QString outside = tree.writeFile(u"outside.txt"_s, "keep me");
    const QString link = tree.makeSymlink(u"link"_s, outside);
    const QString fifo = tree.makeFifo(u"fifo"_s);
    const QString hard = tree.makeHardLink(u"hard"_s, outside);
    const QList<std::pair<QString, ShredFailure::Kind>> refused {
        {link, ShredFailure::Kind::OpenFailed}, // O_NOFOLLOW
        {fifo, ShredFailure::Kind::OpenFailed}, // opened, but not a regular file
        {hard, ShredFailure::Kind::HardLinks},
        {tree.path(u"none"_s), ShredFailure::Kind::OpenFailed},
    };
    for (const auto& [path, kind] : refused) {
        ShredFailure failure;
        QVERIFY2(!m_engine.overwriteFile(QFile::encodeName(path), 4096, 0, false, &failure),
            qPrintable(path));
        QVERIFY2(failure.kind == kind, qPrintable(path));
    }
    QCOMPARE(TempTree::readFile(outside), QByteArray("keep me"));
    QVERIFY(!TempTree::exists(tree.path(u"none"_s)));
}

void TestEngine::folderTreeNotifiesThenErasesEverything()
{
    TempTree tree;
    const QString top = tree.makeDir(u"top"_s);
    QStringList files {
        tree.writeFile(u"top/a.txt"_s, QByteArray(5000, 'a')),
        tree.writeFile(u"top/.hidden"_s, "h"),
        tree.writeFile(u"top/sub/deeper/with space é.txt"_s, "x"),
        tree.writeFile(u"top/sub/new\nline"_s, "y"),
    };
    tree.makeDir(u"top/sub/empty"_s);
    QStringList sizesAtNotification;
    ProgressRecorder progress([&](const Notification& n) {
        // The file is still whole when observers look at it.
        sizesAtNotification << ZPHFileFunctions::getFileSize(
            n.userInfo.value(u"path"_s).toString());
    });
    m_engine.shredFile(top, 3);
    files.sort();
    progress.paths.sort();
    QCOMPARE(progress.paths, files);
    for (const void* sender : progress.senders)
        QCOMPARE(sender, static_cast<const void*>(&m_engine));
    QVERIFY(!sizesAtNotification.contains(u"0"_s));
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
    QTest::newRow("missing path") << u"missing"_s;
    QTest::newRow("empty folders, removed") << u"empty"_s;
    QTest::newRow("aborted before the start, all kept") << u"aborted"_s;
}

void TestEngine::noFileToEraseNotifiesNothing()
{
    QFETCH(QString, kind);
    TempTree tree;
    const QString file = kind == u"aborted" ? tree.writeFile(u"f/a"_s, "secret") : QString();
    if (kind == u"empty")
        tree.makeDir(u"f/inner"_s);
    m_engine.setBFileShreddingOperationAborted(kind == u"aborted");
    ProgressRecorder progress;
    const ShredReport report = m_engine.shredFile(tree.path(u"f"_s), 1);
    QVERIFY(progress.paths.isEmpty());
    QCOMPARE(report.pathMissing, kind == u"missing");
    QCOMPARE(report.aborted, kind == u"aborted");
    QCOMPARE(report.succeeded(), kind == u"empty");
    QCOMPARE(report.entriesRemoved, kind == u"empty" ? 2 : 0);
    QCOMPARE(TempTree::exists(tree.path(u"f"_s)), kind == u"aborted");
    if (!file.isEmpty())
        QCOMPARE(TempTree::readFile(file), QByteArray("secret"));
}

void TestEngine::pauseHoldsBetweenFilesAndAbortWaitsForResume()
{
    TempTree tree;
    for (int i = 0; i < 4; ++i)
        tree.writeFile(u"p/file%1"_s.arg(i), "data");
    std::atomic<int> notified {0};
    ProgressRecorder progress([&](const Notification&) {
        if (notified++ == 0)
            m_engine.setBPauseFileShreddingOperation(true); // while the first file is in hand
    });
    std::unique_ptr<QThread> worker(
        QThread::create([&] { m_engine.shredFile(tree.path(u"p"_s), 1); }));
    worker->start();
    // The first file still finishes: paused only between files.
    QTRY_COMPARE(QDir(tree.path(u"p"_s)).entryList(QDir::Files).size(), 3);
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
    QCOMPARE(QDir(tree.path(u"p"_s)).entryList(QDir::Files).size(), 3);
    QVERIFY(m_engine.lastReport().aborted);
    QCOMPARE(m_engine.lastReport().filesErased, 1);
}

void TestEngine::linksAndSpecialFilesAreRemovedNeverFollowed()
{
    TempTree outsideTree;
    const QString outsideFile = outsideTree.writeFile(u"file.txt"_s, "outside data");
    const QString outsideDir = outsideTree.makeDir(u"folder"_s);
    const QString outsideInner = outsideTree.writeFile(u"folder/inner.txt"_s, "inner");

    TempTree tree;
    tree.writeFile(u"sel/own.txt"_s, "mine");
    tree.makeSymlink(u"sel/to-file"_s, outsideFile);
    tree.makeSymlink(u"sel/to-folder"_s, outsideDir);
    tree.makeSymlink(u"sel/dangling"_s, tree.path(u"nowhere"_s));
    tree.makeFifo(u"sel/fifo"_s);
    const QByteArray raw = QFile::encodeName(tree.path(u"sel"_s)) + "/bad\xff\xfe-name";
    QVERIFY(TempTree::writeNative(raw, "secret"));
    // Links and a FIFO handed as the path itself; a trailing slash must not follow a link.
    const QString topLink = tree.makeSymlink(u"top-link"_s, outsideDir);
    const QString topFileLink = tree.makeSymlink(u"top-file-link"_s, outsideFile);
    const QString topFifo = tree.makeFifo(u"top-fifo"_s);

    // A FIFO without a reader would block a writer for ever: run where a hang shows as a timeout.
    ShredReport inFolder;
    QList<ShredReport> atTop;
    std::atomic<bool> done {false};
    std::unique_ptr<QThread> worker(QThread::create([&] {
        inFolder = m_engine.shredFile(tree.path(u"sel"_s), 2);
        for (const QString& path : QStringList {topLink + u"/"_s, topFileLink, topFifo})
            atTop << m_engine.shredFile(path, 3);
        done = true;
    }));
    worker->start();
    QTRY_VERIFY_WITH_TIMEOUT(done.load(), 10000);
    worker->wait();
    QVERIFY(!TempTree::exists(tree.path(u"sel"_s)));
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
    const QString original = outside.writeFile(u"original"_s, "shared data");
    TempTree tree;
    const QString shared = tree.makeHardLink(u"sel/shared"_s, original);
    QVERIFY(!shared.isEmpty());
    const QString own = tree.writeFile(u"sel/own"_s, "own");
    m_engine.shredFile(tree.path(u"sel"_s), 3);
    const ShredReport report = m_engine.lastReport();
    QCOMPARE(TempTree::readFile(original), QByteArray("shared data"));
    QCOMPARE(TempTree::readFile(shared), QByteArray("shared data"));
    QVERIFY(!TempTree::exists(own));
    QVERIFY(failedFor(report, shared));
    QCOMPARE(report.failures.size(), 1); // reported once, not again by the final removal
    QVERIFY(report.failures.first().kind == ShredFailure::Kind::HardLinks);
    QCOMPARE(report.failures.first().detail, quint64(2));
    QVERIFY(!report.pathRemoved);
    QVERIFY(TempTree::exists(tree.path(u"sel"_s)));
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
    const QString top = tree.makeDir(u"top"_s);
    const QString closed = tree.makeDir(u"top/closed"_s);
    const QString inside = tree.writeFile(u"top/closed/inside"_s, "hidden from user");
    const QString locked = tree.writeFile(u"top/locked"_s, "root secret");
    const QString mine = tree.writeFile(u"top/mine"_s, "mine");
    ::chmod(QFile::encodeName(tree.path()).constData(), 0755);
    for (const QString& p : {top, closed, mine})
        QCOMPARE(::chown(QFile::encodeName(p).constData(), 65534, 65534), 0);
    ::chmod(QFile::encodeName(locked).constData(), 0644);
    ::chmod(QFile::encodeName(closed).constData(), 0);
    const QString errFile = tree.writeFile(u"stderr.txt"_s, {});
    ::chmod(QFile::encodeName(errFile).constData(), 0666);
    // The child may unlink "locked" (its folder is the child's) but not write it: it must not
    // unlink it either. It cannot read "closed" at all, which the size walk also survives.
    const int result = runUnprivileged([&] {
        if (!std::freopen(QFile::encodeName(errFile).constData(), "w", stderr))
            return 3;
        const QString size = ZPHFileFunctions::getFolderSize(top);
        fflush(stderr);
        if (size != u"15"_s) // "locked" and "mine"
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
    QVERIFY2(messages.contains(u"could not open directory\n"_s) && !messages.contains(closed),
        qPrintable(messages));
    QCOMPARE(TempTree::readFile(inside), QByteArray("hidden from user"));
    QCOMPARE(TempTree::readFile(locked), QByteArray("root secret"));
    QVERIFY(!TempTree::exists(mine));
}

void TestEngine::fullFileSystemReportsAndKeeps()
{
    // 1 KiB blocks: a 1-byte file must grow to 4096 bytes, which a full disk refuses.
    LoopImage image(8, u"ext4"_s, QString(), {u"-b"_s, u"1024"_s, u"-m"_s, u"0"_s});
    if (!image.isMounted())
        QSKIP(qPrintable(u"cannot mount a test image: "_s + image.error()));
    TempTree tree(image.mountPoint());
    const QString small = tree.writeFile(u"sel/small"_s, "s");
    {
        const int fd = ::open(
            QFile::encodeName(tree.path(u"filler"_s)).constData(), O_WRONLY | O_CREAT, 0600);
        QVERIFY(fd >= 0);
        const QByteArray block(64 * 1024, 'f');
        while (::write(fd, block.constData(), size_t(block.size())) > 0) { }
        while (::write(fd, "f", 1) == 1) { }
        ::fsync(fd);
        ::close(fd);
    }
    ::sync();
    m_engine.shredFile(tree.path(u"sel"_s), 1);
    const ShredReport report = m_engine.lastReport();
    QVERIFY(failedFor(report, small));
    QVERIFY(TempTree::exists(small));
    QVERIFY(!report.pathRemoved);
    QVERIFY(TempTree::exists(tree.path(u"sel"_s)));
}

void TestEngine::mountPointsAreLeftAloneOrErasedInside()
{
    LoopImage image(4, u"tmpfs"_s);
    if (!image.isMounted())
        QSKIP(qPrintable(u"cannot mount: "_s + image.error()));
    TempTree onImage(image.mountPoint());
    const QString other = onImage.writeFile(u"other.txt"_s, "on another file system");
    TempTree outside;
    const QString outsideFolder = outside.makeDir(u"folder"_s);
    const QString outsideSecret = outside.writeFile(u"folder/secret.txt"_s, "folder secret");
    const QString outsideFile = outside.writeFile(u"file.txt"_s, "file secret");
    TempTree tree;
    const QString mounted = tree.makeDir(u"sel/mounted"_s);
    const QString boundFolder = tree.makeDir(u"sel/bound"_s);
    const QString boundFile = tree.writeFile(u"sel/bindfile"_s, "");
    tree.writeFile(u"sel/own"_s, "own");
    // The binds of "outside" are on the same file system: the device number alone cannot tell.
    QString error;
    if (!LoopImage::bind(image.mountPoint(), mounted, &error)
        || !LoopImage::bind(outsideFolder, boundFolder, &error)
        || !LoopImage::bind(outsideFile, boundFile, &error))
        QSKIP(qPrintable(u"bind mounts are not permitted here: "_s + error));
    const ShredReport report = m_engine.shredFile(tree.path(u"sel"_s), 1);
    // Handed directly, a bind-mounted file is refused as well.
    const ShredReport direct = m_engine.shredFile(boundFile, 1);
    for (const QString& target : {mounted, boundFolder, boundFile})
        LoopImage::unmountPath(target);
    QCOMPARE(TempTree::readFile(other), QByteArray("on another file system"));
    QCOMPARE(TempTree::readFile(outsideSecret), QByteArray("folder secret"));
    QCOMPARE(TempTree::readFile(outsideFile), QByteArray("file secret"));
    QVERIFY(!TempTree::exists(tree.path(u"sel/own"_s)));
    for (const QString& target : {mounted, boundFolder, boundFile})
        QVERIFY2(failedFor(report, target), qPrintable(target));
    QVERIFY(!report.pathRemoved);
    QVERIFY(failedFor(direct, boundFile));

    // A selected folder that is itself a mount point: all of it lies on that mount.
    onImage.writeFile(u"sub/b.txt"_s, "b");
    onImage.makeSymlink(u"link"_s, u"/nowhere"_s);
    const ShredReport whole = m_engine.shredFile(image.mountPoint(), 1);
    QCOMPARE(whole.filesErased, 2);
    for (const ShredFailure& failure : whole.failures)
        QVERIFY2(failure.kind != ShredFailure::Kind::OtherMount, qPrintable(failure.path));
    QVERIFY(!TempTree::exists(other));
    QVERIFY(!TempTree::exists(onImage.path(u"sub"_s)));
    QVERIFY(!TempTree::exists(onImage.path(u"link"_s)));

    // A selected read-only mount: what it holds is reported and kept.
    const QString readOnly = tree.makeDir(u"ro"_s);
    if (!LoopImage::bindReadOnly(outsideFolder, readOnly, &error))
        QSKIP(qPrintable(u"no read-only bind mount here: "_s + error));
    const ShredReport kept = m_engine.shredFile(readOnly, 1);
    LoopImage::unmountPath(readOnly);
    QVERIFY(failedFor(kept, readOnly + u"/secret.txt"_s));
    QVERIFY(!kept.pathRemoved);
    QCOMPARE(TempTree::readFile(outsideSecret), QByteArray("folder secret"));
}

void TestEngine::listedFileThatChangedIsRefused()
{
    TempTree outside;
    const QString outsideFile = outside.writeFile(u"file.txt"_s, "outside");
    TempTree tree;
    const QString listed = tree.writeFile(u"sel/sub/file.txt"_s, "listed");
    struct stat st;
    QCOMPARE(::lstat(QFile::encodeName(listed).constData(), &st), 0);
    const FileIdentity identity {quint64(st.st_dev), quint64(st.st_ino)};

    // A folder on the path swapped for a link to another folder holding the same name.
    QVERIFY(QDir(tree.path(u"sel/sub"_s)).removeRecursively());
    tree.makeSymlink(u"sel/sub"_s, outside.path());
    ShredReport report = m_engine.shredFile(listed, 1, identity);
    QCOMPARE(TempTree::readFile(outsideFile), QByteArray("outside"));
    QVERIFY(failedFor(report, listed));
    QCOMPARE(report.filesErased, 0);

    // The listed file replaced by a folder: its content was never listed and stays.
    ::unlink(QFile::encodeName(tree.path(u"sel/sub"_s)).constData());
    const QString unlisted = tree.writeFile(u"sel/sub/file.txt/never-listed"_s, "unlisted");
    report = m_engine.shredFile(listed, 1, identity);
    QCOMPARE(TempTree::readFile(unlisted), QByteArray("unlisted"));
    QVERIFY(failedFor(report, listed));

    // The very file that was listed is erased.
    const QString again = tree.writeFile(u"again.txt"_s, "again");
    QCOMPARE(::lstat(QFile::encodeName(again).constData(), &st), 0);
    report = m_engine.shredFile(again, 1, FileIdentity {quint64(st.st_dev), quint64(st.st_ino)});
    QVERIFY(report.succeeded());
    QVERIFY(!TempTree::exists(again));
}

void TestEngine::homeFolderIsRefusedByTheEngineItself()
{
    // $HOME points at a folder made for the test; the real home is never handed over.
    TempTree tree;
    const QString fakeHome = tree.makeDir(u"home/user"_s);
    const QString kept = tree.writeFile(u"home/user/notes.txt"_s, "notes");
    const QByteArray saved = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(fakeHome));
    const ShredReport report = m_engine.shredFile(fakeHome + u"/"_s, 1);
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
    QString folder = u"top"_s;
    for (int level = 0; level < kLevels; ++level) {
        folder += u"/d"_s;
        tree.writeFile(folder + u"/f"_s, "x");
    }
    tree.makeSymlink(u"top/d/link"_s, tree.path(u"top/d/d"_s));

    const int before = openDescriptors();
    QByteArray name;
    int err = 0;
    DirectoryHandle parent
        = TreeWalk::openParentOf(QFile::encodeName(tree.path(u"top"_s)), &name, &err);
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
    QVERIFY(walk.walk(parent, name, QFile::encodeName(tree.path(u"top"_s))));
    QCOMPARE(entries, kLevels + 1); // every file and the link, the link never followed
    QVERIFY(open.isEmpty());
    // The folder walked and the one above it while going back up; never one a level.
    QVERIFY2(mostHeld <= 2, QByteArray::number(mostHeld).constData());
    QVERIFY(parent.isValid()); // handed back open
}

void TestEngine::fileFunctions()
{
    TempTree tree;
    QCOMPARE(ZPHFileFunctions::getFileSize(tree.path(u"none"_s)), u"0"_s);
    const QString five = tree.writeFile(u"f/five"_s, "12345");
    QCOMPARE(ZPHFileFunctions::getFileSize(five), u"5"_s);
    tree.writeFile(u"f/.hidden"_s, "123");
    const QString link = tree.makeSymlink(u"f/link"_s, five);
    const QString deep = tree.writeFile(u"f/a/b/deep"_s, "1");
    tree.makeDir(u"f/empty/also-empty"_s);
    QCOMPARE(ZPHFileFunctions::getFileSize(link), QString::number(five.toUtf8().size()));

    QStringList list = ZPHFileFunctions::getFilesListFromDirectoryPath(tree.path(u"f"_s));
    list.sort();
    QStringList expected {five, tree.path(u"f/.hidden"_s), deep};
    expected.sort();
    QCOMPARE(list, expected);
    QVERIFY(ZPHFileFunctions::getFilesListFromDirectoryPath(tree.path(u"f/empty"_s)).isEmpty());
    QVERIFY(ZPHFileFunctions::getFilesListFromDirectoryPath(five).isEmpty());

    // Lengths of the files plus the link's own length.
    const quint64 total = 5 + 3 + 1 + quint64(five.toUtf8().size());
    QCOMPARE(ZPHFileFunctions::getFolderSize(tree.path(u"f"_s)), QString::number(total));
}

void TestEngine::deleteFileFunctions()
{
    TempTree tree;
    ZPHDeleteFile deleter;
    QVERIFY(deleter.deleteMultipleFiles({}));
    const QString a = tree.writeFile(u"a"_s, "a");
    const QString c = tree.writeFile(u"c"_s, "c");
    QVERIFY(!deleter.deleteMultipleFiles({a, tree.path(u"missing"_s), c}));
    QVERIFY(!TempTree::exists(a));
    QVERIFY(TempTree::exists(c)); // later paths untouched
    const QString target = tree.writeFile(u"target/t"_s, "t");
    const QString link = tree.makeSymlink(u"link"_s, tree.path(u"target"_s));
    QVERIFY(deleter.deleteSingleFile(link));
    QVERIFY(TempTree::exists(target));
    QVERIFY(deleter.renameFile(c, tree.path(u"renamed"_s)));
    QCOMPARE(TempTree::readFile(tree.path(u"renamed"_s)), QByteArray("c"));
    QVERIFY(!deleter.renameFile(c, tree.path(u"again"_s)));
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
    const QString file = tree.writeFile(u"tax-return-2026.pdf"_s, QByteArray(5000, 't'));
    // Moved away between its last pass and its unlink: the unlink fails for real.
    m_engine.setBeforeUnlinkHook(
        [&](const QString& path) { QVERIFY(QFile::rename(path, tree.path(u"moved"_s))); });
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
        QVERIFY2(!line.contains(u"tax-return"_s) && !line.contains(tree.path()), qPrintable(line));
}

void TestEngine::applicationRunningIgnoresCase()
{
    TempTree proc;
    proc.writeFile(u"123/comm"_s, "KeePassXC\n");
    proc.writeFile(u"self/comm"_s, "ignored\n");
    proc.writeFile(u"456/comm"_s, "bash\n");
    ZPHFileFunctions::setProcRoot(proc.path());
    QVERIFY(ZPHFileFunctions::isApplicationRunning(u"keepassxc"_s));
    QVERIFY(ZPHFileFunctions::isApplicationRunning(u"BASH"_s));
    QVERIFY(!ZPHFileFunctions::isApplicationRunning(u"ignored"_s));
    QVERIFY(!ZPHFileFunctions::isApplicationRunning(u"keepass"_s));
    ZPHFileFunctions::setProcRoot(u"/proc"_s);
    // This very test binary is running.
    QVERIFY(ZPHFileFunctions::isApplicationRunning(QCoreApplication::applicationName().toUpper()));
}

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
