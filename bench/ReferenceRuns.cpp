// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReferenceRuns.h"

#include "BenchError.h"
#include "BenchFolder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <unistd.h>

extern char** environ;

namespace {

constexpr quint32 kZeroWord = 0x00000000u;

// Bytes execve may take for arguments, leaving the environment and a margin aside.
size_t argumentBudget()
{
    long max = ::sysconf(_SC_ARG_MAX);
    if (max <= 0)
        max = 128 * 1024;
    size_t env = 0;
    for (char** e = environ; *e; ++e)
        env += std::strlen(*e) + 1 + sizeof(char*);
    const size_t room = size_t(max) > env ? size_t(max) - env : 0;
    return std::min<size_t>(room / 2, 1024 * 1024);
}

} // namespace

ReferenceRuns::ReferenceRuns(const BenchFolder& folder, const volatile int& interrupted)
    : m_folder(folder)
    , m_interrupted(interrupted)
{
    m_dd = QStandardPaths::findExecutable(QStringLiteral("dd"));
    m_shred = QStandardPaths::findExecutable(QStringLiteral("shred"));
    if (m_dd.isEmpty() || m_shred.isEmpty())
        BenchError::raise(QStringLiteral("dd and shred (GNU coreutils) must be on the PATH"));
}

double ReferenceRuns::timeCommand(
    const QString& program, const QStringList& args, const QString& workingDir) const
{
    if (m_interrupted)
        BenchError::raise(QStringLiteral("interrupted"));
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (!workingDir.isEmpty())
        process.setWorkingDirectory(workingDir);
    const auto start = std::chrono::steady_clock::now();
    process.start(program, args);
    if (!process.waitForStarted(-1))
        BenchError::raise(
            QStringLiteral("could not start %1: %2").arg(program, process.errorString()));
    process.waitForFinished(-1);
    const double seconds
        = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        BenchError::raise(QStringLiteral("%1 failed (exit code %2): %3")
                              .arg(program)
                              .arg(process.exitCode())
                              .arg(QString::fromLocal8Bit(process.readAll()).trimmed()));
    }
    return seconds;
}

double ReferenceRuns::ddZeros(const QString& file, std::vector<double>* withUnlink) const
{
    return ddPasses(file, {QStringLiteral("/dev/zero")}, kZeroWord, nullptr, withUnlink);
}

double ReferenceRuns::ddPasses(const QString& file, const QStringList& sources, quint32 lastWord,
    std::vector<double>* passTotals, std::vector<double>* withUnlink) const
{
    m_folder.makeLargeFile(file);
    ::sync();
    double total = 0;
    for (qsizetype p = 0; p < sources.size(); ++p) {
        const double s = timeCommand(m_dd,
            {QStringLiteral("if=") + sources[p], QStringLiteral("of=") + file,
                QStringLiteral("bs=1M"),
                QStringLiteral("count=%1").arg(m_folder.largeBytes() / (1024 * 1024)),
                QStringLiteral("conv=notrunc,fsync")});
        if (passTotals)
            (*passTotals)[size_t(p)] += s;
        total += s;
    }
    m_folder.checkLargeFileStart(file, lastWord);
    withUnlink->push_back(total + m_folder.timeUnlink(file));
    return total;
}

double ReferenceRuns::ddWriteAndDirectRead(const QString& file) const
{
    const QString count = QStringLiteral("count=%1").arg(m_folder.largeBytes() / (1024 * 1024));
    m_folder.makeLargeFile(file);
    ::sync();
    double s = timeCommand(m_dd,
        {QStringLiteral("if=/dev/zero"), QStringLiteral("of=") + file, QStringLiteral("bs=1M"),
            count, QStringLiteral("conv=notrunc,fsync")});
    s += timeCommand(m_dd,
        {QStringLiteral("if=") + file, QStringLiteral("of=/dev/null"), QStringLiteral("bs=1M"),
            count, QStringLiteral("iflag=direct")});
    m_folder.checkLargeFileStart(file, kZeroWord);
    m_folder.removeIfPresent(file);
    return s;
}

double ReferenceRuns::shredLargeFile(const QString& file) const
{
    m_folder.makeLargeFile(file);
    m_folder.requireInside(file);
    ::sync();
    const double s = timeCommand(m_shred,
        {QStringLiteral("-n0"), QStringLiteral("-z"), QStringLiteral("--remove=unlink"),
            QStringLiteral("--"), file});
    if (!BenchFolder::pathGone(file))
        BenchError::raise(QStringLiteral("shred left %1 behind").arg(file));
    return s;
}

double ReferenceRuns::shredFiles(const QString& root, const QStringList& files) const
{
    // Checked before shred runs: the names are relative to `root` and must stay below it.
    m_folder.requireInside(root);
    for (const QString& f : files) {
        if (f.startsWith(QLatin1Char('/'))
            || f.split(QLatin1Char('/')).contains(QStringLiteral("..")))
            BenchError::raise(QStringLiteral("refusing to shred %1 outside %2").arg(f, root));
    }
    const QStringList head {QStringLiteral("-n0"), QStringLiteral("-z"),
        QStringLiteral("--remove=unlink"), QStringLiteral("--")};
    const size_t budget = argumentBudget();
    std::vector<QStringList> chunks;
    size_t used = budget;
    for (const QString& f : files) {
        const size_t cost = size_t(QFile::encodeName(f).size()) + 1 + sizeof(char*);
        if (used + cost > budget) {
            chunks.push_back(head);
            used = 256;
        }
        chunks.back().append(f);
        used += cost;
    }
    ::sync();
    double total = 0;
    for (const QStringList& args : chunks)
        total += timeCommand(m_shred, args, root);
    for (const QString& f : files) {
        if (!BenchFolder::pathGone(root + QLatin1Char('/') + f))
            BenchError::raise(QStringLiteral("shred left %1/%2 behind").arg(root, f));
    }
    if (!QDir(root).removeRecursively()) // only the emptied folders are left
        BenchError::raise(QStringLiteral("could not remove %1").arg(root));
    if (chunks.size() > 1)
        std::fprintf(stderr, "  shred ran in %zu chunks\n", chunks.size());
    return total;
}

double ReferenceRuns::removeTree(const QString& root) const
{
    m_folder.requireInside(root);
    ::sync();
    const double s
        = timeCommand(QStringLiteral("rm"), {QStringLiteral("-rf"), QStringLiteral("--"), root});
    if (!BenchFolder::pathGone(root))
        BenchError::raise(QStringLiteral("rm -rf left %1 behind").arg(root));
    return s;
}
