// SPDX-License-Identifier: GPL-3.0-or-later
// corvane-bench-scan: builds a tree of N entries in a temporary folder it removes at the end,
// runs the application's real list building on it (drop acceptance of the top folders, then the
// scan with its hand-overs to the GUI thread), watches the GUI thread for stalls meanwhile, and
// compares the time with `find` over the same folders, for each tree size asked for in turn.

#include "ItemDictionary.h"
#include "ListBuilder.h"
#include "SharedState.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kTopFolders = 4;
constexpr int kLeavesPerFolder = 10;
constexpr int kFilesPerLeaf = 50;
constexpr int kTickMs = 5;

volatile std::sig_atomic_t s_interrupted = 0;

void onSignal(int)
{
    s_interrupted = 1;
}

// A mix of names as a real tree has them.
const char* const kSuffixes[] = {".txt", ".jpg", ".pdf", ".c", ".mp3", "", ".tar.gz", ".html",
    ".png", ".odt", ".json", ".cpp", ".zip", ".md", ".log", ".svg"};

bool makeFolder(const QByteArray& path)
{
    return ::mkdir(path.constData(), 0755) == 0;
}

bool makeFile(const QByteArray& path, int length)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    static const QByteArray content(4096, 'x');
    const bool ok = length == 0 || ::write(fd, content.constData(), size_t(length)) == length;
    return ::close(fd) == 0 && ok;
}

// Exactly `items` entries below the top folders: folders of folders of files, three levels.
bool buildTree(const QStringList& tops, qint64 items)
{
    for (const QString& top : tops) {
        if (!makeFolder(QFile::encodeName(top)))
            return false;
    }
    qint64 made = 0;
    for (int folder = 0; made < items; ++folder) {
        const QByteArray mid = QFile::encodeName(tops.at(folder % tops.size())) + "/folder"
            + QByteArray::number(folder);
        if (!makeFolder(mid))
            return false;
        ++made;
        for (int leaf = 0; leaf < kLeavesPerFolder && made < items; ++leaf) {
            const QByteArray leafPath = mid + "/leaf" + QByteArray::number(leaf);
            if (!makeFolder(leafPath))
                return false;
            ++made;
            for (int file = 0; file < kFilesPerLeaf && made < items; ++file, ++made) {
                if (s_interrupted)
                    return false;
                const QByteArray name = (file % 10 == 9 ? ".file" : "file")
                    + QByteArray::number(file) + kSuffixes[(folder + file) % 16];
                if (!makeFile(leafPath + '/' + name, (file * 397) % 4000))
                    return false;
            }
        }
    }
    return true;
}

// Peak resident memory in KiB (VmHWM), or -1.
qint64 peakResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').constFirst().toLongLong();
    }
    return -1;
}

// Starts the peak over at the current size, so the scan's growth is not hidden by the tree
// building before it. False where the kernel does not offer it.
bool resetPeakResident()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
}

QString quoted(const QStringList& paths)
{
    QStringList out;
    for (const QString& path : paths)
        out.append(u'\'' + path + u'\'');
    return out.join(u' ');
}

// Standard output of a shell command line, trimmed; empty on failure.
QByteArray shellOutput(const QString& command)
{
    QProcess process;
    process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0)
        return {};
    return process.readAllStandardOutput().trimmed();
}

// Processor seconds (user and system) used so far by this process's threads, or by its
// children that have been waited for.
double cpuSeconds(int who)
{
    rusage usage {};
    ::getrusage(who, &usage);
    const auto seconds
        = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Seconds `find TOPS -printf '%s\n' > /dev/null` takes, or -1.
double timeFind(const QStringList& tops)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    QStringList args = tops;
    args << QStringLiteral("-printf") << QStringLiteral("%s\\n");
    QElapsedTimer timer;
    timer.start();
    process.start(QStringLiteral("find"), args);
    if (!process.waitForFinished(-1) || process.exitCode() != 0)
        return -1;
    return double(timer.nsecsElapsed()) / 1e9;
}

qint64 countItems(const ItemRef& item)
{
    qint64 count = 1;
    for (const ItemRef& child : item->arrpath)
        count += countItems(child);
    return count;
}

} // namespace

struct ScanRun
{
    double scanSeconds = 0;
    double findSeconds = -1;
    double stallMs = 0;
    int status = 0;
    double cpuRatio = 0;
};

// One measured scan of the tree, the GUI thread watched meanwhile, then find over it.
static ScanRun scanRun(QCoreApplication& app, const QStringList& tops, qint64 items,
    qint64 findCount, const QByteArray& findBytes)
{
    const bool peakReset = resetPeakResident();
    const qint64 peakBefore = peakResidentKiB();

    // The GUI thread's lateness, sampled by a timer that should fire every kTickMs.
    QElapsedTimer tickClock;
    qint64 lastTick = 0;
    qint64 longestStallNs = 0;
    bool scanning = true;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(kTickMs);
    QObject::connect(&ticker, &QTimer::timeout, &app, [&] {
        const qint64 now = tickClock.nsecsElapsed();
        if (scanning)
            longestStallNs = std::max(longestStallNs, now - lastTick - kTickMs * 1000000LL);
        lastTick = now;
        if (s_interrupted)
            QCoreApplication::exit(3);
    });

    SharedState& state = SharedState::instance();
    int reloads = 0;
    qint64 nextTag = -1;
    double scanSeconds = 0;
    double cpuBefore = 0;
    double scanCpu = 0;
    QElapsedTimer scanTimer;
    std::unique_ptr<ListBuilder::ScanHandle> scan;

    QTimer::singleShot(0, &app, [&] {
        tickClock.start();
        ticker.start();
        scanTimer.start();
        cpuBefore = cpuSeconds(RUSAGE_SELF);
        // The same road as a drop on the home screen followed by the list screen's load.
        ListBuilder::acceptDroppedPaths(tops);
        state.isAddingFiles = true;
        scan = ListBuilder::startScan(
            0, [&] { ++reloads; },
            [&](qint64 tag) {
                scanSeconds = double(scanTimer.nsecsElapsed()) / 1e9;
                scanCpu = cpuSeconds(RUSAGE_SELF) - cpuBefore;
                nextTag = tag;
                state.isAddingFiles = false;
                scanning = false;
                QCoreApplication::exit(0);
            });
    });
    if (app.exec() != 0) {
        scan.reset();
        state.resetLists();
        std::fprintf(stderr, "interrupted\n");
        return {0, -1, 0, 3, 0};
    }
    ticker.stop();
    const qint64 peakAfter = peakResidentKiB();

    qint64 dictionaries = 0;
    double totalSize = 0;
    for (const ItemRef& item : std::as_const(state.arrFileList)) {
        dictionaries += countItems(item);
        if (item->data.file)
            totalSize += item->data.file->size;
    }
    const qint64 expected = findCount + state.arrPendingItems.size();
    const bool countsMatch = findCount == items && dictionaries == expected
        && nextTag == dictionaries && reloads == state.arrFileList.size();
    const bool sizesMatch = QByteArray::number(qint64(totalSize)) == findBytes;

    double findSeconds = -1;
    double findCpu = -1;
    for (int run = 0; run < 3; ++run) {
        const double childCpu = cpuSeconds(RUSAGE_CHILDREN);
        const double seconds = timeFind(tops);
        if (seconds >= 0 && (findSeconds < 0 || seconds < findSeconds)) {
            findSeconds = seconds;
            findCpu = cpuSeconds(RUSAGE_CHILDREN) - childCpu;
        }
    }

    std::printf("accepted top folders: %lld; reloads: %d; tags handed back: %lld\n",
        static_cast<long long>(state.arrPendingItems.size()), reloads,
        static_cast<long long>(nextTag));
    std::printf("item dictionaries in arrFileList (all depths): %lld; "
                "`find TOPS -mindepth 1 | wc -l` + top folders: %lld + %lld = %lld: %s\n",
        static_cast<long long>(dictionaries), static_cast<long long>(findCount),
        static_cast<long long>(state.arrPendingItems.size()), static_cast<long long>(expected),
        countsMatch ? "equal" : "DIFFERENT");
    std::printf("sum of the top folders' totals: %.0f bytes; find's allocated bytes of regular "
                "files: %s: %s\n",
        totalSize, findBytes.constData(), sizesMatch ? "equal" : "DIFFERENT");
    std::printf("peak resident memory: %lld KiB before the scan, %lld KiB after%s\n",
        static_cast<long long>(peakBefore), static_cast<long long>(peakAfter),
        peakReset ? "" : " (peak could not be reset; growth may be understated)");
    std::printf("find timed as the best of 3 runs of `find TOPS -printf '%%s\\n' > /dev/null`\n");

    const double ratio = findSeconds > 0 ? scanSeconds / findSeconds : 0;
    const double kibPerItem = double(peakAfter - peakBefore) / double(items);
    const double stallMs = double(longestStallNs) / 1e6;
    std::printf("targets: ratio <= 1.5 %s, < 1 KiB per item %s, GUI stall < 50 ms %s\n",
        ratio <= 1.5 ? "met" : "MISSED", kibPerItem < 1.0 ? "met" : "MISSED",
        stallMs < 50 ? "met" : "MISSED");
    std::printf("longest GUI stall during scan: %.1f ms (target < 50 ms)\n", stallMs);
    std::printf("scan %lld items: %.3f s; find: %.3f s; ratio %.2f; %.2f KiB per item\n",
        static_cast<long long>(items), scanSeconds, findSeconds, ratio, kibPerItem);
    // The scan lists folders on several threads and find on one: the wall-clock ratio follows
    // the processor ratio divided by the cores the scan finds free.
    std::printf("processor time: scan %.3f s (all threads), find %.3f s: ratio %.2f\n", scanCpu,
        findCpu, findCpu > 0 ? scanCpu / findCpu : 0);
    std::fflush(stdout);

    scan.reset();
    state.resetLists();
    return {scanSeconds, findSeconds, stallMs, countsMatch && sizesMatch ? 0 : 1,
        findCpu > 0 ? scanCpu / findCpu : 0};
}

static int benchOnce(QCoreApplication& app, const QString& parent, qint64 items, int repeat)
{
    QTemporaryDir root(parent + QStringLiteral("/corvane-bench-scan-XXXXXX"));
    if (!root.isValid()) {
        std::fprintf(stderr, "cannot make a temporary folder in %s\n", qPrintable(parent));
        return 2;
    }
    QStringList tops;
    for (int i = 0; i < kTopFolders; ++i)
        tops.append(root.path() + QStringLiteral("/top%1").arg(i));

    QElapsedTimer buildTimer;
    buildTimer.start();
    if (!buildTree(tops, items)) {
        std::fprintf(stderr, "could not build the tree in %s\n", qPrintable(root.path()));
        return 2;
    }
    std::printf("tree: %lld entries below %d top folders in %s, made in %.2f s\n",
        static_cast<long long>(items), kTopFolders, qPrintable(root.path()),
        double(buildTimer.nsecsElapsed()) / 1e9);

    // Also warms the cache for both contestants.
    const qint64 findCount
        = shellOutput(u"find " + quoted(tops) + QStringLiteral(" -mindepth 1 | wc -l"))
              .toLongLong();
    const QByteArray findBytes = shellOutput(u"find " + quoted(tops)
        + QStringLiteral(
            " -type f -printf '%b\\n' | awk '{s += $1} END {printf \"%.0f\", s * 512}'"));

    ScanRun worst;
    int status = 0;
    for (int run = 1; run <= repeat && status < 2; ++run) {
        if (repeat > 1)
            std::printf("run %d of %d\n", run, repeat);
        const ScanRun one = scanRun(app, tops, items, findCount, findBytes);
        status = std::max(status, one.status);
        const auto ratio = [](const ScanRun& r) {
            return r.findSeconds > 0 ? r.scanSeconds / r.findSeconds : 0.0;
        };
        if (run == 1 || ratio(one) > ratio(worst)) {
            worst.scanSeconds = one.scanSeconds;
            worst.findSeconds = one.findSeconds;
        }
        worst.stallMs = std::max(worst.stallMs, one.stallMs);
        worst.cpuRatio = std::max(worst.cpuRatio, one.cpuRatio);
    }
    if (repeat > 1 && status < 2)
        std::printf("worst of %d runs of %lld items: ratio %.2f (scan %.3f s, find %.3f s); "
                    "longest GUI stall %.1f ms; highest processor-time ratio %.2f\n",
            repeat, static_cast<long long>(items),
            worst.findSeconds > 0 ? worst.scanSeconds / worst.findSeconds : 0.0, worst.scanSeconds,
            worst.findSeconds, worst.stallMs, worst.cpuRatio);
    return status;
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvane-bench-scan"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Times Corvane's list building on a tree it makes in a temporary folder, which it "
        "removes at the end, against find over the same tree."));
    parser.addHelpOption();
    const QCommandLineOption itemsOption(QStringLiteral("items"),
        QStringLiteral("Entries in the tree below the top folders; a comma-separated list runs "
                       "each size in turn (default 10000,100000,1000000)."),
        QStringLiteral("N"), QStringLiteral("10000,100000,1000000"));
    const QCommandLineOption dirOption(QStringLiteral("dir"),
        QStringLiteral("Existing folder to make the temporary folder in (default: $TMPDIR or "
                       "/tmp)."),
        QStringLiteral("DIR"));
    const QCommandLineOption repeatOption(QStringLiteral("repeat"),
        QStringLiteral("Scans of each tree, each timed against find; the worst is printed last "
                       "(default 1)."),
        QStringLiteral("N"), QStringLiteral("1"));
    parser.addOption(itemsOption);
    parser.addOption(dirOption);
    parser.addOption(repeatOption);
    parser.process(app);

    QList<qint64> sizes;
    for (const QString& text : parser.value(itemsOption).split(u',')) {
        bool ok = false;
        const qint64 items = text.trimmed().toLongLong(&ok);
        if (!ok || items < 1) {
            std::fprintf(stderr, "--items needs whole numbers of at least 1\n");
            return 2;
        }
        sizes.append(items);
    }
    const int repeat = parser.value(repeatOption).toInt();
    if (repeat < 1) {
        std::fprintf(stderr, "--repeat needs a whole number of at least 1\n");
        return 2;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    const QString parent = parser.isSet(dirOption) ? parser.value(dirOption) : QDir::tempPath();
    int status = 0;
    for (const qint64 items : sizes) {
        status = std::max(status, benchOnce(app, parent, items, repeat));
        if (status > 1)
            break;
    }
    return status;
}
