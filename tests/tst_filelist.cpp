// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileListFixture.h"
#include "FileRevealer.h"
#include "LanguageTable.h"
#include "ShredPlan.h"
#include "Strings.h"
#include "UrlCatcher.h"

#include <QDBusConnection>
#include <QFile>
#include <QHelpEvent>
#include <QScopeGuard>
#include <QToolTip>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr int off = Qt::Unchecked;
constexpr int mixed = Qt::PartiallyChecked;
constexpr int on = Qt::Checked;

} // namespace

class TestFileList : public QObject
{
    Q_OBJECT

    UrlCatcher m_urls {QStringLiteral("file")};

private slots:
    void initTestCase()
    {
        setLanguageStrings(loadPlistDictionary(QStringLiteral("English")));
        QVERIFY(!localizedText(QStringLiteral("IDS_KQ_112")).isEmpty());
    }

    void init()
    {
        SharedState::instance().resetLists();
        SharedState::instance().isAddingFiles = false;
        m_urls.opened.clear();
    }

    void cleanupTestCase() { SharedState::instance().resetLists(); }

    // Hand-overs, checking, sorting and removal, with the model tester and a view watching.
    void modelThroughChanges()
    {
        ListFixture list(names({"one/a", "one/sub/b", "one/sub/d", "one/sub/e/", "two/c"}));
        QVERIFY(list.ready);
        const TempTree& tree = list.tree;
        const QHash<QString, ItemRef> items = itemsByPath(tree);
        FileListModel& model = list.model;
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);

        // A later hand-over appends a row without a reset: here a record without attributes,
        // dropped with a trailing slash.
        const QUrl goneUrl = QUrl::fromLocalFile(tree.path(QStringLiteral("gone/")));
        const ItemRef gone = makeTopLevelItem(FileDirectory::fromUrl(goneUrl), 50);
        SharedState::instance().arrFileList.append(gone);
        // While the scan runs the rows are only appended; the scan's end counts them.
        SharedState::instance().isAddingFiles = true;
        QSignalSpy counted(&model, &FileListModel::countsChanged);
        model.reload();
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(counted.size(), 0);
        SharedState::instance().isAddingFiles = false;
        model.reload();
        QCOMPARE(counted.size(), 1);
        QCOMPARE(reset.size(), 0);
        const QModelIndex goneRow = model.index(2, 0);
        QCOMPARE(goneRow.data().toString(), QStringLiteral("gone"));
        QCOMPARE(goneRow.data(FileListModel::SizeTextRole).toString(), QString());
        QCOMPARE(model.revealPathForTag(50), goneUrl.toLocalFile());
        model.toggleByTag(50, Qt::Unchecked);
        QCOMPARE(goneRow.data(Qt::CheckStateRole).toInt(), on);

        model.setAllStates(true);
        QCOMPARE(model.counts().filesCount, qint64(4));
        QCOMPARE(model.counts().selectedFiles, qint64(4));
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.toggleByTag(items.value(QStringLiteral("one/sub"))->tag, Qt::Unchecked);
        QCOMPARE(model.counts().selectedFiles, qint64(2));
        // The clicked row and the folder above it are repainted: both boxes changed.
        QSet<qint64> repainted;
        for (const QList<QVariant>& signal : std::as_const(changed))
            repainted.insert(signal.at(0).toModelIndex().data(FileListModel::TagRole).toLongLong());
        QVERIFY(repainted.contains(items.value(QStringLiteral("one/sub"))->tag));
        QVERIFY(repainted.contains(items.value(QStringLiteral("one"))->tag));

        // Sorting moves whole rows: children keep their order, expanded rows stay expanded.
        const QModelIndex one = model.index(0, 0);
        list.view.expand(one);
        const QPersistentModelIndex firstChild = model.index(0, 0, one);
        const QStringList children = childNames(one);
        model.sortTopLevel(Qt::AscendingOrder);
        const QModelIndex moved = model.indexForTag(items.value(QStringLiteral("one"))->tag);
        QCOMPARE(moved.row(), 2);
        QCOMPARE(childNames(moved), children);
        QVERIFY(list.view.isExpanded(moved));
        QVERIFY(!list.view.isExpanded(model.index(1, 0)));
        QCOMPARE(firstChild.parent(), moved);
        model.sortTopLevel(Qt::DescendingOrder);
        QCOMPARE(childNames(model.index(0, 0)), children);

        // Only a top-level row is removed, and the counts follow.
        QVERIFY(!model.removeTopLevelByTag(items.value(QStringLiteral("one/a"))->tag));
        QVERIFY(!model.removeTopLevelByTag(1000));
        QCOMPARE(model.rowCount(), 3);
        QVERIFY(!model.removeTopLevelByTag(items.value(QStringLiteral("one"))->tag));
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(SharedState::instance().arrFileList.size(), 2);
        QCOMPARE(SharedState::instance().totalSelectedFiles.load(), qint64(1));
        QVERIFY(!model.indexForTag(items.value(QStringLiteral("one"))->tag).isValid());

        // A list replaced behind the model's back is picked up by a reset.
        SharedState::instance().arrFileList = {gone};
        model.reload();
        QCOMPARE(reset.size(), 1);
        QCOMPARE(model.rowCount(), 1);
        QVERIFY(model.removeTopLevelByTag(50)); // the list is empty now
        QCOMPARE(model.rowCount(), 0);
    }

    // Real clicks on the boxes; while a scan runs the rows refuse every change.
    void checkBoxClicks()
    {
        ListFixture list(names({"top/a", "top/b"}));
        QVERIFY(list.ready);
        const TempTree& tree = list.tree;
        const QModelIndex top = list.model.index(0, 0);
        list.view.expand(top);
        const QModelIndex child = list.model.index(0, 0, top);
        const QStringList childPath {QStringLiteral("top/") + child.data().toString()};
        const qint64 topTag = top.data(FileListModel::TagRole).toLongLong();
        const QStyleOptionViewItem option = list.option(top);
        const QRect topBox = list.delegate.checkBoxRect(option);
        const QRect remove = list.delegate.removeButtonRect(option, top);
        const QRect reveal = list.delegate.revealButtonRect(option, top);
        const QImage uncheckedBox = list.paint(top, topBox);

        list.click(list.delegate.checkBoxRect(list.option(child)).center());
        QCOMPARE(checkedPaths(tree), childPath);
        QCOMPARE(top.data(Qt::CheckStateRole).toInt(), mixed);
        QVERIFY(list.paint(top, topBox) != uncheckedBox);

        SharedState::instance().isAddingFiles = true;
        list.model.reload();
        // The rows look busy: no state, no size, no buttons.
        QCOMPARE(child.data(Qt::CheckStateRole).toInt(), off);
        QCOMPARE(child.data(FileListModel::SizeTextRole).toString(), QString());
        QVERIFY(list.delegate.removeButtonRect(option, top).isEmpty());
        QVERIFY(list.delegate.revealButtonRect(option, top).isEmpty());
        QVERIFY(list.blank(top, remove));
        // Neither clicks, keys nor calls change anything.
        for (const QRect& rect : {topBox, remove, reveal})
            list.click(rect.center());
        list.view.setCurrentIndex(top);
        QTest::keyClick(&list.view, Qt::Key_Space);
        list.model.toggleByTag(topTag, Qt::Unchecked);
        list.model.setAllStates(false);
        QVERIFY(!list.model.removeTopLevelByTag(topTag));
        QCOMPARE(list.removed.size() + list.revealed.size(), 0);
        QCOMPARE(checkedPaths(tree), childPath);
        QCOMPARE(SharedState::instance().arrFileList.size(), 1);
        SharedState::instance().isAddingFiles = false;
        list.model.reload();

        // A mixed box checks everything; a checked one unchecks everything.
        list.click(topBox.center());
        QCOMPARE(checkedPaths(tree), (names({"top", "top/a", "top/b"})));
        QCOMPARE(SharedState::instance().totalSelectedFiles.load(), qint64(2));
        list.click(topBox.center());
        QCOMPARE(checkedPaths(tree), QStringList {});
        QCOMPARE(SharedState::instance().totalSelectedFiles.load(), qint64(0));

        // Outside the box the click selects the row and leaves the states alone.
        list.click(list.option(child).rect.center());
        QCOMPARE(checkedPaths(tree), QStringList {});
        QCOMPARE(list.view.currentIndex(), child);
        // The space bar toggles the current row's box.
        QTest::keyClick(&list.view, Qt::Key_Space);
        QCOMPARE(checkedPaths(tree), childPath);
    }

    void rowButtons()
    {
        ListFixture list(names({"t0/a", "t1/b"}));
        QVERIFY(list.ready);
        const QModelIndex first = list.model.index(0, 0);
        const QModelIndex second = list.model.index(1, 0);
        list.view.expand(second);
        const QModelIndex child = list.model.index(0, 0, second);
        const QStyleOptionViewItem option = list.option(second);
        const QRect remove = list.delegate.removeButtonRect(option, second);
        const QRect reveal = list.delegate.revealButtonRect(list.option(first), first);
        const QRect secondReveal = list.delegate.revealButtonRect(option, second);

        // Only top-level rows show and answer a remove button; a child's cell ends where the
        // top-level one does, so its remove slot lies straight below.
        QVERIFY(list.delegate.removeButtonRect(list.option(child), child).isEmpty());
        const QRect childSlot
            = remove.translated(0, list.option(child).rect.top() - option.rect.top());
        QVERIFY(!list.blank(second, remove));
        QVERIFY(list.blank(child, childSlot));

        // The reveal button shows on the row under the pointer only.
        const QPoint over = list.option(first).rect.center();
        QMouseEvent move(QEvent::MouseMove, over, list.view.viewport()->mapToGlobal(over),
            Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(list.view.viewport(), &move);
        QCOMPARE(list.delegate.hoveredIndex(), first);
        QVERIFY(!list.blank(first, reveal));
        QVERIFY(list.blank(second, secondReveal));

        // The buttons' tool tips say what they do.
        for (const auto& [rect, key] :
            {std::pair {remove, "IDS_KQ_112"}, {secondReveal, "IDS_KQ_111"}}) {
            QHelpEvent help(
                QEvent::ToolTip, rect.center(), list.view.viewport()->mapToGlobal(rect.center()));
            QVERIFY(list.delegate.helpEvent(&help, &list.view, option, second));
            QCOMPARE(QToolTip::text(), localizedText(QString::fromLatin1(key)));
        }
        QToolTip::hideText();

        list.click(reveal.center());
        QCOMPARE(list.revealed.size(), 1);
        QCOMPARE(list.revealed.at(0).at(0).toLongLong(),
            first.data(FileListModel::TagRole).toLongLong());
        list.click(remove.center());
        QCOMPARE(list.removed.size(), 1);
        QCOMPARE(list.removed.at(0).at(0).toLongLong(),
            second.data(FileListModel::TagRole).toLongLong());
        QCOMPARE(SharedState::instance().arrFileList.size(), 2); // the screen removes, not the row
        list.click(childSlot.center());
        QCOMPARE(list.removed.size(), 1);

        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(list.view.viewport(), &leave);
        QVERIFY(!list.delegate.hoveredIndex().isValid());
    }

    void rowsReadable_data()
    {
        QTest::addColumn<QPalette>("palette");
        QTest::newRow("light") << listPalette(0xefefef, 0xffffff, 0x000000);
        QTest::newRow("dark") << listPalette(0x323232, 0x242424, 0xeeeeec);
    }

    // An unchecked box shows its frame against the list in any palette, and glyphs that reach
    // below the font's descent are not cut off: underscores in a path must not read as spaces.
    void rowsReadable()
    {
        QFETCH(QPalette, palette);
        QApplication::setStyle(QStringLiteral("Fusion"));
        ListFixture list(names({"________/a", "        /a"}));
        QVERIFY(list.ready);
        list.view.setPalette(palette);
        list.view.expandAll();
        const QColor base = palette.color(QPalette::Base);
        int ink[2] = {};
        for (int row = 0; row < 2; ++row) {
            const QModelIndex top = list.model.index(row, 0);
            const QModelIndex child = list.model.index(0, 0, top);
            QCOMPARE(child.data(Qt::CheckStateRole).toInt(), off);
            const QStyleOptionViewItem option = list.option(child);
            QVERIFY2(
                inkPixels(list.paint(child, list.delegate.checkBoxRect(option), base), base, 40)
                    > 0,
                "the unchecked box does not show");
            ink[top.data().toString().startsWith(u'_') ? 0 : 1]
                = inkPixels(list.paint(child, option.rect, base), base, 60);
        }
        QVERIFY2(ink[0] - ink[1] >= 16,
            qPrintable(QStringLiteral("underscores add %1 pixels").arg(ink[0] - ink[1])));
    }

    void rowsMarkFilesThatWillNotBeErased_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason"); // the language key, empty when not marked
        QTest::newRow("second name in the list") << "hard link"
                                                 << "IDS_KQ_342";
        QTest::newRow("second name elsewhere") << "outside link"
                                               << "IDS_KQ_342";
        QTest::newRow("immutable") << "immutable"
                                   << "IDS_KQ_343";
        QTest::newRow("plain file") << "plain"
                                    << "";
    }

    // The run refuses files with other names or an immutable flag: the list says so first, with
    // the storage warnings' mark, and the confirmation counts them.
    void rowsMarkFilesThatWillNotBeErased()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);

        TempTree tree;
        TempTree outside;
        const QString file = tree.writeFile(QStringLiteral("top/file.txt"), "x");
        tree.writeFile(QStringLiteral("top/other.txt"), "y");
        if (kind == u"hard link")
            tree.makeHardLink(QStringLiteral("top/again.txt"), file);
        else if (kind == u"outside link")
            outside.makeHardLink(QStringLiteral("again.txt"), file);
        int fd = -1;
        const auto unlock = qScopeGuard([&fd] {
            int none = 0;
            if (fd >= 0)
                ::ioctl(fd, FS_IOC_SETFLAGS, &none);
            if (fd >= 0)
                ::close(fd);
        });
        if (kind == u"immutable") {
            fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
            int flags = FS_IMMUTABLE_FL;
            if (fd < 0 || ::ioctl(fd, FS_IOC_SETFLAGS, &flags) != 0)
                QSKIP("the file system here (or this user) cannot mark a file immutable");
        }
        SharedState& state = SharedState::instance();
        state.arrPendingItems.append(
            FileDirectory::fromUrl(QUrl::fromLocalFile(tree.path(QStringLiteral("top")))));
        ScanRun run;
        QVERIFY(scanAndWait(0, &run));
        ListFixture list;
        list.view.expandAll();

        const QHash<QString, ItemRef> items = itemsByPath(tree);
        const QModelIndex row
            = list.model.indexForTag(items.value(QStringLiteral("top/file.txt"))->tag);
        const QModelIndex plain
            = list.model.indexForTag(items.value(QStringLiteral("top/other.txt"))->tag);
        QVERIFY(plain.data(FileListModel::CannotEraseRole).toString().isEmpty());
        const QString expected = reason.isEmpty() ? QString()
            : reason == u"IDS_KQ_342"             ? localizedFormat(reason, QStringLiteral("2"))
                                                  : localizedText(reason);
        QCOMPARE(row.data(FileListModel::CannotEraseRole).toString(), expected);
        QCOMPARE(
            row.data(Qt::ToolTipRole).toString().endsWith(u'\n' + expected), !reason.isEmpty());

        // Painted with the mark: the same row without the reason looks different.
        const QRect rect = list.option(row).rect;
        const QImage shown = list.paint(row, rect);
        Filedata& record = *items.value(QStringLiteral("top/file.txt"))->data.file;
        const Filedata listed = record;
        record.links = 1;
        record.immutable = false;
        QCOMPARE(list.paint(row, rect) != shown, !reason.isEmpty());
        record = listed;

        // Counted for the confirmation once checked, and only then.
        QVERIFY(ShredPlan::storageSummary(state.arrFileList).refused.isEmpty());
        for (const ItemRef& item : items)
            item->state = true;
        const QList<NotErasedItem> refused = ShredPlan::storageSummary(state.arrFileList).refused;
        // Two names of one file are one file the run will not erase.
        QCOMPARE(refused.size(), reason.isEmpty() ? 0 : 1);
        if (!refused.isEmpty())
            QCOMPARE(refused.first().reason, expected);
    }

    void revealFallsBack_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("opened");
        const QString parent = QStringLiteral("/nowhere/corvane");
        QTest::newRow("file") << parent + QStringLiteral("/a.txt") << parent;
        QTest::newRow("folder with trailing slash") << parent + QStringLiteral("/dir/") << parent;
        QTest::newRow("empty path opens nothing") << QString() << QString();
    }

    void revealFallsBack()
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
        QCOMPARE(m_urls.opened,
            opened.isEmpty() ? QList<QUrl> {} : QList<QUrl> {QUrl::fromLocalFile(opened)});
    }
};

QTEST_MAIN(TestFileList)
#include "tst_filelist.moc"
