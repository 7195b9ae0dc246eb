// SPDX-License-Identifier: GPL-3.0-or-later
#include "ApplicationMenu.h"
#include "FocusRingStyle.h"
#include "ForkedChild.h"
#include "LanguageTable.h"
#include "NotificationCenter.h"
#include "ScreenStyle.h"
#include "SharedState.h"
#include "SingleInstance.h"
#include "Storyboard.h"
#include "TempTree.h"
#include "UnprivilegedChild.h"
#include "ViewController.h"
#include "mainContainerVc.h"
#include "mainWindowController.h"
#include "shredderFilesvc.h"
#include "shredderResultVC.h"
#include "shreddingFilesVC.h"
#include "startupVC.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMenuBar>
#include <QPointer>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Runs fn on another thread (in real life: another process) while this thread, where the
// running instance reads, keeps getting events. QVERIFY may only run here, so fn reports back.
bool onAnotherThread(const std::function<bool()>& fn)
{
    std::atomic<int> result {-1};
    std::unique_ptr<QThread> thread(QThread::create([&] { result = fn() ? 1 : 0; }));
    thread->start();
    const bool ended = QTest::qWaitFor([&] { return result.load() >= 0; }, 30000);
    return ended && thread->wait(5000) && result.load() == 1;
}

bool handOver(const QString& socket, const QStringList& paths)
{
    return onAnotherThread(
        [&] { return SingleInstance(socket).handOverToRunningInstance(paths, 1000); });
}

// A running instance listening in a private temporary folder.
struct Running
{
    TempTree runtime;
    QString socket = runtime.path(u"corvane.socket"_s);
    SingleInstance instance {socket};
    QSignalSpy received {&instance, &SingleInstance::argumentsReceived};
};

// A socket file nobody listens on any more, as a crashed instance leaves it.
bool makeStaleSocket(const QString& path)
{
    return runForked([&] {
        QLocalServer server;
        ::_exit(server.listen(path) ? 0 : 1); // no destructor: the file stays
        return 1;
    }) == 0
        && QFileInfo(path).exists();
}

QList<QWidget*> screensIn(const mainContainerVc& container)
{
    return container.customview()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
}

// Breeze Dark, as Qt's KDE platform theme builds it from kdeglobals: the roles it does not set
// (PlaceholderText among them) keep what a dark theme leaves them, dark.
QPalette darkPalette()
{
    const QColor window(49, 54, 59), view(35, 38, 41), text(239, 240, 241);
    QPalette palette(text, window);
    for (const auto& [role, color] : std::initializer_list<std::pair<QPalette::ColorRole, QColor>> {
             {QPalette::Window, window}, {QPalette::WindowText, text}, {QPalette::Base, view},
             {QPalette::AlternateBase, window}, {QPalette::Text, text}, {QPalette::Button, window},
             {QPalette::ButtonText, text}, {QPalette::Highlight, QColor(61, 174, 233)},
             {QPalette::HighlightedText, text}, {QPalette::Link, QColor(41, 128, 185)},
             {QPalette::PlaceholderText, QColor(26, 28, 31)}})
        palette.setColor(role, color);
    return palette;
}

// `area` in logical pixels of a window, as pixels of its grabbed `image`.
QRect devicePixels(const QImage& image, const QRect& area)
{
    const qreal ratio = image.devicePixelRatio();
    return QRect(QPoint(int(area.left() * ratio), int(area.top() * ratio)),
               QSize(int(area.width() * ratio), int(area.height() * ratio)))
        & image.rect();
}

// The contrast of the text drawn in `area` of `image`: the most common colour is the
// background, and the pixel furthest from it in contrast is the text's own colour (anti-aliased
// edges lie between the two, so this never overstates it).
double renderedContrast(const QImage& image, const QRect& area)
{
    QHash<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[image.pixel(x, y)];
    }
    QRgb background = 0;
    int most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            most = it.value();
            background = it.key();
        }
    }
    double best = 1.0;
    for (const QRgb colour : counts.keys())
        best = std::max(best, ScreenStyle::contrastRatio(QColor(colour), QColor(background)));
    return best;
}

// Every label with text that `window` shows, with the contrast it was drawn with, lowest first.
QStringList poorlyContrastedTexts(QWidget* window, double minimum)
{
    // Labels that only get text later (the path being erased, the pass) get some now.
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (label->isVisibleTo(window) && label->text().trimmed().isEmpty()
            && label->pixmap().isNull())
            label->setText(u"/tmp/Sample folder/report 2026.pdf"_s);
    }
    QCoreApplication::processEvents();
    const QImage image = window->grab().toImage();
    QStringList poor;
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (!label->isVisibleTo(window) || label->text().trimmed().isEmpty()
            || !label->pixmap().isNull())
            continue;
        const QRect area(
            label->mapTo(window, label->contentsRect().topLeft()), label->contentsRect().size());
        const double contrast = renderedContrast(image, devicePixels(image, area));
        if (contrast < minimum)
            poor << u"%1 (%2) %3:1"_s.arg(label->objectName(), label->text().left(30))
                        .arg(contrast, 0, 'f', 2);
    }
    return poor;
}

// Pixels of `area` (logical, in `before`'s window) that `after` draws in a colour at least
// `contrast`:1 away from what `before` drew there.
int pixelsChanged(const QImage& before, const QImage& after, const QRect& area, double contrast)
{
    const QRect pixels = devicePixels(before, area);
    int changed = 0;
    for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
        for (int x = pixels.left(); x <= pixels.right(); ++x) {
            if (ScreenStyle::contrastRatio(QColor(before.pixel(x, y)), QColor(after.pixel(x, y)))
                >= contrast)
                ++changed;
        }
    }
    return changed;
}

} // namespace

class TestScreenFlow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void storyboardRefusesUnknownOrMistypedScreens();
    void eachNotificationSwapsInAFreshScreen();
    void secondStartHandsItsArgumentsOver();
    void socketOfAnotherUserGetsNothing();
    void fallbackFolderMustBePrivate_data();
    void fallbackFolderMustBePrivate();
    void streamsFromAPeer_data();
    void streamsFromAPeer();
    void everyScreenFitsTheSmallestWindow();
    void everyTextReadsAndEveryControlShowsItsFocus_data();
    void everyTextReadsAndEveryControlShowsItsFocus();

private:
    TempTree m_config;
};

void TestScreenFlow::initTestCase()
{
    // The style main() installs.
    FocusRingStyle::install();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    setLanguageStrings(loadPlistDictionary(u"English"_s));
    QVERIFY(languageStrings().has_value());
}

// The screens the container makes are checked by the flow below.
void TestScreenFlow::storyboardRefusesUnknownOrMistypedScreens()
{
    const Storyboard& board = Storyboard::mainStoryboard();
    QVERIFY(!board.instantiateController(u"NoSuchScreen"_s));
    // A typed request for the wrong class gives nothing rather than a wrong object.
    QVERIFY(!board.instantiateController<ViewController>(u"shredderFilesvc"_s));
}

void TestScreenFlow::eachNotificationSwapsInAFreshScreen()
{
    // "ShredData" shreds the process-wide list; it must be empty so that nothing is erased.
    QVERIFY(SharedState::instance().arrFileList.isEmpty());
    auto& center = NotificationCenter::defaultCenter();
    const int observers = center.observerCount();
    {
        mainContainerVc container;
        container.view();
        // The container's four observers and the home screen's one, gone with the container.
        QCOMPARE(center.observerCount(), observers + 5);
    }
    QCOMPARE(center.observerCount(), observers);
    {
        mainContainerVc container;
        container.view();
        const QPointer<ViewController> home = container.vc();
        QVERIFY(home);
        QCOMPARE(screensIn(container), QList<QWidget*> {home.data()});

        center.post(u"showData"_s);
        const QPointer<shredderFilesvc> firstList = container.listvc();
        QCOMPARE(screensIn(container), QList<QWidget*> {firstList.data()});
        QVERIFY(home); // still held by its slot, out of the container
        center.post(u"showData"_s);
        QTRY_VERIFY(!firstList); // released (deferred) when its slot was reused
        QCOMPARE(screensIn(container), QList<QWidget*> {container.listvc()});

        center.post(u"ShredData"_s);
        QCOMPARE(screensIn(container), QList<QWidget*> {container.shreeddingvc()});
        center.post(u"ShredComplete"_s);
        QVERIFY(container.resultvc());
        center.post(u"GotoHome"_s);
        QTRY_VERIFY(!home);
        QCOMPARE(screensIn(container), QList<QWidget*> {container.vc()});
    }
    // Screens held out of the container (the last progress screen among them) go with it too.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(center.observerCount(), observers);
}

void TestScreenFlow::secondStartHandsItsArgumentsOver()
{
    Running first;
    QVERIFY(!first.instance.handOverToRunningInstance({}, 200)); // nobody is running yet
    QVERIFY(first.instance.listen());
    const QStringList paths {u"/tmp/a b"_s, u"/tmp/ü\nx"_s};
    QVERIFY(handOver(first.socket, paths));
    QTRY_COMPARE(first.received.count(), 1);
    QCOMPARE(first.received.first().first().toStringList(), paths);

    // A live instance's socket is not taken over: a second listen fails and the first instance
    // still receives.
    SingleInstance intruder(first.socket);
    QVERIFY(!intruder.listen());
    QVERIFY(handOver(first.socket, paths));
    QTRY_COMPARE(first.received.count(), 2);

    // What a crashed instance leaves behind, or a plain file, does not block the next start.
    const QString stale = first.runtime.path(u"stale.socket"_s);
    QVERIFY(makeStaleSocket(stale));
    SingleInstance afterCrash(stale);
    QVERIFY(!afterCrash.handOverToRunningInstance({}, 200));
    QVERIFY(afterCrash.listen());
    SingleInstance overFile(first.runtime.writeFile(u"plain.socket"_s, ""));
    QVERIFY(overFile.listen());
}

void TestScreenFlow::socketOfAnotherUserGetsNothing()
{
    if (!canDropPrivileges())
        QSKIP("needs root to make a socket file owned by another user");
    Running first;
    QVERIFY(first.instance.listen());
    const QStringList paths {u"/tmp/private"_s};

    // Root could connect anyway; only the owner check stops the paths from going out.
    const QByteArray native = QFile::encodeName(first.socket);
    QCOMPARE(::chown(native.constData(), 65534, 65534), 0);
    QVERIFY(!handOver(first.socket, paths));
    QTest::qWait(200); // time for a wrongly made connection to deliver
    QCOMPARE(first.received.count(), 0);

    // Given back to us, the same socket works again: the owner was what refused it.
    QCOMPARE(::chown(native.constData(), ::geteuid(), ::getegid()), 0);
    QVERIFY(handOver(first.socket, paths));
    QTRY_COMPARE(first.received.count(), 1);
}

void TestScreenFlow::fallbackFolderMustBePrivate_data()
{
    QTest::addColumn<QString>("make"); // what stands at corvane-UID before the call
    QTest::addColumn<bool>("usable");

    QTest::newRow("nothing yet: made private") << "none" << true;
    QTest::newRow("our private folder") << "dir:700" << true;
    QTest::newRow("readable by the group") << "dir:750" << false;
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
    const QString name = u"corvane-"_s + QString::number(::geteuid());
    const QString folder = temp.path(name);
    const QByteArray native = QFile::encodeName(folder);
    if (make.startsWith(u"dir:") || make == u"other") {
        QCOMPARE(::mkdir(native.constData(), 0700), 0);
        QCOMPARE(::chmod(native.constData(), mode_t(make.mid(4).toUInt(nullptr, 8) | 0700)), 0);
        if (make == u"other")
            QCOMPARE(::chown(native.constData(), 65534, 65534), 0);
    } else if (make == u"link") {
        const QString elsewhere = temp.makeDir(u"elsewhere"_s);
        QCOMPARE(::chmod(QFile::encodeName(elsewhere).constData(), 0700), 0);
        QVERIFY(!temp.makeSymlink(name, elsewhere).isEmpty());
    } else if (make == u"file") {
        QVERIFY(!temp.writeFile(name, "x").isEmpty());
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
        QVERIFY(!instance.handOverToRunningInstance({u"/tmp/x"_s}, 200));
        return;
    }
    QCOMPARE(socket, folder + u"/corvane.socket"_s);
    QVERIFY(listened);
    struct stat st;
    QCOMPARE(::lstat(native.constData(), &st), 0);
    QVERIFY(S_ISDIR(st.st_mode));
    QCOMPARE(st.st_mode & 0777, mode_t(0700));
    QCOMPARE(st.st_uid, ::geteuid());
}

void TestScreenFlow::streamsFromAPeer_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("filler"); // repeated up to four times the bound; none: split
    QTest::addColumn<QList<QStringList>>("expected");

    // One string that claims 2 GiB and never ends: a server without a bound keeps buffering.
    QTest::newRow("endless string")
        << QByteArray("\0\0\0\x01\x7f\xff\xff\xfe", 8) << QByteArray("a") << QList<QStringList>();
    // A count of 2^31-1 strings, which never all arrive.
    QTest::newRow("huge count") << QByteArray("\x7f\xff\xff\xff", 4) << QByteArray(1, '\0')
                                << QList<QStringList>();
    // Two messages on one connection, the second's activation token finished by a later write,
    // arrive as two lists.
    const QList<QStringList> lists {{u"/tmp/one"_s}, {u"/tmp/two"_s, {}}};
    QByteArray two;
    QDataStream stream(&two, QIODevice::WriteOnly);
    stream << lists.at(0) << QString() << lists.at(1) << u"token"_s;
    QTest::newRow("two lists, split") << two << QByteArray() << lists;
}

void TestScreenFlow::streamsFromAPeer()
{
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, filler);
    QFETCH(QList<QStringList>, expected);

    Running first;
    QVERIFY(first.instance.listen());
    QVERIFY(onAnotherThread([&] {
        QLocalSocket client;
        client.connectToServer(first.socket);
        if (!client.waitForConnected(2000))
            return false;
        if (filler.isEmpty()) {
            const qsizetype split = payload.size() - 3;
            const bool ok = client.write(payload.left(split)) == split
                && client.waitForBytesWritten(2000) && client.write(payload.mid(split)) == 3
                && client.waitForBytesWritten(2000);
            client.disconnectFromServer();
            return ok;
        }
        const QByteArray chunk = filler.repeated(64 * 1024);
        client.write(payload);
        for (qsizetype sent = 0; sent < 4 * SingleInstance::maxMessageBytes
             && client.state() == QLocalSocket::ConnectedState;
             sent += chunk.size()) {
            client.write(chunk);
            client.waitForBytesWritten(2000);
        }
        // Still connected after four times the bound means the server kept buffering.
        return client.state() != QLocalSocket::ConnectedState || client.waitForDisconnected(3000);
    }));
    QTRY_COMPARE(first.received.count(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i)
        QCOMPARE(first.received.at(i).first().toStringList(), expected.at(i));

    // The server itself carries on.
    const QStringList after {u"/tmp/after"_s};
    QVERIFY(handOver(first.socket, after));
    QTRY_COMPARE(first.received.count(), expected.size() + 1);
    QCOMPARE(first.received.last().first().toStringList(), after);
}

// A screen whose controls need more room than the smallest window has is cut off at the
// window's edge (the list screen's method menu was). Runs last: it makes the main window.
void TestScreenFlow::everyScreenFitsTheSmallestWindow()
{
    QVERIFY(SharedState::instance().arrFileList.isEmpty()); // "ShredData" erases nothing
    QWidget* window = mainWindowController::shared().window();
    // Small enough to tile beside a file manager on a 1366-pixel screen.
    QVERIFY(window->minimumWidth() <= 640 && window->minimumHeight() <= 480);
    // The menu bar takes its share of the height, as in the application.
    if (!mainWindowController::shared().menuBar()) {
        auto* menu = new ApplicationMenu(window);
        menu->setTitles();
        mainWindowController::shared().setMenuBar(menu->createMenuBar());
    }
    for (const char* name : {"GotoHome", "showData", "ShredData", "ShredComplete"}) {
        NotificationCenter::defaultCenter().post(QString::fromLatin1(name));
        const QSize needed = window->layout()->totalMinimumSize();
        QVERIFY2(
            needed.width() <= window->minimumWidth() && needed.height() <= window->minimumHeight(),
            qPrintable(u"%1 needs %2x%3"_s.arg(QLatin1String(name))
                           .arg(needed.width())
                           .arg(needed.height())));
    }
    NotificationCenter::defaultCenter().post(u"GotoHome"_s);
}

void TestScreenFlow::everyTextReadsAndEveryControlShowsItsFocus_data()
{
    QTest::addColumn<bool>("dark");
    QTest::addColumn<QString>("screen"); // the notification that shows it, or "welcome"
    for (const bool dark : {false, true}) {
        for (const char* screen : {"GotoHome", "showData", "ShredData", "ShredComplete", "welcome"})
            QTest::addRow("%s, %s", dark ? "dark" : "light", screen)
                << dark << QString::fromLatin1(screen);
    }
}

// Every label's text reads; then Tab onto each control in turn: the control (a list: its
// current row) must look different, by enough pixels of enough contrast to be seen, from how it
// looks without the focus.
void TestScreenFlow::everyTextReadsAndEveryControlShowsItsFocus()
{
    QFETCH(bool, dark);
    QFETCH(QString, screen);
    const QPalette before = QApplication::palette();
    const auto restore = qScopeGuard([&] {
        QApplication::setPalette(before);
        SharedState::instance().resetLists();
        NotificationCenter::defaultCenter().post(u"GotoHome"_s);
    });
    QApplication::setPalette(dark ? darkPalette() : QApplication::style()->standardPalette());
    // The window takes the new palette before the screen is made in it, as at a start.
    QCoreApplication::processEvents();
    std::unique_ptr<QWidget> welcome;
    TempTree tree;
    QWidget* window = mainWindowController::shared().window();
    if (screen == u"welcome") {
        welcome = std::make_unique<QWidget>();
        (new startupVC(welcome.get()))->view();
        window = welcome.get();
    } else {
        // "ShredData" shreds the process-wide list: it holds only the folder made here, or nothing.
        SharedState::instance().resetLists();
        if (screen == u"showData")
            SharedState::instance().arrPendingItems.append(
                FileDirectory::fromUrl(QUrl::fromLocalFile(tree.writeFile(u"d/f.txt"_s, "f"))));
        NotificationCenter::defaultCenter().post(screen);
        QTRY_VERIFY(!SharedState::instance().isAddingFiles);
    }
    window->resize(880, 620);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    const QStringList poor = poorlyContrastedTexts(window, 4.5);
    QVERIFY2(poor.isEmpty(), qPrintable(poor.join(u"; "_s)));

    QApplication::setActiveWindow(window);
    QTRY_VERIFY(window->isActiveWindow());
    // What a real Tab key press leaves on the window: styles draw focus only after one.
    window->setAttribute(Qt::WA_KeyboardFocusChange);
    QStringList unseen;
    int tried = 0;
    const QList<QWidget*> found = window->findChildren<QWidget*>();
    const QList<QPointer<QWidget>> controls(found.cbegin(), found.cend());
    for (const QPointer<QWidget>& control : controls) {
        if (!control || !control->isVisibleTo(window) || !control->isEnabled()
            || control->focusProxy() || !(control->focusPolicy() & Qt::TabFocus)
            || control->width() < 4)
            continue;
        if (auto* view = qobject_cast<QAbstractItemView*>(control);
            view && view->model() && view->model()->rowCount(view->rootIndex()) > 0)
            view->setCurrentIndex(view->model()->index(0, 0, view->rootIndex()));
        if (QWidget* focused = QApplication::focusWidget())
            focused->clearFocus();
        QCoreApplication::processEvents();
        const QImage unfocused = window->grab().toImage();
        control->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
        const QImage focused = window->grab().toImage();
        const QRect area(control->mapTo(window, QPoint(-3, -3)), control->size() + QSize(6, 6));
        const qreal ratio = unfocused.devicePixelRatio();
        // A one-pixel outline round half the control, in a colour that stands out.
        const int needed = int((control->width() + control->height()) * ratio);
        const int changed = pixelsChanged(unfocused, focused, area, 3.0);
        ++tried;
        if (changed < needed)
            unseen << u"%1 %2: %3 of %4 px"_s
                          .arg(QString::fromLatin1(control->metaObject()->className()),
                              control->objectName())
                          .arg(changed)
                          .arg(needed);
    }
    // The progress screen has nothing to focus; every other screen has.
    QVERIFY(tried > 0 || screen == u"ShredData");
    QVERIFY2(unseen.isEmpty(), qPrintable(unseen.join(u"; "_s)));
}

QTEST_MAIN(TestScreenFlow)
#include "tst_screenflow.moc"
