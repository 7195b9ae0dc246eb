// SPDX-License-Identifier: GPL-3.0-or-later
#include "LanguageTable.h"
#include "ProgramRun.h"
#include "RemainingTime.h"
#include "ShredToolFolder.h"
#include "ShredToolRun.h"
#include "SizeText.h"
#include "TempTree.h"
#include "TerminalRun.h"

#include <QFile>
#include <QProcess>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

#define VERIFY_RUN(run, code)                                                                      \
    QVERIFY2((run).exitCode == (code),                                                             \
        qPrintable(                                                                                \
            u"exit %1\nstdout:\n%2\nstderr:\n%3"_s.arg((run).exitCode).arg((run).out, (run).err)))

class TestShredTool : public QObject
{
    Q_OBJECT

private slots:
    void erases_data();
    void erases();
    void progressLineStaysOnOneTerminalRow();
    void remainingTimeWaitsForARateAndRoundsUp();
    void namesQuotedAsCoreutilsDo_data();
    void namesQuotedAsCoreutilsDo();
    void writeErrorsAreToldOnce_data();
    void writeErrorsAreToldOnce();
    void deepTreesAreErasedAndCounted_data();
    void deepTreesAreErasedAndCounted();
    void signalStopsAndKeepsTheFileInProgress_data();
    void signalStopsAndKeepsTheFileInProgress();
};

void TestShredTool::erases_data()
{
    // Each in a ShredToolFolder; lists are '|'-separated. Every item not gone stays as it was.
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("out"); // each contained in standard output
    QTest::addColumn<QStringList>("err"); // each contained in standard error
    QTest::addColumn<QList<int>>("lines"); // on standard output and error; -1: any number
    QTest::addColumn<QList<int>>("summary"); // files, other entries, paths removed, paths, not
                                             // erased, refused; empty: not checked
    QTest::addColumn<QStringList>("gone");
    QTest::addColumn<bool>("unprivileged");
    QTest::addColumn<QByteArray>("input");
    const auto add = [](const char* name, const QString& args, int exitCode, const QString& out,
                         const QString& err, const QList<int>& lines,
                         const QList<int>& summary = {}, const QString& gone = {},
                         bool unprivileged = false, const QByteArray& input = {}) {
        const auto list = [](const QString& text) { return text.split(u'|', Qt::SkipEmptyParts); };
        QTest::newRow(name) << list(args) << exitCode << list(out) << list(err) << lines << summary
                            << list(gone) << unprivileged << input;
    };
    // Usage errors, help and version erase nothing.
    const auto usage
        = [&](const char* name, const QString& args, int exitCode, const QString& message) {
              if (exitCode == 0)
                  add(name, args, 0, message, {}, {-1, 0});
              else
                  add(name, args, 2, {}, message + u"|Usage: corvane-shred [OPTION]"_s, {0, -1});
          };
    usage("no arguments", {}, 2, u"missing operand"_s);
    usage("unknown option", u"--frobnicate|keep"_s, 2, u"unrecognized option '--frobnicate'"_s);
    usage("unknown short option", u"-vx|keep"_s, 2, u"invalid option -- 'x'"_s);
    usage("ambiguous prefix", u"--ver|keep"_s, 2,
        u"option '--ver' is ambiguous; possibilities: '--verbose' '--verify' '--version'"_s);
    usage(
        "value to a flag", u"--quiet=1|keep"_s, 2, u"option '--quiet' doesn't allow an argument"_s);
    usage("one bad method of two", u"--method=9|--method=1|keep"_s, 2, u"invalid method '9'"_s);
    usage(
        "method without value", u"keep|--method"_s, 2, u"option '--method' requires an argument"_s);
    usage("short method without value", u"keep|-vm"_s, 2, u"option requires an argument -- 'm'"_s);
    usage("path taken as the method", u"--method|keep"_s, 2, u"invalid method"_s);
    usage("names with --files0-from", u"--files0-from=-|keep"_s, 2,
        u"file operands cannot be combined with --files0-from"_s);
    usage("-h with a path", u"keep|-h"_s, 0, u"Usage: corvane-shred [OPTION]... [--] PATH..."_s);
    usage("help", u"--help"_s, 0, u"Exit status:"_s);
    usage("German help", u"LC_ALL=de_DE.UTF-8|--help"_s, 0, u"Exit-Status:"_s);
    usage("wipe with nothing to erase or wipe", u"--wipe-free-space"_s, 2, u"missing operand"_s);
    usage("version with a path", u"--vers|keep"_s, 0,
        u"corvane-shred (Corvane) " CORVANE_VERSION "\nCopyright (C) "_s);
    // A tree with every kind of name, and a file of its own, with each method.
    const QString tops
        = u"single.txt|top/.hidden|top/a.bin|top/sub/empty-file|top/sub/new\nline é|top/sub/empty"_s;
    const QString erased = u"Erased 5 files ("_s + sizeText(12 + 1 + 5000 + 0 + 300) + u')';
    const QList<int> counts {5, 3, 2, 2, 0, 0}; // other entries: top, sub, sub/empty
    add("default method", u"top|single.txt"_s, 0, erased, {}, {1, 0}, counts, tops);
    // --verbose names every erased file on a line of its own; a control character is quoted.
    add("method 3 after the paths, verbose", u"top|single.txt|--method|3|--verbose"_s, 0,
        u"erased 'single.txt'\n|erased 'top/.hidden'\n|erased 'top/a.bin'\n|erased "
        "'top/sub/empty-file'\n|erased 'top/sub/new'$'\\n''line é'\n"_s,
        {}, {6, 0}, counts, tops);
    // Restricted names, the login name among them, are refused with a trailing slash and in
    // their exact case only; a missing path is told with the system's reason.
    const QString login = ShredToolFolder::loginName();
    add("restricted names",
        u"Documents/|Library/|Applications/|%1/|gone/|documents/|Documents.old/"_s.arg(login), 1,
        {},
        u"cannot erase 'Documents/': refused: |cannot erase 'Library/': refused: |cannot erase "
        "'Applications/': refused: |cannot erase '%1/': refused: |cannot erase 'gone/': No such "
        "file or directory\n"_s.arg(login),
        {-1, 5}, {2, 2, 2, 7, 1, 4}, u"documents/keep.txt|Documents.old/keep.txt"_s);
    // Links are removed, never followed, even one named with a slash; a FIFO without a reader
    // would hang a writer; a file with another name is left whole, in a folder or named itself.
    add("links, FIFOs and hard links", u"--method=3|sel|slash-link/|fifo|shared|hard-top"_s, 1, {},
        u"cannot erase 'shared/hard': not erased: |cannot erase 'hard-top': not erased: |hard "
        "links"_s,
        {-1, 2}, {2, 7, 3, 5, 2, 0},
        u"sel/own.txt|sel/to-file|sel/to-folder|sel/dangling|sel/fifo|slash-link|fifo|shared/own"_s);
    // As uid 65534: root's file and folder are refused; its own file is erased unless root's
    // folder keeps the name, and then it is left whole, never overwritten.
    add("items of another user", u"locked|locked-dir|open/mine|closed/mine"_s, 1, {},
        u"corvane-shred: cannot erase 'locked': refused: it is not writable\n|corvane-shred: "
        "cannot erase 'locked-dir': refused: |corvane-shred: cannot erase 'closed/mine': not "
        "erased: "_s,
        {-1, 3}, {1, 0, 1, 4, 1, 2}, u"open/mine"_s, true);
    // Names that are not UTF-8 (given as printf's %b reads them), or that the toolkit would take
    // as its own options.
    add("arguments reach the engine as bytes",
        u"--verbose|--|-platform|xcb|-reverse|-qmljsdebugger=port:1|bad\\0377"_s, 0, {}, {}, {6, 0},
        {5, 0, 5, 5, 0, 0}, u"-platform|xcb|-reverse|-qmljsdebugger=port:1|bad\\377"_s);
    // A look-alike erased first must not make the missing name count as erased with it; that
    // one is told by its own bytes.
    add("look-alike of a missing name", u"--|twin\uFFFD|twin\\0377"_s, 1,
        u"; 1 of 2 paths removed;"_s, u"cannot erase 'twin'$'\\377': No such file or directory\n"_s,
        {-1, 1}, {}, u"twin\uFFFD"_s);
    const QString dir = u"dir/a|dir/sub/b"_s;
    add("combined short options, quiet", u"-vqm3|dir"_s, 0, u"erased 'dir/a'\n"_s, {}, {2, 0}, {},
        dir);
    add("unique prefixes", u"--verb|--meth=2|--|own"_s, 0, u"erased 'own'"_s, {}, {-1, 0}, {},
        u"own"_s);
    add("dry run touches nothing", u"--dry-run|dir|odd\nname"_s, 0,
        u"would erase 'odd'$'\\n''name'\n"_s, {}, {-1, 0});
    add("names from standard input", u"-v|--files0-from=-"_s, 0, u"erased 'odd'$'\\n''name'"_s, {},
        {-1, 0}, {}, u"odd\nname|dir/sub/b"_s, false, QByteArray("odd\nname\0dir/sub/b\0", 19));
    add("an empty name in the list", u"--files0-from=-"_s, 1, {},
        u"'-':2: invalid zero-length file name"_s, {-1, -1}, {}, {}, false,
        QByteArray("own\0\0dir", 8));
    add("a path twice and inside itself", u"dir|dir/|dir/sub"_s, 0, u"; 3 of 3 paths removed;"_s,
        {}, {-1, 0}, {}, dir);
    add("dot and dot-dot", u".|dir/.."_s, 1, {},
        u"refusing to remove '.' or '..' directory: skipping 'dir/..'"_s, {-1, 2});
    add("read-only file of one's own", u"own"_s, 1, {},
        u"cannot erase 'own': refused: it is not writable"_s, {-1, 1}, {}, {}, true);
    add("... with --force", u"-f|own"_s, 0, u"1 of 1 path removed"_s, {}, {-1, 0}, {}, u"own"_s,
        true);
    // The user's language, with its plurals: French counts 0 as singular.
    add("German", u"LC_ALL=de_DE.UTF-8|-v|gone|dir"_s, 1,
        u"' gelöscht\nGelöscht: 2 Dateien (8 bytes) und 2 weitere Einträge; entfernt: 1 von 2 "
        "Pfaden; nicht gelöscht: 1; abgelehnt: 0; mit Warnung: 0.\n"_s,
        u"corvane-shred: 'gone' kann nicht gelöscht werden: "_s, {-1, 1}, {}, dir);
    add("French", u"LANGUAGE=fr|LC_ALL=de_DE.UTF-8|own"_s, 0,
        u"Effacés\u00a0: 1 fichier (4 bytes) et 0 autre entrée\u00a0; supprimés\u00a0: 1 sur 1 "
        "chemin\u00a0;"_s,
        {}, {-1, 0}, {}, u"own"_s);
    add("inside a folder it may not enter", u"sealed/inner"_s, 1, {},
        u"corvane-shred: cannot erase 'sealed/inner': Permission denied\n"_s, {-1, 1}, {}, {},
        true);
}

void TestShredTool::erases()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QStringList, out);
    QFETCH(QStringList, err);
    QFETCH(QList<int>, lines);
    QFETCH(QList<int>, summary);
    QFETCH(QStringList, gone);
    QFETCH(bool, unprivileged);
    QFETCH(QByteArray, input);
    if (unprivileged && !ShredToolRun::runsUnprivileged())
        QSKIP("needs root, setpriv and a build folder uid 65534 can reach");
    TempTree tree;
    QVERIFY(ShredToolFolder::fill(tree));
    const ShredToolRun run = ShredToolRun::run(args, tree.path(), unprivileged, input);
    VERIFY_RUN(run, exitCode);
    for (const QString& text : out)
        QVERIFY2(run.out.contains(text), qPrintable(run.out));
    for (const QString& text : err)
        QVERIFY2(run.err.contains(text), qPrintable(run.err));
    QVERIFY2(lines.at(0) < 0 || run.out.count(u'\n') == lines.at(0), qPrintable(run.out));
    QVERIFY2(lines.at(1) < 0 || run.err.count(u'\n') == lines.at(1), qPrintable(run.err));
    if (!summary.isEmpty())
        QCOMPARE(run.summary(), summary);
    // Help and version fit a terminal of 80 columns, as GNU's do.
    const bool told = run.out.startsWith(u"Usage:") || run.out.startsWith(u"corvane-shred (");
    for (const QString& line : run.out.split(u'\n'))
        QVERIFY2(!told || line.size() <= 79, qPrintable(line));
    for (const auto& [name, content] : ShredToolFolder::files()) {
        QVERIFY2(gone.contains(name) ? !ShredToolFolder::exists(tree, name)
                                     : ShredToolFolder::exists(tree, name)
                    && TempTree::readFile(tree.path(name)) == content,
            qPrintable(name));
    }
    for (const QString& name : ShredToolFolder::others())
        QVERIFY2(ShredToolFolder::exists(tree, name) != gone.contains(name), qPrintable(name));
}

void TestShredTool::progressLineStaysOnOneTerminalRow()
{
    TempTree tree;
    tree.writeFile(u"top/one"_s, QByteArray(2000, '1'));
    tree.writeFile(u"top/"_s + QString(80, u'n'), QByteArray(2000, 'n'));
    const TerminalRun run = TerminalRun::run(ShredToolRun::program(), {tree.path(u"top"_s)}, 60);
    if (!run.available)
        QSKIP("no pseudo-terminal available");
    const QByteArray& terminal = run.terminal;
    QCOMPARE(run.exitCode, 0);
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

void TestShredTool::remainingTimeWaitsForARateAndRoundsUp()
{
    const auto left = [](qint64 seconds) {
        return localizedFormat(QStringLiteral("IDS_KQ_252"), durationText(seconds));
    };
    QCOMPARE(RemainingTime::text(100, 1000, 9999), QString()); // too early to tell
    QCOMPARE(RemainingTime::text(0, 1000, 60000), QString()); // nothing written yet
    QCOMPARE(RemainingTime::text(1000, 1000, 60000), QString()); // all written
    QCOMPARE(RemainingTime::text(500, 1000, 10000), left(10)); // whole seconds stay
    QCOMPARE(RemainingTime::text(300, 1000, 10000), left(24)); // a part is a second more
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
    const ProgramRun ls = ProgramRun::run(
        u"ls"_s, {u"--quoting-style=shell-escape-always"_s}, {u"LC_ALL="_s + locale}, tree.path());
    const QString expected = QString::fromUtf8(ls.out.trimmed());
    QVERIFY(ls.exitCode == 0 && !expected.isEmpty());
    QString octal; // through printf's %b, which reads \0NNN as one byte
    for (const char c : name)
        octal += QString::asprintf("\\0%03o", unsigned(static_cast<unsigned char>(c)));
    const ShredToolRun run
        = ShredToolRun::run({u"LC_ALL="_s + locale, u"-v"_s, u"--"_s, octal}, tree.path());
    VERIFY_RUN(run, 0);
    QVERIFY2(run.out.startsWith(u"erased "_s + expected + u'\n'), qPrintable(run.out));
}

void TestShredTool::writeErrorsAreToldOnce_data()
{
    QTest::addColumn<QString>("command"); // run by sh -c in a folder holding dir/a, dir/b, dir/c
    QTest::addColumn<QByteArray>("reason");
    QTest::newRow("version to a full disk")
        << u"exec \"$0\" --version >/dev/full"_s << QByteArray("No space left on device");
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
    const ProgramRun run
        = ProgramRun::run(u"sh"_s, {u"-c"_s, command, ShredToolRun::program()}, {}, tree.path());
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, "corvane-shred: write error: " + reason + '\n');
}

void TestShredTool::deepTreesAreErasedAndCounted_data()
{
    QTest::addColumn<int>("levels");
    QTest::addColumn<int>("nameLength");
    QTest::addColumn<int>("descriptors"); // the tool's limit
    // Only a walk through open folders reaches below PATH_MAX, and every count must come from it.
    QTest::newRow("deeper than PATH_MAX") << 31 << 200 << 1024;
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
    // The tool raises its own soft limit to the hard one: prlimit sets both.
    const ProgramRun limited = ProgramRun::run(u"prlimit"_s,
        {u"--nofile=%1"_s.arg(descriptors), ShredToolRun::program(), u"-v"_s, u"top"_s}, {},
        tree.path(), 60000);
    const ShredToolRun run {
        limited.exitCode, QString::fromUtf8(limited.out), QString::fromUtf8(limited.err)};
    VERIFY_RUN(run, 0);
    QCOMPARE(run.out.count(u"erased '"_s), levels);
    QCOMPARE(run.summary().value(0), levels);
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
    tool.start(ShredToolRun::program(), {u"--method=2"_s, big, later});
    // Once its first chunk of 0xFF is in the file, the tool is inside it.
    QFile file(big);
    QVERIFY(tool.waitForStarted() && file.open(QIODevice::ReadOnly));
    QTRY_VERIFY_WITH_TIMEOUT(file.seek(0) && file.read(1) == "\xff", 20000);
    ::kill(pid_t(tool.processId()), signal);
    QVERIFY(tool.waitForFinished(30000));
    ShredToolRun run {tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1,
        QString::fromUtf8(tool.readAllStandardOutput()),
        QString::fromUtf8(tool.readAllStandardError())};
    VERIFY_RUN(run, exitCode);
    QVERIFY(TempTree::exists(big)); // half overwritten: kept, never unlinked
    QCOMPARE(TempTree::readFile(later), QByteArray("not reached"));
    QVERIFY2(run.err.contains(u"stopped while overwriting '"_s + big + u"'; it was kept"),
        qPrintable(run.err));
    QVERIFY(!run.summary().isEmpty());
}

QTEST_GUILESS_MAIN(TestShredTool)
#include "tst_shredtool.moc"
