// SPDX-License-Identifier: GPL-3.0-or-later
// corvane-bench-list: how the files list copes with a large tree. Builds a tree of N entries
// (folders of files) in a temporary folder it removes at the end, scans it with the
// application's list building, shows it in the real tree view, model and row delegate in a
// 900x600 window, and times what a user does with it: the first paint after the scan, expanding
// everything, checking the top folder, and scrolling from top to bottom a page at a time.

#include "FileListModel.h"
#include "ListBuilder.h"
#include "SharedState.h"
#include "outlinviewClass.h"
#include "tblcell_shredderFiles.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kFilesPerFolder = 99;
constexpr double kInteractionTargetMs = 100;
constexpr double kFrameTargetMs = 50;

// Names of several types, so the icon cache sees more than one entry.
const char* const kSuffixes[]
    = {".txt", ".jpg", ".pdf", ".c", ".mp3", "", ".tar.gz", ".html", ".png", ".odt"};

bool makeFile(const QByteArray& path, int length)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    static const QByteArray content(4096, 'x');
    const bool ok = length == 0 || ::write(fd, content.constData(), size_t(length)) == length;
    return ::close(fd) == 0 && ok;
}

// Exactly `items` entries below `top`: folders of kFilesPerFolder files each.
bool buildTree(const QString& top, qint64 items)
{
    const QByteArray base = QFile::encodeName(top);
    if (::mkdir(base.constData(), 0755) != 0)
        return false;
    qint64 made = 0;
    for (int folder = 0; made < items; ++folder) {
        const QByteArray dir = base + "/folder" + QByteArray::number(folder);
        if (::mkdir(dir.constData(), 0755) != 0)
            return false;
        ++made;
        for (int file = 0; file < kFilesPerFolder && made < items; ++file, ++made) {
            const QByteArray name = "file" + QByteArray::number(file) + kSuffixes[file % 10];
            if (!makeFile(dir + '/' + name, (file * 397) % 4000))
                return false;
        }
    }
    return true;
}

double msSince(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

const char* verdict(double ms, double target)
{
    return ms < target ? "met" : "MISSED";
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvane-bench-list"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Times the Corvane files list (model, row delegate, tree view) on a tree it makes in a "
        "temporary folder, which it removes at the end."));
    parser.addHelpOption();
    const QCommandLineOption itemsOption(QStringLiteral("items"),
        QStringLiteral("Entries in the tree below the top folder (default 100000)."),
        QStringLiteral("N"), QStringLiteral("100000"));
    const QCommandLineOption dirOption(QStringLiteral("dir"),
        QStringLiteral("Existing folder to make the temporary folder in (default: $TMPDIR or "
                       "/tmp)."),
        QStringLiteral("DIR"));
    parser.addOption(itemsOption);
    parser.addOption(dirOption);
    parser.process(app);

    bool ok = false;
    const qint64 items = parser.value(itemsOption).toLongLong(&ok);
    if (!ok || items < 1) {
        std::fprintf(stderr, "--items needs a whole number of at least 1\n");
        return 2;
    }
    const QString parent = parser.isSet(dirOption) ? parser.value(dirOption) : QDir::tempPath();
    QTemporaryDir root(parent + QStringLiteral("/corvane-bench-list-XXXXXX"));
    if (!root.isValid()) {
        std::fprintf(stderr, "cannot make a temporary folder in %s\n", qPrintable(parent));
        return 2;
    }
    const QString top = root.path() + QStringLiteral("/top");

    QElapsedTimer timer;
    timer.start();
    if (!buildTree(top, items)) {
        std::fprintf(stderr, "could not build the tree in %s\n", qPrintable(root.path()));
        return 2;
    }
    std::printf("tree: %lld entries (folders of %d files) below one top folder in %s, made in "
                "%.2f s\n",
        static_cast<long long>(items), kFilesPerFolder, qPrintable(root.path()),
        double(timer.nsecsElapsed()) / 1e9);

    SharedState& state = SharedState::instance();
    state.resetLists();

    // The list screen's parts, as it puts them together.
    QWidget window;
    window.resize(900, 600);
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* view = new outlinviewClass(&window);
    layout->addWidget(view);
    auto* model = new FileListModel(view);
    auto* delegate = new tblcell_shredderFiles(view);
    view->setModel(model);
    delegate->install(view);
    view->setHeaderHidden(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    window.show();
    QCoreApplication::processEvents();

    // The road of a drop on the home screen followed by the list screen's load.
    int reloads = 0;
    double scanSeconds = 0;
    double firstPaintMs = 0;
    std::unique_ptr<ListBuilder::ScanHandle> scan;
    QTimer::singleShot(0, &app, [&] {
        timer.restart();
        ListBuilder::acceptDroppedPaths({top});
        state.isAddingFiles = true;
        scan = ListBuilder::startScan(
            0,
            [&] {
                ++reloads;
                model->reload();
            },
            [&](qint64) {
                scanSeconds = double(timer.nsecsElapsed()) / 1e9;
                // The completion of adding: normal look, recount, the end-of-adding sort.
                QElapsedTimer paint;
                paint.start();
                state.isAddingFiles = false;
                model->reload();
                model->sortTopLevel(Qt::DescendingOrder);
                QCoreApplication::processEvents();
                view->viewport()->repaint();
                firstPaintMs = msSince(paint);
                QCoreApplication::exit(0);
            });
    });
    if (app.exec() != 0 || state.arrFileList.size() != 1) {
        std::fprintf(stderr, "the scan did not finish with one top-level item\n");
        return 1;
    }
    const ItemRef topItem = state.arrFileList.constFirst();
    std::printf("scan: %.2f s through ListBuilder::startScan; %d reload(s); %lld files counted\n",
        scanSeconds, reloads, static_cast<long long>(model->counts().filesCount));

    timer.restart();
    view->expandItem(model->index(0, 0), true);
    view->viewport()->repaint();
    const double expandMs = msSince(timer);

    timer.restart();
    model->toggleByTag(topItem->tag, Qt::Checked);
    QCoreApplication::processEvents();
    view->viewport()->repaint();
    const double checkMs = msSince(timer);
    const FileListModel::Counts checked = model->counts();

    timer.restart();
    model->toggleByTag(topItem->tag, Qt::Unchecked);
    QCoreApplication::processEvents();
    view->viewport()->repaint();
    const double uncheckMs = msSince(timer);

    timer.restart();
    model->setAllStates(true);
    QCoreApplication::processEvents();
    view->viewport()->repaint();
    const double selectAllMs = msSince(timer);

    // One file deep in the tree: its own row and each ancestor change.
    const ItemRef deepFile = topItem->arrpath.constLast()->arrpath.constFirst();
    timer.restart();
    model->toggleByTag(deepFile->tag, Qt::Unchecked);
    QCoreApplication::processEvents();
    view->viewport()->repaint();
    const double singleMs = msSince(timer);

    QScrollBar* bar = view->verticalScrollBar();
    bar->setValue(0);
    view->viewport()->repaint();
    int steps = 0;
    double longestStepMs = 0;
    QElapsedTimer total;
    total.start();
    for (int value = 0; value < bar->maximum();) {
        value = std::min(bar->maximum(), value + bar->pageStep());
        QElapsedTimer step;
        step.start();
        bar->setValue(value);
        view->viewport()->repaint();
        longestStepMs = std::max(longestStepMs, msSince(step));
        ++steps;
    }
    const double scrollMs = msSince(total);

    const qint64 rows = qint64(model->rowCount()) + items;
    std::printf("window 900x600, %lld rows once expanded, row height %d px, scroll bar 0..%d "
                "by %d\n",
        static_cast<long long>(rows), tblcell_shredderFiles::kRowHeight, bar->maximum(),
        bar->pageStep());
    std::printf("first paint after the scan (normal look, recount, sort, repaint): %.1f ms "
                "(target < %.0f ms) %s\n",
        firstPaintMs, kInteractionTargetMs, verdict(firstPaintMs, kInteractionTargetMs));
    std::printf("expand all (expandItem(top, true) + repaint): %.1f ms (target < %.0f ms) %s\n",
        expandMs, kInteractionTargetMs, verdict(expandMs, kInteractionTargetMs));
    std::printf("check the top folder (toggleByTag, whole subtree, recount, repaint): %.1f ms; "
                "%lld of %lld files checked (target < %.0f ms) %s\n",
        checkMs, static_cast<long long>(checked.selectedFiles),
        static_cast<long long>(checked.filesCount), kInteractionTargetMs,
        verdict(checkMs, kInteractionTargetMs));
    std::printf("uncheck the top folder: %.1f ms (target < %.0f ms) %s\n", uncheckMs,
        kInteractionTargetMs, verdict(uncheckMs, kInteractionTargetMs));
    std::printf("select all (setAllStates + repaint): %.1f ms (target < %.0f ms) %s\n", selectAllMs,
        kInteractionTargetMs, verdict(selectAllMs, kInteractionTargetMs));
    std::printf("uncheck one deep file: %.1f ms; totalSelectedFiles now %lld (target < %.0f ms) "
                "%s\n",
        singleMs, static_cast<long long>(state.totalSelectedFiles.load()), kInteractionTargetMs,
        verdict(singleMs, kInteractionTargetMs));
    std::printf("scroll top to bottom a page at a time: %d steps, %.1f ms in all, %.2f ms per "
                "step, longest step %.2f ms (target: no frame > %.0f ms) %s\n",
        steps, scrollMs, steps ? scrollMs / steps : 0.0, longestStepMs, kFrameTargetMs,
        verdict(longestStepMs, kFrameTargetMs));
    std::fflush(stdout);

    const bool allChecked = checked.selectedFiles == checked.filesCount && checked.filesCount > 0;
    scan.reset();
    state.resetLists();
    return allChecked ? 0 : 1;
}
