// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileListTree.h"
#include "ListScan.h"
#include "SizeText.h"
#include "Strings.h"

#include <QSignalSpy>
#include <QTest>

namespace {

constexpr int off = Qt::Unchecked;
constexpr int mixed = Qt::PartiallyChecked;
constexpr int on = Qt::Checked;

} // namespace

class TestFileListTree : public QObject
{
    Q_OBJECT

private slots:
    void init() { SharedState::instance().resetLists(); }
    void cleanupTestCase() { SharedState::instance().resetLists(); }

    // A row's box and size, the counts and the selection walk, from what is checked.
    void figures_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("checked");
        QTest::addColumn<QString>("probe");
        QTest::addColumn<int>("state");
        QTest::addColumn<qint64>("files");
        QTest::addColumn<qint64>("selected");
        QTest::addColumn<QString>("selection"); // "" nothing, "item" or "file"

        const QStringList tree = names({"top/a", "top/b", "top/sub/c", "f.txt"});
        QTest::newRow("one file checked: folder mixed")
            << tree << names({"top/a"}) << "top" << mixed << 4LL << 1LL << "file";
        QTest::newRow("all files checked: folder on")
            << tree << names({"top/a", "top/b", "top/sub/c"}) << "top" << on << 4LL << 3LL
            << "file";
        QTest::newRow("folder's own state is neither shown, counted nor selected")
            << tree << names({"top"}) << "top" << off << 4LL << 0LL << "";
        QTest::newRow("deep file checked: its folder on")
            << tree << names({"top/sub/c", "f.txt"}) << "top/sub" << on << 4LL << 2LL << "file";
        QTest::newRow("deep file checked: top mixed")
            << tree << names({"top/sub/c"}) << "top" << mixed << 4LL << 1LL << "file";
        QTest::newRow("everything checked")
            << tree << names({"top/a", "top/b", "top/sub/c", "f.txt"}) << "top" << on << 4LL << 4LL
            << "file";
        QTest::newRow("top-level file")
            << tree << names({"f.txt"}) << "f.txt" << on << 4LL << 1LL << "file";
        const QStringList empties = names({"top/a", "top/e1/", "top/e2/"});
        QTest::newRow("empty folders are entries, not files")
            << empties << names({"top/a", "top/e1"}) << "top" << mixed << 1LL << 1LL << "file";
        QTest::newRow("empty folder shows its own state")
            << empties << names({"top/e2"}) << "top/e2" << on << 1LL << 0LL << "item";
    }

    void figures()
    {
        QFETCH(QStringList, entries);
        QFETCH(QStringList, checked);
        QFETCH(QString, probe);
        QFETCH(int, state);
        QFETCH(qint64, files);
        QFETCH(qint64, selected);
        QFETCH(QString, selection);

        TempTree disk;
        QVERIFY(populate(disk, entries));
        const QHash<QString, ItemRef> items = itemsByPath(disk);
        for (const QString& path : checked)
            items.value(path)->state = true;
        SharedState::instance().totalSelectedFiles = -1;
        FileListTree tree;
        QSignalSpy reported(&tree, &FileListTree::countsChanged);
        tree.sync();

        const ItemDictionary& row = *items.value(probe);
        QCOMPARE(int(tree.checkState(row)), state);
        QCOMPARE(tree.counts().filesCount, files);
        QCOMPARE(tree.counts().selectedFiles, selected);
        QCOMPARE(SharedState::instance().totalSelectedFiles.load(), selected);
        QCOMPARE(reported.size(), 1);
        const auto walk = FileListTree::selectionOf(SharedState::instance().arrFileList);
        QCOMPARE(walk.anyItem, !selection.isEmpty());
        QCOMPARE(walk.anyFile, selection == u"file");
        QCOMPARE(
            tree.everyRowChecked(), QTest::currentDataTag() == QByteArray("everything checked"));
        // The files below, each counted once; the scan already stored a folder's total in its
        // record, which must not be added again.
        double size = 0;
        for (auto it = items.cbegin(); it != items.cend(); ++it) {
            if ((it.key() == probe || it.key().startsWith(probe + u'/'))
                && !it.value()->data.file->isFolder)
                size += it.value()->data.file->size;
        }
        QCOMPARE(tree.shownSize(row), size);
    }

    void toggle_data()
    {
        QTest::addColumn<QStringList>("checkedBefore");
        QTest::addColumn<QString>("click");
        QTest::addColumn<int>("shown"); // the box before the click; the rule gives the request
        QTest::addColumn<QStringList>("checkedAfter");
        QTest::addColumn<int>("rowAfter");

        const QStringList none;
        const QStringList all
            = names({"top", "top/a", "top/b", "top/sub", "top/sub/c", "top/sub/e"});
        QTest::newRow("empty folder box: subtree checked") << none << "top" << off << all << on;
        QTest::newRow("checked folder box: subtree unchecked") << all << "top" << on << none << off;
        QTest::newRow("mixed folder box: subtree checked")
            << names({"top/a"}) << "top" << mixed << all << on;
        QTest::newRow("file flips whatever the box shows")
            << none << "top/a" << on << names({"top/a"}) << on;
        QTest::newRow("checked file flips off")
            << names({"top/a"}) << "top/a" << off << none << off;
        QTest::newRow("empty folder toggles only itself")
            << none << "top/sub/e" << off << names({"top/sub/e"}) << on;
        QTest::newRow("sub-folder leaves ancestors' stored state")
            << none << "top/sub" << off << names({"top/sub", "top/sub/c", "top/sub/e"}) << on;
    }

    void toggle()
    {
        QFETCH(QStringList, checkedBefore);
        QFETCH(QString, click);
        QFETCH(int, shown);
        QFETCH(QStringList, checkedAfter);
        QFETCH(int, rowAfter);

        TempTree disk;
        QVERIFY(populate(disk, names({"top/a", "top/b", "top/sub/c", "top/sub/e/"})));
        const QHash<QString, ItemRef> items = itemsByPath(disk);
        for (const QString& path : checkedBefore)
            items.value(path)->state = true;
        FileListTree tree;
        QSignalSpy changed(&tree, &FileListTree::statesChanged);

        const ItemRef clicked = items.value(click);
        tree.toggle(clicked->tag, FileListTree::stateAfterClick(Qt::CheckState(shown)));

        checkedAfter.sort();
        QCOMPARE(checkedPaths(disk), checkedAfter);
        QCOMPARE(int(tree.checkState(*clicked)), rowAfter);
        QCOMPARE(changed.size(), 1);
        const auto location = changed.at(0).at(0).value<FileListTree::Location>();
        QCOMPARE(tree.children(location.parent).at(location.row), clicked);
    }

    void sort_data()
    {
        QTest::addColumn<QList<double>>("sizes");
        QTest::addColumn<int>("order");
        QTest::addColumn<QList<int>>("expected");

        QTest::newRow("truncated equal keep their order")
            << QList<double> {100.7, 100.2} << int(Qt::AscendingOrder) << QList<int> {0, 1};
        QTest::newRow("99.9 below 100.1")
            << QList<double> {100.1, 99.9} << int(Qt::AscendingOrder) << QList<int> {1, 0};
        // A negative size marks an item whose record has no attributes: it sorts as 0.
        QTest::newRow("no attributes sorts as zero, ascending")
            << QList<double> {5, -1, 0} << int(Qt::AscendingOrder) << QList<int> {1, 2, 0};
        QTest::newRow("stable among many equal, descending") << QList<double> {
            1, 2, 1, 2, 1} << int(Qt::DescendingOrder) << QList<int> {1, 3, 0, 2, 4};
    }

    void sort()
    {
        QFETCH(QList<double>, sizes);
        QFETCH(int, order);
        QFETCH(QList<int>, expected);

        TempTree disk;
        QList<ItemRef>& list = SharedState::instance().arrFileList;
        for (int i = 0; i < sizes.size(); ++i) {
            const QString path = disk.writeFile(QStringLiteral("f%1").arg(i), "x");
            list.append(makeTopLevelItem(FileDirectory::fromUrl(QUrl::fromLocalFile(path)), i));
            if (sizes.at(i) < 0)
                list.last()->data.file.reset();
            else
                list.last()->data.file->size = sizes.at(i);
        }
        FileListTree tree;
        tree.sortTopLevel(Qt::SortOrder(order));

        QList<int> shown;
        QList<int> stored;
        for (int row = 0; row < list.size(); ++row) {
            shown.append(int(tree.children(nullptr).at(row)->tag));
            stored.append(int(list.at(row)->tag));
        }
        QCOMPARE(shown, expected);
        QCOMPARE(stored, expected);
    }
};

QTEST_GUILESS_MAIN(TestFileListTree)
#include "tst_filelisttree.moc"
