// SPDX-License-Identifier: GPL-3.0-or-later
#include "Alert.h"
#include "AppDelegate.h"
#include "HomeScreenDriver.h"
#include "LanguageTable.h"
#include "NotificationLog.h"
#include "OpenPanel.h"
#include "SYFlatButton.h"
#include "Strings.h"
#include "TempTree.h"
#include "mainWindowController.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeView>
#include <cmath>

namespace {

const QString showData = QStringLiteral("showData");
const QString cannotAdded = QStringLiteral("cannotadded");
const QStringList allSteps = names({"enter", "move", "copy"});

} // namespace

class TestHome : public QObject
{
    Q_OBJECT

    TempTree m_config;

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
        setLanguageStrings(loadPlistDictionary(QStringLiteral("English")));
        QVERIFY(!localizedText(QStringLiteral("IDS_KQ_13")).isEmpty());
    }

    void init() { SharedState::instance().resetLists(); }

    void cleanup()
    {
        // Screens released with deleteLater() go now, so no test sees another's leftovers.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void dashesRunOnRoundTheCorners_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("310x205") << QSize(310, 205);
        QTest::newRow("401x333") << QSize(401, 333);
    }

    // The frame is one closed dashed path: walked along the middle of the stroke, every dash
    // and every gap is 13 pixels long, those that turn a corner too.
    void dashesRunOnRoundTheCorners()
    {
        QFETCH(QSize, size);
        DashedView view;
        view.resize(size);
        const QImage image = view.grab().toImage();
        const QColor background = image.pixelColor(size.width() / 2, size.height() / 2);
        const int mid = int(DashedView::lineWidth / 2);
        const int right = size.width() - 1 - mid;
        const int bottom = size.height() - 1 - mid;
        QList<QPoint> walk;
        for (int x = mid; x < right; ++x)
            walk << QPoint(x, mid);
        for (int y = mid; y < bottom; ++y)
            walk << QPoint(right, y);
        for (int x = right; x > mid; --x)
            walk << QPoint(x, bottom);
        for (int y = bottom; y > mid; --y)
            walk << QPoint(mid, y);
        QList<int> runs;
        bool inDash = false;
        for (const QPoint& at : std::as_const(walk)) {
            const QColor pixel = image.pixelColor(at);
            // Nearer the frame's grey than the background.
            const bool dash = std::abs(pixel.red() - DashedView::strokeColor().red())
                < std::abs(pixel.red() - background.red());
            if (runs.isEmpty() || dash != inDash)
                runs << 0;
            inDash = dash;
            ++runs.last();
        }
        QVERIFY(runs.size() > 8);
        // The first and the last run meet where the path closes.
        for (qsizetype i = 1; i + 1 < runs.size(); ++i)
            QVERIFY2(std::abs(runs.at(i) - 13) <= 1,
                qPrintable(QStringLiteral("run %1 of %2 pixels").arg(i).arg(runs.at(i))));
    }

    void drag_data()
    {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<Qt::DropActions>("actions");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<QStringList>("kept");
        QTest::addColumn<QStringList>("posted");

        const Qt::DropActions both = Qt::CopyAction | Qt::MoveAction;
        const Qt::KeyboardModifiers plain = Qt::NoModifier;
        const QStringList files = names({"notes.txt", "photos"});
        const QStringList earlier = names({"earlier.txt"});
        const QStringList none;
        QTest::newRow("a file and a folder")
            << files << both << plain << files << QStringList {showData};
        // Taking a proposed move would let the source delete the originals.
        QTest::newRow("a proposed move is taken as a copy")
            << files << both << Qt::KeyboardModifiers(Qt::ShiftModifier) << files
            << QStringList {showData};
        QTest::newRow("a source that only moves")
            << files << Qt::DropActions(Qt::MoveAction) << plain << earlier << none;
        QTest::newRow("a path as plain text")
            << names({"text:notes.txt"}) << both << plain << earlier << none;
        QTest::newRow("a web address before a file")
            << names({"https://example.org/a", "notes.txt"}) << both << plain << earlier << none;
        QTest::newRow("no urls at all") << none << both << plain << earlier << none;
        // Only the exact name "Documents" is refused; the alert's OK goes on with the rest.
        QTest::newRow("refused with accepted items: OK shows the list")
            << names({"draft.odt", "Documents", "documents"}) << both << plain
            << names({"documents", "draft.odt"}) << QStringList {cannotAdded, showData};
        QTest::newRow("refused alone: OK stays home")
            << names({"Documents"}) << both << plain << none << QStringList {cannotAdded};
    }

    // The drop target: the frame lights up while a drag it would take hovers; a drop of local
    // items is taken once, as a copy, and anything else is refused without touching what was
    // pending. Refused items bring up the alert as a sheet over the covered screen.
    void drag()
    {
        QFETCH(QStringList, items);
        QFETCH(Qt::DropActions, actions);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(QStringList, kept);
        QFETCH(QStringList, posted);

        TempTree tree;
        for (const QString& name : names({"notes.txt", "draft.odt", "earlier.txt"}))
            tree.writeFile(name, "x");
        for (const QString& name : names({"photos", "Documents", "documents"}))
            tree.makeDir(name);
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& item : std::as_const(items)) {
            if (item.startsWith(u"text:"))
                mime.setText(tree.path(item.mid(5)));
            else
                urls.append(
                    item.startsWith(u"https:") ? QUrl(item) : QUrl::fromLocalFile(tree.path(item)));
        }
        if (!mime.hasText())
            mime.setUrls(urls);
        SharedState::instance().arrPendingItems = {
            FileDirectory::fromUrl(QUrl::fromLocalFile(tree.path(QStringLiteral("earlier.txt"))))};
        HomeScreen screen;
        const bool accepted = !posted.isEmpty();

        // A drag that enters and leaves changes nothing on the screen. (No check may end the
        // test between the two events: the application would keep a drag target that is about
        // to go.)
        const QImage before = screen.home->grab().toImage();
        QDragEnterEvent enter(QPoint(10, 10), actions, &mime, Qt::LeftButton, modifiers);
        QApplication::sendEvent(screen.drop(), &enter);
        const QImage hovered = screen.home->grab().toImage();
        QDragLeaveEvent leave;
        QApplication::sendEvent(screen.drop(), &leave);
        QCOMPARE(enter.isAccepted(), accepted);
        QVERIFY(hovered == before);

        NotificationLog log({showData, cannotAdded});
        QCOMPARE(dragOnto(screen, mime, actions, modifiers), accepted ? allSteps : QStringList {});
        if (posted.startsWith(cannotAdded)) {
            Alert* alert = nullptr;
            QTRY_VERIFY((alert = screen.home->alert()) && alert->isVisible());
            QCOMPARE(alert->parentWidget(), &screen.container);
            QCOMPARE(alert->windowModality(), Qt::WindowModal);
            QCOMPARE(screen.cover()->geometry(), screen.home->rect());
            QVERIFY(screen.cover()->isVisible());
            QTest::mouseClick(alert->buttons().first(), Qt::LeftButton);
            QVERIFY(!alert->isVisible() && !screen.cover()->isVisible());
        }
        QCOMPARE(log.names(), posted);
        for (QString& name : kept)
            name = tree.path(name);
        QCOMPARE(pendingPaths(), kept);
        QCOMPARE(screen.shown(),
            posted.endsWith(showData) ? screen.container.listvc()
                                      : static_cast<QWidget*>(screen.home));
    }

    void addFilesPanel_data()
    {
        QTest::addColumn<QStringList>("picked");
        QTest::addColumn<bool>("open");
        QTest::addColumn<QStringList>("posted");

        const QStringList choice = names({"first.txt", "folder", "link to folder"});
        QTest::newRow("files and folders together") << choice << true << QStringList {showData};
        // The panel's refusal shows the alert directly; nothing is posted.
        QTest::newRow("restricted folder") << names({"Documents"}) << true << QStringList {};
        QTest::newRow("cancel") << choice << false << QStringList {};
    }

    // Add Files opens the panel as a sheet over the covered screen, where the last one was left.
    // Enter on a typed folder opens it; Add takes files and folders together (a link as the
    // link) to the list, or to the alert.
    void addFilesPanel()
    {
        QFETCH(QStringList, picked);
        QFETCH(bool, open);
        QFETCH(QStringList, posted);

        TempTree tree;
        tree.writeFile(QStringLiteral("first.txt"), "1");
        const QString folder
            = tree.writeFile(QStringLiteral("folder/inside.txt"), "2").section(u'/', 0, -2);
        tree.makeDir(QStringLiteral("Documents"));
        tree.makeSymlink(QStringLiteral("link to folder"), folder);
        HomeScreen screen;
        ViewController* home = screen.home;
        // Left over from an earlier add: the panel starts a new one.
        SharedState::instance().arrPendingItems
            = {FileDirectory::fromUrl(QUrl::fromLocalFile(tree.path(QStringLiteral("first.txt"))))};
        NotificationLog log({showData, cannotAdded});

        QTest::mouseClick(
            home->findChild<SYFlatButton*>(QStringLiteral("btnAddFiles")), Qt::LeftButton);
        QTRY_VERIFY(home->openPanel() && home->openPanel()->isVisible());
        const QPointer<OpenPanel> panel = home->openPanel();
        QCOMPARE(panel->parentWidget(), &screen.container);
        QCOMPARE(panel->windowModality(), Qt::WindowModal);
        QVERIFY(screen.cover()->isVisible());
        QVERIFY(SharedState::instance().arrPendingItems.isEmpty());
        // Enter on a folder's typed path opens it, with or without a slash, even though typing
        // the name selects the folder in the view; nothing is added.
        auto* name = panel->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        for (const QString& typed : QStringList {folder, folder + u'/'}) {
            QVERIFY(name && pickInDialog(panel, tree.path(), names({"folder"})));
            name->setFocus();
            name->clear();
            QTest::keyClicks(name, typed);
            QTest::keyClick(name, Qt::Key_Return);
            QTRY_VERIFY(panel && panel->directory().absolutePath() == folder);
            QVERIFY(panel->isVisible() && log.names().isEmpty());
        }
        // The detail columns show their whole text and leave the name the rest of the width.
        if (panel->viewMode() == QFileDialog::Detail) {
            auto* details = qobject_cast<QTreeView*>(visibleView(panel));
            const QAbstractItemView* view = details;
            QVERIFY(pickInDialog(panel, tree.path(), names({"first.txt"})));
            int used = 0;
            for (int column = 0; column < details->header()->count(); ++column) {
                if (column > 0)
                    QVERIFY2(details->columnWidth(column) >= view->sizeHintForColumn(column),
                        qPrintable(QString::number(column)));
                used += details->columnWidth(column);
            }
            QVERIFY(used <= details->viewport()->width());
        }
        // A name picked in one folder is not carried into the next, where it could name a
        // file the user never picked.
        QVERIFY(pickInDialog(panel, tree.path(), names({"first.txt"})));
        QVERIFY(name->text().contains(QStringLiteral("first.txt")));
        visibleView(panel)->selectionModel()->clearSelection();
        panel->setDirectory(folder);
        QTRY_VERIFY(!name->text().contains(QStringLiteral("first.txt")));

        QVERIFY(pickInDialog(panel, tree.path(), picked));
        // The name field lists the chosen folders too, not only the files.
        for (const QString& each : std::as_const(picked))
            QVERIFY2(name->text().contains(each), qPrintable(name->text()));
        auto* buttons = panel->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        QTest::mouseClick(buttons->button(open ? QDialogButtonBox::Open : QDialogButtonBox::Cancel),
            Qt::LeftButton);
        QTRY_VERIFY(!panel); // it deletes itself once answered
        QCOMPARE(log.names(), posted);
        QStringList expected; // the names are in order
        for (const QString& each : std::as_const(picked))
            expected.append(tree.path(each));
        QCOMPARE(pendingPaths(), posted.isEmpty() ? QStringList {} : expected);
        QCOMPARE(home->alert() != nullptr, open && posted.isEmpty());
        if (home->alert()) {
            QVERIFY(home->alert()->isVisible() && screen.cover()->isVisible());
            QTest::mouseClick(home->alert()->buttons().first(), Qt::LeftButton);
            QCOMPARE(log.names(), posted);
        }
        QVERIFY(!screen.cover()->isVisible());
        QCOMPARE(screen.shown(),
            posted.isEmpty() ? static_cast<QWidget*>(home) : screen.container.listvc());
        // The next panel of the session opens where this one was left.
        const QPointer<OpenPanel> next = OpenPanel::beginSheet(&screen.container, {});
        QCOMPARE(next->directory().absolutePath(), tree.path());
        next->reject();
        QTRY_VERIFY(!next);
    }

    void screenLetsGoOfItsAlertAndPanel()
    {
        // Its observer going with it is checked by tst_screenflow's count over the whole flow.
        auto& center = NotificationCenter::defaultCenter();
        QWidget window;
        window.resize(880, 620);
        auto* home = new ViewController(&window);
        home->view();
        window.show();

        center.post(cannotAdded);
        QTRY_VERIFY(home->alert() && home->alert()->isVisible());
        const QPointer<Alert> alert = home->alert();
        // Swapped out of the window (as the screen flow does): its sheet does not stay behind.
        home->hide();
        QVERIFY(!alert->isVisible());
        home->show();
        QTest::mouseClick(
            home->findChild<SYFlatButton*>(QStringLiteral("btnAddFiles")), Qt::LeftButton);
        QTRY_VERIFY(home->openPanel());
        const QPointer<OpenPanel> panel = home->openPanel();
        delete home;
        QVERIFY(!alert && !panel);

        // A screen that is not on show does not answer "cannotadded".
        ViewController hidden;
        hidden.view();
        center.post(cannotAdded);
        QVERIFY(!hidden.alert());
    }

    // A window-modal sheet centred over its window. The first button is the rightmost and the
    // default; a button only runs its action, and Escape or the close button click the escape
    // button, if there is one, and do nothing otherwise.
    void alertSheet()
    {
        QWidget window;
        window.setGeometry(100, 100, 800, 600);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QWidget owner;
        const QPointer<QLineEdit> field = new QLineEdit(&owner);
        const QPointer<Alert> alert = new Alert;
        alert->setMessageText(QStringLiteral("Some items could not be added"));
        QPushButton* first = alert->addButtonWithTitle(QStringLiteral("OK"));
        QPushButton* second = alert->addButtonWithTitle(QStringLiteral("Cancel"));
        connect(second, &QPushButton::clicked, alert, &Alert::endSheet);
        alert->setAccessoryView(field);
        QSignalSpy firstClicks(first, &QPushButton::clicked);
        QSignalSpy secondClicks(second, &QPushButton::clicked);
        alert->beginSheetModal(&window);
        QTRY_VERIFY(alert->isVisible() && field->isVisible());
        QCOMPARE(alert->focusWidget(), field.data());
        QVERIFY(alert->isWindow() && alert->parentWidget() == &window);
        QCOMPARE(QApplication::activeModalWidget(), alert.data());
        QVERIFY(std::abs(alert->geometry().center().x() - window.geometry().center().x()) <= 2);
        // It goes with its window, also when the window manager places the window late.
        window.move(window.pos() + QPoint(120, 40));
        QTRY_VERIFY(
            (alert->geometry().center() - window.geometry().center()).manhattanLength() <= 3);
        QVERIFY(second->geometry().right() < first->geometry().left());
        QVERIFY(first->geometry().right() > alert->width() * 3 / 4);

        QTest::keyClick(alert, Qt::Key_Return);
        QTest::keyClick(alert, Qt::Key_Escape);
        QVERIFY(!alert->close());
        QVERIFY(alert->isVisible());
        QCOMPARE(firstClicks.count(), 1);
        alert->setEscapeButton(first);
        QTest::keyClick(alert, Qt::Key_Escape);
        QCOMPARE(firstClicks.count(), 2);
        alert->setDefaultButton(second);
        QTest::keyClick(alert, Qt::Key_Return);
        QCOMPARE(firstClicks.count(), 2);
        QCOMPARE(secondClicks.count(), 1);
        QVERIFY(!alert->isVisible() && !QApplication::activeModalWidget());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(alert); // ending does not delete: its owner does

        // The next alert takes the same field while the first still exists; the first's end must
        // not pull it out of the second. Then it goes back, hidden, to its owner.
        auto* next = new Alert(&window);
        next->setAccessoryView(field);
        delete alert.data();
        QVERIFY(field && field->parentWidget() == next);
        delete next;
        QVERIFY(field && field->parentWidget() == &owner && field->isHidden());
        // A view nobody owned goes with the alert.
        const QPointer<QLineEdit> orphan = new QLineEdit;
        next = new Alert(&window);
        next->setAccessoryView(orphan);
        delete next;
        QVERIFY(!orphan);
    }

    // Open with Corvane (runs last: it makes the process-wide main window).
    void handedOverPathsAreTakenLikeADrop()
    {
        TempTree tree;
        const QString folder = tree.makeDir(QStringLiteral("to erase"));
        const QString documents = tree.makeDir(QStringLiteral("Documents"));
        const QString later = tree.writeFile(QStringLiteral("later.txt"), "l");
        AppDelegate delegate;
        NotificationLog log({showData, cannotAdded});

        QWidget* window = mainWindowController::shared().window();
        mainWindowController::shared().windowShouldClose();
        QVERIFY(!window->isVisible());
        delegate.handleArguments({});
        QVERIFY(window->isVisible()); // a start without paths only brings the window forward
        QCOMPARE(log.names(), QStringList());

        mainContainerVc* content = mainWindowController::shared().contentViewController();
        delegate.handleArguments({folder, documents});
        QCOMPARE(log.names(), QStringList {cannotAdded});
        QTRY_VERIFY(content->vc()->alert() && content->vc()->alert()->isVisible());
        QTest::mouseClick(content->vc()->alert()->buttons().first(), Qt::LeftButton);
        QCOMPARE(log.names(), (QStringList {cannotAdded, showData}));
        QCOMPARE(pendingPaths(), QStringList {folder});
        QCOMPARE(content->currentContentView(), content->listvc());

        // Away from the home screen nothing is replaced behind the user's back.
        delegate.handleArguments({later});
        QCOMPARE(log.names().size(), 2);
        QCOMPARE(pendingPaths(), QStringList {folder});
        NotificationCenter::defaultCenter().post(QStringLiteral("GotoHome"));
        delegate.handleArguments({later});
        QCOMPARE(log.names(), (QStringList {cannotAdded, showData, showData}));
        QCOMPARE(pendingPaths(), QStringList {later});
        mainWindowController::shared().windowShouldClose();
    }
};

QTEST_MAIN(TestHome)
#include "tst_home.moc"
