// SPDX-License-Identifier: GPL-3.0-or-later
// corvane-bench-shred: times the shredding engine against dd and GNU shred, inside a
// temporary folder it makes and removes itself, and prints the figures and their ratios.

#include "ShredBench.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <sys/vfs.h>

namespace {

constexpr long kTmpfsMagic = 0x01021994;

void onSignal(int)
{
    ShredBench::s_interrupted = 1;
}

bool positiveInt(const QCommandLineParser& parser, const QCommandLineOption& option, qint64* out)
{
    if (!parser.isSet(option))
        return true;
    bool ok = false;
    const qint64 value = parser.value(option).toLongLong(&ok);
    if (!ok || value < 1) {
        std::fprintf(stderr, "--%s needs a whole number of at least 1\n",
            qPrintable(option.names().constFirst()));
        return false;
    }
    *out = value;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvane-bench-shred"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Times the Corvane shredding engine against dd and GNU shred on files it makes in a "
        "temporary folder, which it removes at the end."));
    parser.addHelpOption();
    const QCommandLineOption dirOption(QStringLiteral("dir"),
        QStringLiteral(
            "Existing folder to make the temporary folder in (default: $TMPDIR or /tmp)."),
        QStringLiteral("DIR"));
    const QCommandLineOption sizeOption(QStringLiteral("size-mib"),
        QStringLiteral("Size of the large file in MiB (default 1024)."), QStringLiteral("N"));
    const QCommandLineOption filesOption(QStringLiteral("small-files"),
        QStringLiteral("Number of small files (default: 3000, then 30000)."), QStringLiteral("N"));
    const QCommandLineOption smallOnlyOption(
        QStringLiteral("small-only"), QStringLiteral("Only the small-file figures."));
    const QCommandLineOption repeatOption(QStringLiteral("repeat"),
        QStringLiteral("Timed pairs per figure; the median is reported (default 1 for the large "
                       "file, 3 for the small files)."),
        QStringLiteral("N"));
    const QCommandLineOption quickOption(
        QStringLiteral("quick"), QStringLiteral("Quick run: 64 MiB and 300 small files."));
    parser.addOptions(
        {dirOption, sizeOption, filesOption, repeatOption, quickOption, smallOnlyOption});
    parser.process(app);

    BenchOptions options;
    if (parser.isSet(quickOption)) {
        options.sizeMiB = 64;
        options.smallFiles = {300};
    }
    options.smallOnly = parser.isSet(smallOnlyOption);
    qint64 size = qint64(options.sizeMiB);
    qint64 files = 1;
    qint64 repeat = 0;
    if (!positiveInt(parser, sizeOption, &size) || !positiveInt(parser, filesOption, &files)
        || !positiveInt(parser, repeatOption, &repeat))
        return 1;
    if (files > 1000000 || size > 1024 * 1024) {
        std::fprintf(stderr, "--small-files is at most 1000000 and --size-mib at most 1048576\n");
        return 1;
    }
    options.sizeMiB = quint64(size);
    if (parser.isSet(filesOption))
        options.smallFiles = {int(files)};
    if (repeat > 0)
        options.repeatLarge = options.repeatSmall = int(std::min<qint64>(repeat, 1000));

    QString base = parser.isSet(dirOption) ? parser.value(dirOption) : QDir::tempPath();
    if (!QFileInfo(base).isDir()) {
        std::fprintf(stderr, "%s is not an existing folder\n", qPrintable(base));
        return 1;
    }
    base = QFileInfo(base).canonicalFilePath();
    QTemporaryDir work(base + QStringLiteral("/corvane-bench-XXXXXX"));
    if (!work.isValid()) {
        std::fprintf(stderr, "could not make a temporary folder in %s: %s\n", qPrintable(base),
            qPrintable(work.errorString()));
        return 1;
    }

    struct statfs fs;
    if (::statfs(QFile::encodeName(work.path()).constData(), &fs) == 0 && fs.f_type == kTmpfsMagic)
        std::fprintf(stderr,
            "warning: %s is on tmpfs, where syncing costs nothing; the figures "
            "say little about a disk\n",
            qPrintable(work.path()));

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);

    int status = 0;
    try {
        ShredBench bench(options, work.path());
        bench.run();
    } catch (const BenchError& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "corvane-bench-shred: %s\n", e.what());
        status = 1;
    }
    if (!work.remove()) {
        std::fprintf(stderr, "could not remove %s\n", qPrintable(work.path()));
        status = 1;
    }
    return status;
}
