// SPDX-License-Identifier: GPL-3.0-or-later
// corvane-bench-wipe: times the free-space wipe of a file-system image against dd filling the
// same image, in the same run, and prints the figures, their ratio and the peak memory. Needs
// root: the image is made, mounted and removed in a temporary folder of its own, and nothing
// else is ever filled.

#include "FreeSpaceWipe.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

bool runTool(const QString& program, const QStringList& args, QString* output = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    const bool done = process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit;
    if (output)
        *output = QString::fromLocal8Bit(process.readAll());
    return done && process.exitCode() == 0;
}

double seconds(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

long peakRssKiB()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The mount point must be a file system of its own: a failed mount would leave the bare folder,
// on the file system that holds the temporary folder, and that must never be filled.
bool isOwnMount(const QString& mountPoint)
{
    struct stat inside;
    struct stat above;
    return ::stat(QFile::encodeName(mountPoint).constData(), &inside) == 0
        && ::stat(QFile::encodeName(mountPoint + QStringLiteral("/..")).constData(), &above) == 0
        && inside.st_dev != above.st_dev;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvane-bench-wipe"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Times the free-space wipe of a file-system image it makes against dd filling the same "
        "image (bs=1M oflag=direct), then removes the image. Needs root."));
    parser.addHelpOption();
    const QCommandLineOption dirOption(QStringLiteral("dir"),
        QStringLiteral("Existing folder for the image (default: $TMPDIR or /tmp)."),
        QStringLiteral("DIR"));
    const QCommandLineOption sizeOption(QStringLiteral("size-mib"),
        QStringLiteral("Size of the image in MiB (default 2048)."), QStringLiteral("N"));
    const QCommandLineOption fsOption(QStringLiteral("fs"),
        QStringLiteral("File system of the image: ext4 (default), btrfs or xfs."),
        QStringLiteral("TYPE"));
    const QCommandLineOption repeatOption(QStringLiteral("repeat"),
        QStringLiteral("Timed pairs; the median is reported (default 3)."), QStringLiteral("N"));
    parser.addOptions({dirOption, sizeOption, fsOption, repeatOption});
    parser.process(app);
    const int sizeMiB = parser.isSet(sizeOption) ? parser.value(sizeOption).toInt() : 2048;
    const int repeat = parser.isSet(repeatOption) ? parser.value(repeatOption).toInt() : 3;
    const QString fs = parser.isSet(fsOption) ? parser.value(fsOption) : QStringLiteral("ext4");
    if (sizeMiB < 300 || repeat < 1
        || !QStringList {QStringLiteral("ext4"), QStringLiteral("btrfs"), QStringLiteral("xfs")}
                .contains(fs)) {
        std::fprintf(
            stderr, "--size-mib is at least 300, --repeat at least 1, --fs ext4, btrfs or xfs\n");
        return 1;
    }
    if (::geteuid() != 0) {
        std::fprintf(stderr, "corvane-bench-wipe: mounting the image needs root\n");
        return 1;
    }
    const QString base = parser.isSet(dirOption) ? parser.value(dirOption) : QDir::tempPath();
    QTemporaryDir work(base + QStringLiteral("/corvane-bench-wipe-XXXXXX"));
    const QString image = work.path() + QStringLiteral("/image");
    const QString mount = work.path() + QStringLiteral("/mnt");
    QString output;
    if (!work.isValid() || !QDir().mkpath(mount)
        || !runTool(QStringLiteral("truncate"),
            {QStringLiteral("-s"), QString::number(sizeMiB) + u'M', image}, &output)
        || !runTool(QStringLiteral("mkfs.") + fs,
            {fs == u"ext4" ? QStringLiteral("-qF") : QStringLiteral("-qf"), image}, &output)
        || !runTool(QStringLiteral("mount"),
            {QStringLiteral("-o"), QStringLiteral("loop"), image, mount}, &output)) {
        std::fprintf(stderr, "corvane-bench-wipe: cannot make the image: %s\n", qPrintable(output));
        return 1;
    }
    int status = 0;
    if (!isOwnMount(mount)) {
        std::fprintf(
            stderr, "corvane-bench-wipe: %s is not a mount of its own\n", qPrintable(mount));
        status = 1;
    }
    const long baselineKiB = peakRssKiB();
    std::vector<double> wipes;
    std::vector<double> dds;
    quint64 filled = 0;
    quint64 ddFilled = 0;
    for (int i = 0; i < repeat && status == 0; ++i) {
        // Alternating which goes first, so neither always finds a warmer cache.
        for (int which = 0; which < 2 && status == 0; ++which) {
            if ((which == 0) == (i % 2 == 0)) {
                const auto start = Clock::now();
                FreeSpaceWipe wipe(QFile::encodeName(mount));
                FreeSpaceWipeReport report;
                QObject::connect(&wipe, &FreeSpaceWipe::finished,
                    [&](const FreeSpaceWipeReport& r) { report = r; });
                wipe.run();
                wipes.push_back(seconds(start));
                filled = report.bytesFilled;
                if (!report.completed()) {
                    std::fprintf(stderr,
                        "corvane-bench-wipe: the wipe did not complete (error %d)\n", report.error);
                    status = 1;
                }
            } else {
                // The same job: fill until the disk is full, then remove the fill and sync.
                const QString file = mount + QStringLiteral("/dd-fill");
                const auto start = Clock::now();
                runTool(QStringLiteral("dd"),
                    {QStringLiteral("if=/dev/zero"), QStringLiteral("of=") + file,
                        QStringLiteral("bs=1M"), QStringLiteral("oflag=direct")});
                ddFilled = quint64(QFileInfo(file).size());
                ::sync();
                QFile::remove(file);
                ::sync();
                dds.push_back(seconds(start));
            }
        }
    }
    if (status == 0) {
        const double wipe = median(wipes);
        const double dd = median(dds);
        const long peakKiB = peakRssKiB();
        std::printf("settings: %d MiB %s image, %d pairs\n", sizeMiB, qPrintable(fs), repeat);
        std::printf("wipe of the free space: wipe %.2f s (%.1f MiB filled, %.0f MiB/s), dd %.2f s "
                    "(%.1f MiB), ratio %.2f (target <= 1.1)\n",
            wipe, filled / 1048576.0, filled / 1048576.0 / wipe, dd, ddFilled / 1048576.0,
            wipe / dd);
        std::printf("memory: peak resident %.1f MiB (before the runs %.1f MiB; target < 64 MiB)\n",
            peakKiB / 1024.0, baselineKiB / 1024.0);
        const bool met = wipe / dd <= 1.1 && peakKiB < 64 * 1024;
        std::printf("targets: %s\n", met ? "all met" : "NOT met");
    }
    runTool(QStringLiteral("umount"), {mount});
    return status;
}
