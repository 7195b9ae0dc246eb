// SPDX-License-Identifier: GPL-3.0-or-later
#include "AccessibleControls.h"
#include "AppDelegate.h"
#include "ApplicationMenu.h"
#include "Bundle.h"
#include "DesktopNotification.h"
#include "EventLoop.h"
#include "InfoPlist.h"
#include "LanguageTable.h"
#include "LaunchOnStartup.h"
#include "ListBuilder.h"
#include "LocalHttpServer.h"
#include "LoginItems.h"
#include "NotificationBus.h"
#include "NotificationCenter.h"
#include "OurLoginItems.h"
#include "PathText.h"
#include "ReadOnlyFolder.h"
#include "SUUpdater.h"
#include "SharedState.h"
#include "SizeText.h"
#include "StoredValue.h"
#include "Storyboard.h"
#include "Strings.h"
#include "TempTree.h"
#include "UrlCatcher.h"
#include "UserDefaults.h"
#include "UtilityKitWindow.h"
#include "aboutVc.h"
#include "generalVC.h"
#include "mainContainerVc.h"
#include "mainWindowController.h"
#include "settingsWindowController.h"
#include "shreddingFilesVC.h"
#include "tabViewSettings.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QString entryFor(const QString& program)
{
    return u"[Desktop Entry]\nType=Application\nName=X\nExec=%1 --flag\n"_s.arg(program);
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void menuCommandsOpenTheRequestedTab();
    void escapeClosesTheWindow_data();
    void escapeClosesTheWindow();
    void loginCheckboxKeepsAutostartInLine_data();
    void loginCheckboxKeepsAutostartInLine();
    void execLinesAreReadAsTheDesktopDoes_data();
    void execLinesAreReadAsTheDesktopDoes();
    void unwritableFolderChangesOnlyTheStoredChoice();
    void launchReappliesTheStoredChoice_data();
    void launchReappliesTheStoredChoice();
    void autoUpdateBoxShowsWhatCorvaneCanDo_data();
    void autoUpdateBoxShowsWhatCorvaneCanDo();
    void aboutPaneShowsOnlyWhatThisBuildHas();
    void everyInteractiveControlHasAName_data();
    void everyInteractiveControlHasAName();
    void checkForUpdatesSaysThereIsNoSource();
    void shredEndingWhileAwayNotifies();
    void closingTheWindowWithATrayHidesIt();
    void closingTheWindowWithoutATrayQuits();
    void quittingDuringARunAsksAndKeepsTheFile();

private:
    QString autostart() const { return m_config.path(u"autostart"_s); }
    QStringList autostartFiles() const
    {
        return QDir(autostart()).entryList({u"*.desktop"_s}, QDir::Files, QDir::Name);
    }
    settingsWindowController* settings() const
    {
        return Storyboard::mainStoryboard().sharedController<settingsWindowController>(
            u"settingsWindowController"_s);
    }
    /// The General pane of the settings window, opened as Preferences opens it.
    generalVC* openGeneral() const
    {
        m_delegate->btnPreferences();
        return qobject_cast<generalVC*>(settings()->contentViewController()->tabView()->widget(0));
    }

    TempTree m_config;
    std::unique_ptr<AppDelegate> m_delegate;
    std::unique_ptr<PrivateSessionBus> m_bus;
};

void TestSettings::initTestCase()
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    m_bus = std::make_unique<PrivateSessionBus>();
    QApplication::setQuitOnLastWindowClosed(false);
    // Later launches: the main window comes up at once, not the first-run welcome window.
    UserDefaults::standardUserDefaults().setInteger(u"firstrun"_s, 1);
    m_delegate = std::make_unique<AppDelegate>(nullptr, [] { return true; });
    m_delegate->applicationWillFinishLaunching();
    m_delegate->applicationDidFinishLaunching();
    QVERIFY(languageStrings().has_value());
}

void TestSettings::init()
{
    QDir(autostart()).removeRecursively();
    setLanguageStrings(loadPlistDictionary(u"English"_s));
}

void TestSettings::cleanupTestCase()
{
    m_delegate.reset();
    m_bus.reset();
}

void TestSettings::menuCommandsOpenTheRequestedTab()
{
    ApplicationMenu* menu = m_delegate->menu();
    QMenuBar* bar = mainWindowController::shared().menuBar();
    QVERIFY(bar);

    // Add Files follows the screen on show: home takes files, the result screen does not.
    auto* file = bar->findChild<QMenu*>(u"menuFile"_s);
    QVERIFY(file);
    emit file->aboutToShow();
    QVERIFY(menu->addFiles()->isEnabled());
    NotificationCenter::defaultCenter().post(u"ShredComplete"_s);
    emit file->aboutToShow();
    QVERIFY(!menu->addFiles()->isEnabled());
    NotificationCenter::defaultCenter().post(u"GotoHome"_s);

    menu->about()->trigger();
    QWidget* window = settings()->window();
    QVERIFY(window->isVisible());
    QTabWidget* tabs = settings()->contentViewController()->tabView();
    QCOMPARE(tabs->currentIndex(), 1);
    QCOMPARE(tabViewSettings::requestedTab(), 0);

    // About, close, then Preferences: the request was used up, so General.
    window->close();
    QVERIFY(!window->isVisible());
    menu->preferences()->trigger();
    QVERIFY(window->isVisible());
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(settings()->window(), window); // the same window, kept

    // About while the window is up on General still turns to About.
    menu->about()->trigger();
    QCOMPARE(tabs->currentIndex(), 1);
    tabs->setCurrentIndex(2);
    menu->preferences()->trigger();
    QCOMPARE(tabs->currentIndex(), 0);
    window->close();
}

void TestSettings::escapeClosesTheWindow_data()
{
    QTest::addColumn<QString>("window");
    QTest::newRow("preferences") << u"preferences"_s;
    QTest::newRow("other apps") << u"other apps"_s;
}

void TestSettings::escapeClosesTheWindow()
{
    QFETCH(QString, window);
    QWidget* shown = nullptr;
    if (window == u"preferences") {
        m_delegate->btnPreferences();
        shown = settings()->window();
    } else {
        m_delegate->btnShowWindow();
        m_delegate->menu()->otherApps()->trigger();
        shown = Storyboard::mainStoryboard()
                    .sharedController<UtilityKitWindow>(u"UtilityKitWindow"_s)
                    ->window();
    }
    QVERIFY(shown->isVisible());
    shown->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), shown);
    QWidget* target = shown->focusWidget() ? shown->focusWidget() : shown;
    QTest::keyClick(target, Qt::Key_Escape);
    QTRY_VERIFY(!shown->isVisible());
}

void TestSettings::loginCheckboxKeepsAutostartInLine_data()
{
    QTest::addColumn<QStringList>("entries"); // file name=program; APP is this executable
    QTest::addColumn<bool>("switchOn");
    QTest::addColumn<QStringList>("expectedFiles");
    QTest::addColumn<int>("expectedOurs");

    QTest::newRow("on, empty list") << QStringList() << true << names({"corvane.desktop"}) << 1;
    QTest::newRow("on, already there: nothing added")
        << names({"mine.desktop=APP"}) << true << names({"mine.desktop"}) << 1;
    QTest::newRow("on, our name taken by another program")
        << names({"corvane.desktop=/bin/sh"}) << true
        << names({"corvane-2.desktop", "corvane.desktop"}) << 1;
    QTest::newRow("on, an entry whose program is gone does not count")
        << names({"old.desktop=/nonexistent/corvane"}) << true
        << names({"corvane.desktop", "old.desktop"}) << 1;
    QTest::newRow("off, two of ours: the second goes")
        << names({"a-ours.desktop=APP", "b-ours.desktop=APP", "z.desktop=/bin/sh"}) << false
        << names({"a-ours.desktop", "z.desktop"}) << 1;
    QTest::newRow("off, none of ours: nothing removed")
        << names({"a.desktop=/bin/sh", "gone.desktop=/nonexistent/x"}) << false
        << names({"a.desktop", "gone.desktop"}) << 0;
}

void TestSettings::loginCheckboxKeepsAutostartInLine()
{
    QFETCH(QStringList, entries);
    QFETCH(bool, switchOn);
    QFETCH(QStringList, expectedFiles);
    QFETCH(int, expectedOurs);

    const QString app = QCoreApplication::applicationFilePath();
    for (const QString& entry : entries) {
        const QString name = entry.section(u'=', 0, 0);
        const QString program = entry.section(u'=', 1);
        QVERIFY(!m_config
                     .writeFile(u"autostart/"_s + name,
                         entryFor(program == u"APP" ? u'"' + app + u'"' : program).toUtf8())
                     .isEmpty());
    }

    generalVC* general = openGeneral();
    QVERIFY(general);
    general->checkboxAutolaunch()->setChecked(!switchOn);
    general->checkboxAutolaunch()->click();

    QCOMPARE(UserDefaults::standardUserDefaults().integerForKey(u"startloginstatus"_s),
        std::optional<qint64>(switchOn ? 1 : 0));
    QCOMPARE(autostartFiles(), expectedFiles);
    QVERIFY(LoginItems().snapshot());
    QCOMPARE(ourLoginItems(), expectedOurs);

    // Switching on twice never makes a second entry.
    if (switchOn) {
        general->checkboxAutolaunch()->setChecked(false);
        general->checkboxAutolaunch()->click();
        QCOMPARE(autostartFiles(), expectedFiles);
    }
    settings()->window()->close();
}

void TestSettings::execLinesAreReadAsTheDesktopDoes_data()
{
    QTest::addColumn<QString>("exec");
    QTest::addColumn<QString>("program");

    QTest::newRow("bare") << u"/usr/bin/corvane %F"_s << u"/usr/bin/corvane"_s;
    QTest::newRow("quoted with a space")
        << u"\"/opt/my apps/corvane\" --x"_s << u"/opt/my apps/corvane"_s;
    QTest::newRow("escaped quote inside")
        << u"\"/opt/a\\\\\"b/corvane\""_s << u"/opt/a\"b/corvane"_s;
    // \s becomes a space before the quoting is read, so unquoted it still ends the program.
    QTest::newRow("string-level space escape") << u"/opt/x\\sy"_s << u"/opt/x"_s;
    QTest::newRow("string-level escape, quoted") << u"\"/opt/x\\sy\" %U"_s << u"/opt/x y"_s;
    QTest::newRow("unterminated quote") << u"\"/opt/corvane"_s << QString();
}

void TestSettings::execLinesAreReadAsTheDesktopDoes()
{
    QFETCH(QString, exec);
    QFETCH(QString, program);
    QCOMPARE(LoginItems::execProgram(exec), program);
}

void TestSettings::unwritableFolderChangesOnlyTheStoredChoice()
{
    // A plain file where the autostart folder should be: nothing can be written there.
    QVERIFY(!m_config.writeFile(u"autostart"_s, "not a folder").isEmpty());
    generalVC* general = openGeneral();
    general->checkboxAutolaunch()->setChecked(false);
    general->checkboxAutolaunch()->click();
    QCOMPARE(UserDefaults::standardUserDefaults().integerForKey(u"startloginstatus"_s),
        std::optional<qint64>(1));
    QCOMPARE(TempTree::readFile(autostart()), QByteArray("not a folder"));
    QFile::remove(autostart());
    settings()->window()->close();
}

void TestSettings::launchReappliesTheStoredChoice_data()
{
    QTest::addColumn<QVariant>("stored"); // invalid: no value at all
    QTest::addColumn<bool>("startsWithEntry");
    QTest::addColumn<int>("expectedEntries");

    QTest::newRow("1 adds exactly one") << QVariant(qint64(1)) << false << 1;
    QTest::newRow("1 keeps the one there") << QVariant(qint64(1)) << true << 1;
    QTest::newRow("0 removes it") << QVariant(qint64(0)) << true << 0;
    QTest::newRow("2 leaves it") << QVariant(qint64(2)) << true << 1;
    QTest::newRow("a string leaves it") << QVariant(u"1"_s) << false << 0;
}

void TestSettings::launchReappliesTheStoredChoice()
{
    QFETCH(QVariant, stored);
    QFETCH(bool, startsWithEntry);
    QFETCH(int, expectedEntries);

    storeValue(UserDefaults::standardUserDefaults(), u"startloginstatus"_s, stored);
    if (startsWithEntry)
        QVERIFY(LoginItems().insertApplicationItem());

    m_delegate->applicationDidFinishLaunching();
    QCOMPARE(autostartFiles().size(), expectedEntries);
    // The checkbox shows 1 as on and every other integer as off.
    auto* general = qobject_cast<BaseViewController*>(
        Storyboard::mainStoryboard().instantiateController(u"generalVC"_s));
    std::unique_ptr<BaseViewController> owner(general);
    general->view();
    const bool on = stored.typeId() == QMetaType::LongLong && stored.toLongLong() == 1;
    QCOMPARE(qobject_cast<generalVC*>(general)->checkboxAutolaunch()->isChecked(), on);
}

void TestSettings::autoUpdateBoxShowsWhatCorvaneCanDo_data()
{
    QTest::addColumn<QString>("installation");
    QTest::addColumn<QVariant>("stored"); // invalid: nothing stored, as in the first session
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<QString>("note"); // the key of the line saying where updates come from

    const QString own = u"own prefix"_s;
    QTest::newRow("no feed") << u"no feed"_s << QVariant(qint64(1)) << false << false
                             << u"IDS_KQ_340"_s;
    QTest::newRow("prefix not writable")
        << u"read-only prefix"_s << QVariant(qint64(1)) << false << false << u"IDS_KQ_341"_s;
    // The launch after the first stores 1 when nothing (or no integer) is stored: the box shows
    // that already, instead of turning itself on at the next start.
    QTest::newRow("nothing stored yet") << own << QVariant() << true << true << QString();
    QTest::newRow("0 stored") << own << QVariant(qint64(0)) << true << false << QString();
}

void TestSettings::autoUpdateBoxShowsWhatCorvaneCanDo()
{
    QFETCH(QString, installation);
    QFETCH(QVariant, stored);
    QFETCH(bool, enabled);
    QFETCH(bool, checked);
    QFETCH(QString, note);

    TempTree tree;
    LocalHttpServer server; // the feed's address; nothing is asked of it
    QVERIFY(server.listen());
    QList<std::pair<QByteArray, QByteArray>> info {{"CFBundleShortVersionString", "0.1"}};
    if (installation != u"no feed")
        info << std::pair {"SUFeedURL", server.url(u"/feed.xml"_s).toEncoded()}
             << std::pair {"SUPublicEDKey", QByteArray(32, 'k').toBase64()};
    tree.writeFile(u"bundle/Info.plist"_s, infoPlist(info));
    const QString program = tree.writeFile(u"prefix/bin/corvane"_s, "#!/bin/sh\n");
    auto restore = qScopeGuard([&] { generalVC::setUpdater(m_delegate->updater()); });
    std::optional<ReadOnlyFolder> readOnly;
    if (installation == u"read-only prefix"
        && !readOnly.emplace(tree.path(u"prefix"_s)).error().isEmpty())
        QSKIP(qPrintable(readOnly->error()));
    const Bundle bundle(tree.path(u"bundle"_s));
    SUUpdater updater(bundle);
    updater.setExecutablePath(program);
    QCOMPARE(updater.isConfigured(), installation != u"no feed");
    generalVC::setUpdater(&updater);

    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    const QString key = u"_checkforUpdate_"_s;
    storeValue(defaults, key, stored);
    const std::optional<qint64> before = defaults.integerForKey(key);

    generalVC pane;
    pane.show();
    QCheckBox* box = pane.checkbox_autoUpdate();
    QCOMPARE(box->isEnabled(), enabled);
    QCOMPARE(box->isChecked(), checked);
    QCOMPARE(pane.updateSourceNote()->isVisibleTo(&pane), !note.isEmpty());
    if (!note.isEmpty())
        QCOMPARE(pane.updateSourceNote()->text(), localizedText(note));
    // Showing the pane stores nothing: only the user's click does.
    QCOMPARE(defaults.integerForKey(key), before);
    QCOMPARE(defaults.contains(key), stored.isValid());

    if (!enabled)
        return;
    for (int round = 0; round < 2; ++round) {
        box->click();
        QCOMPARE(defaults.integerForKey(key), std::optional<qint64>(box->isChecked() ? 1 : 0));
        // The next show reads what was stored, so the box never changes by itself.
        const bool shown = box->isChecked();
        pane.hide();
        pane.show();
        QCOMPARE(box->isChecked(), shown);
    }
    QVERIFY(autostartFiles().isEmpty()); // the other box's business
}

void TestSettings::aboutPaneShowsOnlyWhatThisBuildHas()
{
    aboutVc pane;
    pane.view();
    // This build sets no web or social address: their buttons are hidden, not dead.
    for (const char* name : {"btnWeb", "btnTwitter", "btnFacebook"}) {
        auto* button = pane.findChild<QAbstractButton*>(QString::fromLatin1(name));
        QVERIFY2(button && button->isHidden(), name);
    }

    // The shipped pages are there, and each button opens its own one.
    UrlCatcher catcher(u"file"_s);
    const QList<std::pair<const char*, QString>> pages {{"btnprivacypolicy", u"privacy.html"_s},
        {"btnEULA", u"license.html"_s}, {"btnuninstallinstruction", u"uninstall.html"_s}};
    // The GPL is a licence, not an end-user agreement.
    QCOMPARE(pane.findChild<QAbstractButton*>(u"btnEULA"_s)->text(), u"Licence"_s);
    for (const auto& [name, page] : pages) {
        auto* button = pane.findChild<QAbstractButton*>(QString::fromLatin1(name));
        QVERIFY2(button && !button->isHidden(), name);
        button->click();
        QVERIFY(!catcher.opened.isEmpty());
        const QString path = catcher.opened.last().toLocalFile();
        QCOMPARE(QFileInfo(path).fileName(), page);
        QVERIFY2(QFileInfo(path).isFile(), qPrintable(path));
        // Found without any documentation folder: it may be left out of an installation.
        QCOMPARE(QFileInfo(path).path(), aboutVc::pagesFolder());
        QVERIFY2(!path.contains(u"/share/doc/"_s), qPrintable(path));
    }
    QCOMPARE(catcher.opened.size(), 3);
}

void TestSettings::everyInteractiveControlHasAName_data()
{
    QTest::addColumn<QString>("screen");
    QTest::newRow("about pane") << u"about"_s;
    QTest::newRow("home screen") << u"home"_s;
    QTest::newRow("files list") << u"list"_s;
}

void TestSettings::everyInteractiveControlHasAName()
{
    QFETCH(QString, screen);

    TempTree tree;
    QWidget* root = mainWindowController::shared().window();
    if (screen == u"about"_s) {
        // Every link shown, the icon-only ones included, as a build with addresses has them.
        m_delegate->btnAbout();
        root = settings()->window();
        for (QAbstractButton* button : root->findChildren<QAbstractButton*>())
            button->setVisible(true);
    } else {
        m_delegate->btnShowWindow();
        NotificationCenter::defaultCenter().post(u"GotoHome"_s);
    }
    if (screen == u"list"_s) {
        tree.writeFile(u"folder/a.txt"_s, "a");
        mainContainerVc* content = mainWindowController::shared().contentViewController();
        ListBuilder::acceptDroppedPaths({tree.path(u"folder"_s)});
        QTRY_VERIFY(content->listvc() && content->currentContentView() == content->listvc()
            && !SharedState::instance().isAddingFiles);
        // The per-row remove button is painted, not a widget: its top-level row tells of it.
        auto* view = content->listvc()->findChild<QAbstractItemView*>(u"outlineview"_s);
        QTRY_COMPARE(view->model()->rowCount(), 1);
        QCOMPARE(view->model()->index(0, 0).data(Qt::AccessibleDescriptionRole).toString(),
            localizedText(u"IDS_KQ_535"_s));
    }
    QVERIFY(root->isVisible());

    // What a screen reader lets the user act on, and the name it says for each.
    int checked = 0;
    const QStringList unnamed = unnamedControls(root, &checked);
    QVERIFY(checked >= 2); // home: Add Files and Other Apps at least
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(u", "_s)));
    NotificationCenter::defaultCenter().post(u"GotoHome"_s);
}

void TestSettings::checkForUpdatesSaysThereIsNoSource()
{
    m_delegate->menu()->checkForUpdates()->trigger();
    Alert* alert = m_delegate->updater()->alert();
    QVERIFY(alert);
    QTRY_VERIFY(alert->isVisible());
    QCOMPARE(alert->messageText(), localizedText(u"IDS_KQ_311"_s));
    alert->buttons().first()->click();
    QTRY_VERIFY(!alert->isVisible());
}

void TestSettings::shredEndingWhileAwayNotifies()
{
    NotificationService service;
    if (!service.isListening())
        QSKIP("no private session bus (dbus-daemon missing)");

    QWidget* window = mainWindowController::shared().window();
    m_delegate->btnShowWindow();
    NotificationCenter::defaultCenter().post(u"ShredComplete"_s);
    window->hide();
    NotificationCenter::defaultCenter().post(u"ShredComplete"_s);
    // Notifications reach the service in the order they were sent: once this one is in, so is
    // anything the run seen with the window up might have sent.
    DesktopNotification::send(u"marker"_s, QString());
    QTRY_COMPARE(service.summaries, (QStringList {localizedText(u"IDS_KQ_313"_s), u"marker"_s}));
    // It names what is installed: the desktop entry and the icon of the same name.
    QCOMPARE(service.icons.mid(0, 2),
        (QStringList {u"org.corvane.Corvane"_s, u"org.corvane.Corvane"_s}));
    NotificationCenter::defaultCenter().post(u"GotoHome"_s);
}

void TestSettings::closingTheWindowWithATrayHidesIt()
{
    QWidget* window = mainWindowController::shared().window();
    m_delegate->btnShowWindow();
    QVERIFY(!window->close());
    QVERIFY(!window->isVisible());
    QSystemTrayIcon* tray = m_delegate->trayIcon();
    QVERIFY(tray);
    QVERIFY(tray->isVisible());

    // Clicking the icon is the reopen: the window comes back and the icon goes.
    emit tray->activated(QSystemTrayIcon::Trigger);
    QVERIFY(window->isVisible());
    QVERIFY(!tray->isVisible());
}

void TestSettings::closingTheWindowWithoutATrayQuits()
{
    AppDelegate withoutTray(nullptr, [] { return false; });
    withoutTray.applicationDidFinishLaunching();
    QWidget* window = mainWindowController::shared().window();
    QVERIFY(window->isVisible());
    // The real event loop, which a quit ends with 0.
    QCOMPARE(execAfter(window, [window] { window->close(); }), 0);
    QVERIFY(!withoutTray.trayIcon());
}

void TestSettings::quittingDuringARunAsksAndKeepsTheFile()
{
    TempTree tree;
    const QString big = tree.makeAllocatedFile(u"big"_s, 4LL << 30);
    if (big.isEmpty())
        QSKIP("no room for a 4 GiB file in the temporary folder");
    UserDefaults::standardUserDefaults().setInteger(u"Algomethod"_s, 2);
    SharedState& state = SharedState::instance();
    state.resetLists();
    ItemRef item = makeTopLevelItem(FileDirectory::fromUrl(QUrl::fromLocalFile(big)), 0);
    item->state = true;
    state.arrFileList.append(item);
    state.totalSelectedFiles = 1;
    mainWindowController::shared().showWindow();
    NotificationCenter::defaultCenter().post(u"ShredData"_s);
    // 0xFF at its start: the first pass is under way.
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            QFile file(big);
            return file.open(QIODevice::ReadOnly) && file.read(1) == QByteArray(1, '\xff');
        }(),
        20000);

    m_delegate->requestQuit();
    QTRY_VERIFY(m_delegate->stopAlert() && m_delegate->stopAlert()->isVisible());
    m_delegate->stopAlert()->buttons().at(0)->click(); // keep shredding
    QTRY_VERIFY(!m_delegate->stopAlert());
    QVERIFY(shreddingFilesVC::isRunActive());

    m_delegate->requestQuit();
    QTRY_VERIFY(m_delegate->stopAlert());
    // The desktop is told what was erased and what was kept, before the process goes.
    NotificationService service;
    QPushButton* stop = m_delegate->stopAlert()->buttons().at(1);
    QCOMPARE(execAfter(
                 stop, [stop] { stop->click(); }, 20000),
        0);
    QVERIFY(!shreddingFilesVC::isRunActive());
    QVERIFY(TempTree::exists(big)); // stopped in its pass: kept, never unlinked
    if (service.isListening()) {
        QCOMPARE(service.summaries, QStringList {localizedText(u"IDS_KQ_315"_s)});
        QCOMPARE(service.bodies.first(),
            localizedFormat(u"IDS_KQ_316"_s, {u"0"_s, u"1"_s, sizeText(0)}) + u'\n'
                + localizedFormat(u"IDS_KQ_317"_s, PathText::displayText(big)));
    }
    QCOMPARE(state.notErasedItems.size(), 1);
    QCOMPARE(state.notErasedItems.first().path, big);
    QCOMPARE(state.notErasedItems.first().reason, localizedText(u"IDS_KQ_224"_s));
    state.resetLists();
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
