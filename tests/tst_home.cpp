#include "Alert.h"
#include "AppDelegate.h"
#include "DashedView.h"
#include "DropView.h"
#include "LanguageTable.h"
#include "LoopImage.h"
#include "NotificationCenter.h"
#include "OpenPanel.h"
#include "SYFlatButton.h"
#include "ScreenStyle.h"
#include "SharedState.h"
#include "TempTree.h"
#include "UnprivilegedChild.h"
#include "ViewController.h"
#include "mainContainerVc.h"
#include "mainWindowController.h"
#include "shredderFilesvc.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <memory>
#include <unistd.h>

namespace {

/// Records every "showData" and "cannotadded" posted while it lives.
class NotificationLog
{
public:
    NotificationLog()
    {
        for (const QString& name : {QStringLiteral("showData"), QStringLiteral("cannotadded")}) {
            NotificationCenter::defaultCenter().addObserver(
                name, &m_owner, [this](const Notification& note) { m_names.append(note.name); });
        }
    }

    QStringList names() const { return m_names; }

private:
    QStringList m_names;
    QObject m_owner; // declared last, so its observers go before the list they write to
};

const QStringList showDataOnce {QStringLiteral("showData")};
const QStringList cannotAddedOnce {QStringLiteral("cannotadded")};

struct DragOutcome
{
    bool enterAccepted = false;
    bool moveAccepted = false;
    bool dropAccepted = false;
    Qt::DropAction dropAction = Qt::IgnoreAction;
};

/// Moves a drag carrying `mime` onto `target` and drops it there, as the window system does:
/// enter, move, drop. `modifiers` choose the proposed action (Shift proposes a move).
DragOutcome dragAndDrop(QWidget* target, const QMimeData& mime,
    Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction,
    Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const QPoint centre = target->rect().center();
    DragOutcome outcome;
    QDragEnterEvent enter(centre, actions, &mime, Qt::LeftButton, modifiers);
    QApplication::sendEvent(target, &enter);
    outcome.enterAccepted = enter.isAccepted();
    QDragMoveEvent move(centre + QPoint(5, 5), actions, &mime, Qt::LeftButton, modifiers);
    QApplication::sendEvent(target, &move);
    outcome.moveAccepted = move.isAccepted();
    QDropEvent drop(QPointF(centre + QPoint(5, 5)), actions, &mime, Qt::NoButton, modifiers);
    QApplication::sendEvent(target, &drop);
    outcome.dropAccepted = drop.isAccepted();
    outcome.dropAction = drop.dropAction();
    return outcome;
}

std::unique_ptr<QMimeData> urlMime(const QStringList& paths)
{
    auto mime = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls.append(QUrl::fromLocalFile(path));
    mime->setUrls(urls);
    return mime;
}

QStringList pendingPaths()
{
    QStringList paths;
    for (const FileDirectory& record : std::as_const(SharedState::instance().arrPendingItems))
        paths.append(record.url ? record.url->toLocalFile() : QStringLiteral("<no url>"));
    return paths;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

// With CORVANE_SCREENSHOT_DIR set, what the user would see is saved there for a person to check.
void saveShot(const QPixmap& shot, const QString& name)
{
    const QString dir = qEnvironmentVariable("CORVANE_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        QVERIFY(shot.save(dir + u'/' + name + QStringLiteral(".png")));
}

/// The window with its sheet drawn over it where it stands, as a window manager would show it.
QPixmap windowWithSheet(QWidget* window, QWidget* sheet)
{
    QPixmap shot = window->grab();
    QPainter painter(&shot);
    painter.drawPixmap(sheet->geometry().topLeft() - window->geometry().topLeft(), sheet->grab());
    return shot;
}

/// The view the file dialog shows now (list or details); both share one selection.
QAbstractItemView* visibleView(QFileDialog* dialog)
{
    const char* name = dialog->viewMode() == QFileDialog::Detail ? "treeView" : "listView";
    return dialog->findChild<QAbstractItemView*>(QString::fromLatin1(name));
}

QModelIndex rowNamed(QAbstractItemView* view, const QString& name)
{
    const QAbstractItemModel* model = view->model();
    for (int row = 0; row < model->rowCount(view->rootIndex()); ++row) {
        const QModelIndex index = model->index(row, 0, view->rootIndex());
        if (index.data().toString() == name)
            return index;
    }
    return {};
}

/// Shows `folder` in the dialog, waits until the file system model has listed `names`, and
/// control-clicks each of them in the view, as a user picking several items does.
bool pickInDialog(QFileDialog* dialog, const QString& folder, const QStringList& names)
{
    dialog->setDirectory(folder);
    QAbstractItemView* view = visibleView(dialog);
    if (!view)
        return false;
    QDeadlineTimer deadline(10000);
    auto allListed = [&] {
        return std::all_of(names.begin(), names.end(),
            [&](const QString& name) { return rowNamed(view, name).isValid(); });
    };
    while (!allListed() && !deadline.hasExpired())
        QTest::qWait(20);
    if (!allListed())
        return false;
    for (const QString& name : names) {
        const QModelIndex index = rowNamed(view, name);
        view->scrollTo(index);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier,
            view->visualRect(index).center());
    }
    return view->selectionModel()->selectedRows().size() == names.size();
}

QPushButton* dialogButton(QFileDialog* dialog, QDialogButtonBox::StandardButton which)
{
    auto* box = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    return box ? box->button(which) : nullptr;
}

bool isStroke(QRgb pixel, const QColor& colour)
{
    return std::abs(qRed(pixel) - colour.red()) <= 3
        && std::abs(qGreen(pixel) - colour.green()) <= 3
        && std::abs(qBlue(pixel) - colour.blue()) <= 3;
}

} // namespace

class TestHome : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // The drop target on its own screen
    void dropOfLocalItemsPostsShowDataOnce();
    void dragsWithoutLocalFilesAreRefused_data();
    void dragsWithoutLocalFilesAreRefused();
    void dropIsAlwaysACopy();
    void frameLightsUpOnlyWhileFilesHover();
    void unwritableItemIsLeftOut();

    // The home screen in the screen flow
    void cannotAddAlertThenOkShowsTheList();
    void restrictedFolderAloneLeavesTheUserHome();
    void addFilesPanelTakesFilesAndFolders();
    void cancellingThePanelOnlyHidesTheCover();
    void screenLetsGoOfItsObserversAlertAndPanel();
    void layoutFitsFromSmallestToLargeWindow_data();
    void layoutFitsFromSmallestToLargeWindow();

    // Alert
    void alertButtonsRunRightToLeftFirstIsDefault();
    void alertAccessoryViewGoesBackToItsOwner();
    void alertIsAWindowModalSheetUntilEnded();
    void alertIgnoresEscapeWithoutAnEscapeButton();

    // OpenPanel
    void openPanelChoosesFilesAndFoldersTogether();
    void openPanelStillOpensFoldersAndCancels();

    // DashedView
    void dashedFrameKeepsItsDashes_data();
    void dashedFrameKeepsItsDashes();
    void dashedFrameHighlightTakesTheAccent();

    // Open with Corvane (runs last: it makes the process-wide main window)
    void handedOverPathsAreTakenLikeADrop();

private:
    TempTree m_config;
};

void TestHome::initTestCase()
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    setLanguageStrings(loadPlistDictionary(QStringLiteral("English")));
    QVERIFY(languageStrings().has_value());
    QVERIFY(!localizedText(QStringLiteral("IDS_KQ_13")).isEmpty());
}

void TestHome::init()
{
    SharedState::instance().resetLists();
}

void TestHome::cleanup()
{
    // Screens released with deleteLater() go now, so no test sees another's leftovers.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// --- The drop target -------------------------------------------------------------------------

void TestHome::dropOfLocalItemsPostsShowDataOnce()
{
    TempTree tree;
    const QString file = tree.writeFile(QStringLiteral("notes.txt"), "secret");
    const QString folder = tree.makeDir(QStringLiteral("old photos"));
    tree.writeFile(QStringLiteral("old photos/a.jpg"), "jpg");

    ViewController home;
    home.resize(880, 620);
    home.view();
    home.show();
    auto* drop = home.findChild<DropView*>();
    QVERIFY(drop);
    NotificationLog log;
    const auto mime = urlMime({file, folder});
    const DragOutcome outcome = dragAndDrop(drop, *mime);
    QVERIFY(outcome.enterAccepted);
    QVERIFY(outcome.moveAccepted);
    QVERIFY(outcome.dropAccepted);
    QCOMPARE(log.names(), showDataOnce);
    QCOMPARE(pendingPaths(), (QStringList {file, folder}));
}

void TestHome::dragsWithoutLocalFilesAreRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("plain text") << QStringLiteral("text");
    QTest::newRow("web address") << QStringLiteral("https");
    QTest::newRow("web address before a file") << QStringLiteral("https+file");
    QTest::newRow("no urls at all") << QStringLiteral("empty");
}

void TestHome::dragsWithoutLocalFilesAreRefused()
{
    QFETCH(QString, kind);
    TempTree tree;
    const QString file = tree.writeFile(QStringLiteral("a.txt"), "a");
    QMimeData mime;
    if (kind == u"text")
        mime.setText(file); // a path as text is not a file drag
    else if (kind == u"https")
        mime.setUrls({QUrl(QStringLiteral("https://example.org/a.txt"))});
    else if (kind == u"https+file")
        mime.setUrls(
            {QUrl(QStringLiteral("https://example.org/a.txt")), QUrl::fromLocalFile(file)});

    SharedState::instance().arrPendingItems = {FileDirectory::fromUrl(QUrl::fromLocalFile(file))};
    ViewController home;
    home.view();
    home.show();
    auto* drop = home.findChild<DropView*>();
    NotificationLog log;
    const DragOutcome outcome = dragAndDrop(drop, mime);
    QVERIFY(!outcome.enterAccepted);
    QVERIFY(!outcome.moveAccepted);
    QVERIFY(!outcome.dropAccepted);
    QVERIFY(!drop->isHighlighted());
    QCOMPARE(log.names(), QStringList());
    // A refused drop is no add: what was pending stays.
    QCOMPARE(pendingPaths(), QStringList {file});
}

void TestHome::dropIsAlwaysACopy()
{
    TempTree tree;
    const QString file = tree.writeFile(QStringLiteral("a.txt"), "a");
    const auto mime = urlMime({file});
    ViewController home;
    home.view();
    home.show();
    auto* drop = home.findChild<DropView*>();

    // Shift proposes a move; taking it would let the source delete the original.
    NotificationLog log;
    DragOutcome outcome
        = dragAndDrop(drop, *mime, Qt::CopyAction | Qt::MoveAction, Qt::ShiftModifier);
    QVERIFY(outcome.dropAccepted);
    QCOMPARE(outcome.dropAction, Qt::CopyAction);
    QCOMPARE(log.names(), showDataOnce);

    // A source that only offers a move is refused.
    outcome = dragAndDrop(drop, *mime, Qt::MoveAction);
    QVERIFY(!outcome.enterAccepted);
    QVERIFY(!outcome.dropAccepted);
    QCOMPARE(log.names(), showDataOnce);
}

void TestHome::frameLightsUpOnlyWhileFilesHover()
{
    TempTree tree;
    const QString file = tree.writeFile(QStringLiteral("a.txt"), "a");
    const auto files = urlMime({file});
    mainContainerVc container;
    container.resize(880, 620);
    container.view();
    container.show();
    ViewController* home = container.vc();
    auto* drop = home->findChild<DropView*>();
    auto* frame = home->findChild<DashedView*>();
    QVERIFY(drop && frame);
    QVERIFY(!frame->isHighlighted());

    QDragEnterEvent enter(drop->rect().center(), Qt::CopyAction, files.get(), Qt::LeftButton, {});
    QApplication::sendEvent(drop, &enter);
    QVERIFY(frame->isHighlighted());
    saveShot(container.grab(), QStringLiteral("home-drag-hover"));
    QDragLeaveEvent leave;
    QApplication::sendEvent(drop, &leave);
    QVERIFY(!frame->isHighlighted());

    // Text hovering does not light it up.
    QMimeData text;
    text.setText(QStringLiteral("hello"));
    QDragEnterEvent textEnter(drop->rect().center(), Qt::CopyAction, &text, Qt::LeftButton, {});
    QApplication::sendEvent(drop, &textEnter);
    QVERIFY(!frame->isHighlighted());

    // A drop ends the highlight too.
    NotificationLog log;
    const DragOutcome outcome = dragAndDrop(drop, *files);
    QVERIFY(outcome.dropAccepted);
    QVERIFY(!frame->isHighlighted());
    QCOMPARE(log.names(), showDataOnce);
}

void TestHome::unwritableItemIsLeftOut()
{
    if (!canDropPrivileges())
        QSKIP("needs root for a read-only bind mount");
    TempTree tree;
    const QString writable = tree.writeFile(QStringLiteral("writable.txt"), "w");
    const QString source = tree.makeDir(QStringLiteral("source"));
    tree.writeFile(QStringLiteral("source/locked.txt"), "l");
    const QString view = tree.makeDir(QStringLiteral("view"));
    QString error;
    if (!LoopImage::bindReadOnly(source, view, &error))
        QSKIP(qPrintable(u"no read-only bind mount: " + error));
    struct Unmount
    {
        QString target;
        ~Unmount() { LoopImage::unmountPath(target); }
    } unmount {view};
    const QString locked = view + QStringLiteral("/locked.txt");
    QVERIFY(::access(QFile::encodeName(locked).constData(), W_OK) != 0);

    ViewController home;
    home.view();
    home.show();
    NotificationLog log;
    const auto mime = urlMime({locked, writable});
    QVERIFY(dragAndDrop(home.findChild<DropView*>(), *mime).dropAccepted);
    QCOMPARE(log.names(), cannotAddedOnce);
    QCOMPARE(pendingPaths(), QStringList {writable});
    QTRY_VERIFY(home.alert() && home.alert()->isVisible());
    home.alert()->endSheet();
}

// --- The home screen in the flow ---------------------------------------------------------------

void TestHome::cannotAddAlertThenOkShowsTheList()
{
    TempTree tree;
    const QString file = tree.writeFile(QStringLiteral("draft.odt"), "draft");
    const QString documents = tree.makeDir(QStringLiteral("Documents"));
    const QString lower = tree.makeDir(QStringLiteral("documents")); // only the exact name counts

    mainContainerVc container;
    container.resize(880, 620);
    container.view();
    container.show();
    const QPointer<ViewController> home = container.vc();
    auto* cover = home->hiddenbox();
    QVERIFY(!cover->isVisible());

    NotificationLog log;
    const auto mime = urlMime({file, documents, lower});
    QVERIFY(dragAndDrop(home->findChild<DropView*>(), *mime).dropAccepted);
    QCOMPARE(log.names(), cannotAddedOnce);

    // The alert is a sheet of the window the screen is in, over a covered screen.
    Alert* alert = nullptr;
    QTRY_VERIFY((alert = container.findChild<Alert*>()) && alert->isVisible());
    QCOMPARE(alert->parentWidget(), &container);
    QCOMPARE(alert->windowModality(), Qt::WindowModal);
    QCOMPARE(alert->messageText(), localizedText(QStringLiteral("IDS_KQ_13")));
    QCOMPARE(alert->informativeText(), localizedText(QStringLiteral("IDS_KQ_14")));
    QCOMPARE(alert->accessibleName(), alert->messageText());
    QCOMPARE(alert->buttons().size(), 1);
    QCOMPARE(alert->buttons().first()->text(), localizedText(QStringLiteral("IDS_KQ_12")));
    QVERIFY(cover->isVisible());
    QCOMPARE(cover->geometry(), home->rect());
    saveShot(windowWithSheet(&container, alert), QStringLiteral("home-cannot-add-alert"));

    QTest::mouseClick(alert->buttons().first(), Qt::LeftButton);
    QCOMPARE(
        log.names(), (QStringList {QStringLiteral("cannotadded"), QStringLiteral("showData")}));
    QVERIFY(!alert->isVisible());
    QVERIFY(!cover->isVisible());
    QVERIFY(container.listvc());
    QCOMPARE(container.currentContentView(), container.listvc());
    QCOMPARE(pendingPaths(), (QStringList {file, lower}));
}

void TestHome::restrictedFolderAloneLeavesTheUserHome()
{
    TempTree tree;
    const QString documents = tree.makeDir(QStringLiteral("Documents"));
    mainContainerVc container;
    container.resize(880, 620);
    container.view();
    container.show();
    ViewController* home = container.vc();
    NotificationLog log;

    // Once by a drop, once through the Add Files panel: each gives the one alert, and OK posts
    // nothing because nothing was accepted.
    const auto mime = urlMime({documents});
    QVERIFY(dragAndDrop(home->findChild<DropView*>(), *mime).dropAccepted);
    QCOMPARE(log.names(), cannotAddedOnce);
    QTRY_VERIFY(home->alert() && home->alert()->isVisible());
    QTest::mouseClick(home->alert()->buttons().first(), Qt::LeftButton);
    QCOMPARE(log.names(), cannotAddedOnce);
    QVERIFY(!home->alert()->isVisible());
    QVERIFY(!home->hiddenbox()->isVisible());
    QCOMPARE(container.currentContentView(), home);
    const QPointer<Alert> firstAlert = home->alert();

    QTest::mouseClick(
        home->findChild<SYFlatButton*>(QStringLiteral("btnAddFiles")), Qt::LeftButton);
    QTRY_VERIFY(home->openPanel() && home->openPanel()->isVisible());
    QVERIFY(pickInDialog(home->openPanel(), tree.path(), {QStringLiteral("Documents")}));
    QTest::mouseClick(dialogButton(home->openPanel(), QDialogButtonBox::Open), Qt::LeftButton);
    QTRY_VERIFY(home->alert() && home->alert() != firstAlert && home->alert()->isVisible());
    // The panel's refusal shows the alert directly; nothing is posted.
    QCOMPARE(log.names(), cannotAddedOnce);
    QVERIFY(home->hiddenbox()->isVisible());
    QVERIFY(SharedState::instance().arrPendingItems.isEmpty());
    QTest::mouseClick(home->alert()->buttons().first(), Qt::LeftButton);
    QCOMPARE(log.names(), cannotAddedOnce);
    QVERIFY(!home->hiddenbox()->isVisible());
    QCOMPARE(container.currentContentView(), home);
    // Each showing is a new alert; the old one is released.
    QTRY_VERIFY(!firstAlert);
}

void TestHome::addFilesPanelTakesFilesAndFolders()
{
    TempTree tree;
    const QString first = tree.writeFile(QStringLiteral("first.txt"), "1");
    const QString second = tree.writeFile(QStringLiteral("second.txt"), "2");
    const QString folder = tree.makeDir(QStringLiteral("folder"));
    tree.writeFile(QStringLiteral("folder/inside.txt"), "3");
    tree.writeFile(QStringLiteral("not chosen.txt"), "4");

    mainContainerVc container;
    container.resize(880, 620);
    container.view();
    container.show();
    ViewController* home = container.vc();
    // Left over from an earlier add: the panel starts a new one.
    SharedState::instance().arrPendingItems = {FileDirectory::fromUrl(QUrl::fromLocalFile(first))};
    auto* button = home->findChild<SYFlatButton*>(QStringLiteral("btnAddFiles"));
    QVERIFY(button->isEnabled());
    QCOMPARE(button->cursor().shape(), Qt::PointingHandCursor);
    NotificationLog log;

    QTest::mouseClick(button, Qt::LeftButton);
    QTRY_VERIFY(home->openPanel() && home->openPanel()->isVisible());
    QPointer<OpenPanel> panel = home->openPanel();
    QCOMPARE(panel->parentWidget(), &container);
    QCOMPARE(panel->windowModality(), Qt::WindowModal);
    QVERIFY(home->hiddenbox()->isVisible());
    QVERIFY(SharedState::instance().arrPendingItems.isEmpty());

    QVERIFY(pickInDialog(panel, tree.path(),
        {QStringLiteral("first.txt"), QStringLiteral("second.txt"), QStringLiteral("folder")}));
    saveShot(windowWithSheet(&container, panel), QStringLiteral("home-add-files-panel"));
    QTest::mouseClick(dialogButton(panel, QDialogButtonBox::Open), Qt::LeftButton);
    QCOMPARE(log.names(), showDataOnce);
    QCOMPARE(sorted(pendingPaths()), sorted({first, second, folder}));
    QCOMPARE(container.currentContentView(), container.listvc());
    QTRY_VERIFY(!panel); // it deletes itself once answered
}

void TestHome::cancellingThePanelOnlyHidesTheCover()
{
    TempTree tree;
    tree.writeFile(QStringLiteral("a.txt"), "a");
    mainContainerVc container;
    container.resize(880, 620);
    container.view();
    container.show();
    ViewController* home = container.vc();
    NotificationLog log;

    QTest::mouseClick(
        home->findChild<SYFlatButton*>(QStringLiteral("btnAddFiles")), Qt::LeftButton);
    QTRY_VERIFY(home->openPanel() && home->openPanel()->isVisible());
    QPointer<OpenPanel> panel = home->openPanel();
    QVERIFY(home->hiddenbox()->isVisible());
    QVERIFY(pickInDialog(panel, tree.path(), {QStringLiteral("a.txt")}));
    QTest::mouseClick(dialogButton(panel, QDialogButtonBox::Cancel), Qt::LeftButton);

    QVERIFY(!home->hiddenbox()->isVisible());
    QCOMPARE(log.names(), QStringList());
    QVERIFY(SharedState::instance().arrPendingItems.isEmpty());
    QCOMPARE(container.currentContentView(), home);
    QTRY_VERIFY(!panel);
}

void TestHome::screenLetsGoOfItsObserversAlertAndPanel()
{
    auto& center = NotificationCenter::defaultCenter();
    const int observers = center.observerCount();
    QWidget window;
    window.resize(880, 620);
    auto* home = new ViewController(&window);
    home->view();
    QCOMPARE(center.observerCount(), observers + 1);
    window.show();

    center.post(QStringLiteral("cannotadded"));
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
    QCOMPARE(center.observerCount(), observers);
    QVERIFY(!alert);
    QVERIFY(!panel);

    // A screen that is not on show does not answer "cannotadded".
    ViewController hidden;
    hidden.view();
    center.post(QStringLiteral("cannotadded"));
    QVERIFY(!hidden.alert());
}

void TestHome::layoutFitsFromSmallestToLargeWindow_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("smallest 720x520") << QSize(720, 520);
    QTest::newRow("default 880x620") << QSize(880, 620);
    QTest::newRow("large 1280x900") << QSize(1280, 900);
}

void TestHome::layoutFitsFromSmallestToLargeWindow()
{
    QFETCH(QSize, size);
    mainContainerVc container;
    container.resize(size);
    container.view();
    container.show();
    QVERIFY(QTest::qWaitForWindowExposed(&container));
    ViewController* home = container.vc();
    auto* frame = home->findChild<DashedView*>();
    QVERIFY(frame);
    QVERIFY(frame->width() > size.width() / 2 && frame->height() > size.height() / 2);

    // Everything in the frame lies inside its stroke, nothing overlaps, no text is cut.
    const QRect inside = frame->rect().adjusted(7, 7, -7, -7);
    QList<QWidget*> parts;
    for (const char* name :
        {"imgviewAddfiles", "lbldragdrop", "lbldragdropDescription", "btnAddFiles"}) {
        auto* part = frame->findChild<QWidget*>(QString::fromLatin1(name));
        QVERIFY2(part && part->isVisible(), name);
        QVERIFY2(inside.contains(part->geometry()), name);
        for (QWidget* other : std::as_const(parts))
            QVERIFY2(!other->geometry().intersects(part->geometry()), name);
        if (auto* label = qobject_cast<QLabel*>(part); label && label->wordWrap())
            QVERIFY2(label->height() >= label->heightForWidth(label->width()), name);
        parts.append(part);
    }
    auto* picture = frame->findChild<QLabel*>(QStringLiteral("imgviewAddfiles"));
    QVERIFY(!picture->pixmap().isNull());
    const QSizeF pictureSize = picture->pixmap().deviceIndependentSize();
    QVERIFY(picture->width() >= pictureSize.width() && picture->height() >= pictureSize.height());
    auto* appName = home->findChild<QLabel*>(QStringLiteral("lblappname"));
    QCOMPARE(appName->text(), localizedText(QStringLiteral("IDS_KQ_6")));
    QVERIFY(!appName->geometry().intersects(frame->geometry()));
    saveShot(
        container.grab(), QStringLiteral("home-idle-%1x%2").arg(size.width()).arg(size.height()));
}

// --- Alert -------------------------------------------------------------------------------------

void TestHome::alertButtonsRunRightToLeftFirstIsDefault()
{
    QWidget window;
    window.resize(600, 400);
    window.show();
    auto* alert = new Alert(&window);
    alert->setMessageText(QStringLiteral("Erase?"));
    QPushButton* first = alert->addButtonWithTitle(QStringLiteral("Cancel"));
    QPushButton* second = alert->addButtonWithTitle(QStringLiteral("Erase"));
    QCOMPARE(alert->buttons(), (QList<QPushButton*> {first, second}));
    QVERIFY(first->isDefault());
    QVERIFY(!second->isDefault());
    alert->beginSheetModal(&window);
    QTRY_VERIFY(alert->isVisible());
    // The first button is the rightmost, and the row ends at the right.
    QVERIFY(second->geometry().right() < first->geometry().left());
    QVERIFY(first->geometry().right() > alert->width() * 3 / 4);

    QSignalSpy firstClicks(first, &QPushButton::clicked);
    QSignalSpy secondClicks(second, &QPushButton::clicked);
    QTest::keyClick(alert, Qt::Key_Return);
    QCOMPARE(firstClicks.count(), 1);
    alert->setDefaultButton(second);
    QVERIFY(!first->isDefault());
    QTest::keyClick(alert, Qt::Key_Return);
    QCOMPARE(secondClicks.count(), 1);
    QCOMPARE(firstClicks.count(), 1);
    // A button only runs its action: it does not close the alert by itself.
    QVERIFY(alert->isVisible());
}

void TestHome::alertAccessoryViewGoesBackToItsOwner()
{
    QWidget window;
    window.resize(600, 400);
    window.show();
    QWidget owner;
    QPointer<QLineEdit> field = new QLineEdit(&owner);

    auto* first = new Alert(&window);
    first->setMessageText(QStringLiteral("Type the word"));
    first->addButtonWithTitle(QStringLiteral("OK"));
    first->setAccessoryView(field);
    QCOMPARE(field->parentWidget(), first);
    first->beginSheetModal(&window);
    QTRY_VERIFY(field->isVisible());
    QCOMPARE(first->focusWidget(), field.data());
    QTest::keyClicks(field, QStringLiteral("typed"));
    QCOMPARE(field->text(), QStringLiteral("typed"));
    first->endSheet();

    // The next alert takes the same field while the first still exists; the first's end must
    // not pull it out of the second.
    auto* second = new Alert(&window);
    second->setAccessoryView(field);
    delete first;
    QVERIFY(field);
    QCOMPARE(field->parentWidget(), second);
    delete second;
    QVERIFY(field);
    QCOMPARE(field->parentWidget(), &owner);
    QVERIFY(field->isHidden());

    // A view nobody owned goes with the alert.
    QPointer<QLineEdit> orphan = new QLineEdit;
    auto* third = new Alert(&window);
    third->setAccessoryView(orphan);
    delete third;
    QVERIFY(!orphan);
}

void TestHome::alertIsAWindowModalSheetUntilEnded()
{
    QWidget window;
    window.setGeometry(100, 100, 800, 600);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QPointer<Alert> alert = new Alert;
    alert->setMessageText(QStringLiteral("Some items could not be added"));
    alert->setInformativeText(
        QStringLiteral("A long explanation that wraps over more than one line "
                       "of the alert instead of making it very wide."));
    alert->addButtonWithTitle(QStringLiteral("OK"));
    alert->beginSheetModal(&window);
    QTRY_VERIFY(alert->isVisible());
    QCOMPARE(alert->parentWidget(), &window);
    QVERIFY(alert->isWindow());
    QCOMPARE(alert->windowModality(), Qt::WindowModal);
    QCOMPARE(QApplication::activeModalWidget(), alert.data());
    QVERIFY(alert->width() < window.width());
    QVERIFY(std::abs(alert->geometry().center().x() - window.geometry().center().x()) <= 2);
    auto* icon = alert->findChild<QLabel*>(QStringLiteral("alertIcon"));
    QVERIFY(icon && !icon->pixmap().isNull());

    alert->endSheet();
    QVERIFY(!alert->isVisible());
    QVERIFY(!QApplication::activeModalWidget());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(alert); // ending does not delete: its owner does
    delete alert.data();
}

void TestHome::alertIgnoresEscapeWithoutAnEscapeButton()
{
    QWidget window;
    window.resize(600, 400);
    window.show();
    auto* alert = new Alert(&window);
    alert->setMessageText(QStringLiteral("Erase?"));
    QPushButton* ok = alert->addButtonWithTitle(QStringLiteral("OK"));
    QPushButton* cancel = alert->addButtonWithTitle(QStringLiteral("Cancel"));
    connect(cancel, &QPushButton::clicked, alert, &Alert::endSheet);
    QSignalSpy okClicks(ok, &QPushButton::clicked);
    QSignalSpy cancelClicks(cancel, &QPushButton::clicked);
    alert->beginSheetModal(&window);
    QTRY_VERIFY(alert->isVisible());

    QTest::keyClick(alert, Qt::Key_Escape);
    QVERIFY(!alert->close()); // the window's close button does no more
    QVERIFY(alert->isVisible());
    QCOMPARE(okClicks.count() + cancelClicks.count(), 0);

    alert->setEscapeButton(cancel);
    QTest::keyClick(alert, Qt::Key_Escape);
    QCOMPARE(cancelClicks.count(), 1);
    QCOMPARE(okClicks.count(), 0);
    QVERIFY(!alert->isVisible());
}

// --- OpenPanel ---------------------------------------------------------------------------------

void TestHome::openPanelChoosesFilesAndFoldersTogether()
{
    TempTree tree;
    const QString file = tree.writeFile(QStringLiteral("file.txt"), "f");
    const QString folder = tree.makeDir(QStringLiteral("folder"));
    tree.writeFile(QStringLiteral("folder/inside.txt"), "i");
    const QString link = tree.makeSymlink(QStringLiteral("link to folder"), folder);
    QWidget window;
    window.resize(900, 640);
    window.show();

    int calls = 0;
    bool answeredOk = false;
    QList<QUrl> chosen;
    QPointer<OpenPanel> panel
        = OpenPanel::beginSheet(&window, [&](bool ok, const QList<QUrl>& urls) {
              ++calls;
              answeredOk = ok;
              chosen = urls;
          });
    QTRY_VERIFY(panel->isVisible());
    QCOMPARE(panel->windowModality(), Qt::WindowModal);
    QVERIFY(panel->testOption(QFileDialog::DontUseNativeDialog));
    QVERIFY(pickInDialog(panel->dialog(), tree.path(),
        {QStringLiteral("file.txt"), QStringLiteral("folder"), QStringLiteral("link to folder")}));
    // The name field lists the chosen folders too, not only the files.
    const QString named = panel->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
    QVERIFY2(named.contains(u"\"folder\"") && named.contains(u"\"link to folder\"")
            && named.contains(u"\"file.txt\""),
        qPrintable(named));
    QTest::mouseClick(dialogButton(panel->dialog(), QDialogButtonBox::Open), Qt::LeftButton);

    QCOMPARE(calls, 1);
    QVERIFY(answeredOk);
    QStringList paths;
    for (const QUrl& url : std::as_const(chosen))
        paths.append(url.toLocalFile());
    // The link comes as the link, not as the folder it points at.
    QCOMPARE(sorted(paths), sorted({file, folder, link}));
    QTRY_VERIFY(!panel);
    QCOMPARE(calls, 1);
}

void TestHome::openPanelStillOpensFoldersAndCancels()
{
    TempTree tree;
    const QString folder = tree.makeDir(QStringLiteral("folder"));
    const QString deeper = tree.makeDir(QStringLiteral("folder/deeper"));
    QWidget window;
    window.resize(900, 640);
    window.show();
    int calls = 0;
    bool answeredOk = true;
    QList<QUrl> chosen {QUrl(QStringLiteral("file:///placeholder"))};
    QPointer<OpenPanel> panel
        = OpenPanel::beginSheet(&window, [&](bool ok, const QList<QUrl>& urls) {
              ++calls;
              answeredOk = ok;
              chosen = urls;
          });
    QTRY_VERIFY(panel->isVisible());
    QFileDialog* dialog = panel->dialog();

    // Double-clicking a folder opens it.
    QVERIFY(pickInDialog(dialog, tree.path(), {QStringLiteral("folder")}));
    QAbstractItemView* view = visibleView(dialog);
    const QModelIndex index = rowNamed(view, QStringLiteral("folder"));
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
    QTRY_COMPARE(dialog->directory().absolutePath(), folder);
    QCOMPARE(calls, 0);

    // A folder's path typed with nothing selected opens it as well.
    view->selectionModel()->clearSelection();
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QVERIFY(name);
    name->setFocus();
    name->clear();
    QTest::keyClicks(name, deeper);
    view->selectionModel()->clearSelection();
    QTest::keyClick(name, Qt::Key_Return);
    QTRY_COMPARE(dialog->directory().absolutePath(), deeper);
    QCOMPARE(calls, 0);
    QVERIFY(panel->isVisible());

    QTest::mouseClick(dialogButton(dialog, QDialogButtonBox::Cancel), Qt::LeftButton);
    QCOMPARE(calls, 1);
    QVERIFY(!answeredOk);
    QVERIFY(chosen.isEmpty());
    QTRY_VERIFY(!panel);
}

// --- DashedView --------------------------------------------------------------------------------

void TestHome::dashedFrameKeepsItsDashes_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<qreal>("ratio");
    QTest::newRow("small") << QSize(300, 200) << qreal(1);
    QTest::newRow("large") << QSize(900, 700) << qreal(1);
    QTest::newRow("high dpi") << QSize(400, 300) << qreal(2);
}

void TestHome::dashedFrameKeepsItsDashes()
{
    QFETCH(QSize, size);
    QFETCH(qreal, ratio);
    DashedView view;
    view.resize(size);
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::white);
    view.render(&pixmap, {}, {}, QWidget::DrawChildren);
    const QImage image = pixmap.toImage();
    const QColor grey = DashedView::strokeColor();
    QCOMPARE(grey, QColor(130, 130, 130));

    const int dash = qRound(DashedView::dashLength * ratio);
    const int gap = qRound(DashedView::gapLength * ratio);
    const int width = qRound(DashedView::lineWidth * ratio);
    const int middle = width / 2; // the middle row of the top stroke

    // Runs of stroke along the top edge, away from the corners.
    QList<QPair<int, int>> runs; // start, length
    int start = -1;
    for (int x = 2 * width; x < image.width() - 2 * width; ++x) {
        const bool on = isStroke(image.pixel(x, middle), grey);
        if (on && start < 0)
            start = x;
        if (!on && start >= 0) {
            runs.append({start, x - start});
            start = -1;
        }
    }
    QVERIFY(runs.size() >= 4);
    runs.removeFirst(); // may be cut by the range's start
    for (int i = 0; i < runs.size(); ++i) {
        QCOMPARE(runs.at(i).second, dash);
        if (i > 0)
            QCOMPARE(runs.at(i).first - runs.at(i - 1).first, dash + gap);
        // Across the stroke: the whole width is drawn, inside the view, and no more.
        const int x = runs.at(i).first + dash / 2;
        for (int y = 0; y < width; ++y)
            QVERIFY2(isStroke(image.pixel(x, y), grey), qPrintable(QStringLiteral("y %1").arg(y)));
        QCOMPARE(image.pixel(x, width), QColor(Qt::white).rgb());
        QCOMPARE(image.pixel(x + dash + gap / 2 - dash / 2, middle), QColor(Qt::white).rgb());
    }
    // The same along the left edge, going down.
    int leftStroke = 0;
    for (int y = 2 * width; y < image.height() - 2 * width; ++y)
        leftStroke += isStroke(image.pixel(middle, y), grey) ? 1 : 0;
    const int leftSpan = image.height() - 4 * width;
    QVERIFY(std::abs(leftStroke - leftSpan / 2) <= dash);
    // Every corner is drawn, square: its whole width-by-width square is stroke.
    const int w = image.width() - 1;
    const int h = image.height() - 1;
    for (const QPoint corner : {QPoint(0, 0), QPoint(w, 0), QPoint(0, h), QPoint(w, h)}) {
        const QPoint inner(corner.x() == 0 ? width - 1 : w - width + 1,
            corner.y() == 0 ? width - 1 : h - width + 1);
        QVERIFY(isStroke(image.pixel(corner), grey));
        QVERIFY(isStroke(image.pixel(inner), grey));
    }
    // The inside is left alone.
    QCOMPARE(image.pixel(image.width() / 2, image.height() / 2), QColor(Qt::white).rgb());
}

void TestHome::dashedFrameHighlightTakesTheAccent()
{
    DashedView view;
    view.resize(300, 200);
    auto paint = [&view] {
        QPixmap pixmap(view.size());
        pixmap.fill(Qt::white);
        view.render(&pixmap, {}, {}, QWidget::DrawChildren);
        return pixmap.toImage();
    };
    const QImage plain = paint();
    view.setHighlighted(true);
    const QImage lit = paint();
    // x 35 is inside the second dash of the top edge (dashes start at 0, 26, 52, ...).
    QVERIFY(isStroke(plain.pixel(35, 3), DashedView::strokeColor()));
    QVERIFY(isStroke(lit.pixel(35, 3), ScreenStyle::accentColor()));
    const QColor tint = lit.pixelColor(150, 100);
    QVERIFY(tint != QColor(Qt::white));
    QVERIFY(tint.blue() > tint.green()); // a light shade of the accent
    view.setHighlighted(false);
    QCOMPARE(paint(), plain);
}

// --- Open with Corvane --------------------------------------------------------------------------

void TestHome::handedOverPathsAreTakenLikeADrop()
{
    TempTree tree;
    const QString folder = tree.makeDir(QStringLiteral("to erase"));
    tree.writeFile(QStringLiteral("to erase/a.txt"), "a");
    const QString documents = tree.makeDir(QStringLiteral("Documents"));
    const QString later = tree.writeFile(QStringLiteral("later.txt"), "l");
    AppDelegate delegate;
    NotificationLog log;

    QWidget* window = mainWindowController::shared().window();
    mainWindowController::shared().windowShouldClose();
    QVERIFY(!window->isVisible());
    delegate.handleArguments({});
    QVERIFY(window->isVisible()); // a start without paths only brings the window forward
    QCOMPARE(log.names(), QStringList());

    mainContainerVc* content = mainWindowController::shared().contentViewController();
    delegate.handleArguments({folder, documents});
    QCOMPARE(log.names(), cannotAddedOnce);
    QTRY_VERIFY(content->vc()->alert() && content->vc()->alert()->isVisible());
    QTest::mouseClick(content->vc()->alert()->buttons().first(), Qt::LeftButton);
    QCOMPARE(
        log.names(), (QStringList {QStringLiteral("cannotadded"), QStringLiteral("showData")}));
    QCOMPARE(pendingPaths(), QStringList {folder});
    QCOMPARE(content->currentContentView(), content->listvc());

    // Away from the home screen nothing is replaced behind the user's back.
    delegate.handleArguments({later});
    QCOMPARE(log.names().size(), 2);
    QCOMPARE(pendingPaths(), QStringList {folder});

    NotificationCenter::defaultCenter().post(QStringLiteral("GotoHome"));
    delegate.handleArguments({later});
    QCOMPARE(log.names().size(), 3);
    QCOMPARE(log.names().last(), QStringLiteral("showData"));
    QCOMPARE(pendingPaths(), QStringList {later});
    mainWindowController::shared().windowShouldClose();
}

QTEST_MAIN(TestHome)
#include "tst_home.moc"
