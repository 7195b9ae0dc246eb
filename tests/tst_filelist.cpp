#include "FileListModel.h"
#include "FileRevealer.h"
#include "LanguageTable.h"
#include "ListBuilder.h"
#include "SharedState.h"
#include "SizeText.h"
#include "TempTree.h"
#include "outlinviewClass.h"
#include "tblcell_shredderFiles.h"

#include <QAbstractItemModelTester>
#include <QDBusConnection>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QHelpEvent>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QToolTip>
#include <functional>
#include <memory>
#include <sys/stat.h>

namespace {

QStringList paths(std::initializer_list<const char*> names)
{
    QStringList list;
    for (const char* name : names)
        list.append(QString::fromUtf8(name));
    return list;
}

// Entries relative to a TempTree: "top/sub/" is a folder, "top/a.txt" a file of one byte,
// "top/b.bin:8192" a file of 8192 bytes.
void makeEntries(TempTree& tree, const QStringList& entries)
{
    for (const QString& entry : entries) {
        if (entry.endsWith(u'/')) {
            tree.makeDir(entry);
            continue;
        }
        const qsizetype colon = entry.indexOf(u':');
        const QString name = colon < 0 ? entry : entry.left(colon);
        const int bytes = colon < 0 ? 1 : entry.mid(colon + 1).toInt();
        tree.writeFile(name, QByteArray(bytes, 'x'));
    }
}

void makeEntries(TempTree& tree, std::initializer_list<const char*> entries)
{
    makeEntries(tree, paths(entries));
}

QString relativePath(const TempTree& tree, const ItemRef& item)
{
    return QDir(tree.path()).relativeFilePath(QDir::cleanPath(item->url1.toLocalFile()));
}

void forEachItem(const QList<ItemRef>& items, const std::function<void(const ItemRef&)>& fn)
{
    for (const ItemRef& item : items) {
        fn(item);
        forEachItem(item->arrpath, fn);
    }
}

QHash<QString, ItemRef> itemsByPath(const TempTree& tree)
{
    QHash<QString, ItemRef> items;
    forEachItem(SharedState::instance().arrFileList,
        [&](const ItemRef& item) { items.insert(relativePath(tree, item), item); });
    return items;
}

QStringList checkedPaths(const TempTree& tree)
{
    QStringList paths;
    forEachItem(SharedState::instance().arrFileList, [&](const ItemRef& item) {
        if (item->state)
            paths.append(relativePath(tree, item));
    });
    paths.sort();
    return paths;
}

double allocatedSize(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? double(st.st_blocks) * 512.0
                                                                  : -1;
}

// The top-level names of `entries`, in first-seen order.
QStringList topLevelNames(const QStringList& entries)
{
    QStringList tops;
    for (const QString& entry : entries) {
        const QString top = entry.section(u'/', 0, 0).section(u':', 0, 0);
        if (!tops.contains(top))
            tops.append(top);
    }
    return tops;
}

// Scans the top-level entries of `tree` into arrFileList the way the list screen does.
bool scan(const TempTree& tree, const QStringList& tops)
{
    SharedState& state = SharedState::instance();
    state.resetLists();
    for (const QString& top : tops)
        state.arrPendingItems.append(FileDirectory::fromUrl(QUrl::fromLocalFile(tree.path(top))));
    state.isAddingFiles = true;
    bool done = false;
    auto handle = ListBuilder::startScan(0, {}, [&done](qint64) { done = true; });
    if (!QTest::qWaitFor([&done] { return done; }, 10000))
        return false;
    state.isAddingFiles = false;
    return state.arrFileList.size() == tops.size();
}

bool scan(const TempTree& tree, std::initializer_list<const char*> tops)
{
    return scan(tree, paths(tops));
}

QStyleOptionViewItem optionFor(QAbstractItemView& view, const QModelIndex& index)
{
    QStyleOptionViewItem option;
    option.initFrom(&view);
    option.widget = &view;
    option.rect = view.visualRect(index);
    return option;
}

// Paints `index` alone on a white image as large as the view's row.
QImage renderRow(tblcell_shredderFiles& delegate, QAbstractItemView& view, const QModelIndex& index,
    QStyle::State extra = {})
{
    QStyleOptionViewItem option = optionFor(view, index);
    option.state |= extra;
    option.rect.moveTo(0, 0);
    QImage image(option.rect.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    delegate.paint(&painter, option, index);
    return image;
}

bool isUniform(const QImage& image, const QRect& rect, QRgb colour)
{
    if (rect.isEmpty() || !image.rect().contains(rect))
        return false;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            if (image.pixel(x, y) != colour)
                return false;
        }
    }
    return true;
}

// With CORVANE_SCREENSHOT_DIR set, the list is saved there to be looked at by a person.
void saveShot(QWidget& widget, const char* name)
{
    const QString dir = qEnvironmentVariable("CORVANE_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        widget.grab().save(dir + u'/' + QString::fromLatin1(name) + QStringLiteral(".png"));
}

QRect atOrigin(const QRect& rect, const QRect& row)
{
    return rect.translated(-row.topLeft());
}

} // namespace

/// Receives what QDesktopServices would hand to the desktop, so no test opens a real window.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void open(const QUrl& url) { urls.append(url); }
};

/// A stand-in file manager on a private bus.
class FakeFileManager : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QStringList shown;
    QString startupId;

public slots:
    void ShowItems(const QStringList& uris, const QString& id)
    {
        shown = uris;
        startupId = id;
    }
};

/// A model, the real tree view and the row delegate, shown offscreen.
struct ListFixture
{
    FileListModel model;
    outlinviewClass view;
    tblcell_shredderFiles delegate;
    QAbstractItemModelTester tester {
        &model, QAbstractItemModelTester::FailureReportingMode::QtTest};

    ListFixture()
    {
        view.setModel(&model);
        delegate.install(&view);
        view.resize(700, 400);
        view.show();
    }
};

class TestFileList : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void checkState_data();
    void checkState();
    void toggle_data();
    void toggle();
    void toggleRepaintsAncestors();
    void counts_data();
    void counts();
    void folderSizeCountsFilesOnce();
    void displayRoles();
    void pendingLook();
    void removal_data();
    void removal();
    void sort_data();
    void sort();
    void sortKeepsChildrenAndExpansion();
    void modelStaysConsistent();

    void clickCheckBox();
    void clickRemoveOnTopLevelRowsOnly();
    void pendingRowsIgnoreClicks();
    void revealFollowsThePointer();
    void rendering();
    void buttonToolTips_data();
    void buttonToolTips();
    void iconsAreCachedPerType();

    void revealAsksTheFileManager();
    void revealFallsBack_data();
    void revealFallsBack();

private:
    UrlCatcher m_urls;
};

void TestFileList::initTestCase()
{
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_urls, "open");
    setLanguageStrings(loadPlistDictionary(QStringLiteral("English")));
    QVERIFY(!localizedText(QStringLiteral("IDS_KQ_112")).isEmpty());
}

void TestFileList::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    SharedState::instance().resetLists();
}

void TestFileList::init()
{
    SharedState::instance().resetLists();
    SharedState::instance().isAddingFiles = false;
    m_urls.urls.clear();
}

void TestFileList::checkState_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("checked");
    QTest::addColumn<QString>("probe");
    QTest::addColumn<int>("expected");

    const QStringList three = paths({"top/a", "top/b", "top/c"});
    QTest::newRow("three files, one checked")
        << three << paths({"top/a"}) << "top" << int(Qt::PartiallyChecked);
    QTest::newRow("three files, all checked")
        << three << paths({"top/a", "top/b", "top/c"}) << "top" << int(Qt::Checked);
    QTest::newRow("folder's own state does not show over its files")
        << three << paths({"top"}) << "top" << int(Qt::Unchecked);
    const QStringList empties = paths({"top/e1/", "top/e2/"});
    QTest::newRow("two empty folders, one checked")
        << empties << paths({"top/e1"}) << "top" << int(Qt::PartiallyChecked);
    QTest::newRow("two empty folders, both checked")
        << empties << paths({"top/e1", "top/e2"}) << "top" << int(Qt::Checked);
    QTest::newRow("empty folder shows its own state")
        << empties << paths({"top/e2"}) << "top/e2" << int(Qt::Checked);
    QTest::newRow("empty top-level folder shows its own state")
        << paths({"e/"}) << paths({"e"}) << "e" << int(Qt::Checked);
    const QStringList nested = paths({"top/sub/x", "top/sub/y", "top/z"});
    QTest::newRow("deep file checked: top mixed")
        << nested << paths({"top/sub/x", "top/sub/y"}) << "top" << int(Qt::PartiallyChecked);
    QTest::newRow("deep file checked: its folder on")
        << nested << paths({"top/sub/x", "top/sub/y"}) << "top/sub" << int(Qt::Checked);
    QTest::newRow("file shows its own state")
        << nested << paths({"top/z"}) << "top/z" << int(Qt::Checked);
    QTest::newRow("unchecked file") << nested << paths({"top"}) << "top/z" << int(Qt::Unchecked);
}

void TestFileList::checkState()
{
    QFETCH(QStringList, entries);
    QFETCH(QStringList, checked);
    QFETCH(QString, probe);
    QFETCH(int, expected);

    TempTree tree;
    makeEntries(tree, entries);
    QVERIFY(scan(tree, topLevelNames(entries)));
    const QHash<QString, ItemRef> items = itemsByPath(tree);
    for (const QString& path : checked) {
        QVERIFY2(items.contains(path), qPrintable(path));
        items.value(path)->state = true;
    }

    FileListModel model;
    model.reload();
    const QModelIndex index = model.indexForTag(items.value(probe)->tag);
    QVERIFY(index.isValid());
    QCOMPARE(index.data(Qt::CheckStateRole).toInt(), expected);
}

void TestFileList::toggle_data()
{
    QTest::addColumn<QStringList>("checkedBefore");
    QTest::addColumn<QString>("click");
    QTest::addColumn<int>("stateAfterClick");
    QTest::addColumn<QStringList>("checkedAfter");
    QTest::addColumn<int>("rowAfter");

    const QStringList everything
        = paths({"top", "top/a", "top/b", "top/sub", "top/sub/c", "top/sub/e", "top/sub/f"});
    QTest::newRow("folder box ends on: whole subtree checked")
        << QStringList {} << "top" << int(Qt::Checked) << everything << int(Qt::Checked);
    QTest::newRow("folder box ends off: whole subtree unchecked")
        << everything << "top" << int(Qt::Unchecked) << QStringList {} << int(Qt::Unchecked);
    QTest::newRow("folder box ends mixed: whole subtree unchecked")
        << paths({"top/a", "top/sub/c"}) << "top" << int(Qt::PartiallyChecked) << QStringList {}
        << int(Qt::Unchecked);
    QTest::newRow("file flips whatever the box shows")
        << QStringList {} << "top/a" << int(Qt::Unchecked) << paths({"top/a"}) << int(Qt::Checked);
    QTest::newRow("checked file flips off")
        << paths({"top/a"}) << "top/a" << int(Qt::Checked) << QStringList {} << int(Qt::Unchecked);
    QTest::newRow("empty folder toggles only itself")
        << QStringList {} << "top/sub/e" << int(Qt::Checked) << paths({"top/sub/e"})
        << int(Qt::Checked);
    QTest::newRow("sub-folder click leaves ancestors' stored state")
        << QStringList {} << "top/sub" << int(Qt::Checked)
        << paths({"top/sub", "top/sub/c", "top/sub/e", "top/sub/f"}) << int(Qt::Checked);
}

void TestFileList::toggle()
{
    QFETCH(QStringList, checkedBefore);
    QFETCH(QString, click);
    QFETCH(int, stateAfterClick);
    QFETCH(QStringList, checkedAfter);
    QFETCH(int, rowAfter);

    TempTree tree;
    makeEntries(tree, {"top/a", "top/b", "top/sub/c", "top/sub/e/", "top/sub/f/"});
    tree.writeFile(QStringLiteral("top/sub/f/g"), "g");
    QVERIFY(scan(tree, {"top"}));
    QHash<QString, ItemRef> items = itemsByPath(tree);
    items.remove(QStringLiteral("top/sub/f/g"));
    for (const QString& path : checkedBefore)
        items.value(path)->state = true;

    FileListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.reload();
    model.toggleByTag(items.value(click)->tag, Qt::CheckState(stateAfterClick));

    QStringList after = checkedPaths(tree);
    after.removeAll(QStringLiteral("top/sub/f/g"));
    checkedAfter.sort();
    QCOMPARE(after, checkedAfter);
    QCOMPARE(model.indexForTag(items.value(click)->tag).data(Qt::CheckStateRole).toInt(), rowAfter);
}

void TestFileList::toggleRepaintsAncestors()
{
    TempTree tree;
    makeEntries(tree, {"top/sub/deep/x", "top/sub/deep/y"});
    QVERIFY(scan(tree, {"top"}));
    const QHash<QString, ItemRef> items = itemsByPath(tree);
    FileListModel model;
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    model.toggleByTag(items.value(QStringLiteral("top/sub/deep/x"))->tag, Qt::Checked);

    QSet<qint64> repainted;
    for (const QList<QVariant>& signal : std::as_const(changed)) {
        const QModelIndex from = signal.at(0).toModelIndex();
        const QModelIndex to = signal.at(1).toModelIndex();
        for (int row = from.row(); row <= to.row(); ++row)
            repainted.insert(from.siblingAtRow(row).data(FileListModel::TagRole).toLongLong());
    }
    for (const char* path : {"top", "top/sub", "top/sub/deep", "top/sub/deep/x"})
        QVERIFY2(repainted.contains(items.value(QString::fromLatin1(path))->tag), path);
    QCOMPARE(
        model.indexForTag(items.value(QStringLiteral("top"))->tag).data(Qt::CheckStateRole).toInt(),
        int(Qt::PartiallyChecked));
}

void TestFileList::counts_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("checked");
    QTest::addColumn<qint64>("files");
    QTest::addColumn<qint64>("selected");

    QTest::newRow("one empty folder") << paths({"e/"}) << paths({"e"}) << 0LL << 0LL;
    QTest::newRow("empty folders are not files")
        << paths({"top/a", "top/b", "top/e/"}) << paths({"top/a", "top/e"}) << 2LL << 1LL;
    QTest::newRow("top-level file and nested files")
        << paths({"f.txt", "top/a", "top/sub/b"}) << paths({"f.txt", "top/sub/b"}) << 3LL << 2LL;
    QTest::newRow("checked folder alone selects nothing")
        << paths({"top/a"}) << paths({"top"}) << 1LL << 0LL;
}

void TestFileList::counts()
{
    QFETCH(QStringList, entries);
    QFETCH(QStringList, checked);
    QFETCH(qint64, files);
    QFETCH(qint64, selected);

    TempTree tree;
    makeEntries(tree, entries);
    QVERIFY(scan(tree, topLevelNames(entries)));
    const QHash<QString, ItemRef> items = itemsByPath(tree);
    for (const QString& path : checked)
        items.value(path)->state = true;
    SharedState::instance().totalSelectedFiles = -1;

    FileListModel model;
    QSignalSpy reported(&model, &FileListModel::countsChanged);
    model.reload();

    QCOMPARE(model.counts().filesCount, files);
    QCOMPARE(model.counts().selectedFiles, selected);
    QCOMPARE(SharedState::instance().totalSelectedFiles.load(), selected);
    QCOMPARE(reported.size(), 1);
    QCOMPARE(reported.at(0).at(0).value<FileListModel::Counts>().selectedFiles, selected);
}

void TestFileList::folderSizeCountsFilesOnce()
{
    TempTree tree;
    makeEntries(tree, {"top/a:4096", "top/b:8192", "top/sub/c:100"});
    QVERIFY(scan(tree, {"top"}));
    const QHash<QString, ItemRef> items = itemsByPath(tree);
    const double a = allocatedSize(tree.path(QStringLiteral("top/a")));
    const double b = allocatedSize(tree.path(QStringLiteral("top/b")));
    const double c = allocatedSize(tree.path(QStringLiteral("top/sub/c")));
    QVERIFY(a > 0 && b > 0 && c > 0);
    // The scan stored the folder's total in the top-level record; the row must not add it again.
    QCOMPARE(items.value(QStringLiteral("top"))->data.file->size, a + b + c);

    FileListModel model;
    const auto sizeOf = [&](const char* path) {
        return model.indexForTag(items.value(QString::fromLatin1(path))->tag)
            .data(FileListModel::SizeTextRole)
            .toString();
    };
    QCOMPARE(sizeOf("top"), sizeText(a + b + c));
    QVERIFY(sizeOf("top") != sizeText(2 * (a + b + c)));
    QCOMPARE(sizeOf("top/sub"), sizeText(c));
    QCOMPARE(sizeOf("top/b"), sizeText(b));
}

void TestFileList::displayRoles()
{
    TempTree tree;
    makeEntries(tree, {"dir/file.txt"});
    // A dropped folder may come with a trailing slash; its name is still the last component.
    const ItemRef folder = makeTopLevelItem(
        FileDirectory::fromUrl(QUrl::fromLocalFile(tree.path(QStringLiteral("dir/")))), 7);
    const ItemRef gone = makeTopLevelItem(
        FileDirectory::fromUrl(QUrl::fromLocalFile(tree.path(QStringLiteral("gone")))), 8);
    SharedState::instance().arrFileList = {folder, gone};

    FileListModel model;
    const QModelIndex first = model.index(0, 0);
    QCOMPARE(first.data(Qt::DisplayRole).toString(), QStringLiteral("dir"));
    QCOMPARE(first.data(FileListModel::PathRole).toString(), tree.path(QStringLiteral("dir")));
    QCOMPARE(first.data(Qt::ToolTipRole).toString(), tree.path(QStringLiteral("dir")));
    QCOMPARE(first.data(FileListModel::TagRole).toLongLong(), 7);
    QVERIFY(first.data(FileListModel::IsMainParentRole).toBool());
    QVERIFY(first.data(FileListModel::IsFolderRole).toBool());
    QCOMPARE(first.data(FileListModel::MimeTypeRole).toString(), QStringLiteral("inode/directory"));

    // A record whose attributes could not be read: no size, its own state, no crash.
    const QModelIndex second = model.index(1, 0);
    QCOMPARE(second.data(FileListModel::SizeTextRole).toString(), QString());
    QCOMPARE(second.data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    model.toggleByTag(8, Qt::Unchecked);
    QCOMPARE(second.data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QCOMPARE(model.revealPathForTag(8), tree.path(QStringLiteral("gone")));
    QCOMPARE(model.revealPathForTag(99), QString());
}

void TestFileList::pendingLook()
{
    TempTree tree;
    makeEntries(tree, {"top/a:100", "top/b"});
    QVERIFY(scan(tree, {"top"}));
    const QHash<QString, ItemRef> items = itemsByPath(tree);
    items.value(QStringLiteral("top/a"))->state = true;
    FileListModel model;
    const QModelIndex file = model.indexForTag(items.value(QStringLiteral("top/a"))->tag);
    QCOMPARE(file.data(Qt::CheckStateRole).toInt(), int(Qt::Checked));

    SharedState::instance().isAddingFiles = true;
    QVERIFY(file.data(FileListModel::IsPendingRole).toBool());
    QCOMPARE(file.data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QCOMPARE(file.data(FileListModel::SizeTextRole).toString(), QString());
    QVERIFY(!(file.flags() & Qt::ItemIsUserCheckable));
    QVERIFY(!model.setData(file, int(Qt::Unchecked), Qt::CheckStateRole));
    model.toggleByTag(items.value(QStringLiteral("top"))->tag, Qt::Unchecked);
    model.setAllStates(false);
    QVERIFY(!model.removeTopLevelByTag(items.value(QStringLiteral("top"))->tag));
    QCOMPARE(SharedState::instance().arrFileList.size(), 1);
    QVERIFY(items.value(QStringLiteral("top/a"))->state);

    SharedState::instance().isAddingFiles = false;
    QVERIFY(file.flags() & Qt::ItemIsUserCheckable);
    QVERIFY(model.setData(file, int(Qt::Unchecked), Qt::CheckStateRole));
    QVERIFY(!items.value(QStringLiteral("top/a"))->state);
}

void TestFileList::removal_data()
{
    QTest::addColumn<int>("tops");
    QTest::addColumn<QString>("remove");
    QTest::addColumn<bool>("emptied");
    QTest::addColumn<QStringList>("remaining");

    QTest::newRow("one of two") << 2 << "t0" << false << paths({"t1"});
    QTest::newRow("the last one") << 1 << "t0" << true << QStringList {};
    QTest::newRow("unknown tag changes nothing") << 2 << "" << false << paths({"t0", "t1"});
    QTest::newRow("a child is not a top-level row") << 2 << "t1/f" << false << paths({"t0", "t1"});
}

void TestFileList::removal()
{
    QFETCH(int, tops);
    QFETCH(QString, remove);
    QFETCH(bool, emptied);
    QFETCH(QStringList, remaining);

    TempTree tree;
    QStringList names;
    for (int i = 0; i < tops; ++i) {
        names.append(QStringLiteral("t%1").arg(i));
        makeEntries(tree, {names.last() + QStringLiteral("/f")});
    }
    QVERIFY(scan(tree, names));
    const QHash<QString, ItemRef> items = itemsByPath(tree);
    for (const ItemRef& item : items)
        item->state = true;
    FileListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model.counts().filesCount, qint64(tops));

    const qint64 tag = remove.isEmpty() ? 1000 : items.value(remove)->tag;
    QCOMPARE(model.removeTopLevelByTag(tag), emptied);

    QStringList left;
    for (int row = 0; row < model.rowCount(); ++row)
        left.append(model.index(row, 0).data().toString());
    QCOMPARE(left, remaining);
    QCOMPARE(SharedState::instance().arrFileList.size(), remaining.size());
    QCOMPARE(model.counts().filesCount, qint64(remaining.size()));
    QCOMPARE(SharedState::instance().totalSelectedFiles.load(), qint64(remaining.size()));
    if (remaining.size() < tops)
        QVERIFY(!model.indexForTag(tag).isValid());
}

void TestFileList::sort_data()
{
    QTest::addColumn<QList<double>>("sizes");
    QTest::addColumn<int>("order");
    QTest::addColumn<QList<int>>("expected");

    const QList<double> three {10, 30, 20};
    QTest::newRow("descending") << three << int(Qt::DescendingOrder) << QList<int> {1, 2, 0};
    QTest::newRow("ascending") << three << int(Qt::AscendingOrder) << QList<int> {0, 2, 1};
    const QList<double> fractions {100.7, 100.2};
    QTest::newRow("truncated equal, ascending")
        << fractions << int(Qt::AscendingOrder) << QList<int> {0, 1};
    QTest::newRow("truncated equal, descending")
        << fractions << int(Qt::DescendingOrder) << QList<int> {0, 1};
    const QList<double> close {100.1, 99.9};
    QTest::newRow("99.9 below 100.1") << close << int(Qt::AscendingOrder) << QList<int> {1, 0};
    // A negative size marks an item whose record has no attributes: it sorts as 0.
    QTest::newRow("no attributes sorts as zero")
        << QList<double> {5, -1, 0} << int(Qt::AscendingOrder) << QList<int> {1, 2, 0};
    QTest::newRow("stable among many equal")
        << QList<double> {1, 2, 1, 2, 1} << int(Qt::DescendingOrder) << QList<int> {1, 3, 0, 2, 4};
}

void TestFileList::sort()
{
    QFETCH(QList<double>, sizes);
    QFETCH(int, order);
    QFETCH(QList<int>, expected);

    TempTree tree;
    QList<ItemRef>& list = SharedState::instance().arrFileList;
    for (int i = 0; i < sizes.size(); ++i) {
        const QString path = tree.writeFile(QStringLiteral("f%1").arg(i), "x");
        ItemRef item = makeTopLevelItem(FileDirectory::fromUrl(QUrl::fromLocalFile(path)), i);
        if (sizes.at(i) < 0)
            item->data.file.reset();
        else
            item->data.file->size = sizes.at(i);
        list.append(item);
    }
    FileListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.sortTopLevel(Qt::SortOrder(order));

    QList<int> shown;
    QList<int> stored;
    for (int row = 0; row < model.rowCount(); ++row) {
        shown.append(int(model.index(row, 0).data(FileListModel::TagRole).toLongLong()));
        stored.append(int(list.at(row)->tag));
    }
    QCOMPARE(shown, expected);
    QCOMPARE(stored, expected);
}

void TestFileList::sortKeepsChildrenAndExpansion()
{
    TempTree tree;
    makeEntries(tree, {"small/a", "small/b", "small/c", "big/x:9000", "big/y:9000", "big/z"});
    QVERIFY(scan(tree, {"small", "big"}));
    ListFixture list;
    const QModelIndex small = list.model.index(0, 0);
    QCOMPARE(small.data().toString(), QStringLiteral("small"));
    list.view.expand(small);
    const QPersistentModelIndex firstChild = list.model.index(0, 0, small);
    QStringList before;
    for (const ItemRef& child : SharedState::instance().arrFileList.at(0)->arrpath)
        before.append(relativePath(tree, child));

    list.model.sortTopLevel(Qt::DescendingOrder);

    QCOMPARE(list.model.index(0, 0).data().toString(), QStringLiteral("big"));
    const QModelIndex moved = list.model.index(1, 0);
    QCOMPARE(moved.data().toString(), QStringLiteral("small"));
    QStringList after;
    for (int row = 0; row < list.model.rowCount(moved); ++row)
        after.append(QStringLiteral("small/") + list.model.index(row, 0, moved).data().toString());
    QCOMPARE(after, before);
    QVERIFY(list.view.isExpanded(moved));
    QVERIFY(!list.view.isExpanded(list.model.index(0, 0)));
    QCOMPARE(firstChild.parent(), moved);
}

void TestFileList::modelStaysConsistent()
{
    TempTree tree;
    makeEntries(tree, {"one/a", "one/sub/b", "one/sub/e/", "two/c", "three.txt"});
    QVERIFY(scan(tree, {"one", "two"}));
    FileListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QCOMPARE(model.rowCount(), 2);

    // A later hand-over of the scan appends a row without a reset.
    ItemRef third = makeTopLevelItem(
        FileDirectory::fromUrl(QUrl::fromLocalFile(tree.path(QStringLiteral("three.txt")))), 50);
    SharedState::instance().arrFileList.append(third);
    model.reload();
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(reset.size(), 0);
    QCOMPARE(model.counts().filesCount, qint64(4));

    model.reload();
    model.setAllStates(true);
    QCOMPARE(model.counts().selectedFiles, qint64(4));
    const QHash<QString, ItemRef> items = itemsByPath(tree);
    model.toggleByTag(items.value(QStringLiteral("one/sub"))->tag, Qt::Unchecked);
    QCOMPARE(model.counts().selectedFiles, qint64(3));
    model.sortTopLevel(Qt::AscendingOrder);
    model.sortTopLevel(Qt::DescendingOrder);
    QVERIFY(!model.removeTopLevelByTag(items.value(QStringLiteral("two"))->tag));

    // A list replaced behind the model's back is picked up by a reset.
    SharedState::instance().arrFileList = {third};
    model.reload();
    QCOMPARE(reset.size(), 1);
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("three.txt"));
    QVERIFY(!model.indexForTag(items.value(QStringLiteral("one"))->tag).isValid());
    QVERIFY(model.removeTopLevelByTag(50));
}

void TestFileList::clickCheckBox()
{
    TempTree tree;
    makeEntries(tree, {"top/a", "top/b"});
    QVERIFY(scan(tree, {"top"}));
    const QHash<QString, ItemRef> items = itemsByPath(tree);
    ListFixture list;
    QVERIFY(QTest::qWaitForWindowExposed(&list.view));
    const QModelIndex top = list.model.index(0, 0);
    list.view.expand(top);
    const QModelIndex child = list.model.indexForTag(items.value(QStringLiteral("top/a"))->tag);
    QWidget* viewport = list.view.viewport();

    QTest::mouseClick(viewport, Qt::LeftButton, {},
        list.delegate.checkBoxRect(optionFor(list.view, child)).center());
    QVERIFY(items.value(QStringLiteral("top/a"))->state);
    QCOMPARE(top.data(Qt::CheckStateRole).toInt(), int(Qt::PartiallyChecked));

    // A mixed box checks everything; a checked one unchecks everything.
    const QPoint topBox = list.delegate.checkBoxRect(optionFor(list.view, top)).center();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, topBox);
    QCOMPARE(checkedPaths(tree), (paths({"top", "top/a", "top/b"})));
    QTest::mouseClick(viewport, Qt::LeftButton, {}, topBox);
    QCOMPARE(checkedPaths(tree), QStringList {});
    QCOMPARE(SharedState::instance().totalSelectedFiles.load(), qint64(0));

    // Outside the box the click selects the row and leaves the states alone.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, optionFor(list.view, child).rect.center());
    QCOMPARE(checkedPaths(tree), QStringList {});
    QCOMPARE(list.view.currentIndex(), child);

    // The space bar toggles the current row's box.
    QTest::keyClick(&list.view, Qt::Key_Space);
    QCOMPARE(checkedPaths(tree), paths({"top/a"}));
}

void TestFileList::clickRemoveOnTopLevelRowsOnly()
{
    TempTree tree;
    makeEntries(tree, {"t0/a", "t1/b"});
    QVERIFY(scan(tree, {"t0", "t1"}));
    ListFixture list;
    QVERIFY(QTest::qWaitForWindowExposed(&list.view));
    QSignalSpy removed(&list.delegate, &tblcell_shredderFiles::removeRequested);
    const QModelIndex second = list.model.index(1, 0);
    list.view.expand(second);
    const QModelIndex child = list.model.index(0, 0, second);

    const QRect removeRect = list.delegate.removeButtonRect(optionFor(list.view, second), second);
    QVERIFY(!removeRect.isEmpty());
    QTest::mouseClick(list.view.viewport(), Qt::LeftButton, {}, removeRect.center());
    QCOMPARE(removed.size(), 1);
    QCOMPARE(removed.at(0).at(0).toLongLong(), second.data(FileListModel::TagRole).toLongLong());
    QCOMPARE(SharedState::instance().arrFileList.size(), 2);

    QVERIFY(list.delegate.removeButtonRect(optionFor(list.view, child), child).isEmpty());
    const QRect childRow = list.view.visualRect(child);
    QTest::mouseClick(list.view.viewport(), Qt::LeftButton, {},
        QPoint(removeRect.center().x(), childRow.center().y()));
    QCOMPARE(removed.size(), 1);
}

void TestFileList::pendingRowsIgnoreClicks()
{
    TempTree tree;
    makeEntries(tree, {"top/a"});
    QVERIFY(scan(tree, {"top"}));
    ListFixture list;
    QVERIFY(QTest::qWaitForWindowExposed(&list.view));
    QSignalSpy removed(&list.delegate, &tblcell_shredderFiles::removeRequested);
    QSignalSpy revealed(&list.delegate, &tblcell_shredderFiles::revealRequested);
    const QModelIndex top = list.model.index(0, 0);
    const QStyleOptionViewItem option = optionFor(list.view, top);
    const QRect removeRect = list.delegate.removeButtonRect(option, top);
    const QRect revealRect = list.delegate.revealButtonRect(option, top);
    QVERIFY(!removeRect.isEmpty() && !revealRect.isEmpty());

    SharedState::instance().isAddingFiles = true;
    list.model.reload();
    QVERIFY(list.delegate.removeButtonRect(option, top).isEmpty());
    QVERIFY(list.delegate.revealButtonRect(option, top).isEmpty());
    for (const QPoint& point :
        {list.delegate.checkBoxRect(option).center(), removeRect.center(), revealRect.center()})
        QTest::mouseClick(list.view.viewport(), Qt::LeftButton, {}, point);
    QCOMPARE(checkedPaths(tree), QStringList {});
    QCOMPARE(removed.size(), 0);
    QCOMPARE(revealed.size(), 0);
}

void TestFileList::revealFollowsThePointer()
{
    TempTree tree;
    makeEntries(tree, {"t0/a", "t1/b"});
    QVERIFY(scan(tree, {"t0", "t1"}));
    ListFixture list;
    QVERIFY(QTest::qWaitForWindowExposed(&list.view));
    QSignalSpy revealed(&list.delegate, &tblcell_shredderFiles::revealRequested);
    const QModelIndex first = list.model.index(0, 0);
    const QModelIndex second = list.model.index(1, 0);
    const QStyleOptionViewItem option = optionFor(list.view, first);
    const QRect revealRect = list.delegate.revealButtonRect(option, first);
    QVERIFY(!revealRect.isEmpty());

    const QPoint over = option.rect.center();
    QMouseEvent move(QEvent::MouseMove, over, list.view.viewport()->mapToGlobal(over), Qt::NoButton,
        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(list.view.viewport(), &move);
    QCOMPARE(list.delegate.hoveredIndex(), first);

    const QRgb white = QColor(Qt::white).rgb();
    QVERIFY(!isUniform(
        renderRow(list.delegate, list.view, first), atOrigin(revealRect, option.rect), white));
    QVERIFY(isUniform(renderRow(list.delegate, list.view, second),
        atOrigin(list.delegate.revealButtonRect(optionFor(list.view, second), second),
            optionFor(list.view, second).rect),
        white));

    saveShot(list.view, "filelist-hover");
    QTest::mouseClick(list.view.viewport(), Qt::LeftButton, {}, revealRect.center());
    QCOMPARE(revealed.size(), 1);
    QCOMPARE(revealed.at(0).at(0).toLongLong(), first.data(FileListModel::TagRole).toLongLong());

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(list.view.viewport(), &leave);
    QVERIFY(!list.delegate.hoveredIndex().isValid());
}

void TestFileList::rendering()
{
    TempTree tree;
    makeEntries(tree, {"top/a", "top/b"});
    QVERIFY(scan(tree, {"top"}));
    const QHash<QString, ItemRef> items = itemsByPath(tree);
    ListFixture list;
    QVERIFY(QTest::qWaitForWindowExposed(&list.view));
    const QModelIndex top = list.model.index(0, 0);
    list.view.expand(top);
    const QModelIndex child = list.model.index(0, 0, top);
    const QStyleOptionViewItem option = optionFor(list.view, top);
    const QRect box = atOrigin(list.delegate.checkBoxRect(option), option.rect);
    const QRgb white = QColor(Qt::white).rgb();

    QCOMPARE(list.delegate.sizeHint(option, top).height(), tblcell_shredderFiles::kRowHeight);
    QCOMPARE(option.rect.height(), tblcell_shredderFiles::kRowHeight);

    const QImage unchecked = renderRow(list.delegate, list.view, top);
    list.model.toggleByTag(items.value(QStringLiteral("top"))->tag, Qt::Checked);
    const QImage checked = renderRow(list.delegate, list.view, top);
    QVERIFY(unchecked.copy(box) != checked.copy(box));
    QVERIFY(!isUniform(unchecked, box, white));

    const QRect remove = atOrigin(list.delegate.removeButtonRect(option, top), option.rect);
    QVERIFY(!isUniform(unchecked, remove, white));
    // The child row is indented; its cell ends where the top-level one does.
    const QRect childCell = optionFor(list.view, child).rect;
    const QRect slot = list.delegate.removeButtonRect(option, top)
                           .translated(0, childCell.top() - option.rect.top());
    const QImage childRow = renderRow(list.delegate, list.view, child);
    QVERIFY(isUniform(childRow, atOrigin(slot, childCell), white));

    // Selected rows lie on the dark grey band, with light text.
    const QImage selected = renderRow(list.delegate, list.view, child, QStyle::State_Selected);
    QCOMPARE(selected.pixel(selected.width() / 2, 1), TableRowViewResult::selectionColor().rgb());

    list.model.toggleByTag(items.value(QStringLiteral("top/a"))->tag, Qt::Unchecked);
    list.view.setCurrentIndex(child);
    saveShot(list.view, "filelist-rows");
    list.model.toggleByTag(items.value(QStringLiteral("top/a"))->tag, Qt::Unchecked);

    // A pending row shows a busy mark where the size was, and no remove button.
    SharedState::instance().isAddingFiles = true;
    list.model.reload();
    saveShot(list.view, "filelist-pending");
    const QImage pending = renderRow(list.delegate, list.view, top);
    QVERIFY(isUniform(pending, remove, white));
    QVERIFY(pending != checked);
}

void TestFileList::buttonToolTips_data()
{
    QTest::addColumn<bool>("reveal");
    QTest::addColumn<QString>("key");
    QTest::newRow("reveal") << true << "IDS_KQ_111";
    QTest::newRow("remove") << false << "IDS_KQ_112";
}

void TestFileList::buttonToolTips()
{
    QFETCH(bool, reveal);
    QFETCH(QString, key);

    TempTree tree;
    makeEntries(tree, {"top/a"});
    QVERIFY(scan(tree, {"top"}));
    ListFixture list;
    QVERIFY(QTest::qWaitForWindowExposed(&list.view));
    const QModelIndex top = list.model.index(0, 0);
    const QStyleOptionViewItem option = optionFor(list.view, top);
    const QRect rect = reveal ? list.delegate.revealButtonRect(option, top)
                              : list.delegate.removeButtonRect(option, top);
    QHelpEvent help(
        QEvent::ToolTip, rect.center(), list.view.viewport()->mapToGlobal(rect.center()));
    QVERIFY(list.delegate.helpEvent(&help, &list.view, option, top));
    QCOMPARE(QToolTip::text(), localizedText(key));

    // Elsewhere on the row the tool tip is the path.
    const QPoint title = QPoint(option.rect.center().x() - 100, option.rect.center().y());
    QHelpEvent pathHelp(QEvent::ToolTip, title, list.view.viewport()->mapToGlobal(title));
    QVERIFY(list.delegate.helpEvent(&pathHelp, &list.view, option, top));
    QCOMPARE(QToolTip::text(), tree.path(QStringLiteral("top")));
    QToolTip::hideText();
}

void TestFileList::iconsAreCachedPerType()
{
    tblcell_shredderFiles delegate;
    const QIcon text = delegate.iconForMimeType(QStringLiteral("text/plain"), false);
    const QIcon folder = delegate.iconForMimeType(QStringLiteral("inode/directory"), true);
    const QIcon unknown
        = delegate.iconForMimeType(QStringLiteral("application/x-corvane-none"), false);
    QVERIFY(!text.isNull() && !folder.isNull() && !unknown.isNull());
    QVERIFY(text.cacheKey() != folder.cacheKey());
    QCOMPARE(
        delegate.iconForMimeType(QStringLiteral("text/plain"), false).cacheKey(), text.cacheKey());
    QCOMPARE(delegate.iconForMimeType(QString(), true).cacheKey(), folder.cacheKey());
}

void TestFileList::revealAsksTheFileManager()
{
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty())
        QSKIP("dbus-daemon is not installed");
    TempTree busDir;
    // A bus of our own with no service files, so nothing real can be started by activation.
    const QString config = busDir.writeFile(QStringLiteral("bus.conf"),
        "<busconfig><type>session</type><listen>unix:dir=" + QFile::encodeName(busDir.path())
            + "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
              "<allow send_destination=\"*\"/><allow receive_sender=\"*\"/>"
              "<allow own=\"*\"/></policy></busconfig>");
    QProcess bus;
    bus.start(daemon,
        {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
            QStringLiteral("--print-address=1")});
    QVERIFY(bus.waitForStarted());
    QVERIFY(bus.waitForReadyRead(5000));
    const QString address = QString::fromUtf8(bus.readLine().trimmed());
    QVERIFY(!address.isEmpty());

    {
        QDBusConnection caller = QDBusConnection::connectToBus(address, QStringLiteral("caller"));
        QVERIFY(caller.isConnected());
        const QString item = busDir.path(QStringLiteral("a b.txt"));

        // No file manager on this bus yet: the call fails and the parent folder opens.
        FileRevealer::reveal(item, caller);
        QTRY_COMPARE(m_urls.urls, QList<QUrl> {QUrl::fromLocalFile(busDir.path())});

        FakeFileManager manager;
        QDBusConnection service = QDBusConnection::connectToBus(address, QStringLiteral("service"));
        QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager,
            QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService(QStringLiteral("org.freedesktop.FileManager1")));
        m_urls.urls.clear();
        FileRevealer::reveal(item, caller);
        QTRY_COMPARE(
            manager.shown, QStringList {QUrl::fromLocalFile(item).toString(QUrl::FullyEncoded)});
        QCOMPARE(manager.startupId, QString());
        QTest::qWait(100);
        QCOMPARE(m_urls.urls, QList<QUrl> {});
        service.unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("caller"));
    QDBusConnection::disconnectFromBus(QStringLiteral("service"));
    bus.kill();
    bus.waitForFinished();
}

void TestFileList::revealFallsBack_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("opened");
    QTest::newRow("file") << "/nowhere/corvane/a.txt"
                          << "/nowhere/corvane";
    QTest::newRow("folder with trailing slash") << "/nowhere/corvane/dir/"
                                                << "/nowhere/corvane";
    QTest::newRow("empty path opens nothing") << ""
                                              << "";
}

void TestFileList::revealFallsBack()
{
    QFETCH(QString, path);
    QFETCH(QString, opened);
    {
        // A bus that cannot be reached stands for a desktop without one.
        QDBusConnection none = QDBusConnection::connectToBus(
            QStringLiteral("unix:path=/nonexistent/corvane-bus"), QStringLiteral("none"));
        QVERIFY(!none.isConnected());
        FileRevealer::reveal(path, none);
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("none"));
    const QList<QUrl> expected
        = opened.isEmpty() ? QList<QUrl> {} : QList<QUrl> {QUrl::fromLocalFile(opened)};
    QCOMPARE(m_urls.urls, expected);
}

QTEST_MAIN(TestFileList)
#include "tst_filelist.moc"
