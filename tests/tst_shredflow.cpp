// SPDX-License-Identifier: GPL-3.0-or-later
#include "LanguageTable.h"
#include "LoopImage.h"
#include "ListBuilder.h"
#include "NotErasedDialog.h"
#include "NotificationCenter.h"
#include "PromotedApplications.h"
#include "SYFlatButton.h"
#include "SharedState.h"
#include "SizeText.h"
#include "TempTree.h"
#include "UserDefaults.h"
#include "mainContainerVc.h"
#include "shredderResultVC.h"
#include "shreddingFilesVC.h"

#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QTest>
#include <QTreeWidget>

#include <functional>

namespace {

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
    return label ? label->text() : QStringLiteral("<no label %1>").arg(QString::fromLatin1(name));
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

class TestShredFlow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void notErasedItemsAreReportedNotHidden();
    void changedOrMountedItemsAreNeverErased();
    void checkedFolderThatStaysIsReported();
    void resultScreenShowsTheRecommendation();

private:
    /// Scans `paths` into the list tree as the list screen would, checking every row.
    void buildCheckedTree(const QStringList& paths);
    /// Starts a shred in `container` and waits for the result screen.
    void runShred(mainContainerVc& container);

    TempTree m_config;
    TempTree m_applications;
    std::unique_ptr<PromotedApplications> m_promoted;
};

void TestShredFlow::initTestCase()
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    setLanguageStrings(loadPlistDictionary(QStringLiteral("English")));
    m_promoted = std::make_unique<PromotedApplications>(m_applications.path());
    shredderResultVC::setPromotedApplications(m_promoted.get());
}

void TestShredFlow::init()
{
    SharedState::instance().resetLists();
    SharedState::instance().notErasedItems.clear();
}

void TestShredFlow::buildCheckedTree(const QStringList& paths)
{
    SharedState& state = SharedState::instance();
    state.arrPendingItems.clear();
    for (const QString& path : paths)
        state.arrPendingItems.append(FileDirectory::fromUrl(QUrl::fromLocalFile(path)));
    bool done = false;
    auto scan = ListBuilder::startScan(0, [] {}, [&done](qint64) { done = true; });
    QTRY_VERIFY(done);
    qint64 files = 0;
    forEachItem(state.arrFileList, [&files](const ItemRef& item) {
        item->state = true;
        if (item->data.file && !item->data.file->isFolder)
            ++files;
    });
    state.totalSelectedFiles = files;
}

void TestShredFlow::runShred(mainContainerVc& container)
{
    NotificationCenter::defaultCenter().post(QStringLiteral("ShredData"));
    QVERIFY(container.shreeddingvc());
    QTRY_VERIFY_WITH_TIMEOUT(container.resultvc() != nullptr, 20000);
}

void TestShredFlow::notErasedItemsAreReportedNotHidden()
{
    UserDefaults::standardUserDefaults().setInteger(QStringLiteral("Algomethod"), 1);
    TempTree outside;
    const QString original = outside.writeFile(QStringLiteral("original"), "shared secret");
    TempTree tree;
    const QString shared = tree.makeHardLink(QStringLiteral("top/shared"), original);
    const QString own = tree.writeFile(QStringLiteral("top/own"), "own");
    buildCheckedTree({tree.path(QStringLiteral("top"))});

    mainContainerVc container;
    container.view();
    runShred(container);
    shredderResultVC* result = container.resultvc();
    QVERIFY(result);
    QCOMPARE(TempTree::readFile(original), QByteArray("shared secret"));
    QVERIFY(TempTree::exists(shared));
    QVERIFY(!TempTree::exists(own));
    QVERIFY(TempTree::exists(tree.path(QStringLiteral("top")))); // still holds the kept file
    // The totals count what was erased, not every file that was attempted.
    QCOMPARE(SharedState::instance().deletedFilesCount.load(), 1);
    QCOMPARE(labelText(result, "lblTotalsize"), sizeText(4096));

    QCOMPARE(labelText(result, "lblcleanupCompleted"), localizedText(QStringLiteral("IDS_KQ_206")));
    QVERIFY(!result->findChild<QWidget*>(QStringLiteral("notErasedBox"))->isHidden());
    QCOMPARE(labelText(result, "lblNotErased"), localizedText(QStringLiteral("IDS_KQ_201")));
    auto* details = result->findChild<SYFlatButton*>(QStringLiteral("btnShowNotErased"));
    QTest::mouseClick(details, Qt::LeftButton);
    QTRY_VERIFY(result->notErasedDialog() && result->notErasedDialog()->isVisible());
    QTreeWidget* list = result->notErasedDialog()->list();
    QCOMPARE(list->topLevelItemCount(), 1);
    QCOMPARE(list->topLevelItem(0)->text(0), shared);
    QVERIFY(list->topLevelItem(0)->text(1).contains(QStringLiteral("hard links")));
}

void TestShredFlow::changedOrMountedItemsAreNeverErased()
{
    TempTree outside;
    const QString outsideFile = outside.writeFile(QStringLiteral("file.txt"), "outside data");
    TempTree tree;
    const QString listed = tree.writeFile(QStringLiteral("top/sub/file.txt"), "listed");
    const QString mountPoint = tree.makeDir(QStringLiteral("top/mnt"));
    LoopImage image(4, QStringLiteral("tmpfs"));
    const bool mounted = image.isMounted();
    QString onOtherMount;
    if (mounted) {
        onOtherMount = image.mountPoint() + QStringLiteral("/other.txt");
        QFile other(onOtherMount);
        QVERIFY(other.open(QIODevice::WriteOnly) && other.write("other file system") > 0);
        other.close();
        QString error;
        QVERIFY2(LoopImage::bind(image.mountPoint(), mountPoint, &error), qPrintable(error));
    }
    buildCheckedTree({tree.path(QStringLiteral("top"))});
    // Between the listing and the shred, a folder on the path becomes a link elsewhere.
    QVERIFY(QDir(tree.path(QStringLiteral("top/sub"))).removeRecursively());
    tree.makeSymlink(QStringLiteral("top/sub"), outside.path());

    mainContainerVc container;
    container.view();
    runShred(container);
    if (mounted)
        LoopImage::unmountPath(mountPoint);
    QCOMPARE(TempTree::readFile(outsideFile), QByteArray("outside data"));
    if (mounted)
        QCOMPARE(TempTree::readFile(onOtherMount), QByteArray("other file system"));
    QVERIFY(notErasedReason(listed));
    QCOMPARE(SharedState::instance().deletedFilesCount.load(), 0);
    if (!mounted)
        QSKIP(qPrintable(QStringLiteral("the mounted case needs root: ") + image.error()));
}

void TestShredFlow::checkedFolderThatStaysIsReported()
{
    TempTree tree;
    const QString top = tree.makeDir(QStringLiteral("top"));
    tree.writeFile(QStringLiteral("top/listed.txt"), "listed");
    buildCheckedTree({top});
    // Appears after the listing: never shown, so never erased, and the folder must stay.
    const QString unlisted = tree.writeFile(QStringLiteral("top/unlisted.txt"), "unlisted");
    mainContainerVc container;
    container.view();
    runShred(container);
    // Every byte planned for the listed file was written.
    auto* bar = container.shreeddingvc()->findChild<QProgressBar*>();
    QCOMPARE(bar->value(), bar->maximum());
    QCOMPARE(TempTree::readFile(unlisted), QByteArray("unlisted"));
    QVERIFY(!TempTree::exists(tree.path(QStringLiteral("top/listed.txt"))));
    QVERIFY(notErasedReason(top));
    QCOMPARE(labelText(container.resultvc(), "lblcleanupCompleted"), localizedText(QStringLiteral("IDS_KQ_206")));
}

// The choice itself is tested in tst_promo; here, that the screen shows it and stores the next.
void TestShredFlow::resultScreenShowsTheRecommendation()
{
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    defaults.removeObjectForKey(QStringLiteral("lastPrmot"));
    const auto candidate = [](int index) {
        return PromotedApplications::entry(PromotedApplications::candidates.at(size_t(index)));
    };
    auto screen = std::make_unique<shredderResultVC>();
    screen->view();
    QCOMPARE(labelText(screen.get(), "lblAppname"), candidate(0)->title);
    QCOMPARE(screen->apppath(), candidate(0)->apppath);
    QCOMPARE(defaults.integerForKey(QStringLiteral("lastPrmot")), std::optional<qint64>(1));
    QVERIFY(!screen->findChild<QFrame*>(QStringLiteral("recommendBox"))->isHidden());
    // A and C installed: B is chosen but the box stays hidden.
    for (int index : {0, 2})
        m_applications.writeFile(candidate(index)->desktopId + QStringLiteral(".desktop"), "[Desktop Entry]\n");
    screen = std::make_unique<shredderResultVC>();
    screen->view();
    QVERIFY(screen->findChild<QFrame*>(QStringLiteral("recommendBox"))->isHidden());
    QVERIFY(screen->findChild<SYFlatButton*>(QStringLiteral("btnAppstore"))->isHidden());
}

QTEST_MAIN(TestShredFlow)
#include "tst_shredflow.moc"
