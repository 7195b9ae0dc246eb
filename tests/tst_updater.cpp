// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppDelegate.h"
#include "Appcast.h"
#include "Bundle.h"
#include "EventLoop.h"
#include "InfoPlist.h"
#include "LanguageTable.h"
#include "LocalHttpServer.h"
#include "ProgramRun.h"
#include "ReadOnlyFolder.h"
#include "SUUpdater.h"
#include "SUUpdaterDelegate.h"
#include "TempTree.h"
#include "TestArchive.h"
#include "TreeSnapshot.h"
#include "UpdateInstaller.h"
#include "UpdateSession.h"
#include "UpdateSignature.h"
#include "UpdateWindow.h"
#include "UserDefaults.h"
#include "VersionNumber.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <fcntl.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray newProgram = "#!/bin/sh\necho started > \"$(dirname \"$0\")/../started\"\n";

class RecordingDelegate : public SUUpdaterDelegate
{
public:
    void willDownloadUpdate(SUUpdater*, const AppcastItem&, QNetworkRequest&) override { ++will; }
    void didDownloadUpdate(SUUpdater*, const AppcastItem&) override { ++did; }
    int will = 0;
    int did = 0;
};

constexpr int noUpdate = -1;

} // namespace

class TestUpdater : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void versionsCompareByComponent_data();
    void versionsCompareByComponent();
    void feedOffersTheNewestSignedItemAboveTheRunningOne();
    void refusedUpdateChangesNothing_data();
    void refusedUpdateChangesNothing();
    void releaseToolSignsOnlyTheVersionInside_data();
    void releaseToolSignsOnlyTheVersionInside();
    void interruptedSwapIsCompletedAtNextStart();
    void staleDownloadFoldersAreRemoved();
    void systemPrefixDownloadsNothing();
    void modeZeroAsksAndNeverQuits();
    // Last: it runs the event loop to its end, as a real quit does.
    void automaticUpdateInstallsOnQuitAndRestarts();

private:
    QString prefix() const { return m_tree->path(u"it's a \"$HOME\" `id` prefix"_s); }
    QString outside() const { return m_tree->path(u"outside"_s); }
    QByteArray archive(const QString& kind) const;
    /// Serves `archive` and a feed that announces it as `version`, `lengthDelta` bytes off its
    /// real size, signed with the test key (or with another key when `badSignature`).
    void publish(const QByteArray& archive, const QString& version, qint64 lengthDelta = 0,
        bool badSignature = false, qint64 stallAfter = -1);
    std::unique_ptr<SUUpdater> makeUpdater();
    std::unique_ptr<AppDelegate> launchReturningUser(int updateMode);

    UpdateSignature::KeyPair m_key;
    std::unique_ptr<TempTree> m_tree;
    std::unique_ptr<LocalHttpServer> m_server;
    std::unique_ptr<Bundle> m_bundle;
    QStringList m_installed;
};

void TestUpdater::initTestCase()
{
    static TempTree config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QApplication::setQuitOnLastWindowClosed(false);
    setLanguageStrings(loadPlistDictionary(u"English"_s));
    m_key = UpdateSignature::generateKeyPair();
    QCOMPARE(m_key.publicKey.size(), 32);
}

void TestUpdater::init()
{
    m_tree = std::make_unique<TempTree>();
    m_server = std::make_unique<LocalHttpServer>();
    QVERIFY(m_server->listen());
    qputenv("XDG_CACHE_HOME", QFile::encodeName(m_tree->path(u"cache"_s)));
    m_tree->makeDir(u"outside"_s);
    m_tree->writeFile(u"bundle/Info.plist"_s,
        infoPlist({{"CFBundleShortVersionString", "0.1"}, {"CFBundleVersion", "0.1.0"},
            {"SUFeedURL", m_server->url(u"/feed.xml"_s).toEncoded()},
            {"SUPublicEDKey", m_key.publicKey.toBase64()}}));
    m_bundle = std::make_unique<Bundle>(m_tree->path(u"bundle"_s));
    QFile::setPermissions(
        m_tree->writeFile(u"it's a \"$HOME\" `id` prefix/bin/corvane"_s, "#!/bin/sh\necho old\n"),
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_tree->writeFile(u"it's a \"$HOME\" `id` prefix/bin/corvane-shred"_s, "old shred");
    m_tree->writeFile(u"it's a \"$HOME\" `id` prefix/share/doc/corvane/README"_s, "old readme");
    m_installed = treeSnapshot(prefix());
}

void TestUpdater::cleanup()
{
    m_bundle.reset();
    m_server.reset();
    m_tree.reset();
}

QByteArray TestUpdater::archive(const QString& kind) const
{
    TestArchive tar;
    if (kind != u"no program")
        tar.folder("./bin").file("./bin/corvane", newProgram, 0755);
    tar.file("./bin/corvane-shred", "new shred", 04755)
        .file("./share/doc/corvane/README", "new readme")
        .symlink("./share/doc/corvane/LATEST", "README");
    // The version the archive is, as `cmake --install` writes it: "holds 0.1.0" for another than
    // the 0.2.0 the tests announce.
    if (kind.startsWith(u"holds "))
        tar.file("./share/corvane/version", kind.mid(6).section(u',', 0, 0).toLatin1() + '\n');
    else if (kind == u"version file is a link")
        tar.file("./share/corvane/real", "0.2.0\n").symlink("./share/corvane/version", "real");
    else if (kind != u"no version file")
        tar.file("./share/corvane/version", "0.2.0\n");
    if (kind == u"dot-dot" || kind == u"dot-dot, gzip")
        tar.file("bin/../../escaped", "x");
    else if (kind == u"absolute path")
        tar.file(QFile::encodeName(outside() + u"/escaped"_s), "x");
    else if (kind == u"link out")
        tar.symlink("./share/outside", "../../outside").file("./share/outside/escaped", "x");
    else if (kind == u"absolute link")
        tar.symlink("./share/outside", QFile::encodeName(outside()));
    else if (kind == u"hard link")
        tar.hardlink("./bin/again", "./bin/corvane");
    else if (kind == u"device")
        tar.characterDevice("./bin/null");
    const QByteArray bytes = tar.bytes(
        kind.endsWith(u"gzip") ? TestArchive::Compression::Gzip : TestArchive::Compression::Xz);
    return kind == u"truncated" ? bytes.left(bytes.size() / 2) : bytes;
}

void TestUpdater::publish(const QByteArray& archive, const QString& version, qint64 lengthDelta,
    bool badSignature, qint64 stallAfter)
{
    const QByteArray signature = badSignature
        ? UpdateSignature::sign(archive, UpdateSignature::generateKeyPair().secretKey)
        : UpdateSignature::sign(archive, m_key.secretKey);
    // Another namespace prefix than the usual one: elements are matched by the namespace URI.
    const QByteArray v = version.toUtf8();
    const QByteArray feed = "<rss version=\"2.0\" xmlns:sp=\"http://www.andymatuschak.org/"
                            "xml-namespaces/sparkle\"><channel><item><title>Corvane "
        + v + "</title><sp:version>" + v + "</sp:version><sp:shortVersionString>" + v
        + "</sp:shortVersionString><description><![CDATA[<ul><li>Faster</li></ul>]]>"
          "</description><enclosure url=\"/update.tar.xz\" length=\""
        + QByteArray::number(archive.size() + lengthDelta)
        + "\" type=\"application/x-xz\" sp:edSignature=\"" + signature.toBase64()
        + "\"/></item></channel></rss>\n";
    m_server->setRoute("/feed.xml", feed);
    m_server->setRoute("/update.tar.xz", archive, 200, stallAfter);
}

std::unique_ptr<SUUpdater> TestUpdater::makeUpdater()
{
    auto updater = std::make_unique<SUUpdater>(*m_bundle);
    updater->setExecutablePath(prefix() + u"/bin/corvane"_s);
    updater->setStallTimeout(500);
    return updater;
}

std::unique_ptr<AppDelegate> TestUpdater::launchReturningUser(int updateMode)
{
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    defaults.setInteger(u"firstrun"_s, 1);
    defaults.setInteger(u"_checkforUpdate_"_s, updateMode);
    defaults.setString(u"lastVersion"_s, u"0.1"_s);
    auto delegate = std::make_unique<AppDelegate>(nullptr, [] { return true; });
    delegate->setBundle(m_bundle.get());
    delegate->applicationWillFinishLaunching();
    delegate->applicationDidFinishLaunching();
    delegate->updater()->setExecutablePath(prefix() + u"/bin/corvane"_s);
    delegate->updater()->setStallTimeout(500);
    // The scheduled call is made by hand: no test waits 5 seconds for it.
    delegate->findChild<QTimer*>(u"updateTimer"_s)->stop();
    return delegate;
}

void TestUpdater::versionsCompareByComponent_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("order");
    QTest::newRow("numeric, not textual") << u"1.10"_s << u"1.9"_s << 1;
    QTest::newRow("missing part is zero") << u"1.2"_s << u"1.2.0"_s << 0;
    QTest::newRow("patch release") << u"0.1.0"_s << u"0.1.1"_s << -1;
    QTest::newRow("pre-release below release") << u"1.0rc1"_s << u"1.0"_s << -1;
    QTest::newRow("pre-releases in order") << u"1.0b2"_s << u"1.0b1"_s << 1;
    QTest::newRow("huge part does not wrap") << u"99999999999999999999"_s << u"2"_s << 1;
}

void TestUpdater::versionsCompareByComponent()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, order);
    QCOMPARE(qBound(-1, VersionNumber::compare(a, b), 1), order);
    QCOMPARE(qBound(-1, VersionNumber::compare(b, a), 1), -order);
}

void TestUpdater::feedOffersTheNewestSignedItemAboveTheRunningOne()
{
    const QByteArray signature = QByteArray(64, 'S').toBase64();
    const auto item
        = [&](const char* version, const char* url, bool signedItem = true) -> QByteArray {
        return QByteArray("<item><sparkle:version>") + version
            + "</sparkle:version><enclosure url=\"" + url + "\" length=\"10\" "
            + (signedItem ? QByteArray("sparkle:edSignature=\"" + signature + "\"") : QByteArray())
            + "/></item>";
    };
    const QByteArray feed
        = "<rss xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\""
          " xmlns:other=\"urn:other\"><channel>"
        + item("0.9", "old.tar.xz") + item("1.10", "b/new.tar.xz") + item("1.9", "mid.tar.xz")
        + item("2.0", "unsigned.tar.xz", false)
        + "<item><other:version>3.0</other:version><enclosure url=\"x\" length=\"1\" "
          "sparkle:edSignature=\""
        + signature + "\"/></item></channel></rss>";
    QList<AppcastItem> items;
    QVERIFY(!Appcast::parse(feed, QUrl(u"https://updates.example/a/feed.xml"_s), &items));
    QCOMPARE(items.size(), 3); // unsigned and versionless items are left out
    const std::optional<AppcastItem> newest = Appcast::newestAbove(items, u"1.2"_s);
    QVERIFY(newest);
    QCOMPARE(newest->version, u"1.10"_s);
    QCOMPARE(newest->url, QUrl(u"https://updates.example/a/b/new.tar.xz"_s));
    QVERIFY(!Appcast::newestAbove(items, u"1.10"_s));
}

void TestUpdater::refusedUpdateChangesNothing_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("version");
    QTest::addColumn<qint64>("lengthDelta");
    QTest::addColumn<bool>("badSignature");
    QTest::addColumn<qint64>("stallAfter");
    QTest::addColumn<int>("expected");
    using K = UpdateError::Kind;
    const auto row
        = [](const char* name, const char* kind, K expected, const char* version = "0.2.0",
              qint64 lengthDelta = 0, bool badSignature = false, qint64 stallAfter = -1) {
              QTest::newRow(name) << QString::fromLatin1(kind) << QString::fromLatin1(version)
                                  << lengthDelta << badSignature << stallAfter << int(expected);
          };
    row("bad signature", "good", K::BadSignature, "0.2.0", 0, true);
    row("longer than announced", "good", K::LengthMismatch, "0.2.0", -10);
    row("shorter than announced", "good", K::LengthMismatch, "0.2.0", 10);
    row("stalling server", "good", K::Timeout, "0.2.0", 0, false, 64);
    row("running version again", "good", K(noUpdate), "0.1.0");
    row("feed is not XML", "not xml", K::FeedMalformed);
    row("truncated archive", "truncated", K::ArchiveMalformed);
    row("no bin/corvane", "no program", K::ArchiveMalformed);
    row("../ component", "dot-dot", K::ArchiveRefused);
    row("../ component, gzip", "dot-dot, gzip", K::ArchiveRefused);
    row("absolute path", "absolute path", K::ArchiveRefused);
    row("link out of the tree", "link out", K::ArchiveRefused);
    row("absolute link", "absolute link", K::ArchiveRefused);
    row("hard link", "hard link", K::ArchiveRefused);
    row("device file", "device", K::ArchiveRefused);
    // Signed with the right key, announced as 0.2.0: an old release replayed as new.
    row("replayed: holds the running 0.1.0", "holds 0.1.0", K::VersionMismatch);
    row("holds 0.3.0, announced as 0.2.0", "holds 0.3.0", K::VersionMismatch);
    row("no version file", "no version file", K::VersionMismatch);
    row("version file is a link", "version file is a link", K::VersionMismatch);
    // The feed never offers the running version; the session refuses it all the same.
    row("the running version, fetched by hand", "holds 0.1.0, fetched by hand", K::VersionMismatch,
        "0.1.0");
}

void TestUpdater::refusedUpdateChangesNothing()
{
    QFETCH(QString, kind);
    QFETCH(QString, version);
    QFETCH(qint64, lengthDelta);
    QFETCH(bool, badSignature);
    QFETCH(qint64, stallAfter);
    QFETCH(int, expected);
    const QByteArray bytes = archive(kind);
    QVERIFY(!bytes.isEmpty());
    publish(bytes, version, lengthDelta, badSignature, stallAfter);
    if (kind == u"not xml")
        m_server->setRoute("/feed.xml", "<rss><channel><item>Corvane 0.2 & more");

    auto updater = makeUpdater();
    RecordingDelegate delegate;
    updater->setDelegate(&delegate);
    updater->setAutomaticallyDownloadsUpdates(true);
    QSignalSpy failed(updater->session(), &UpdateSession::failed);
    QSignalSpy none(updater->session(), &UpdateSession::noUpdateFound);
    QSignalSpy staged(updater->session(), &UpdateSession::updateStaged);
    if (kind.endsWith(u"fetched by hand")) {
        AppcastItem item;
        item.version = version;
        item.url = m_server->url(u"/update.tar.xz"_s);
        item.length = bytes.size();
        item.edSignature = UpdateSignature::sign(bytes, m_key.secretKey);
        updater->session()->downloadUpdate(item, updater->session()->requestFor(item));
    } else {
        updater->checkForUpdatesInBackground();
    }
    QTRY_VERIFY_WITH_TIMEOUT(failed.size() + none.size() + staged.size() > 0, 10000);

    QCOMPARE(staged.size(), 0);
    if (expected == noUpdate) {
        QCOMPARE(none.size(), 1);
        QCOMPARE(m_server->requests().size(), 1); // the feed only
    } else {
        QCOMPARE(failed.size(), 1);
        const UpdateError error = failed.first().first().value<UpdateError>();
        QCOMPARE(int(error.kind), expected);
        QVERIFY(!SUUpdater::textFor(error).isEmpty()); // what the window would say
    }
    QCOMPARE(delegate.did, 0);
    QVERIFY(!updater->hasStagedUpdate());
    QVERIFY(!updater->installStagedUpdate());
    QCOMPARE(treeSnapshot(prefix()), m_installed);
    QCOMPARE(treeSnapshot(outside()), QStringList());
    // Nothing of the refused download is kept.
    QCOMPARE(
        QDir(m_tree->path(u"cache/corvane"_s)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
        QStringList());
}

void TestUpdater::releaseToolSignsOnlyTheVersionInside_data()
{
    QTest::addColumn<QString>("kind"); // of archive()
    QTest::addColumn<int>("status");
    QTest::newRow("the version it holds") << u"good"_s << 0;
    QTest::newRow("an older release announced higher") << u"holds 0.1.0"_s << 1;
    QTest::newRow("no version file") << u"no version file"_s << 1;
    QTest::newRow("an archive the updater refuses") << u"dot-dot"_s << 1;
}

void TestUpdater::releaseToolSignsOnlyTheVersionInside()
{
    QFETCH(QString, kind);
    QFETCH(int, status);

    const QString key = m_tree->writeFile(u"release.key"_s, m_key.secretKey.toBase64() + '\n');
    const QString file = m_tree->writeFile(u"corvane-0.2.0.tar.xz"_s, archive(kind));
    const ProgramRun run = ProgramRun::run(QStringLiteral(CORVANE_BIN_DIR "/corvane-sign-update"),
        {u"item"_s, key, file, u"https://updates.example.org/corvane-0.2.0.tar.xz"_s, u"0.2.0"_s});
    QVERIFY2(run.exitCode == status, run.err.constData());
    // Only a success announces an item, and for the version inside.
    QCOMPARE(run.out.contains("<sparkle:version>0.2.0</sparkle:version>"), status == 0);
}

void TestUpdater::interruptedSwapIsCompletedAtNextStart()
{
    // Power failed after bin/corvane-shred was renamed in, before bin/corvane was.
    m_tree->writeFile(u"it's a \"$HOME\" `id` prefix/bin/.corvane-new.corvane"_s, newProgram);
    m_tree->writeFile(u"it's a \"$HOME\" `id` prefix/bin/corvane-shred"_s, "new shred");
    m_tree->writeFile(u"it's a \"$HOME\" `id` prefix/.corvane-update-journal"_s,
        "bin/corvane\nbin/corvane-shred\n../outside/escaped\n");
    m_tree->writeFile(u"it's a \"$HOME\" `id` prefix/../outside/.corvane-new.escaped"_s, "x");

    const UpdateInstaller installer(prefix() + u"/bin/corvane"_s);
    QVERIFY(!installer.finishInterruptedInstall());
    QCOMPARE(TempTree::readFile(prefix() + u"/bin/corvane"_s), newProgram);
    QCOMPARE(TempTree::readFile(prefix() + u"/bin/corvane-shred"_s), QByteArray("new shred"));
    QCOMPARE(
        TempTree::readFile(prefix() + u"/share/doc/corvane/README"_s), QByteArray("old readme"));
    for (const QString& line : treeSnapshot(prefix()))
        QVERIFY2(!line.contains(u".corvane-"_s), qPrintable(line));
    // A journal line that climbs out of the prefix is not followed.
    QVERIFY(!QFile::exists(outside() + u"/escaped"_s));
}

void TestUpdater::staleDownloadFoldersAreRemoved()
{
    const QString old = m_tree->makeDir(u"cache/corvane/update-Old123"_s);
    m_tree->writeFile(u"cache/corvane/update-Old123/tree/bin/corvane"_s, "left by a crash");
    const QString recent = m_tree->makeDir(u"cache/corvane/update-New123"_s);
    const QString other = m_tree->makeDir(u"cache/corvane/not-ours"_s);
    for (const QString& path : {old, other}) {
        const timespec twoDaysAgo[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 2 * 86400, 0}};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), twoDaysAgo, 0), 0);
    }
    publish(archive(u"good"_s), u"0.2.0"_s);
    auto updater = makeUpdater();
    updater->setAutomaticallyDownloadsUpdates(true);
    QSignalSpy staged(updater->session(), &UpdateSession::updateStaged);
    updater->checkForUpdatesInBackground();
    QTRY_COMPARE_WITH_TIMEOUT(staged.size(), 1, 10000);
    QVERIFY(!QFileInfo::exists(old));
    QVERIFY(QFileInfo::exists(recent));
    QVERIFY(QFileInfo::exists(other));
}

void TestUpdater::systemPrefixDownloadsNothing()
{
    publish(archive(u"good"_s), u"0.2.0"_s);
    const ReadOnlyFolder readOnly(prefix());
    if (!readOnly.error().isEmpty())
        QSKIP(qPrintable(readOnly.error()));
    auto updater = makeUpdater();
    RecordingDelegate delegate;
    updater->setDelegate(&delegate);
    updater->setAutomaticallyDownloadsUpdates(true);
    QSignalSpy found(updater->session(), &UpdateSession::updateFound);
    updater->checkForUpdatesInBackground();
    QTRY_COMPARE(found.size(), 1);
    // The updater decides within updateFound(): a download would have been announced by now.
    QCOMPARE(delegate.will, 0);
    QCOMPARE(m_server->requests().size(), 1); // the feed, never the archive

    updater->checkForUpdates(nullptr);
    UpdateWindow* window = updater->updateWindow();
    QTRY_COMPARE(
        window->message()->text(), localizedFormat(u"IDS_KQ_514"_s, {u"0.2.0"_s, u"0.1"_s}));
    QVERIFY(window->isVisible());
    QCOMPARE(window->primaryButton()->text(), localizedText(u"IDS_KQ_12"_s));
    QVERIFY(window->secondaryButton()->isHidden());
    QCOMPARE(m_server->requests().size(), 2);
    QCOMPARE(treeSnapshot(prefix()), m_installed);
}

void TestUpdater::modeZeroAsksAndNeverQuits()
{
    publish(archive(u"good"_s), u"0.2.0"_s);
    auto delegate = launchReturningUser(0);
    QCOMPARE(delegate->scheduledUpdateCall(), AppDelegate::UpdateCall::CheckForUpdate);
    delegate->checkForUpdate();
    QTRY_VERIFY(
        delegate->updater()->updateWindow() && delegate->updater()->updateWindow()->isVisible());
    UpdateWindow* window = delegate->updater()->updateWindow();
    QCOMPARE(window->primaryButton()->text(), localizedText(u"IDS_KQ_506"_s));
    QVERIFY(window->releaseNotes()->toPlainText().contains(u"Faster"_s));
    QVERIFY(!delegate->updater()->delegate());

    window->primaryButton()->click();
    QTRY_COMPARE_WITH_TIMEOUT(
        window->heading()->text(), localizedFormat(u"IDS_KQ_510"_s, u"0.2.0"_s), 10000);
    QVERIFY(delegate->updater()->hasStagedUpdate());
    QVERIFY(!delegate->terminateTimer()->isActive());
    // Staged, not installed: that happens when the user quits.
    QCOMPARE(treeSnapshot(prefix()), m_installed);
    window->secondaryButton()->click();
    QVERIFY(!window->isVisible());
}

void TestUpdater::automaticUpdateInstallsOnQuitAndRestarts()
{
    publish(archive(u"good"_s), u"0.2.0"_s);
    auto delegate = launchReturningUser(1);
    QCOMPARE(delegate->scheduledUpdateCall(), AppDelegate::UpdateCall::AutoInstallUpdates);
    delegate->autoInstallUpdates();
    QTRY_VERIFY_WITH_TIMEOUT(delegate->terminateTimer()->isActive(), 10000);
    QCOMPARE(delegate->terminateTimer()->interval(), 5000);
    QCOMPARE(treeSnapshot(prefix()), m_installed);

    // What the timer does 5 seconds on, in a running event loop that the quit ends.
    delegate->terminateTimer()->stop();
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(execAfter(
                 delegate.get(), [&] { delegate->callTerminate(); }, 20000),
        0);

    const QString root = prefix();
    QCOMPARE(TempTree::readFile(root + u"/bin/corvane"_s), newProgram);
    QCOMPARE(TempTree::readFile(root + u"/bin/corvane-shred"_s), QByteArray("new shred"));
    struct stat st
    {
    };
    QCOMPARE(::stat(QFile::encodeName(root + u"/bin/corvane-shred"_s).constData(), &st), 0);
    QCOMPARE(st.st_mode & 07777, mode_t(0755)); // no set-user-ID from an archive
    QCOMPARE(TempTree::readFile(root + u"/share/doc/corvane/LATEST"_s), QByteArray("new readme"));
    QCOMPARE(TempTree::readFile(root + u"/share/corvane/version"_s), QByteArray("0.2.0\n"));
    for (const QString& line : treeSnapshot(root))
        QVERIFY2(!line.contains(u".corvane-"_s), qPrintable(line));

    // The shell starts the installed program, the new one, about 4 seconds after the quit.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(root + u"/started"_s), 10000);
    QVERIFY2(clock.elapsed() >= 3500, qPrintable(QString::number(clock.elapsed())));
}

QTEST_MAIN(TestUpdater)
#include "tst_updater.moc"
