// SPDX-License-Identifier: GPL-3.0-or-later
#include "Alert.h"
#include "DropView.h"
#include "ErasureTexts.h"
#include "FileListModel.h"
#include "FreeSpaceWipeDialog.h"
#include "LanguageTable.h"
#include "ListBuilder.h"
#include "LoopImage.h"
#include "NotErasedDialog.h"
#include "NotificationCenter.h"
#include "PathText.h"
#include "PromotedApplications.h"
#include "SYFlatButton.h"
#include "SharedState.h"
#include "SizeText.h"
#include "TempTree.h"
#include "UserDefaults.h"
#include "ViewController.h"
#include "ZPHShred.h"
#include "mainContainerVc.h"
#include "mainWindowController.h"
#include "outlinviewClass.h"
#include "shredderFilesvc.h"
#include "shredderResultVC.h"
#include "shreddingFilesVC.h"
#include "tblcell_shredderFiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSemaphore>
#include <QTest>
#include <QTreeWidget>
#include <atomic>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

// The application's one main window, back on a fresh home screen with empty lists. Alerts are
// sheets on this window, so the tests drive the same window the application shows.
mainContainerVc& mainWindowContent()
{
    mainWindowController& controller = mainWindowController::shared();
    controller.window()->resize(880, 620);
    controller.showWindow();
    SharedState::instance().resetLists();
    NotificationCenter::defaultCenter().post(u"GotoHome"_s);
    return *controller.contentViewController();
}

// `paths` taken as a drop takes them (the drop event itself is tst_home's business); waits for
// the list's scan.
shredderFilesvc* listPaths(mainContainerVc& container, const QStringList& paths)
{
    // A list screen of an earlier cycle stays until the next one takes its slot.
    const QPointer<shredderFilesvc> earlier = container.listvc();
    ListBuilder::acceptDroppedPaths(paths);
    if (!QTest::qWaitFor([&] {
            return container.listvc() && container.listvc() != earlier
                && !SharedState::instance().isAddingFiles;
        }))
        return nullptr;
    return container.listvc();
}

QString text(const char* key)
{
    return localizedText(QString::fromLatin1(key));
}

void clickButton(QWidget* screen, const char* name)
{
    QTest::mouseClick(screen->findChild<SYFlatButton*>(QString::fromLatin1(name)), Qt::LeftButton);
}

// Shred Now, up to the confirmation alert.
bool openConfirmation(shredderFilesvc* list)
{
    clickButton(list, "btnShredStart");
    return QTest::qWaitFor(
        [list] { return list->confirmationAlert() && list->confirmationAlert()->isVisible(); });
}

// Waits for the result screen that replaces `earlier`: the run's own, not a former one.
bool waitForResult(mainContainerVc& container, const QPointer<shredderResultVC>& earlier)
{
    return QTest::qWaitFor(
        [&] { return container.resultvc() && container.resultvc() != earlier; }, 30000);
}

// Types the confirmation word, confirms, and waits for the run's result screen.
bool confirm(mainContainerVc& container, shredderFilesvc* list)
{
    const QPointer<shredderResultVC> earlier = container.resultvc();
    QTest::keyClicks(list->confirmationField(), text("IDS_KQ_28"));
    QTest::mouseClick(list->confirmationAlert()->buttons().at(1), Qt::LeftButton);
    return waitForResult(container, earlier);
}

void forEachItem(const QList<ItemRef>& items, const std::function<void(const ItemRef&)>& fn)
{
    for (const ItemRef& item : items) {
        fn(item);
        forEachItem(item->arrpath, fn);
    }
}

QString labelText(QWidget* screen, const char* name)
{
    auto* label = screen->findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : u"<no label %1>"_s.arg(QString::fromLatin1(name));
}

// Why `path` was not erased; nothing when it is not on the list.
std::optional<QString> notErasedReason(const QString& path)
{
    for (const NotErasedItem& item : SharedState::instance().notErasedItems) {
        if (item.path == path)
            return item.reason;
    }
    return std::nullopt;
}

} // namespace

/// The whole job in the window, driven as a user would: drop, review, check, method, confirm,
/// progress, result, home.
class TestCycle : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void dropCheckConfirmShredAndGoHome();
    void shredStartIsGuardedAndDeleteOnlyUnlists();
    void namedFileNotItsLookAlikeIsErased_data();
    void namedFileNotItsLookAlikeIsErased();
    void storageWarningsAreToldBeforeAndAfter();
    // Runs started from a checked tree, without the list screen.
    void notErasedItemsAreReportedNotHidden();
    void changedOrMountedItemsAreNeverErased();
    void checkedFolderThatStaysIsReported();
    void countsWaitForTheDisk();
    void fileListedTwiceIsErasedOnce_data();
    void fileListedTwiceIsErasedOnce();
    void resultScreenShowsTheRecommendation();

private:
    /// Clicks the check box of the row showing `path` in the list screen's view.
    void clickCheckBox(shredderFilesvc* list, const QString& path);
    /// Scans `paths` into the list tree as the list screen would, checking every row.
    void buildCheckedTree(const QStringList& paths);
    /// Starts a shred in `container` and waits for its own result screen.
    void runShred(mainContainerVc& container);

    TempTree m_config;
    TempTree m_applications;
    std::unique_ptr<PromotedApplications> m_promoted;
};

void TestCycle::initTestCase()
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    setLanguageStrings(loadPlistDictionary(u"English"_s));
    UserDefaults::standardUserDefaults().setInteger(u"Algomethod"_s, 1);
    m_promoted = std::make_unique<PromotedApplications>(m_applications.path());
    shredderResultVC::setPromotedApplications(m_promoted.get());
}

void TestCycle::clickCheckBox(shredderFilesvc* list, const QString& path)
{
    auto* view = list->findChild<outlinviewClass*>(u"outlineview"_s);
    QVERIFY(view);
    view->expandAll();
    const QModelIndex found = view->model()
                                  ->match(view->model()->index(0, 0), FileListModel::PathRole, path,
                                      1, Qt::MatchExactly | Qt::MatchRecursive)
                                  .value(0);
    QVERIFY2(found.isValid(), qPrintable(path));
    view->scrollTo(found);
    QStyleOptionViewItem option;
    option.initFrom(view->viewport());
    option.rect = view->visualRect(found);
    const QRect box = list->rowDelegate()->checkBoxRect(option);
    QVERIFY(!box.isEmpty());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, box.center());
}

void TestCycle::buildCheckedTree(const QStringList& paths)
{
    SharedState& state = SharedState::instance();
    state.arrPendingItems.clear();
    for (const QString& path : paths)
        state.arrPendingItems.append(FileDirectory::fromUrl(QUrl::fromLocalFile(path)));
    bool done = false;
    auto scan = ListBuilder::startScan(
        0, [] {}, [&done](qint64) { done = true; });
    QTRY_VERIFY(done);
    qint64 files = 0;
    forEachItem(state.arrFileList, [&files](const ItemRef& item) {
        item->state = true;
        if (item->data.file && !item->data.file->isFolder)
            ++files;
    });
    state.totalSelectedFiles = files;
}

void TestCycle::runShred(mainContainerVc& container)
{
    const QPointer<shredderResultVC> earlier = container.resultvc();
    NotificationCenter::defaultCenter().post(u"ShredData"_s);
    QVERIFY(container.shreeddingvc());
    QVERIFY(waitForResult(container, earlier));
}

void TestCycle::dropCheckConfirmShredAndGoHome()
{
    TempTree outside;
    const QString outsideFile = outside.writeFile(u"outside.txt"_s, "outside the selection");
    TempTree tree;
    const QString top = tree.makeDir(u"Project"_s);
    const QStringList erased {
        tree.writeFile(u"Project/report.pdf"_s, QByteArray(9000, 'r')),
        tree.writeFile(u"Project/.hidden"_s, "hidden"),
        tree.writeFile(u"Project/src/deep/code.cpp"_s, QByteArray(5000, 'c')),
    };
    const QString kept = tree.writeFile(u"Project/src/keep.txt"_s, "keep me");
    tree.makeDir(u"Project/empty"_s);
    const QString link = tree.makeSymlink(u"Project/link-to-outside"_s, outsideFile);
    double erasedSize = 0;
    for (const QString& file : erased)
        erasedSize += TempTree::allocatedSize(file);

    mainContainerVc& container = mainWindowContent();

    shredderFilesvc* list = listPaths(container, {top});
    QVERIFY(list);
    QCOMPARE(SharedState::instance().arrFileList.size(), 1);

    // Check the whole folder, then leave one file out.
    clickCheckBox(list, top);
    QCOMPARE(SharedState::instance().totalSelectedFiles.load(), 5); // 4 files and the link
    clickCheckBox(list, kept);
    QCOMPARE(SharedState::instance().totalSelectedFiles.load(), 4);
    QCOMPARE(labelText(list, "lblselectedCount"), u"4/5 " + text("IDS_KQ_101"));

    // The third method, picked with the keyboard.
    auto* method = list->findChild<QComboBox*>(u"btnSelectmethod"_s);
    method->setFocus();
    QTest::keyClick(method, Qt::Key_Down);
    QTest::keyClick(method, Qt::Key_Down);
    QCOMPARE(method->currentIndex(), 2);
    QCOMPARE(UserDefaults::standardUserDefaults().integerForKey(u"Algomethod"_s),
        std::optional<qint64>(3));

    QVERIFY(openConfirmation(list));
    // Nothing here is on storage that keeps old copies: no word about it. The files that will
    // be overwritten (the link is planned as one), their size and the method are said.
    QVERIFY(list->findChild<QLabel*>(u"lblStorageWarning"_s)->isHidden());
    const QString word = text("IDS_KQ_28");
    const double listedBytes = 9000 + 6 + 5000 + double(QFile::encodeName(outsideFile).size());
    QCOMPARE(list->confirmationAlert()->informativeText(),
        localizedFormat(u"IDS_KQ_27"_s, word) + u"\n\n"
            + localizedFormat(u"IDS_KQ_538"_s, {u"4"_s, sizeText(listedBytes), text("IDS_KQ_19")}));
    QPushButton* shred = list->confirmationAlert()->buttons().at(1);
    QLineEdit* field = list->confirmationField();
    QVERIFY(field);
    QTest::keyClicks(field, word.toLower());
    QVERIFY(!shred->isEnabled());
    QVERIFY(!list->wordMismatchLine()->isVisible());
    QTest::keyClick(field, Qt::Key_Return); // the wrong word confirms nothing, and says so
    QVERIFY(container.shreeddingvc() == nullptr);
    QVERIFY(list->wordMismatchLine()->isVisible());
    field->clear();
    QVERIFY(!list->wordMismatchLine()->isVisible());
    QTest::keyClicks(field, word);
    QVERIFY(shred->isEnabled());
    QTest::mouseClick(shred, Qt::LeftButton);
    const QPointer<shreddingFilesVC> progress = container.shreeddingvc();
    QVERIFY(progress);
    QCOMPARE(progress->methodindex(), 3);

    QTRY_VERIFY_WITH_TIMEOUT(container.resultvc() != nullptr, 30000);
    // The progress screen showed the totals before it was replaced.
    QVERIFY(progress);
    QCOMPARE(labelText(progress, "lblcountDeleted"), text("IDS_KQ_109") + u" 4 / 4");
    auto* bar = progress->findChild<QProgressBar*>();
    // A checked link is planned like a file but only removed: the bar still ends full.
    QCOMPARE(bar->value(), bar->maximum());
    for (const QString& file : erased)
        QVERIFY2(!TempTree::exists(file), qPrintable(file));
    QVERIFY(!TempTree::exists(link));
    QVERIFY(!TempTree::exists(tree.path(u"Project/empty"_s)));
    QCOMPARE(TempTree::readFile(kept), QByteArray("keep me"));
    QCOMPARE(TempTree::readFile(outsideFile), QByteArray("outside the selection"));
    shredderResultVC* result = container.resultvc();
    QCOMPARE(labelText(result, "lblTotalsize"), sizeText(erasedSize));
    QCOMPARE(labelText(result, "lblcleanupCompleted"), text("IDS_KQ_37"));
    // What was erased, how, unverified, and how long it took.
    const QStringList summary = labelText(result, "lblRunSummary").split(u" · "_s);
    QCOMPARE(summary.mid(0, 3),
        (QStringList {
            localizedFormat(u"IDS_KQ_582"_s, u"3"_s), text("IDS_KQ_19"), text("IDS_KQ_587")}));
    QVERIFY2(summary.size() == 4 && summary.last().endsWith(u" s"), qPrintable(summary.join(u'|')));
    QVERIFY(result->findChild<QWidget*>(u"notErasedBox"_s)->isHidden());
    QVERIFY(labelText(result, "lblAvailableSize").endsWith(u" free on your system disk"));

    clickButton(result, "btnHome");
    QTRY_COMPARE(container.currentContentView(), static_cast<QWidget*>(container.vc()));
    QVERIFY(SharedState::instance().arrFileList.isEmpty());
    QVERIFY(SharedState::instance().arrPendingItems.isEmpty());
}

void TestCycle::namedFileNotItsLookAlikeIsErased_data()
{
    QTest::addColumn<bool>("dropped"); // else handed over as a command line's argument
    QTest::newRow("from arguments") << false;
    QTest::newRow("from a drop") << true;
}

void TestCycle::namedFileNotItsLookAlikeIsErased()
{
    QFETCH(bool, dropped);
    // "\xff\xfe" decoded the usual way is U+FFFD U+FFFD: the name of the other file.
    TempTree tree;
    const QString lookAlike = tree.writeFile(u"\uFFFD\uFFFD"_s, "look-alike");
    const QByteArray named = PathText::toNative(tree.path()) + "/\xff\xfe";
    QVERIFY(TempTree::writeNative(named, "named secret"));

    QMimeData drop;
    drop.setData(u"text/uri-list"_s, "file://" + named.toPercentEncoding("/") + "\r\n");
    const QString given
        = dropped ? DropView::droppedPaths(&drop).value(0) : PathText::fromNative(named);
    mainContainerVc& container = mainWindowContent();
    shredderFilesvc* list = listPaths(container, {given});
    QVERIFY(list);
    QCOMPARE(SharedState::instance().arrFileList.size(), 1);
    const QModelIndex row
        = list->findChild<outlinviewClass*>(u"outlineview"_s)->model()->index(0, 0);
    QCOMPARE(row.data(Qt::DisplayRole).toString(),
        u"''$'\\377\\376'"_s); // as the command line quotes it
    clickCheckBox(list, PathText::fromNative(named));
    QVERIFY(openConfirmation(list));
    QVERIFY(confirm(container, list));

    QVERIFY(!TempTree::existsNative(named));
    QCOMPARE(TempTree::readFile(lookAlike), QByteArray("look-alike"));
    QCOMPARE(SharedState::instance().deletedFilesCount.load(), 1);
    QCOMPARE(labelText(container.resultvc(), "lblcleanupCompleted"), text("IDS_KQ_37"));
}

void TestCycle::storageWarningsAreToldBeforeAndAfter()
{
    if (const QString why = LoopImage::unavailable(u"btrfs"_s); !why.isEmpty())
        QSKIP(qPrintable(why));
    LoopImage image(256, u"btrfs"_s);
    QVERIFY2(image.isMounted(), qPrintable(image.error()));
    TempTree tree(image.mountPoint());
    const QString secret = tree.writeFile(u"Secrets/plans.txt"_s, QByteArray(20000, 'p'));
    const QString copyOnWrite = ErasureTexts::reasonText(StorageReason::CopyOnWrite);

    mainContainerVc& container = mainWindowContent();
    shredderFilesvc* list = listPaths(container, {tree.path(u"Secrets"_s)});
    QVERIFY(list);
    auto* view = list->findChild<outlinviewClass*>(u"outlineview"_s);
    const QRect listBefore = QRect(view->mapTo(list, QPoint()), view->size());
    clickCheckBox(list, secret);
    // Before: one short line above the list, which moves nothing the pointer is on; a mark and
    // a tooltip on the row, a line in the alert.
    auto* warning = list->findChild<QLabel*>(u"lblStorageWarning"_s);
    QVERIFY(warning->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCOMPARE(QRect(view->mapTo(list, QPoint()), view->size()), listBefore);
    QVERIFY2(
        warning->text().contains(text("IDS_KQ_245").toHtmlEscaped()), qPrintable(warning->text()));
    QVERIFY(!warning->text().contains(copyOnWrite.toHtmlEscaped()));
    const QModelIndex row = list->model()->index(0, 0, list->model()->index(0, 0));
    QVERIFY(row.data(Qt::ToolTipRole).toString().endsWith(copyOnWrite));
    auto* verify = list->findChild<QCheckBox*>(u"chkVerify"_s);
    verify->click();
    QCOMPARE(UserDefaults::standardUserDefaults().integerForKey(u"verifyErase"_s),
        std::optional<qint64>(1));
    QVERIFY(openConfirmation(list));
    QVERIFY(list->confirmationAlert()->informativeText().endsWith(
        localizedFormat(u"IDS_KQ_247"_s, u"1"_s)));
    // After: removed, but never a clean success.
    QVERIFY(confirm(container, list));
    QVERIFY(!TempTree::exists(secret));
    shredderResultVC* result = container.resultvc();
    QCOMPARE(labelText(result, "lblcleanupCompleted"), text("IDS_KQ_249"));
    QCOMPARE(labelText(result, "lblWarned"), copyOnWrite);
    // Under "old contents may remain" the size is no headline; the summary says it, and that
    // the file was read back.
    QVERIFY(result->findChild<QLabel*>(u"lblTotalsize"_s)->isHidden());
    const QString summary = labelText(result, "lblRunSummary");
    QVERIFY2(summary.startsWith(localizedFormat(u"IDS_KQ_585"_s,
                                    sizeText(SharedState::instance().deletedFilesSize))
                 + u" · "),
        qPrintable(summary));
    QVERIFY(summary.contains(text("IDS_KQ_586")));
    clickButton(result, "btnShowWarned");
    QTRY_VERIFY(result->warnedDialog() && result->warnedDialog()->isVisible());
    QCOMPARE(result->warnedDialog()->list()->topLevelItem(0)->text(0), u"plans.txt"_s);
    QCOMPARE(result->warnedDialog()->list()->topLevelItem(0)->text(1), tree.path(u"Secrets"_s));
    result->warnedDialog()->close();
    UserDefaults::standardUserDefaults().setInteger(u"verifyErase"_s, 0);

    // What the warning calls for, offered beside it: the image's free space, wiped to the end.
    TempTree state;
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
    SYFlatButton* wipe = result->wipeFreeSpaceButton();
    QVERIFY(wipe && wipe->isVisible());
    QVERIFY2(wipe->toolTip().startsWith(image.mountPoint() + u", "), qPrintable(wipe->toolTip()));
    QTest::mouseClick(wipe, Qt::LeftButton);
    FreeSpaceWipeDialog* dialog = nullptr;
    QTRY_VERIFY((dialog = result->findChild<FreeSpaceWipeDialog*>()) && dialog->isVisible());
    QTest::mouseClick(dialog->findChild<QPushButton*>(u"btnWipe"_s), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(dialog->findChild<QPushButton*>(u"btnDone"_s)->isVisible(), 60000);
    const QString gone = text("IDS_KQ_549").section(u"; "_s, 1);
    QVERIFY2(dialog->resultText().contains(gone), qPrintable(dialog->resultText()));
    QVERIFY(QDir(image.mountPoint())
                .entryList({u".corvane-free-space-*"_s}, QDir::Dirs | QDir::Hidden)
                .isEmpty());
    dialog->accept();
}

void TestCycle::shredStartIsGuardedAndDeleteOnlyUnlists()
{
    TempTree tree;
    const QString top = tree.makeDir(u"Folder"_s);
    const QString file = tree.writeFile(u"Folder/big.bin"_s, QByteArray(20000, 'b'));
    const QString emptyFolder = tree.makeDir(u"Folder/empty"_s);
    const QString sub = tree.path(u"Folder/sub"_s);
    tree.writeFile(u"Folder/sub/inner.txt"_s, "i");
    const QString small = tree.writeFile(u"small.txt"_s, "s");
    mainContainerVc& container = mainWindowContent();
    shredderFilesvc* list = listPaths(container, {top, small});
    QVERIFY(list);
    auto* shredNow = list->findChild<SYFlatButton*>(u"btnShredStart"_s);

    // Nothing checked: the nothing-selected alert, and no shred.
    QTest::mouseClick(shredNow, Qt::LeftButton);
    QTRY_VERIFY(list->nothingSelectedAlert() && list->nothingSelectedAlert()->isVisible());
    QTest::mouseClick(list->nothingSelectedAlert()->buttons().at(0), Qt::LeftButton);
    QVERIFY(!list->nothingSelectedAlert()->isVisible());

    // Only an empty folder checked: its own alert, whose first button leads to the confirmation.
    clickCheckBox(list, emptyFolder);
    QTest::mouseClick(shredNow, Qt::LeftButton);
    QTRY_VERIFY(list->onlyEmptyFoldersAlert() && list->onlyEmptyFoldersAlert()->isVisible());
    QCOMPARE(list->onlyEmptyFoldersAlert()->defaultButton(),
        list->onlyEmptyFoldersAlert()->buttons().at(1));
    QTest::mouseClick(list->onlyEmptyFoldersAlert()->buttons().at(0), Qt::LeftButton);
    QTRY_VERIFY(list->confirmationAlert() && list->confirmationAlert()->isVisible());
    QVERIFY(list->confirmationField()->text().isEmpty());
    QVERIFY(!list->confirmationAlert()->buttons().at(1)->isEnabled());
    QTest::keyClicks(list->confirmationField(), u"Shre"_s);
    QTest::mouseClick(list->confirmationAlert()->buttons().at(0), Qt::LeftButton); // cancel
    QVERIFY(!list->confirmationAlert()->isVisible());

    // Select all twice checks, then unchecks everything, and the title follows.
    auto* selectAll = list->findChild<SYFlatButton*>(u"btnSelectAll"_s);
    QTest::mouseClick(selectAll, Qt::LeftButton);
    QCOMPARE(selectAll->text(), text("IDS_KQ_21"));
    QCOMPARE(SharedState::instance().totalSelectedFiles.load(), 3);
    QTest::mouseClick(selectAll, Qt::LeftButton);
    QCOMPARE(selectAll->text(), text("IDS_KQ_20"));
    QCOMPARE(SharedState::instance().totalSelectedFiles.load(), 0);
    // Checked row by row, the list is all checked too: the button then unchecks.
    clickCheckBox(list, top);
    clickCheckBox(list, small);
    QCOMPARE(selectAll->text(), text("IDS_KQ_21"));
    QTest::mouseClick(selectAll, Qt::LeftButton);
    QCOMPARE(SharedState::instance().totalSelectedFiles.load(), 0);

    // A new list is largest first; the menu's ascending item turns it round.
    const auto topLevelPaths = [list] {
        QStringList paths;
        for (int row = 0; row < list->model()->rowCount(); ++row)
            paths << list->model()->index(row, 0).data(FileListModel::PathRole).toString();
        return paths;
    };
    QCOMPARE(topLevelPaths(), (QStringList {top, small}));
    // A sort collapses the expanded top-level rows; the rows below keep their own state.
    auto* outline = list->findChild<outlinviewClass*>(u"outlineview"_s);
    const QPersistentModelIndex folderRow = list->model()->index(0, 0);
    outline->expand(folderRow);
    const QPersistentModelIndex subRow = list->model()
                                             ->match(list->model()->index(0, 0, folderRow),
                                                 FileListModel::PathRole, sub, 1, Qt::MatchExactly)
                                             .value(0);
    QVERIFY(subRow.isValid());
    outline->expand(subRow);
    clickButton(list, "btnSort");
    QTRY_VERIFY(list->sortMenu()->isVisible());
    QVERIFY(list->sortMenu()->actions().constLast()->isChecked());
    list->sortMenu()->actions().constFirst()->trigger();
    list->sortMenu()->hide();
    QCOMPARE(list->sorttag(), 0);
    QCOMPARE(topLevelPaths(), (QStringList {small, top}));
    QVERIFY(!outline->isExpanded(folderRow));
    QVERIFY(outline->isExpanded(subRow));

    // Delete takes the current top-level row out of the list, not off the disk; the last goes home.
    auto* view = list->findChild<outlinviewClass*>(u"outlineview"_s);
    view->setFocus();
    view->setCurrentIndex(view->model()->index(0, 0));
    QTest::keyClick(view, Qt::Key_Delete);
    QCOMPARE(topLevelPaths(), QStringList {top});
    view->setCurrentIndex(view->model()->index(0, 0));
    QTest::keyClick(view, Qt::Key_Delete);
    QTRY_COMPARE(container.currentContentView(), static_cast<QWidget*>(container.vc()));
    QCOMPARE(TempTree::readFile(file).size(), 20000); // nothing was erased on the way
    QCOMPARE(TempTree::readFile(small), QByteArray("s"));
}

void TestCycle::notErasedItemsAreReportedNotHidden()
{
    mainContainerVc& container = mainWindowContent();
    UserDefaults::standardUserDefaults().setInteger(u"Algomethod"_s, 1);
    TempTree outside;
    const QString original = outside.writeFile(u"original"_s, "shared secret");
    TempTree tree;
    const QString shared = tree.makeHardLink(u"top/shared"_s, original);
    const QString own = tree.writeFile(u"top/own"_s, "own");
    buildCheckedTree({tree.path(u"top"_s)});

    runShred(container);
    shredderResultVC* result = container.resultvc();
    QVERIFY(result);
    QCOMPARE(TempTree::readFile(original), QByteArray("shared secret"));
    QVERIFY(TempTree::exists(shared));
    QVERIFY(!TempTree::exists(own));
    QVERIFY(TempTree::exists(tree.path(u"top"_s))); // still holds the kept file
    // The totals count what was erased, not every file that was attempted.
    QCOMPARE(SharedState::instance().deletedFilesCount.load(), 1);
    QCOMPARE(labelText(result, "lblTotalsize"), sizeText(4096));

    QCOMPARE(labelText(result, "lblcleanupCompleted"), text("IDS_KQ_206"));
    QVERIFY(!result->findChild<QWidget*>(u"notErasedBox"_s)->isHidden());
    QCOMPARE(labelText(result, "lblNotErased"), text("IDS_KQ_201"));
    // Without the illustration the summary keeps the width of the window's column: the
    // headline is not broken over two lines.
    auto* headline = result->findChild<QLabel*>(u"lblcleanupCompleted"_s);
    QTRY_VERIFY(headline->isVisible() && headline->height() > 0);
    QVERIFY2(headline->height() < 2 * headline->fontMetrics().lineSpacing(),
        qPrintable(QString::number(headline->width())));
    clickButton(result, "btnShowNotErased");
    QTRY_VERIFY(result->notErasedDialog() && result->notErasedDialog()->isVisible());
    QTreeWidget* list = result->notErasedDialog()->list();
    QCOMPARE(list->topLevelItemCount(), 1);
    // The name first, then its folder; the reason wraps in a narrow window instead of being cut.
    QCOMPARE(list->topLevelItem(0)->text(0), u"shared"_s);
    QCOMPARE(list->topLevelItem(0)->text(1), tree.path(u"top"_s));
    const QString reason = list->topLevelItem(0)->text(2);
    QVERIFY(reason.contains(u"hard links"_s));
    // The dialog's title says "not erased"; its rows do not say it again.
    QCOMPARE(text("IDS_KQ_537") + reason, notErasedReason(shared).value_or(QString()));
    result->notErasedDialog()->resize(420, 300);
    QTRY_VERIFY(list->columnWidth(2) < list->fontMetrics().horizontalAdvance(reason));
    const auto wrapped = [list, &reason] {
        return list->visualItemRect(list->topLevelItem(0)).height()
            >= list->fontMetrics()
                   .boundingRect(
                       QRect(0, 0, list->columnWidth(2) - 8, 10000), Qt::TextWordWrap, reason)
                   .height();
    };
    QTRY_VERIFY(wrapped());
    QVERIFY(!list->horizontalScrollBar()->isVisible());
    result->notErasedDialog()->close();
}

void TestCycle::changedOrMountedItemsAreNeverErased()
{
    mainContainerVc& container = mainWindowContent();
    TempTree outside;
    const QString outsideFile = outside.writeFile(u"file.txt"_s, "outside data");
    TempTree tree;
    const QString listed = tree.writeFile(u"top/sub/file.txt"_s, "listed");
    const QString mountPoint = tree.makeDir(u"top/mnt"_s);
    LoopImage image(4, u"tmpfs"_s);
    const bool mounted = image.isMounted();
    QString onOtherMount;
    if (mounted) {
        onOtherMount = image.mountPoint() + u"/other.txt"_s;
        QFile other(onOtherMount);
        QVERIFY(other.open(QIODevice::WriteOnly) && other.write("other file system") > 0);
        other.close();
        QString error;
        QVERIFY2(LoopImage::bind(image.mountPoint(), mountPoint, &error), qPrintable(error));
    }
    buildCheckedTree({tree.path(u"top"_s)});
    // Between the listing and the shred, a folder on the path becomes a link elsewhere.
    QVERIFY(QDir(tree.path(u"top/sub"_s)).removeRecursively());
    tree.makeSymlink(u"top/sub"_s, outside.path());

    runShred(container);
    if (mounted)
        LoopImage::unmountPath(mountPoint);
    QCOMPARE(TempTree::readFile(outsideFile), QByteArray("outside data"));
    if (mounted)
        QCOMPARE(TempTree::readFile(onOtherMount), QByteArray("other file system"));
    QVERIFY(notErasedReason(listed));
    QCOMPARE(SharedState::instance().deletedFilesCount.load(), 0);
    if (!mounted)
        QSKIP(qPrintable(u"the mounted case needs root: "_s + image.error()));
}

void TestCycle::checkedFolderThatStaysIsReported()
{
    mainContainerVc& container = mainWindowContent();
    TempTree tree;
    const QString top = tree.makeDir(u"top"_s);
    tree.writeFile(u"top/listed.txt"_s, "listed");
    buildCheckedTree({top});
    // Appears after the listing: never shown, so never erased, and the folder must stay.
    const QString unlisted = tree.writeFile(u"top/unlisted.txt"_s, "unlisted");
    runShred(container);
    // Every byte planned for the listed file was written.
    auto* bar = container.shreeddingvc()->findChild<QProgressBar*>();
    QCOMPARE(bar->value(), bar->maximum());
    QCOMPARE(TempTree::readFile(unlisted), QByteArray("unlisted"));
    QVERIFY(!TempTree::exists(tree.path(u"top/listed.txt"_s)));
    QVERIFY(notErasedReason(top));
    QCOMPARE(labelText(container.resultvc(), "lblcleanupCompleted"), text("IDS_KQ_206"));
}

void TestCycle::countsWaitForTheDisk()
{
    mainContainerVc& container = mainWindowContent();
    TempTree tree;
    // Small enough to share one batch: both are announced before either is written.
    const QString first = tree.writeFile(u"top/a"_s, QByteArray(3000, 'a'));
    const QString second = tree.writeFile(u"top/b"_s, QByteArray(5000, 'b'));
    const QStringList oneFileShredded {
        sizeText(TempTree::allocatedSize(first)), sizeText(TempTree::allocatedSize(second))};
    buildCheckedTree({tree.path(u"top"_s)});
    const QString count = text("IDS_KQ_109");
    const QString shredded = u' ' + text("IDS_KQ_38");

    // Every pass of a file is on the disk when it reaches the unlink; hold the run there.
    std::atomic<int> reached {0};
    QSemaphore release;
    sharedShredEngine().setBeforeUnlinkHook([&](const QString&) {
        ++reached;
        release.tryAcquire(1, 10000);
    });
    // A failed check leaves early: let the run go on and take the hook off the stack's locals.
    const auto unhook = qScopeGuard([&] {
        release.release(2);
        sharedShredEngine().setBeforeUnlinkHook({});
    });
    const QPointer<shredderResultVC> earlier = container.resultvc();
    NotificationCenter::defaultCenter().post(u"ShredData"_s);
    const QPointer<shreddingFilesVC> progress = container.shreeddingvc();
    QVERIFY(progress);
    // The labels' whole text from the first moment.
    QCOMPARE(labelText(progress, "lblcountDeleted"), count + u" 0 / 2");
    QCOMPARE(labelText(progress, "lblsizeDeleted"), sizeText(0) + shredded);

    QTRY_COMPARE_WITH_TIMEOUT(reached.load(), 1, 10000);
    // Whatever the run told the screen before it reached the hook is posted by now.
    QCoreApplication::sendPostedEvents();
    QCOMPARE(labelText(progress, "lblcountDeleted"), count + u" 0 / 2");
    QCOMPARE(labelText(progress, "lblsizeDeleted"), sizeText(0) + shredded);
    release.release();
    QTRY_COMPARE_WITH_TIMEOUT(reached.load(), 2, 10000);
    QTRY_COMPARE(labelText(progress, "lblcountDeleted"), count + u" 1 / 2");
    QCoreApplication::sendPostedEvents();
    QCOMPARE(labelText(progress, "lblcountDeleted"), count + u" 1 / 2");
    const QString size = labelText(progress, "lblsizeDeleted");
    QVERIFY2(size.endsWith(shredded) && oneFileShredded.contains(size.chopped(shredded.size())),
        qPrintable(size));
    release.release();
    QVERIFY(waitForResult(container, earlier));
    QCOMPARE(labelText(progress, "lblcountDeleted"), count + u" 2 / 2");
    QVERIFY(!TempTree::exists(first));
    QVERIFY(!TempTree::exists(second));
}

void TestCycle::fileListedTwiceIsErasedOnce_data()
{
    QTest::addColumn<bool>("fileFirst"); // listed alone before its folder, or after it
    QTest::newRow("folder, then the file in it") << false;
    QTest::newRow("the file, then its folder") << true;
}

void TestCycle::fileListedTwiceIsErasedOnce()
{
    QFETCH(bool, fileFirst);
    mainContainerVc& container = mainWindowContent();
    TempTree tree;
    const QString folder = tree.makeDir(u"top"_s);
    const QString inner = tree.writeFile(u"top/inner"_s, QByteArray(6000, 'i'));
    tree.writeFile(u"top/other"_s, "other");
    buildCheckedTree(fileFirst ? QStringList {inner, folder} : QStringList {folder, inner});
    QCOMPARE(SharedState::instance().arrFileList.size(), 2);

    runShred(container);
    QCOMPARE(
        labelText(container.shreeddingvc(), "lblcountDeleted"), text("IDS_KQ_109") + u" 2 / 2");
    QVERIFY(!TempTree::exists(folder));
    QVERIFY2(SharedState::instance().notErasedItems.isEmpty(),
        qPrintable(SharedState::instance().notErasedItems.value(0).reason));
    QCOMPARE(SharedState::instance().deletedFilesCount.load(), 2);
    QCOMPARE(labelText(container.resultvc(), "lblcleanupCompleted"), text("IDS_KQ_37"));
}

// The choice itself is tested in tst_promo; here, that the screen shows it and stores the next.
void TestCycle::resultScreenShowsTheRecommendation()
{
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    defaults.removeObjectForKey(u"lastPrmot"_s);
    const auto candidate = [](int index) {
        return PromotedApplications::entry(PromotedApplications::candidates.at(size_t(index)));
    };
    auto screen = std::make_unique<shredderResultVC>();
    screen->view();
    QCOMPARE(labelText(screen.get(), "lblAppname"), candidate(0)->title);
    QCOMPARE(screen->apppath(), candidate(0)->apppath);
    QCOMPARE(defaults.integerForKey(u"lastPrmot"_s), std::optional<qint64>(1));
    QVERIFY(!screen->findChild<QFrame*>(u"recommendBox"_s)->isHidden());
    // A and C installed: B is chosen but the box stays hidden.
    for (int index : {0, 2})
        m_applications.writeFile(candidate(index)->desktopId + u".desktop"_s, "[Desktop Entry]\n");
    screen = std::make_unique<shredderResultVC>();
    screen->view();
    QVERIFY(screen->findChild<QFrame*>(u"recommendBox"_s)->isHidden());
    QVERIFY(screen->findChild<SYFlatButton*>(u"btnAppstore"_s)->isHidden());
}

QTEST_MAIN(TestCycle)
#include "tst_cycle.moc"
