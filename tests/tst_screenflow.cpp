#include "AppDelegate.h"
#include "LanguageTable.h"
#include "NotificationCenter.h"
#include "SharedState.h"
#include "SingleInstance.h"
#include "Storyboard.h"
#include "TempTree.h"
#include "UnprivilegedChild.h"
#include "UserDefaults.h"
#include "ViewController.h"
#include "mainContainerVc.h"
#include "mainWindowController.h"
#include "shredderFilesvc.h"
#include "shredderResultVC.h"
#include "shreddingFilesVC.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QLocalSocket>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <cstring>
#include <memory>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

class TestScreenFlow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void storyboardMakesEveryScreen();
    void startsOnHomeFilledFromTheLanguageTable();
    void eachNotificationSwapsInAFreshScreen();
    void fullCycleReleasesTheOldScreens();
    void closingTheWindowOnlyHidesIt();
    void secondStartHandsItsArgumentsOver();
    void socketOfAnotherUserGetsNothing();
    void fallbackFolderMustBePrivate_data();
    void fallbackFolderMustBePrivate();
    void oversizedMessageDropsTheConnection_data();
    void oversizedMessageDropsTheConnection();
    void severalMessagesOnOneConnection();

private:
    QList<QWidget*> screensIn(const mainContainerVc& container) const;
    TempTree m_config;
};

void TestScreenFlow::initTestCase()
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    setLanguageStrings(loadPlistDictionary(QStringLiteral("English")));
    QVERIFY(languageStrings().has_value());
}

QList<QWidget*> TestScreenFlow::screensIn(const mainContainerVc& container) const
{
    return container.customview()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
}

void TestScreenFlow::storyboardMakesEveryScreen()
{
    const Storyboard& board = Storyboard::mainStoryboard();
    for (const char* id : {"ViewController", "shredderFilesvc", "shreddingFilesVC",
             "shredderResultVC", "mainContainerVc", "mainWindowController"}) {
        std::unique_ptr<QObject> made(board.instantiateController(QString::fromLatin1(id)));
        QVERIFY2(made, id);
        QCOMPARE(made->metaObject()->className(), id);
    }
    QVERIFY(!board.instantiateController(QStringLiteral("NoSuchScreen")));
    // A typed request for the wrong class gives nothing rather than a wrong object.
    QVERIFY(!board.instantiateController<ViewController>(QStringLiteral("shredderFilesvc")));
}

void TestScreenFlow::startsOnHomeFilledFromTheLanguageTable()
{
    mainContainerVc container;
    container.view();
    QVERIFY(container.vc());
    QCOMPARE(screensIn(container), QList<QWidget*> {container.vc()});
    QCOMPARE(container.currentContentView(), container.vc());
    // Pinned to every edge of the container.
    const QMargins margins = container.customview()->layout()->contentsMargins();
    QCOMPARE(margins, QMargins());
    QCOMPARE(container.vc()->findChild<QLabel*>(QStringLiteral("lbldragdrop"))->text(),
        localizedText(QStringLiteral("IDS_KQ_4")));
    QVERIFY(!localizedText(QStringLiteral("IDS_KQ_4")).isEmpty());
}

void TestScreenFlow::eachNotificationSwapsInAFreshScreen()
{
    mainContainerVc container;
    container.view();
    const QPointer<ViewController> home = container.vc();

    NotificationCenter::defaultCenter().post(QStringLiteral("showData"));
    const QPointer<shredderFilesvc> firstList = container.listvc();
    QVERIFY(firstList);
    QCOMPARE(screensIn(container), QList<QWidget*> {firstList.data()});
    QVERIFY(home); // still held by its slot, out of the container

    NotificationCenter::defaultCenter().post(QStringLiteral("showData"));
    QTRY_VERIFY(!firstList); // released (deferred) when its slot was reused
    QVERIFY(container.listvc());
    QCOMPARE(screensIn(container), QList<QWidget*> {container.listvc()});
}

void TestScreenFlow::fullCycleReleasesTheOldScreens()
{
    // "ShredData" shreds the process-wide list; it must be empty so that nothing is erased.
    QVERIFY(SharedState::instance().arrFileList.isEmpty());
    mainContainerVc container;
    container.view();
    const QPointer<ViewController> firstHome = container.vc();
    auto& center = NotificationCenter::defaultCenter();
    center.post(QStringLiteral("showData"));
    center.post(QStringLiteral("ShredData"));
    QVERIFY(container.shreeddingvc());
    QCOMPARE(screensIn(container), QList<QWidget*> {container.shreeddingvc()});
    center.post(QStringLiteral("ShredComplete"));
    QVERIFY(container.resultvc());
    center.post(QStringLiteral("GotoHome"));
    QTRY_VERIFY(!firstHome);
    QVERIFY(container.vc());
    QCOMPARE(screensIn(container), QList<QWidget*> {container.vc()});
    // Once the container is gone, its observers are gone with it.
    const int observers = center.observerCount();
    {
        mainContainerVc other;
        other.view();
        QCOMPARE(center.observerCount(), observers + 5); // the container's four and the home screen's one
    }
    QCOMPARE(center.observerCount(), observers);
}

void TestScreenFlow::closingTheWindowOnlyHidesIt()
{
    QApplication::setQuitOnLastWindowClosed(false);
    mainWindowController controller;
    controller.windowDidLoad();
    QWidget* window = controller.window();
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("Corvane"));
    QVERIFY(!window->windowIcon().isNull());
    QSignalSpy quitting(qApp, &QCoreApplication::aboutToQuit);
    QVERIFY(!window->close()); // refused as a close, carried out as a hide
    QVERIFY(!window->isVisible());
    QVERIFY(controller.contentViewController()->vc());
    controller.showWindow();
    QVERIFY(window->isVisible());
    QCoreApplication::processEvents();
    QCOMPARE(quitting.count(), 0);
}

namespace {

// A second start runs its hand-over from another process in real life; a thread stands in.
// QVERIFY may only run on the test thread, so the thread reports through an atomic, and the
// running instance, which reads on this thread, keeps getting events while it waits.
bool handOverFromAnotherThread(const QString& socket, const QStringList& paths)
{
    std::atomic<int> handedOver {-1};
    std::unique_ptr<QThread> second(QThread::create([&] {
        SingleInstance other(socket);
        handedOver = other.handOverToRunningInstance(paths, 1000) ? 1 : 0;
    }));
    second->start();
    QDeadlineTimer deadline(5000);
    while (handedOver.load() < 0 && !deadline.hasExpired())
        QTest::qWait(10);
    return second->wait(5000) && handedOver.load() == 1;
}

// A socket file nobody listens on any more, as a crashed instance leaves it.
bool makeStaleSocket(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (size_t(native.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

} // namespace

void TestScreenFlow::secondStartHandsItsArgumentsOver()
{
    TempTree runtime;
    const QString socket = runtime.path(QStringLiteral("corvane.socket"));
    SingleInstance first(socket);
    QVERIFY(!first.handOverToRunningInstance({}, 200)); // nobody is running yet
    QVERIFY(first.listen());
    QSignalSpy received(&first, &SingleInstance::argumentsReceived);
    const QStringList paths {QStringLiteral("/tmp/a b"), QStringLiteral("/tmp/ü\nx")};
    QVERIFY(handOverFromAnotherThread(socket, paths));
    QTRY_COMPARE(received.count(), 1);
    QCOMPARE(received.first().first().toStringList(), paths);

    // A live instance's socket is not taken over: a second listen fails and the first instance
    // still receives.
    SingleInstance intruder(socket);
    QVERIFY(!intruder.listen());
    QVERIFY(handOverFromAnotherThread(socket, paths));
    QTRY_COMPARE(received.count(), 2);

    // What a crashed instance leaves behind does not block the next start.
    QVERIFY(makeStaleSocket(runtime.path(QStringLiteral("stale.socket"))));
    SingleInstance afterCrash(runtime.path(QStringLiteral("stale.socket")));
    QVERIFY(!afterCrash.handOverToRunningInstance({}, 200));
    QVERIFY(afterCrash.listen());
    runtime.writeFile(QStringLiteral("plain.socket"), "");
    SingleInstance overFile(runtime.path(QStringLiteral("plain.socket")));
    QVERIFY(overFile.listen());
}

void TestScreenFlow::socketOfAnotherUserGetsNothing()
{
    if (!canDropPrivileges())
        QSKIP("needs root to make a socket file owned by another user");
    TempTree runtime;
    const QString socket = runtime.path(QStringLiteral("corvane.socket"));
    SingleInstance first(socket);
    QVERIFY(first.listen());
    QSignalSpy received(&first, &SingleInstance::argumentsReceived);
    const QStringList paths {QStringLiteral("/tmp/private")};

    // Root could connect anyway; only the owner check stops the paths from going out.
    const QByteArray native = QFile::encodeName(socket);
    QCOMPARE(::chown(native.constData(), 65534, 65534), 0);
    QVERIFY(!handOverFromAnotherThread(socket, paths));
    QTest::qWait(200); // time for a wrongly made connection to deliver
    QCOMPARE(received.count(), 0);

    // Given back to us, the same socket works again: the owner was what refused it.
    QCOMPARE(::chown(native.constData(), ::geteuid(), ::getegid()), 0);
    QVERIFY(handOverFromAnotherThread(socket, paths));
    QTRY_COMPARE(received.count(), 1);
}

void TestScreenFlow::fallbackFolderMustBePrivate_data()
{
    QTest::addColumn<QString>("make"); // what stands at corvane-UID before the call
    QTest::addColumn<bool>("usable");

    QTest::newRow("nothing yet: made private") << "none" << true;
    QTest::newRow("our private folder") << "dir:700" << true;
    QTest::newRow("readable by the group") << "dir:750" << false;
    QTest::newRow("writable by everyone") << "dir:777" << false;
    QTest::newRow("owned by another user") << "other" << false;
    QTest::newRow("link to our private folder") << "link" << false;
    QTest::newRow("a plain file") << "file" << false;
}

// Without a runtime folder the socket goes to the shared temp folder, where another user could
// have prepared its folder to receive the paths handed over.
void TestScreenFlow::fallbackFolderMustBePrivate()
{
    QFETCH(QString, make);
    QFETCH(bool, usable);
    if (make == u"other" && !canDropPrivileges())
        QSKIP("needs root to make a folder owned by another user");

    TempTree temp;
    const QString folder = temp.path(QStringLiteral("corvane-") + QString::number(::geteuid()));
    const QByteArray native = QFile::encodeName(folder);
    if (make.startsWith(u"dir:")) {
        QCOMPARE(::mkdir(native.constData(), 0700), 0);
        QCOMPARE(::chmod(native.constData(), mode_t(make.mid(4).toUInt(nullptr, 8))), 0);
    } else if (make == u"other") {
        QCOMPARE(::mkdir(native.constData(), 0700), 0);
        QCOMPARE(::chown(native.constData(), 65534, 65534), 0);
    } else if (make == u"link") {
        QVERIFY(!temp.makeDir(QStringLiteral("elsewhere")).isEmpty());
        QCOMPARE(
            ::chmod(QFile::encodeName(temp.path(QStringLiteral("elsewhere"))).constData(), 0700),
            0);
        QVERIFY(
            !temp.makeSymlink(QFileInfo(folder).fileName(), temp.path(QStringLiteral("elsewhere")))
                 .isEmpty());
    } else if (make == u"file") {
        QVERIFY(!temp.writeFile(QFileInfo(folder).fileName(), "x").isEmpty());
    }

    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray savedTemp = qgetenv("TMPDIR");
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", QFile::encodeName(temp.path()));
    const QString socket = SingleInstance::defaultSocketPath();
    SingleInstance instance;
    const bool listened = instance.listen();
    qputenv("TMPDIR", savedTemp);
    if (!savedRuntime.isEmpty())
        qputenv("XDG_RUNTIME_DIR", savedRuntime);

    if (!usable) {
        QVERIFY2(socket.isEmpty(), qPrintable(socket));
        QVERIFY(!listened); // runs on without single-instance rather than expose the paths
        QVERIFY(!instance.handOverToRunningInstance({QStringLiteral("/tmp/x")}, 200));
        return;
    }
    QCOMPARE(socket, folder + QStringLiteral("/corvane.socket"));
    QVERIFY(listened);
    struct stat st;
    QCOMPARE(::lstat(native.constData(), &st), 0);
    QVERIFY(S_ISDIR(st.st_mode));
    QCOMPARE(st.st_mode & 0777, mode_t(0700));
    QCOMPARE(st.st_uid, ::geteuid());
}

void TestScreenFlow::oversizedMessageDropsTheConnection_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<char>("filler");

    // One string that claims 2 GiB and never ends: a server without a bound keeps buffering.
    QTest::newRow("endless string") << QByteArray("\0\0\0\x01\x7f\xff\xff\xfe", 8) << 'a';
    // A count of 2^31-1 strings, which never all arrive.
    QTest::newRow("huge count") << QByteArray("\x7f\xff\xff\xff", 4) << '\0';
}

void TestScreenFlow::oversizedMessageDropsTheConnection()
{
    QFETCH(QByteArray, header);
    QFETCH(char, filler);

    TempTree runtime;
    const QString socket = runtime.path(QStringLiteral("corvane.socket"));
    SingleInstance first(socket);
    QVERIFY(first.listen());
    QSignalSpy received(&first, &SingleInstance::argumentsReceived);

    std::atomic<int> dropped {-1};
    std::unique_ptr<QThread> peer(QThread::create([&] {
        QLocalSocket client;
        client.connectToServer(socket);
        if (!client.waitForConnected(2000)) {
            dropped = 0;
            return;
        }
        const QByteArray chunk(64 * 1024, filler);
        client.write(header);
        for (qsizetype sent = 0; sent < 4 * SingleInstance::maxMessageBytes
             && client.state() == QLocalSocket::ConnectedState;
             sent += chunk.size()) {
            client.write(chunk);
            client.waitForBytesWritten(2000);
        }
        // Still connected after four times the bound means the server kept buffering.
        const bool open
            = client.state() == QLocalSocket::ConnectedState && !client.waitForDisconnected(3000);
        dropped = open ? 0 : 1;
    }));
    peer->start();
    QTRY_VERIFY_WITH_TIMEOUT(dropped.load() >= 0, 30000);
    QVERIFY(peer->wait(5000));
    QCOMPARE(dropped.load(), 1);
    QCOMPARE(received.count(), 0);

    // The server itself carries on.
    const QStringList paths {QStringLiteral("/tmp/after")};
    QVERIFY(handOverFromAnotherThread(socket, paths));
    QTRY_COMPARE(received.count(), 1);
    QCOMPARE(received.first().first().toStringList(), paths);
}

void TestScreenFlow::severalMessagesOnOneConnection()
{
    TempTree runtime;
    const QString socket = runtime.path(QStringLiteral("corvane.socket"));
    SingleInstance first(socket);
    QVERIFY(first.listen());
    QSignalSpy received(&first, &SingleInstance::argumentsReceived);

    // Two lists back to back, the second finished by a later write, arrive as two lists.
    const QStringList one {QStringLiteral("/tmp/one")};
    const QStringList two {QStringLiteral("/tmp/two"), QString()};
    QByteArray payload;
    QDataStream stream(&payload, QIODevice::WriteOnly);
    stream << one << two;
    std::atomic<int> sent {-1};
    std::unique_ptr<QThread> peer(QThread::create([&] {
        QLocalSocket client;
        client.connectToServer(socket);
        const qsizetype split = payload.size() - 3;
        const bool ok = client.waitForConnected(2000) && client.write(payload.left(split)) == split
            && client.waitForBytesWritten(2000) && client.write(payload.mid(split)) == 3
            && client.waitForBytesWritten(2000);
        client.disconnectFromServer();
        sent = ok ? 1 : 0;
    }));
    peer->start();
    QTRY_COMPARE(received.count(), 2);
    QVERIFY(peer->wait(5000));
    QCOMPARE(sent.load(), 1);
    QCOMPARE(received.at(0).first().toStringList(), one);
    QCOMPARE(received.at(1).first().toStringList(), two);
}

QTEST_MAIN(TestScreenFlow)
#include "tst_screenflow.moc"
