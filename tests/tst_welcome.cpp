// SPDX-License-Identifier: GPL-3.0-or-later
#include "Alert.h"
#include "LanguageTable.h"
#include "LocalHttpServer.h"
#include "NewsletterSubscription.h"
#include "OurLoginItems.h"
#include "PromotedApplications.h"
#include "Storyboard.h"
#include "TempTree.h"
#include "UrlCatcher.h"
#include "UserDefaults.h"
#include "startupVC.h"
#include "startupWindowController.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString kKey = u"K3y-0f-ten"_s;

template<typename T = QWidget>
T* child(const QObject* parent, const char* name)
{
    return parent->findChild<T*>(QLatin1StringView(name));
}

} // namespace

class TestWelcome : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void recommendsTheFirstCandidateNotInstalled_data();
    void recommendsTheFirstCandidateNotInstalled();
    void emailMustMatchAsAWhole_data();
    void emailMustMatchAsAWhole();
    void subscribeAnswersWithTheServicesAlert_data();
    void subscribeAnswersWithTheServicesAlert();
    void windowWithoutNewsletterHasNoEmptyBand();
    void getStartedStoresTheLoginChoice_data();
    void getStartedStoresTheLoginChoice();

private:
    /// A welcome view in a window of its own, shown, with the newsletter at `server`.
    std::unique_ptr<QWidget> showWelcome(startupVC*& view);

    TempTree m_home;
    TempTree m_applications;
    std::unique_ptr<PromotedApplications> m_promoted;
    LocalHttpServer m_server;
};

void TestWelcome::initTestCase()
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.path(u"config"_s)));
    QApplication::setQuitOnLastWindowClosed(false);
    setLanguageStrings(loadPlistDictionary(u"English"_s));
    QVERIFY(languageStrings());
    m_promoted = std::make_unique<PromotedApplications>(m_applications.path());
    startupVC::setPromotedApplications(m_promoted.get());
    QVERIFY(m_server.listen());
}

void TestWelcome::init()
{
    startupVC::setNewsletterConfiguration(
        NewsletterSubscription::Configuration {m_server.url(u"/news/add.php/"_s), kKey});
}

void TestWelcome::cleanup()
{
    QDir(m_applications.path()).removeRecursively();
    QDir().mkpath(m_applications.path());
    QDir(m_home.path(u"config/autostart"_s)).removeRecursively();
}

std::unique_ptr<QWidget> TestWelcome::showWelcome(startupVC*& view)
{
    auto window = std::make_unique<QWidget>();
    view = new startupVC(window.get());
    view->view();
    window->resize(600, 640);
    window->show();
    return window;
}

void TestWelcome::recommendsTheFirstCandidateNotInstalled_data()
{
    QTest::addColumn<QList<int>>("installed"); // entry numbers
    QTest::addColumn<int>("recommended"); // entry number, 0 for none

    QTest::newRow("B and others installed: still A") << QList<int> {3, 1, 4, 8} << 7;
    QTest::newRow("A and B installed: C") << QList<int> {7, 3} << 2;
    QTest::newRow("A and C installed: B") << QList<int> {7, 2} << 3;
    QTest::newRow("all three installed: our own box") << QList<int> {7, 3, 2} << 0;
}

void TestWelcome::recommendsTheFirstCandidateNotInstalled()
{
    QFETCH(QList<int>, installed);
    QFETCH(int, recommended);

    for (int number : installed)
        m_applications.writeFile(PromotedApplications::entry(number)->desktopId + u".desktop"_s,
            "[Desktop Entry]\nType=Application\n");

    startupVC* view = nullptr;
    const std::unique_ptr<QWidget> window = showWelcome(view);
    const PromotedApplication* entry = PromotedApplications::entry(recommended);
    QCOMPARE(child<QLabel>(view, "lblAppname")->text(), entry ? entry->title : QString());
    QCOMPARE(child(view, "btnAppstore")->isVisible(), entry != nullptr);
    QCOMPARE(child(view, "Corvaneinfobox")->isVisible(), entry == nullptr);
    if (entry) {
        UrlCatcher catcher(u"https"_s);
        child<QAbstractButton>(view, "btnAppstore")->click();
        QCOMPARE(catcher.opened, QList<QUrl> {QUrl(entry->apppath)});
    }
}

void TestWelcome::emailMustMatchAsAWhole_data()
{
    QTest::addColumn<QString>("email");
    QTest::addColumn<bool>("valid");

    QTest::newRow("two letters after the last dot") << u"ann@example.co"_s << true;
    QTest::newRow("plus, percent, dots") << u"a.b%c+d@mail.example.org"_s << true;
    QTest::newRow("one letter after the last dot") << u"ann@example.c"_s << false;
    QTest::newRow("no dot after the @") << u"ann@example"_s << false;
    QTest::newRow("leading space") << u" ann@example.com"_s << false;
    QTest::newRow("trailing space") << u"ann@example.com "_s << false;
    QTest::newRow("two @") << u"a@b@example.com"_s << false;
    QTest::newRow("non-ASCII") << u"ännä@example.com"_s << false;
}

void TestWelcome::emailMustMatchAsAWhole()
{
    QFETCH(QString, email);
    QFETCH(bool, valid);
    QCOMPARE(startupVC::isValidEmail(email), valid);
}

void TestWelcome::subscribeAnswersWithTheServicesAlert_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("reply"); // "DEAD": no server, "SILENT": no answer
    QTest::addColumn<QString>("message"); // key; empty: no alert
    QTest::addColumn<QString>("informative");

    const QString email = u"ann+news@example.org"_s;
    QTest::newRow("empty") << QString() << QByteArray() << u"IDS_KQ_86"_s
                           << localizedText(u"IDS_KQ_87"_s);
    QTest::newRow("leading space is not trimmed")
        << u" "_s + email << QByteArray() << u"IDS_KQ_88"_s << localizedText(u"IDS_KQ_87"_s);
    QTest::newRow("0: subscribed")
        << email << QByteArray("0") << u"IDS_KQ_89"_s << localizedText(u"IDS_KQ_90"_s);
    QTest::newRow("1, a bare number: already there")
        << email << QByteArray("1") << u"IDS_KQ_91"_s << localizedFormat(u"IDS_KQ_92"_s, email);
    QTest::newRow("2 with white space: server problem")
        << email << QByteArray(" 2\n") << u"IDS_KQ_93"_s << localizedText(u"IDS_KQ_94"_s);
    QTest::newRow("3: nothing") << email << QByteArray("3") << QString() << QString();
    QTest::newRow("text: nothing") << email << QByteArray("\"0\"") << QString() << QString();
    QTest::newRow("a fraction: nothing") << email << QByteArray("0.5") << QString() << QString();
    QTest::newRow("dead port: nothing") << email << QByteArray("DEAD") << QString() << QString();
    QTest::newRow("silence past the timeout: nothing")
        << email << QByteArray("SILENT") << QString() << QString();
}

void TestWelcome::subscribeAnswersWithTheServicesAlert()
{
    QFETCH(QString, typed);
    QFETCH(QByteArray, reply);
    QFETCH(QString, message);
    QFETCH(QString, informative);

    const bool dead = reply == "DEAD";
    if (dead)
        startupVC::setNewsletterConfiguration(NewsletterSubscription::Configuration {
            QUrl(u"http://127.0.0.1:%1/news/add.php/"_s.arg(LocalHttpServer::deadPort())), kKey});
    m_server.setSilent(reply == "SILENT");
    m_server.setResponse(200, reply);
    const qsizetype before = m_server.requests().size();

    startupVC* view = nullptr;
    const std::unique_ptr<QWidget> window = showWelcome(view);
    QVERIFY(child(view, "newsletterBox")->isVisible());
    view->newsletter()->setTimeout(300);
    QSignalSpy finished(view->newsletter(), &NewsletterSubscription::finished);
    auto* field = child<QLineEdit>(view, "txtfield");
    QTest::keyClicks(field, typed);
    child<QAbstractButton>(view, "btnSubscribe")->click();

    const bool sends = startupVC::isValidEmail(typed);
    if (sends) {
        QVERIFY(finished.wait(10000));
        if (!dead) {
            QCOMPARE(m_server.requests().size(), before + 1);
            const LocalHttpServer::Request& request = m_server.requests().last();
            QCOMPARE(request.method, QByteArray("GET"));
            QCOMPARE(request.target,
                "/news/add.php/?nl=3&nk=" + kKey.toUtf8().toBase64()
                    + "&ne=" + typed.toUtf8().toBase64() + "&nn=");
        }
    } else {
        QCOMPARE(m_server.requests().size(), before);
    }
    m_server.setSilent(false);

    if (message.isEmpty()) {
        QVERIFY(!view->alert()); // the answer came with finished()
        QCOMPARE(field->text(), typed); // the address stays for another try
        return;
    }
    QTRY_VERIFY(view->alert() && view->alert()->isVisible());
    Alert* alert = view->alert();
    QCOMPARE(alert->messageText(), localizedText(message));
    QCOMPARE(alert->informativeText(), informative);
    QCOMPARE(alert->buttons().size(), 1);
    alert->buttons().first()->click();
    QTRY_VERIFY(!view->alert());
    QVERIFY(field->text().isEmpty());
}

void TestWelcome::windowWithoutNewsletterHasNoEmptyBand()
{
    // A build without a newsletter hides its box: the window closes up around what is left.
    startupVC::setNewsletterConfiguration(NewsletterSubscription::Configuration {});
    startupWindowController::registerControllers(Storyboard::mainStoryboard());
    auto* controller = Storyboard::mainStoryboard().sharedController<startupWindowController>(
        u"startupWindowController"_s);
    QWidget* window = controller->window(); // loading it shows it
    QVERIFY(window->isVisible());
    QVERIFY(child(window, "newsletterBox")->isHidden());
    QCOMPARE(window->height(), window->sizeHint().height());
    window->hide();
}

void TestWelcome::getStartedStoresTheLoginChoice_data()
{
    QTest::addColumn<bool>("checked");
    QTest::addColumn<bool>("entryBefore");

    // What the entry's folder holds otherwise is tst_settings' business.
    QTest::newRow("off removes our entry") << false << true;
    QTest::newRow("on adds one") << true << false;
}

void TestWelcome::getStartedStoresTheLoginChoice()
{
    QFETCH(bool, checked);
    QFETCH(bool, entryBefore);

    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    defaults.removeObjectForKey(u"firstrun"_s);
    defaults.removeObjectForKey(u"startloginstatus"_s);
    if (entryBefore)
        QVERIFY(LoginItems().insertApplicationItem());

    startupVC* view = nullptr;
    const std::unique_ptr<QWidget> window = showWelcome(view);
    auto* box = child<QCheckBox>(view, "btncheckbox");
    QVERIFY(!box->isChecked());
    // The label is the box's text: clicking it toggles the box.
    if (checked)
        QTest::mouseClick(child<QLabel>(view, "lbllaunchatstartup"), Qt::LeftButton);
    QCOMPARE(box->isChecked(), checked);

    bool firstRunWhenAsked = true;
    int asked = 0;
    connect(view, &startupVC::mainWindowRequested, this, [&] {
        ++asked;
        firstRunWhenAsked = defaults.contains(u"firstrun"_s);
        QVERIFY(!window->isVisible()); // closed first
    });
    child<QAbstractButton>(view, "btnGetstarted")->click();
    QCOMPARE(asked, 1);
    QVERIFY(!firstRunWhenAsked);
    QCOMPARE(defaults.integerForKey(u"firstrun"_s), std::optional<qint64>(1));
    QCOMPARE(defaults.integerForKey(u"startloginstatus"_s), std::optional<qint64>(checked ? 1 : 0));
    QCOMPARE(ourLoginItems(), checked ? 1 : 0);
}

QTEST_MAIN(TestWelcome)
#include "tst_welcome.moc"
