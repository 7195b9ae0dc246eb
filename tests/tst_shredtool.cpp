// SPDX-License-Identifier: GPL-3.0-or-later
#include "LoopImage.h"
#include "SizeText.h"
#include "TempTree.h"
#include "UnprivilegedChild.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString kTool = QStringLiteral(CORVANE_BIN_DIR "/corvane-shred");

struct ToolRun
{
    int exitCode = -1; // also when it did not start or finish
    QString out;
    QString err;
};

// Runs the tool with `args`; as uid/gid 65534 when `unprivileged`. Leading NAME=value words set
// the environment, as env(1) reads them. A tool that waited for input or hung would not
// finish: standard input stays an open pipe that is never written.
ToolRun runTool(QStringList args, bool unprivileged = false, const QString& workingDir = {},
    const QByteArray& input = {})
{
    QProcess process;
    process.setWorkingDirectory(workingDir);
    // Names are quoted as the locale allows: the expectations here are a UTF-8 locale's.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"LC_ALL"_s, u"C.UTF-8"_s);
    environment.remove(u"LANGUAGE"_s);
    static const QRegularExpression assignment(u"^[A-Z_]+="_s);
    while (!args.isEmpty() && assignment.match(args.first()).hasMatch()) {
        const QString assigned = args.takeFirst();
        environment.insert(assigned.section(u'=', 0, 0), assigned.section(u'=', 1));
    }
    process.setProcessEnvironment(environment);
    if (!input.isEmpty()) {
        process.setProcessChannelMode(QProcess::SeparateChannels);
        QObject::connect(&process, &QProcess::started, &process, [&] {
            process.write(input);
            process.closeWriteChannel();
        });
    }
    const QStringList asNobody {u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s, kTool};
    process.start(unprivileged ? u"setpriv"_s : kTool, unprivileged ? asNobody + args : args);
    const bool finished = process.waitForFinished(30000);
    process.kill();
    return {finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
        QString::fromUtf8(process.readAllStandardOutput()),
        QString::fromUtf8(process.readAllStandardError())};
}

// The numbers of the summary, the last line of `out`: files, other entries, paths removed,
// paths, not erased, refused. Empty when there is no summary; `size` gets the size text.
QList<int> summaryOf(const QString& out, QString* size = nullptr)
{
    static const QRegularExpression line(
        u"^Erased (\\d+) files? \\(([^)]*)\\) and (\\d+) other entr(?:y|ies); (\\d+) of (\\d+) "
        "paths? removed; (\\d+) not erased; (\\d+) refused; (\\d+) with a warning\\.$"_s);
    const QRegularExpressionMatch match = line.match(out.trimmed().section(u'\n', -1));
    QList<int> numbers;
    for (const int field : {1, 3, 4, 5, 6, 7})
        numbers.append(match.captured(field).toInt());
    if (size)
        *size = match.captured(2);
    return match.hasMatch() ? numbers : QList<int>();
}

// The tool as 65534 needs to reach its binary and the test's folders.
bool toolRunsUnprivileged()
{
    if (!canDropPrivileges() || QStandardPaths::findExecutable(u"setpriv"_s).isEmpty())
        return false;
    const QByteArray tool = QFile::encodeName(kTool);
    return runUnprivileged([&] { return ::access(tool.constData(), X_OK) == 0 ? 0 : 1; }) == 0;
}

bool setOwnerAndMode(const QString& path, uid_t owner, mode_t mode)
{
    const QByteArray native = QFile::encodeName(path);
    return ::lchown(native.constData(), owner, owner) == 0
        && ::chmod(native.constData(), mode) == 0;
}

} // namespace

#define VERIFY_RUN(run, code)                                                                      \
    QVERIFY2((run).exitCode == (code),                                                             \
        qPrintable(                                                                                \
            u"exit %1\nstdout:\n%2\nstderr:\n%3"_s.arg((run).exitCode).arg((run).out, (run).err)))

class TestShredTool : public QObject
{
    Q_OBJECT

private slots:
    void usageHelpAndVersionEraseNothing_data();
    void usageHelpAndVersionEraseNothing();
    void erasesTreesWithEachMethod_data();
    void erasesTreesWithEachMethod();
    void progressLineStaysOnOneTerminalRow();
    void refusedPathsAreKeptOthersErased();
    void unwritableItemsOfAnotherUserAreKept();
    void readOnlyMountIsRefusedAndKept();
    void linksFifosAndHardLinks();
    void argumentsReachTheEngineAsBytes();
    void gnuManners_data();
    void gnuManners();
    void namesQuotedAsCoreutilsDo_data();
    void namesQuotedAsCoreutilsDo();
    void writeErrorsAreToldOnce_data();
    void writeErrorsAreToldOnce();
    void deepTreesAreErasedAndCounted_data();
    void deepTreesAreErasedAndCounted();
    void signalStopsAndKeepsTheFileInProgress_data();
    void signalStopsAndKeepsTheFileInProgress();
};

void TestShredTool::usageHelpAndVersionEraseNothing_data()
{
    QTest::addColumn<QStringList>("args"); // FILE: a file that must survive
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message"); // on standard output for 0, standard error for 2

    const auto row = [](const char* name, const char* args, int exitCode, const char* message) {
        QTest::newRow(name) << QString::fromLatin1(args).split(u' ', Qt::SkipEmptyParts) << exitCode
                            << QString::fromUtf8(message);
    };
    row("no arguments", "", 2, "missing operand");
    row("only options", "--verbose --method 2", 2, "missing operand");
    row("unknown option", "--frobnicate FILE", 2, "unrecognized option '--frobnicate'");
    row("unknown short option", "-vx FILE", 2, "invalid option -- 'x'");
    row("ambiguous prefix", "--ver FILE", 2,
        "option '--ver' is ambiguous; possibilities: '--verbose' '--verify' '--version'");
    row("value to a flag", "--quiet=1 FILE", 2, "option '--quiet' doesn't allow an argument");
    row("method 0, separate word", "--method 0 FILE", 2, "invalid method '0'");
    row("empty method", "--method= FILE", 2, "invalid method ''");
    row("one bad method of two", "--method=9 --method=1 FILE", 2, "invalid method '9'");
    row("method without value", "FILE --method", 2, "option '--method' requires an argument");
    row("short method without value", "FILE -vm", 2, "option requires an argument -- 'm'");
    row("path taken as the method", "--method FILE", 2, "invalid method");
    row("names with --files0-from", "--files0-from=- FILE", 2,
        "file operands cannot be combined with --files0-from");
    row("-h with a path", "FILE -h", 0, "Usage: corvane-shred [OPTION]... [--] PATH...");
    row("help", "--help", 0, "Exit status:");
    row("German help", "LC_ALL=de_DE.UTF-8 --help", 0, "Exit-Status:");
    row("French help", "LC_ALL=fr_FR.UTF-8 --help", 0, "Code de sortie\u00a0:");
    row("wipe with nothing to erase or wipe", "--wipe-free-space", 2, "missing operand");
    row("version with a path", "--vers FILE", 0,
        "corvane-shred (Corvane) " CORVANE_VERSION "\nCopyright (C) ");
}

void TestShredTool::usageHelpAndVersionEraseNothing()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, message);

    TempTree tree;
    const QString file = tree.writeFile(u"keep.txt"_s, "still here");
    const ToolRun run = runTool(args.replaceInStrings(u"FILE"_s, file));
    VERIFY_RUN(run, exitCode);
    const QString& shown = exitCode == 0 ? run.out : run.err;
    QVERIFY2(shown.contains(message), qPrintable(shown));
    QVERIFY2(exitCode == 0 || run.err.contains(u"Usage: corvane-shred"), qPrintable(run.err));
    QVERIFY((exitCode == 0 ? run.err : run.out).isEmpty());
    QCOMPARE(TempTree::readFile(file), QByteArray("still here"));
    // Help fits a terminal of 80 columns, as GNU's does.
    for (const QString& line : run.out.split(u'\n'))
        QVERIFY2(line.size() <= 79, qPrintable(line));
}

void TestShredTool::erasesTreesWithEachMethod_data()
{
    QTest::addColumn<QString>("args"); // run in the folder holding "top" and "single.txt"
    QTest::newRow("default method") << u"top single.txt"_s;
    QTest::newRow("method 1") << u"--method 1 top single.txt"_s;
    QTest::newRow("method 2, paths after --") << u"--method=2 -- top single.txt"_s;
    QTest::newRow("method 3 after the paths, verbose") << u"top single.txt --method 3 --verbose"_s;
}

void TestShredTool::erasesTreesWithEachMethod()
{
    QFETCH(QString, args);
    TempTree tree;
    tree.writeFile(u"single.txt"_s, "twelve bytes");
    tree.writeFile(u"top/.hidden"_s, "h");
    tree.writeFile(u"top/a.bin"_s, QByteArray(5000, 'a'));
    tree.writeFile(u"top/sub/empty-file"_s, QByteArray());
    tree.writeFile(u"top/sub/new\nline é"_s, QByteArray(300, 'u'));
    tree.makeDir(u"top/sub/empty"_s);

    const ToolRun run = runTool(args.split(u' '), false, tree.path());
    VERIFY_RUN(run, 0);
    QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
    QVERIFY(
        !TempTree::exists(tree.path(u"top"_s)) && !TempTree::exists(tree.path(u"single.txt"_s)));
    QString size;
    QCOMPARE(summaryOf(run.out, &size), (QList<int> {5, 3, 2, 2, 0, 0})); // top, sub, sub/empty
    QCOMPARE(size, sizeText(12 + 1 + 5000 + 0 + 300));

    // --verbose lists every erased file on a line of its own: a control character shows as '?'.
    QStringList listed = run.out.split(u'\n', Qt::SkipEmptyParts);
    listed.removeLast();
    listed.sort();
    const QStringList verbose {u"erased 'single.txt'"_s, u"erased 'top/.hidden'"_s,
        u"erased 'top/a.bin'"_s, u"erased 'top/sub/empty-file'"_s,
        u"erased 'top/sub/new'$'\\n''line é'"_s};
    QCOMPARE(listed, args.contains(u"--verbose") ? verbose : QStringList());
}

void TestShredTool::progressLineStaysOnOneTerminalRow()
{
    int master = -1, slave = -1;
    winsize size {0, 60, 0, 0}; // 60 columns
    if (::openpty(&master, &slave, nullptr, nullptr, &size) != 0)
        QSKIP("no pseudo-terminal available");
    TempTree tree;
    tree.writeFile(u"top/one"_s, QByteArray(2000, '1'));
    tree.writeFile(u"top/"_s + QString(80, u'n'), QByteArray(2000, 'n'));
    QProcess process;
    process.setChildProcessModifier([slave] { ::dup2(slave, STDERR_FILENO); });
    process.start(kTool, {tree.path(u"top"_s)});
    const bool finished = process.waitForFinished(30000);
    ::close(slave);
    // Read until the closed side hangs up, or nothing more comes from the terminal driver.
    QByteArray terminal;
    pollfd poller {master, POLLIN, 0};
    char buffer[4096];
    for (ssize_t n = 0; ::poll(&poller, 1, 2000) > 0 && (n = ::read(master, buffer, 4096)) > 0;)
        terminal.append(buffer, n);
    ::close(master);
    QVERIFY(finished && process.exitCode() == 0);
    // Redrawn in place, each time within the 60 columns, else "\r" would only return to its
    // last row; the long name is shortened.
    QVERIFY2(terminal.startsWith("\r\033[K") && terminal.endsWith("\r\033[K")
            && !terminal.contains('\n') && terminal.contains("[1/1] 50%, ")
            && terminal.contains(QByteArray(QByteArray("[1/1] 100%, ") + sizeText(8192).toUtf8()))
            && terminal.contains("..."),
        terminal.constData());
    for (const QByteArray& drawn : terminal.split('\r'))
        QVERIFY2(QString::fromUtf8(drawn).remove(u"\033[K"_s).size() < 60, drawn.constData());
}

void TestShredTool::refusedPathsAreKeptOthersErased()
{
    TempTree tree;
    // Restricted names, the login name among them, and a missing path; a trailing slash still
    // names the folder, and the check is exact.
    const passwd* user = ::getpwuid(::geteuid());
    const QStringList refused {u"Documents"_s, u"Library"_s, u"Applications"_s,
        user ? QFile::decodeName(user->pw_name) : u"Music"_s, u"gone"_s};
    QStringList args;
    for (const QString& name : refused + QStringList {u"documents"_s, u"Documents.old"_s}) {
        if (name != u"gone")
            tree.writeFile(name + u"/keep.txt", "keep");
        args.append(tree.path(name) + u'/');
    }
    const ToolRun run = runTool(args);
    VERIFY_RUN(run, 1);
    for (const QString& name : refused) {
        // A missing path is not refused: it is told with the system's reason.
        const QString reason = name == u"gone" ? u"No such file or directory\n"_s : u"refused: "_s;
        QVERIFY2(run.err.contains(
                     u"corvane-shred: cannot erase '"_s + tree.path(name) + u"/': " + reason),
            qPrintable(run.err));
        QCOMPARE(TempTree::exists(tree.path(name + u"/keep.txt")), name != u"gone");
    }
    QCOMPARE(run.err.count(u'\n'), refused.size());
    QVERIFY(!TempTree::exists(tree.path(u"documents"_s)));
    QCOMPARE(summaryOf(run.out), (QList<int> {2, 2, 2, 7, 1, 4}));
}

void TestShredTool::unwritableItemsOfAnotherUserAreKept()
{
    if (!toolRunsUnprivileged())
        QSKIP("needs root, setpriv and a build folder uid 65534 can reach");
    TempTree tree;
    QVERIFY(setOwnerAndMode(tree.path(), 0, 0755));
    // Refused by the checks: root's file and root's folder.
    const QString locked = tree.writeFile(u"locked"_s, "root's data");
    const QString lockedDir = tree.makeDir(u"locked-dir"_s);
    const QString inLockedDir = tree.writeFile(u"locked-dir/inner"_s, "root's data");
    // Erased: its own file, in its own folder as unlinking needs the folder to be writable.
    const QString mine = tree.writeFile(u"open/mine"_s, "nobody's data");
    // Its file passes, but root's folder keeps the name: left whole, not overwritten.
    const QString stranded = tree.writeFile(u"closed/mine"_s, "nobody's data");
    for (const QString& path : {locked, lockedDir, inLockedDir, tree.path(u"closed"_s)})
        QVERIFY(setOwnerAndMode(path, 0, 0755));
    for (const QString& path : {tree.path(u"open"_s), mine, stranded})
        QVERIFY(setOwnerAndMode(path, 65534, 0755));

    const ToolRun run = runTool({locked, lockedDir, mine, stranded}, true);
    VERIFY_RUN(run, 1);
    QVERIFY(TempTree::readFile(locked) == "root's data"
        && TempTree::readFile(inLockedDir) == "root's data");
    QCOMPARE(TempTree::readFile(stranded), QByteArray("nobody's data"));
    QVERIFY(!TempTree::exists(mine));
    for (const QString& line :
        QStringList {u"cannot erase '"_s + locked + u"': refused: it is not writable\n",
            u"cannot erase '"_s + lockedDir + u"': refused: ",
            u"cannot erase '"_s + stranded + u"': not erased: "})
        QVERIFY2(run.err.contains(u"corvane-shred: "_s + line), qPrintable(run.err));
    QCOMPARE(run.err.count(u'\n'), 3);
    QCOMPARE(summaryOf(run.out), (QList<int> {1, 0, 1, 4, 1, 2}));
}

void TestShredTool::readOnlyMountIsRefusedAndKept()
{
    if (!canDropPrivileges())
        QSKIP("bind mounts need root");
    TempTree tree;
    const QString file = tree.writeFile(u"source/keep.txt"_s, "read-only data");
    const QString target = tree.makeDir(u"ro"_s);
    QString error;
    if (!LoopImage::bindReadOnly(tree.path(u"source"_s), target, &error))
        QSKIP(qPrintable(u"no read-only bind mount here: "_s + error));
    const QString onMount = target + u"/keep.txt";
    const ToolRun run = runTool({onMount, target});
    LoopImage::unmountPath(target);
    VERIFY_RUN(run, 1);
    QCOMPARE(TempTree::readFile(file), QByteArray("read-only data"));
    QVERIFY2(run.err.contains(u"cannot erase '"_s + onMount + u"': refused: it is not writable"),
        qPrintable(run.err));
    QCOMPARE(summaryOf(run.out).value(5), 2);
}

void TestShredTool::linksFifosAndHardLinks()
{
    TempTree outside;
    const QString file = outside.writeFile(u"file.txt"_s, "outside data");
    const QString inner = outside.writeFile(u"folder/inner.txt"_s, "inner data");
    const QString folder = outside.path(u"folder"_s);

    TempTree tree;
    // Links are removed, never followed; a FIFO without a reader would hang a writer.
    const QString sel = tree.makeDir(u"sel"_s);
    tree.writeFile(u"sel/own.txt"_s, "mine");
    tree.makeSymlink(u"sel/to-file"_s, file);
    tree.makeSymlink(u"sel/to-folder"_s, folder);
    tree.makeSymlink(u"sel/dangling"_s, tree.path(u"nowhere"_s));
    tree.makeFifo(u"sel/fifo"_s);
    const QString slashLink = tree.makeSymlink(u"slash-link"_s, folder); // given as "slash-link/"
    const QString fifo = tree.makeFifo(u"fifo"_s);
    // A file with another name outside the selection is left whole, in a folder or given itself.
    const QString own = tree.writeFile(u"shared/own"_s, "own");
    const QString hard = tree.makeHardLink(u"shared/hard"_s, file);
    const QString hardTop = tree.makeHardLink(u"hard-top"_s, file);
    QVERIFY(!hard.isEmpty() && !hardTop.isEmpty());

    const ToolRun run
        = runTool({u"--method=3"_s, sel, slashLink + u'/', fifo, tree.path(u"shared"_s), hardTop});
    VERIFY_RUN(run, 1);
    for (const QString& gone : {sel, slashLink, fifo, own})
        QVERIFY2(!TempTree::exists(gone), qPrintable(gone));
    for (const QString& name : {file, hard, hardTop})
        QCOMPARE(TempTree::readFile(name), QByteArray("outside data"));
    QCOMPARE(TempTree::readFile(inner), QByteArray("inner data"));
    // Each kept name is reported once, with the reason.
    for (const QString& name : {hard, hardTop}) {
        QVERIFY2(run.err.contains(u"corvane-shred: cannot erase '"_s + name + u"': not erased: "),
            qPrintable(run.err));
    }
    QVERIFY2(run.err.contains(u"hard links") && run.err.count(u'\n') == 2, qPrintable(run.err));
    // Other entries: four in sel, sel itself and the link and FIFO given at the top.
    QCOMPARE(summaryOf(run.out), (QList<int> {2, 7, 3, 5, 2, 0}));
}

void TestShredTool::argumentsReachTheEngineAsBytes()
{
    // Names that are not UTF-8, or that the toolkit would take as its own options; a name that
    // decodes to the same text as the first must stay.
    TempTree tree;
    const QStringList named {u"-platform"_s, u"xcb"_s, u"-reverse"_s, u"-qmljsdebugger=port:1"_s};
    for (const QString& name : named + QStringList {u"bad\uFFFD"_s, u"keep"_s})
        tree.writeFile(name, "data");
    const QByteArray invalid = QFile::encodeName(tree.path()) + "/bad\xff";
    int fd = ::open(invalid.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    QVERIFY(fd >= 0 && ::write(fd, "x", 1) == 1);
    ::close(fd);

    QProcess shell;
    shell.setWorkingDirectory(tree.path());
    shell.start(u"sh"_s,
        {u"-c"_s,
            u"exec \"$0\" --verbose -- -platform xcb -reverse -qmljsdebugger=port:1 \"$(printf 'bad\\377')\""_s,
            kTool});
    QVERIFY(shell.waitForFinished(30000));
    QVERIFY2(shell.exitCode() == 0, shell.readAllStandardError().constData());
    for (const QString& name : named)
        QVERIFY2(!TempTree::exists(tree.path(name)), qPrintable(name));
    struct stat st;
    QVERIFY(::lstat(invalid.constData(), &st) != 0);
    QCOMPARE(TempTree::readFile(tree.path(u"bad\uFFFD"_s)), QByteArray("data"));
    QCOMPARE(TempTree::readFile(tree.path(u"keep"_s)), QByteArray("data"));

    // The look-alike erased first must not make the missing name count as erased with it, and
    // the missing name is told by its own bytes. Larger than a batched file, so that it is
    // erased before the next name is looked at.
    tree.writeFile(u"bad\uFFFD"_s, QByteArray(2 << 20, 'x'));
    shell.start(u"sh"_s, {u"-c"_s, u"exec \"$0\" -- bad\uFFFD \"$(printf 'bad\\377')\""_s, kTool});
    QVERIFY(shell.waitForFinished(30000));
    QCOMPARE(shell.exitCode(), 1);
    QVERIFY(!TempTree::exists(tree.path(u"bad\uFFFD"_s)));
    const QByteArray err = shell.readAllStandardError();
    QVERIFY2(err.contains("'bad'$'\\377'") && !err.contains("bad\xef\xbf\xbd"), err.constData());
    QVERIFY2(shell.readAllStandardOutput().contains("; 1 of 2 paths removed;"), err.constData());
}

void TestShredTool::gnuManners_data()
{
    // In a folder holding "dir/a", "dir/sub/b", "odd" (a name with a newline) and "own" (a
    // read-only file of uid 65534's): the arguments, the exit status, what standard output and
    // error must hold, and the names that must be left.
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("unprivileged");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::addColumn<QStringList>("left");
    const QStringList all {u"dir/a"_s, u"dir/sub/b"_s, u"odd\nname"_s, u"own"_s};
    QTest::newRow("combined short options, quiet")
        << QStringList {u"-vqm3"_s, u"dir"_s} << false << QByteArray() << 0 << u"erased 'dir/a'\n"_s
        << QString() << QStringList {u"odd\nname"_s, u"own"_s};
    QTest::newRow("unique prefixes") << QStringList {u"--verb"_s, u"--meth=2"_s, u"--"_s, u"own"_s}
                                     << false << QByteArray() << 0 << u"erased 'own'"_s << QString()
                                     << QStringList {u"dir/a"_s, u"dir/sub/b"_s, u"odd\nname"_s};
    QTest::newRow("dry run touches nothing")
        << QStringList {u"--dry-run"_s, u"dir"_s, u"odd\nname"_s} << false << QByteArray() << 0
        << u"would erase 'odd'$'\\n''name'\n"_s << QString() << all;
    QTest::newRow("names from standard input")
        << QStringList {u"-v"_s, u"--files0-from=-"_s} << false
        << QByteArray("odd\nname\0dir/sub/b\0", 19) << 0 << u"erased 'odd'$'\\n''name'"_s
        << QString() << QStringList {u"dir/a"_s, u"own"_s};
    QTest::newRow("an empty name in the list")
        << QStringList {u"--files0-from=-"_s} << false << QByteArray("own\0\0dir", 8) << 1
        << QString() << u"'-':2: invalid zero-length file name"_s << all;
    QTest::newRow("a path twice and inside itself")
        << QStringList {u"dir"_s, u"dir/"_s, u"dir/sub"_s} << false << QByteArray() << 0
        << u"; 3 of 3 paths removed;"_s << QString() << QStringList {u"odd\nname"_s, u"own"_s};
    QTest::newRow("dot and dot-dot")
        << QStringList {u"."_s, u"dir/.."_s} << false << QByteArray() << 1 << QString()
        << u"refusing to remove '.' or '..' directory: skipping 'dir/..'"_s << all;
    QTest::newRow("read-only file of one's own")
        << QStringList {u"own"_s} << true << QByteArray() << 1 << QString()
        << u"cannot erase 'own': refused: it is not writable"_s << all;
    QTest::newRow("... with --force")
        << QStringList {u"-f"_s, u"own"_s} << true << QByteArray() << 0 << u"1 of 1 path removed"_s
        << QString() << QStringList {u"dir/a"_s, u"dir/sub/b"_s, u"odd\nname"_s};
    // The system's reason, in its own words, when the item cannot even be looked at.
    QTest::newRow("a name that is not there")
        << QStringList {u"gone"_s, u"own"_s} << false << QByteArray() << 1
        << u"; 1 of 2 paths removed; 1 not erased; 0 refused;"_s
        << u"corvane-shred: cannot erase 'gone': No such file or directory\n"_s
        << QStringList {u"dir/a"_s, u"dir/sub/b"_s, u"odd\nname"_s};
    // The user's language, with its plurals: French counts 0 as singular.
    QTest::newRow("German")
        << QStringList {u"LC_ALL=de_DE.UTF-8"_s, u"-v"_s, u"gone"_s, u"dir"_s} << false
        << QByteArray() << 1
        << u"' gelöscht\nGelöscht: 2 Dateien (8 bytes) und 2 weitere Einträge; "
           "entfernt: 1 von 2 Pfaden; nicht gelöscht: 1; abgelehnt: 0; mit Warnung: 0.\n"_s
        << u"corvane-shred: 'gone' kann nicht gelöscht werden: "_s
        << QStringList {u"odd\nname"_s, u"own"_s};
    QTest::newRow("French")
        << QStringList {u"LANGUAGE=fr"_s, u"LC_ALL=de_DE.UTF-8"_s, u"own"_s} << false
        << QByteArray() << 0
        << u"Effacés\u00a0: 1 fichier (4 bytes) et 0 autre entrée\u00a0; supprimés\u00a0: 1 sur 1 chemin\u00a0;"_s
        << QString() << QStringList {u"dir/a"_s, u"dir/sub/b"_s, u"odd\nname"_s};
    QTest::newRow("inside a folder it may not enter")
        << QStringList {u"sealed/inner"_s} << true << QByteArray() << 1 << QString()
        << u"corvane-shred: cannot erase 'sealed/inner': Permission denied\n"_s << all;
}

void TestShredTool::gnuManners()
{
    QFETCH(QStringList, args);
    QFETCH(bool, unprivileged);
    QFETCH(QByteArray, input);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(QStringList, left);
    if (unprivileged && !toolRunsUnprivileged())
        QSKIP("needs root, setpriv and a build folder uid 65534 can reach");
    TempTree tree;
    const QStringList all {u"dir/a"_s, u"dir/sub/b"_s, u"odd\nname"_s, u"own"_s};
    for (const QString& name : all)
        tree.writeFile(name, "data");
    QVERIFY(setOwnerAndMode(tree.path(), 65534, 0755)
        && setOwnerAndMode(tree.path(u"own"_s), 65534, 0400));
    tree.writeFile(u"sealed/inner"_s, "root's");
    QVERIFY(setOwnerAndMode(tree.path(u"sealed"_s), 0, 0700));
    const ToolRun run = runTool(args, unprivileged, tree.path(), input);
    VERIFY_RUN(run, exitCode);
    QVERIFY2(run.out.contains(out), qPrintable(run.out));
    QVERIFY2(run.err.contains(err), qPrintable(run.err));
    for (const QString& name : all)
        QVERIFY2(TempTree::exists(tree.path(name)) == left.contains(name), qPrintable(name));
    QVERIFY(TempTree::exists(tree.path(u"sealed/inner"_s)));
}

void TestShredTool::namesQuotedAsCoreutilsDo_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QByteArray>("name");

    for (const QString& locale : {u"C.UTF-8"_s, u"C"_s}) {
        const QByteArray utf8 = locale.toUtf8();
        QTest::addRow("%s, UTF-8 accent", utf8.constData()) << locale << QByteArray("caf\xc3\xa9");
        QTest::addRow("%s, only an accent", utf8.constData()) << locale << QByteArray("\xc3\xa9");
        QTest::addRow("%s, not UTF-8", utf8.constData()) << locale
                                                         << QByteArray("\xff"
                                                                       "bad");
        QTest::addRow("%s, newline and quote", utf8.constData())
            << locale << QByteArray("it's\nnew");
    }
}

void TestShredTool::namesQuotedAsCoreutilsDo()
{
    QFETCH(QString, locale);
    QFETCH(QByteArray, name);

    // coreutils' own quoting of the name, in the same locale, is the expected text.
    TempTree tree;
    QVERIFY(TempTree::writeNative(QFile::encodeName(tree.path()) + '/' + name, "data"));
    QProcess ls;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"LC_ALL"_s, locale);
    ls.setProcessEnvironment(environment);
    ls.setWorkingDirectory(tree.path());
    ls.start(u"ls"_s, {u"--quoting-style=shell-escape-always"_s});
    QVERIFY(ls.waitForFinished(10000) && ls.exitCode() == 0);
    const QByteArray expected = ls.readAllStandardOutput().trimmed();
    QVERIFY(!expected.isEmpty());

    // Given as bytes through a shell (printf's %b reads \0NNN as one byte).
    QString octal;
    for (const char c : name)
        octal += QString::asprintf("\\0%03o", unsigned(static_cast<unsigned char>(c)));
    QProcess shell;
    shell.setProcessEnvironment(environment);
    shell.setWorkingDirectory(tree.path());
    shell.start(u"sh"_s, {u"-c"_s, u"exec \"$0\" -v -- \"$(printf '%b' \"$1\")\""_s, kTool, octal});
    QVERIFY(shell.waitForFinished(30000));
    const QByteArray err = shell.readAllStandardError();
    QVERIFY2(shell.exitCode() == 0, err.constData());
    const QByteArray out = shell.readAllStandardOutput();
    QVERIFY2(out.startsWith(QByteArray("erased " + expected + '\n')), out.constData());
}

void TestShredTool::writeErrorsAreToldOnce_data()
{
    QTest::addColumn<QString>("command"); // run by sh -c in a folder holding dir/a, dir/b, dir/c
    QTest::addColumn<QByteArray>("reason");

    QTest::newRow("version to a full disk")
        << u"exec \"$0\" --version >/dev/full"_s << QByteArray("No space left on device");
    QTest::newRow("verbose lines to a full disk")
        << u"exec \"$0\" -v dir >/dev/full"_s << QByteArray("No space left on device");
    QTest::newRow("help to a closed output")
        << u"exec \"$0\" --help >&-"_s << QByteArray("Bad file descriptor");
    QTest::newRow("verbose lines to a closed output")
        << u"exec \"$0\" -v dir >&-"_s << QByteArray("Bad file descriptor");
}

void TestShredTool::writeErrorsAreToldOnce()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, reason);

    TempTree tree;
    for (const QString& name : {u"dir/a"_s, u"dir/b"_s, u"dir/c"_s})
        tree.writeFile(name, "data");
    QProcess shell;
    shell.setWorkingDirectory(tree.path());
    shell.start(u"sh"_s, {u"-c"_s, command, kTool});
    QVERIFY(shell.waitForFinished(30000));
    const QByteArray err = shell.readAllStandardError();
    QVERIFY2(shell.exitStatus() == QProcess::NormalExit && shell.exitCode() == 1, err.constData());
    QCOMPARE(err, "corvane-shred: write error: " + reason + '\n');
}

void TestShredTool::deepTreesAreErasedAndCounted_data()
{
    QTest::addColumn<int>("levels");
    QTest::addColumn<int>("nameLength");
    QTest::addColumn<int>("descriptors"); // the tool's hard limit; 0 leaves it alone
    // Only a walk through open folders reaches below PATH_MAX, and every count must come from it.
    QTest::newRow("deeper than PATH_MAX") << 31 << 200 << 0;
    // One descriptor a level would run out long before the bottom.
    QTest::newRow("more levels than descriptors") << 300 << 1 << 64;
}

void TestShredTool::deepTreesAreErasedAndCounted()
{
    QFETCH(int, levels);
    QFETCH(int, nameLength);
    QFETCH(int, descriptors);
    TempTree tree;
    int fd = ::open(QFile::encodeName(tree.makeDir(u"top"_s)).constData(), O_RDONLY | O_DIRECTORY);
    const QByteArray name(nameLength, 'd');
    for (int level = 0; level < levels && fd >= 0; ++level) {
        QVERIFY(::mkdirat(fd, name.constData(), 0700) == 0);
        const int next = ::openat(fd, name.constData(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
        const int file = ::openat(fd, "f", O_WRONLY | O_CREAT, 0600);
        QVERIFY(file >= 0 && ::write(file, "x", 1) == 1);
        ::close(file);
    }
    ::close(fd);
    QProcess process;
    process.setWorkingDirectory(tree.path());
    process.setChildProcessModifier([descriptors] {
        if (descriptors > 0) {
            const rlimit limit {rlim_t(descriptors), rlim_t(descriptors)};
            ::setrlimit(RLIMIT_NOFILE, &limit);
        }
    });
    process.start(kTool, {u"-v"_s, u"top"_s});
    QVERIFY(process.waitForFinished(60000));
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
    QCOMPARE(out.count(u"erased '"_s), levels);
    QCOMPARE(summaryOf(out).value(0), levels);
    QVERIFY(!TempTree::exists(tree.path(u"top"_s)));
}

void TestShredTool::signalStopsAndKeepsTheFileInProgress_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("interrupt") << int(SIGINT) << 130;
    QTest::newRow("terminate") << int(SIGTERM) << 143;
}

void TestShredTool::signalStopsAndKeepsTheFileInProgress()
{
    QFETCH(int, signal);
    QFETCH(int, exitCode);
    TempTree tree;
    // Big enough to take seconds: the stop must land in the middle of it.
    const QString big = tree.makeAllocatedFile(u"big"_s, 4LL << 30);
    if (big.isEmpty())
        QSKIP("no room for a 4 GiB file in the temporary folder");
    const QString later = tree.writeFile(u"later"_s, "not reached");

    QProcess tool;
    tool.start(kTool, {big, later});
    QVERIFY(tool.waitForStarted());
    // Once the tool has written its first chunks it is inside the file.
    const QString io = u"/proc/%1/io"_s.arg(tool.processId());
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            QFile file(io);
            if (!file.open(QIODevice::ReadOnly))
                return false;
            const QByteArray text = file.readAll();
            const qsizetype at = text.indexOf("wchar: ");
            return at >= 0
                && text.mid(at + 7, text.indexOf('\n', at) - at - 7).toLongLong() > (8 << 20);
        }(),
        20000);
    ::kill(pid_t(tool.processId()), signal);
    QVERIFY(tool.waitForFinished(30000));
    const QString err = QString::fromUtf8(tool.readAllStandardError());
    QVERIFY2(
        tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == exitCode, qPrintable(err));
    QVERIFY(TempTree::exists(big)); // half overwritten: kept, never unlinked
    QCOMPARE(TempTree::readFile(later), QByteArray("not reached"));
    QVERIFY2(
        err.contains(u"stopped while overwriting '"_s + big + u"'; it was kept"), qPrintable(err));
    QVERIFY(!summaryOf(QString::fromUtf8(tool.readAllStandardOutput())).isEmpty());
}

QTEST_GUILESS_MAIN(TestShredTool)
#include "tst_shredtool.moc"
