#include "LoopImage.h"
#include "PathChecks.h"
#include "SizeText.h"
#include "TempTree.h"
#include "UnprivilegedChild.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

const QString kTool = QStringLiteral(CORVANE_BIN_DIR "/corvane-shred");
constexpr uid_t kNobody = 65534;

struct ToolRun
{
    bool finished = false;
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the tool with `args`; as uid/gid 65534 when `unprivileged`. A tool that waited for
// input or hung would not finish: standard input stays an open pipe that is never written.
ToolRun runTool(
    const QStringList& args, bool unprivileged = false, const QString& workingDirectory = QString())
{
    QProcess process;
    QString program = kTool;
    QStringList arguments = args;
    if (unprivileged) {
        arguments = QStringList {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                        QStringLiteral("--clear-groups"), kTool}
            + args;
        program = QStringLiteral("setpriv");
    }
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments);
    ToolRun run;
    run.finished = process.waitForStarted(10000) && process.waitForFinished(30000);
    if (!run.finished) {
        process.kill();
        process.waitForFinished();
    }
    if (process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

struct Summary
{
    bool found = false;
    int files = -1;
    QString size;
    int otherEntries = -1;
    int pathsRemoved = -1;
    int paths = -1;
    int notErased = -1;
    int refused = -1;
};

Summary parseSummary(const QString& out)
{
    static const QRegularExpression line(QStringLiteral(
        "^Erased (\\d+) files? \\(([^)]*)\\) and (\\d+) other entr(?:y|ies); (\\d+) of (\\d+) "
        "paths? removed; (\\d+) not erased; (\\d+) refused\\.$"));
    const QStringList lines = out.split(u'\n', Qt::SkipEmptyParts);
    Summary summary;
    if (lines.isEmpty())
        return summary;
    const QRegularExpressionMatch match = line.match(lines.last());
    if (!match.hasMatch())
        return summary;
    summary.found = true;
    summary.files = match.captured(1).toInt();
    summary.size = match.captured(2);
    summary.otherEntries = match.captured(3).toInt();
    summary.pathsRemoved = match.captured(4).toInt();
    summary.paths = match.captured(5).toInt();
    summary.notErased = match.captured(6).toInt();
    summary.refused = match.captured(7).toInt();
    return summary;
}

QString describe(const ToolRun& run)
{
    return QStringLiteral("exit %1\nstdout:\n%2\nstderr:\n%3")
        .arg(run.exitCode)
        .arg(run.out, run.err);
}

// The tool as 65534 needs to reach its binary and the test's folders.
bool toolRunsUnprivileged()
{
    if (!canDropPrivileges() || QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        return false;
    const QByteArray tool = QFile::encodeName(kTool);
    return runUnprivileged([&] { return ::access(tool.constData(), X_OK) == 0 ? 0 : 1; }) == 0;
}

void openUp(const QString& path, mode_t mode = 0755)
{
    ::chmod(QFile::encodeName(path).constData(), mode);
}

void giveToNobody(const QString& path)
{
    if (::lchown(QFile::encodeName(path).constData(), kNobody, kNobody) != 0)
        qWarning("lchown %s: %s", qPrintable(path), std::strerror(errno));
}

} // namespace

#define VERIFY_RUN(run, expectedExit)                                                              \
    do {                                                                                           \
        QVERIFY2((run).finished, qPrintable(describe(run)));                                       \
        QVERIFY2((run).exitCode == (expectedExit), qPrintable(describe(run)));                     \
    } while (false)

class TestShredTool : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void usageErrorsEraseNothing_data();
    void usageErrorsEraseNothing();
    void helpAndVersionEraseNothing_data();
    void helpAndVersionEraseNothing();

    void erasesTreesWithEachMethod_data();
    void erasesTreesWithEachMethod();
    void verboseListsEveryErasedFile();
    void relativePathsAndDoubleDash();
    void progressLineStaysOnOneTerminalRow();

    void restrictedNamesAreRefusedOthersErased_data();
    void restrictedNamesAreRefusedOthersErased();
    void missingPathIsRefused();
    void unwritablePathIsRefused();
    void unwritableFileInsideIsNotErased();
    void fileInUnwritableFolderIsReported();
    void readOnlyMountIsRefusedAndKept();

    void linksAreRemovedTargetsKept();
    void hardLinkSharedWithOutsideIsKept();
    void fifoWithoutReaderIsRemovedWithoutHanging();
};

void TestShredTool::initTestCase()
{
    QVERIFY2(QFileInfo(kTool).isExecutable(), qPrintable(kTool + QStringLiteral(" is not built")));
}

void TestShredTool::usageErrorsEraseNothing_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    const QString file = QStringLiteral("FILE");
    QTest::newRow("no arguments") << QStringList() << QStringLiteral("no path given");
    QTest::newRow("only options") << QStringList {QStringLiteral("--verbose"),
        QStringLiteral("--method"), QStringLiteral("2")}
                                  << QStringLiteral("no path given");
    QTest::newRow("unknown option")
        << QStringList {QStringLiteral("--force"), file} << QStringLiteral("'force'");
    QTest::newRow("single-dash word") << QStringList {QStringLiteral("-method"),
        QStringLiteral("1"), file} << QStringLiteral("Unknown option");
    for (const char* value : {"0", "4", "x", "-1", "1.0", ""}) {
        QTest::addRow("method '%s'", value)
            << QStringList {QStringLiteral("--method=") + QLatin1String(value), file}
            << QStringLiteral("invalid method '%1'").arg(QLatin1String(value));
    }
    QTest::newRow("method as separate word") << QStringList {QStringLiteral("--method"),
        QStringLiteral("4"), file} << QStringLiteral("invalid method '4'");
    QTest::newRow("one bad method of two") << QStringList {QStringLiteral("--method=9"),
        QStringLiteral("--method=1"), file} << QStringLiteral("invalid method '9'");
    QTest::newRow("method without value")
        << QStringList {file, QStringLiteral("--method")} << QStringLiteral("Missing value");
    // The path is taken as the method's value and rejected; nothing is erased.
    QTest::newRow("path as method value")
        << QStringList {QStringLiteral("--method"), file} << QStringLiteral("invalid method");
}

void TestShredTool::usageErrorsEraseNothing()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    TempTree tree;
    const QString file = tree.writeFile(QStringLiteral("keep.txt"), "still here");
    args.replaceInStrings(QStringLiteral("FILE"), file);
    const ToolRun run = runTool(args);
    VERIFY_RUN(run, 2);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY2(run.err.contains(QStringLiteral("Usage: corvane-shred")), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
    QCOMPARE(TempTree::readFile(file), QByteArray("still here"));
}

void TestShredTool::helpAndVersionEraseNothing_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("expected");
    const QString usage = QStringLiteral("Usage: corvane-shred [--method 1|2|3]");
    const QString version = QStringLiteral("corvane-shred " CORVANE_VERSION "\n");
    QTest::newRow("--help") << QStringList {QStringLiteral("--help")} << usage;
    QTest::newRow("-h") << QStringList {QStringLiteral("-h")} << usage;
    QTest::newRow("--help with a path")
        << QStringList {QStringLiteral("FILE"), QStringLiteral("--help")} << usage;
    QTest::newRow("--version") << QStringList {QStringLiteral("--version")} << version;
    QTest::newRow("--version with a path")
        << QStringList {QStringLiteral("--version"), QStringLiteral("FILE")} << version;
}

void TestShredTool::helpAndVersionEraseNothing()
{
    QFETCH(QStringList, args);
    QFETCH(QString, expected);
    TempTree tree;
    const QString file = tree.writeFile(QStringLiteral("keep.txt"), "still here");
    args.replaceInStrings(QStringLiteral("FILE"), file);
    const ToolRun run = runTool(args);
    VERIFY_RUN(run, 0);
    if (expected.endsWith(u'\n'))
        QCOMPARE(run.out, expected);
    else
        QVERIFY2(run.out.startsWith(expected) && run.out.contains(QStringLiteral("--method N")),
            qPrintable(run.out));
    QVERIFY(run.err.isEmpty());
    QCOMPARE(TempTree::readFile(file), QByteArray("still here"));
}

void TestShredTool::erasesTreesWithEachMethod_data()
{
    QTest::addColumn<QStringList>("methodArgs");
    QTest::newRow("default method") << QStringList();
    QTest::newRow("method 1") << QStringList {QStringLiteral("--method"), QStringLiteral("1")};
    QTest::newRow("method 2") << QStringList {QStringLiteral("--method=2")};
    QTest::newRow("method 3, after the paths")
        << QStringList {QStringLiteral("PATHS"), QStringLiteral("--method"), QStringLiteral("3")};
}

void TestShredTool::erasesTreesWithEachMethod()
{
    QFETCH(QStringList, methodArgs);
    TempTree tree;
    const QString top = tree.makeDir(QStringLiteral("top"));
    tree.writeFile(QStringLiteral("top/a.bin"), QByteArray(5000, 'a'));
    tree.writeFile(QStringLiteral("top/.hidden"), "h");
    tree.writeFile(QStringLiteral("top/sub/with space é.txt"), QByteArray(300, 'u'));
    tree.writeFile(QStringLiteral("top/sub/empty-file"), QByteArray());
    tree.makeDir(QStringLiteral("top/sub/empty"));
    const QString single = tree.writeFile(QStringLiteral("single.txt"), "twelve bytes");

    QStringList args = methodArgs;
    if (const qsizetype at = args.indexOf(QStringLiteral("PATHS")); at >= 0) {
        args.replace(at, top);
        args.insert(at + 1, single);
    } else {
        args << top << single;
    }
    const ToolRun run = runTool(args);
    VERIFY_RUN(run, 0);
    QVERIFY(!TempTree::exists(top));
    QVERIFY(!TempTree::exists(single));
    QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
    const Summary summary = parseSummary(run.out);
    QVERIFY2(summary.found, qPrintable(run.out));
    QCOMPARE(summary.files, 5);
    QCOMPARE(summary.size, sizeText(5000 + 1 + 300 + 0 + 12));
    QCOMPARE(summary.otherEntries, 3); // top, sub and sub/empty
    QCOMPARE(summary.pathsRemoved, 2);
    QCOMPARE(summary.paths, 2);
    QCOMPARE(summary.notErased, 0);
    QCOMPARE(summary.refused, 0);
    QCOMPARE(run.out.count(u'\n'), 1); // only the summary without --verbose
}

void TestShredTool::verboseListsEveryErasedFile()
{
    TempTree tree;
    const QString top = tree.makeDir(QStringLiteral("top"));
    const QString a = tree.writeFile(QStringLiteral("top/a"), "a");
    const QString deep = tree.writeFile(QStringLiteral("top/x/y/deep"), "deep");
    tree.writeFile(QStringLiteral("top/x/new\nline"), "n");
    tree.makeSymlink(QStringLiteral("top/link"), a);
    const ToolRun run = runTool({QStringLiteral("--verbose"), top});
    VERIFY_RUN(run, 0);
    QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
    QVERIFY(parseSummary(run.out).found);
    lines.removeLast();
    lines.sort();
    // A control character in a name is shown as '?', so every item stays on one line.
    QStringList expected {QStringLiteral("erased ") + a, QStringLiteral("erased ") + deep,
        QStringLiteral("erased ") + tree.path(QStringLiteral("top/x/new?line"))};
    expected.sort();
    QCOMPARE(lines, expected);
    QVERIFY(!TempTree::exists(top));
}

void TestShredTool::relativePathsAndDoubleDash()
{
    TempTree tree;
    const QString dash = tree.writeFile(QStringLiteral("-v"), "dash");
    const QString relative = tree.writeFile(QStringLiteral("sub/rel.txt"), "relative");
    const QString kept = tree.writeFile(QStringLiteral("keep"), "keep");
    const ToolRun run
        = runTool({QStringLiteral("sub/rel.txt"), QStringLiteral("--"), QStringLiteral("-v")},
            false, tree.path());
    VERIFY_RUN(run, 0);
    QVERIFY(!TempTree::exists(dash));
    QVERIFY(!TempTree::exists(relative));
    QVERIFY(TempTree::exists(tree.path(QStringLiteral("sub"))));
    QCOMPARE(TempTree::readFile(kept), QByteArray("keep"));
    QCOMPARE(parseSummary(run.out).pathsRemoved, 2);
}

void TestShredTool::progressLineStaysOnOneTerminalRow()
{
    int master = -1;
    int slave = -1;
    winsize size {};
    size.ws_col = 60;
    size.ws_row = 24;
    if (::openpty(&master, &slave, nullptr, nullptr, &size) != 0)
        QSKIP("no pseudo-terminal available");
    TempTree tree;
    const QString top = tree.makeDir(QStringLiteral("top"));
    tree.writeFile(QStringLiteral("top/one"), QByteArray(2000, '1'));
    tree.writeFile(QStringLiteral("top/two"), QByteArray(3000, '2'));
    tree.writeFile(QStringLiteral("top/") + QString(80, u'n'), "long name");

    QProcess process;
    process.setChildProcessModifier([slave] { ::dup2(slave, STDERR_FILENO); });
    process.start(kTool, {top});
    const bool finished = process.waitForFinished(30000);
    ::close(slave);
    // What the tool wrote may still be on its way through the terminal driver: read until
    // the closed side hangs up, or nothing more comes.
    QByteArray terminal;
    pollfd poller {master, POLLIN, 0};
    char buffer[4096];
    while (::poll(&poller, 1, 2000) > 0) {
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        terminal.append(buffer, n);
    }
    ::close(master);
    QVERIFY(finished);
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(!TempTree::exists(top));
    QVERIFY(parseSummary(QString::fromUtf8(process.readAllStandardOutput())).found);

    const QByteArray clear = QByteArrayLiteral("\r\033[K");
    QVERIFY2(terminal.startsWith(clear) && terminal.endsWith(clear), terminal.constData());
    QVERIFY2(!terminal.contains('\n'), terminal.constData());
    QVERIFY2(terminal.contains("[1/1] file 3 of 3, "), terminal.constData());
    QVERIFY2(terminal.contains(sizeText(5000).toUtf8())
            || terminal.contains(sizeText(2000).toUtf8())
            || terminal.contains(sizeText(3000).toUtf8()),
        terminal.constData());
    // Every redraw fits the 60 columns, else "\r" would only return to its last row.
    for (const QByteArray& drawn : terminal.split('\r')) {
        const QString text = QString::fromUtf8(drawn).remove(QStringLiteral("\033[K"));
        QVERIFY2(text.size() < 60, qPrintable(text));
    }
    QVERIFY(terminal.contains("..."));
}

void TestShredTool::restrictedNamesAreRefusedOthersErased_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("refused");
    for (const QString& name : arrRestrictedNames()) {
        if (!name.isEmpty()) // no login name known for this uid
            QTest::addRow("%s", qPrintable(name)) << name << true;
    }
    QTest::newRow("documents, lower case") << QStringLiteral("documents") << false;
    QTest::newRow("Documents.old") << QStringLiteral("Documents.old") << false;
}

void TestShredTool::restrictedNamesAreRefusedOthersErased()
{
    QFETCH(QString, name);
    QFETCH(bool, refused);
    TempTree tree;
    const QString folder = tree.makeDir(name);
    const QString inside = tree.writeFile(name + QStringLiteral("/keep.txt"), "keep");
    const QString other = tree.writeFile(QStringLiteral("other/file"), "erase me");
    // With a trailing slash the last component is still the restricted name.
    const ToolRun run = runTool({folder + u'/', tree.path(QStringLiteral("other"))});
    QVERIFY(!TempTree::exists(other));
    const Summary summary = parseSummary(run.out);
    if (refused) {
        VERIFY_RUN(run, 1);
        QCOMPARE(TempTree::readFile(inside), QByteArray("keep"));
        QVERIFY2(run.err.startsWith(
                     QStringLiteral("corvane-shred: refused ") + folder + QStringLiteral("/: ")),
            qPrintable(run.err));
        QCOMPARE(run.err.count(u'\n'), 1);
        QCOMPARE(summary.refused, 1);
        QCOMPARE(summary.pathsRemoved, 1);
    } else {
        VERIFY_RUN(run, 0);
        QVERIFY(!TempTree::exists(folder));
        QCOMPARE(summary.refused, 0);
        QCOMPARE(summary.pathsRemoved, 2);
    }
}

void TestShredTool::missingPathIsRefused()
{
    TempTree tree;
    const QString missing = tree.path(QStringLiteral("missing"));
    const QString present = tree.writeFile(QStringLiteral("present"), "p");
    const ToolRun run = runTool({missing, present, QString()});
    VERIFY_RUN(run, 1);
    QVERIFY(!TempTree::exists(present));
    QVERIFY2(run.err.contains(
                 QStringLiteral("corvane-shred: refused ") + missing + QStringLiteral(": ")),
        qPrintable(run.err));
    const Summary summary = parseSummary(run.out);
    QCOMPARE(summary.refused, 2); // the missing path and the empty one
    QCOMPARE(summary.pathsRemoved, 1);
    QCOMPARE(summary.paths, 3);
}

void TestShredTool::unwritablePathIsRefused()
{
    if (!toolRunsUnprivileged())
        QSKIP("needs root, setpriv and a build folder uid 65534 can reach");
    TempTree tree;
    openUp(tree.path());
    const QString locked = tree.writeFile(QStringLiteral("locked"), "root's data");
    const QString lockedDir = tree.makeDir(QStringLiteral("locked-dir"));
    const QString inLockedDir
        = tree.writeFile(QStringLiteral("locked-dir/inner"), "root's inner data");
    // In a folder of its own: unlinking needs the folder to be writable, too.
    const QString mine = tree.writeFile(QStringLiteral("open/mine"), "nobody's data");
    openUp(locked, 0644);
    openUp(lockedDir, 0755);
    giveToNobody(tree.path(QStringLiteral("open")));
    giveToNobody(mine);
    const ToolRun run = runTool({locked, lockedDir, mine}, true);
    VERIFY_RUN(run, 1);
    QCOMPARE(TempTree::readFile(locked), QByteArray("root's data"));
    QCOMPARE(TempTree::readFile(inLockedDir), QByteArray("root's inner data"));
    QVERIFY(!TempTree::exists(mine));
    QVERIFY2(run.err.contains(QStringLiteral("corvane-shred: refused ") + locked
                 + QStringLiteral(": it is not writable")),
        qPrintable(run.err));
    QVERIFY2(run.err.contains(
                 QStringLiteral("corvane-shred: refused ") + lockedDir + QStringLiteral(": ")),
        qPrintable(run.err));
    const Summary summary = parseSummary(run.out);
    QCOMPARE(summary.refused, 2);
    QCOMPARE(summary.pathsRemoved, 1);
}

void TestShredTool::unwritableFileInsideIsNotErased()
{
    if (!toolRunsUnprivileged())
        QSKIP("needs root, setpriv and a build folder uid 65534 can reach");
    TempTree tree;
    openUp(tree.path());
    // The folder is the user's, so it passes the checks; one file in it is not.
    const QString top = tree.makeDir(QStringLiteral("top"));
    const QString locked = tree.writeFile(QStringLiteral("top/locked"), "root's data");
    const QString mine = tree.writeFile(QStringLiteral("top/mine"), "nobody's data");
    giveToNobody(top);
    giveToNobody(mine);
    openUp(locked, 0644);
    const ToolRun run = runTool({top}, true);
    VERIFY_RUN(run, 1);
    QCOMPARE(TempTree::readFile(locked), QByteArray("root's data"));
    QVERIFY(!TempTree::exists(mine));
    QVERIFY(TempTree::exists(top));
    QVERIFY2(run.err.startsWith(
                 QStringLiteral("corvane-shred: not erased ") + locked + QStringLiteral(": ")),
        qPrintable(run.err));
    QCOMPARE(run.err.count(u'\n'), 1);
    const Summary summary = parseSummary(run.out);
    QCOMPARE(summary.files, 1);
    QCOMPARE(summary.notErased, 1);
    QCOMPARE(summary.pathsRemoved, 0);
}

void TestShredTool::fileInUnwritableFolderIsReported()
{
    if (!toolRunsUnprivileged())
        QSKIP("needs root, setpriv and a build folder uid 65534 can reach");
    TempTree tree;
    openUp(tree.path());
    // The file passes the checks, but its root-owned folder keeps its name from being removed.
    const QString file = tree.writeFile(QStringLiteral("closed/mine"), "nobody's data");
    openUp(tree.path(QStringLiteral("closed")), 0755);
    giveToNobody(file);
    const ToolRun run = runTool({file}, true);
    VERIFY_RUN(run, 1);
    // Checked before the first pass: the file is left whole, not overwritten and stranded.
    QCOMPARE(TempTree::readFile(file), QByteArray("nobody's data"));
    QVERIFY2(run.err.startsWith(
                 QStringLiteral("corvane-shred: not erased ") + file + QStringLiteral(": ")),
        qPrintable(run.err));
    const Summary summary = parseSummary(run.out);
    QCOMPARE(summary.files, 0);
    QCOMPARE(summary.notErased, 1);
}

void TestShredTool::readOnlyMountIsRefusedAndKept()
{
    if (!canDropPrivileges())
        QSKIP("bind mounts need root");
    TempTree tree;
    const QString source = tree.makeDir(QStringLiteral("source"));
    const QString file = tree.writeFile(QStringLiteral("source/keep.txt"), "read-only data");
    const QString target = tree.makeDir(QStringLiteral("ro"));
    QString error;
    if (!LoopImage::bindReadOnly(source, target, &error))
        QSKIP(qPrintable(QStringLiteral("no read-only bind mount here: ") + error));
    const QString onMount = target + QStringLiteral("/keep.txt");
    const ToolRun run = runTool({onMount, target});
    LoopImage::unmountPath(target);
    VERIFY_RUN(run, 1);
    QCOMPARE(TempTree::readFile(file), QByteArray("read-only data"));
    QVERIFY2(run.err.contains(
                 QStringLiteral("refused ") + onMount + QStringLiteral(": it is not writable")),
        qPrintable(run.err));
    QCOMPARE(parseSummary(run.out).refused, 2);
}

void TestShredTool::linksAreRemovedTargetsKept()
{
    TempTree outside;
    const QString outsideFile = outside.writeFile(QStringLiteral("file.txt"), "outside data");
    const QString outsideDir = outside.makeDir(QStringLiteral("folder"));
    const QString outsideInner
        = outside.writeFile(QStringLiteral("folder/inner.txt"), "inner data");

    TempTree tree;
    const QString sel = tree.makeDir(QStringLiteral("sel"));
    tree.writeFile(QStringLiteral("sel/own.txt"), "mine");
    tree.makeSymlink(QStringLiteral("sel/to-file"), outsideFile);
    tree.makeSymlink(QStringLiteral("sel/to-folder"), outsideDir);
    tree.makeSymlink(QStringLiteral("sel/dangling"), tree.path(QStringLiteral("nowhere")));
    const QString topFileLink = tree.makeSymlink(QStringLiteral("top-file-link"), outsideFile);
    const QString topDirLink = tree.makeSymlink(QStringLiteral("top-dir-link"), outsideDir);
    // A trailing slash still names the link, not the folder it points to.
    const QString slashLink = tree.makeSymlink(QStringLiteral("slash-link"), outsideDir);

    const ToolRun run
        = runTool({QStringLiteral("--method=3"), sel, topFileLink, topDirLink, slashLink + u'/'});
    VERIFY_RUN(run, 0);
    for (const QString& gone : {sel, topFileLink, topDirLink, slashLink})
        QVERIFY2(!TempTree::exists(gone), qPrintable(gone));
    QCOMPARE(TempTree::readFile(outsideFile), QByteArray("outside data"));
    QCOMPARE(TempTree::readFile(outsideInner), QByteArray("inner data"));
    const Summary summary = parseSummary(run.out);
    QCOMPARE(summary.files, 1);
    QCOMPARE(summary.otherEntries, 7); // three links in sel, sel itself, the three top-level links
    QCOMPARE(summary.pathsRemoved, 4);
}

void TestShredTool::hardLinkSharedWithOutsideIsKept()
{
    TempTree outside;
    const QString original = outside.writeFile(QStringLiteral("original"), "shared data");
    TempTree tree;
    const QString sel = tree.makeDir(QStringLiteral("sel"));
    const QString shared = tree.makeHardLink(QStringLiteral("sel/shared"), original);
    QVERIFY(!shared.isEmpty());
    const QString own = tree.writeFile(QStringLiteral("sel/own"), "own");
    const QString sharedTop = tree.makeHardLink(QStringLiteral("shared-top"), original);

    const ToolRun run = runTool({sel, sharedTop});
    VERIFY_RUN(run, 1);
    QCOMPARE(TempTree::readFile(original), QByteArray("shared data"));
    QCOMPARE(TempTree::readFile(shared), QByteArray("shared data"));
    QCOMPARE(TempTree::readFile(sharedTop), QByteArray("shared data"));
    QVERIFY(!TempTree::exists(own));
    for (const QString& path : {shared, sharedTop}) {
        QVERIFY2(run.err.contains(
                     QStringLiteral("corvane-shred: not erased ") + path + QStringLiteral(": ")),
            qPrintable(run.err));
    }
    QVERIFY2(run.err.contains(QStringLiteral("hard links")), qPrintable(run.err));
    // Each kept name is reported once.
    QCOMPARE(run.err.count(u'\n'), 2);
    const Summary summary = parseSummary(run.out);
    QCOMPARE(summary.files, 1);
    QCOMPARE(summary.notErased, 2);
    QCOMPARE(summary.pathsRemoved, 0);
}

void TestShredTool::fifoWithoutReaderIsRemovedWithoutHanging()
{
    TempTree tree;
    const QString sel = tree.makeDir(QStringLiteral("sel"));
    tree.writeFile(QStringLiteral("sel/file"), "x");
    tree.makeFifo(QStringLiteral("sel/fifo"));
    const QString topFifo = tree.makeFifo(QStringLiteral("top-fifo"));
    const ToolRun run = runTool({sel, topFifo});
    VERIFY_RUN(run, 0);
    QVERIFY(!TempTree::exists(sel));
    QVERIFY(!TempTree::exists(topFifo));
    const Summary summary = parseSummary(run.out);
    QCOMPARE(summary.files, 1);
    QCOMPARE(summary.otherEntries, 3); // the two FIFOs and sel
}

QTEST_GUILESS_MAIN(TestShredTool)
#include "tst_shredtool.moc"
