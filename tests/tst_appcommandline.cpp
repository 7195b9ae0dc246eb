// SPDX-License-Identifier: GPL-3.0-or-later
#include "PathText.h"
#include "ProgramRun.h"
#include "SingleInstance.h"
#include "TempTree.h"

#include <QLibrary>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString kApp = QStringLiteral(CORVANE_BIN_DIR "/corvane");
// Qt on X11 with no X server: a start that reaches for a display dies instead of answering.
const QStringList kNoDisplay {u"QT_QPA_PLATFORM=xcb"_s, u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s};
const QStringList kOffscreen {u"QT_QPA_PLATFORM=offscreen"_s};

// GLib's shell parsing and quoting, which Nemo, Caja (caja-actions) and Thunar run the
// expanded command line through. Called in GLib itself, so that its rules are not restated.
class GLibShell
{
public:
    GLibShell()
        : m_glib(u"glib-2.0"_s, 0)
    {
        m_parse = reinterpret_cast<Parse>(m_glib.resolve("g_shell_parse_argv"));
        m_quote = reinterpret_cast<Quote>(m_glib.resolve("g_shell_quote"));
        m_freev = reinterpret_cast<FreeV>(m_glib.resolve("g_strfreev"));
        m_free = reinterpret_cast<Free>(m_glib.resolve("g_free"));
    }
    bool isValid() const { return m_parse && m_quote && m_freev && m_free; }

    /// g_shell_parse_argv(); empty when GLib refuses the line.
    QList<QByteArray> parse(const QByteArray& line) const
    {
        int argc = 0;
        char** argv = nullptr;
        QList<QByteArray> arguments;
        if (!m_parse(line.constData(), &argc, &argv, nullptr))
            return arguments;
        for (int i = 0; i < argc; ++i)
            arguments << QByteArray(argv[i]);
        m_freev(argv);
        return arguments;
    }
    QByteArray quote(const QByteArray& text) const
    {
        char* quoted = m_quote(text.constData());
        const QByteArray result(quoted);
        m_free(quoted);
        return result;
    }

private:
    using Parse = int (*)(const char*, int*, char***, void**);
    using Quote = char* (*)(const char*);
    using FreeV = void (*)(char**);
    using Free = void (*)(void*);
    QLibrary m_glib;
    Parse m_parse = nullptr;
    Quote m_quote = nullptr;
    FreeV m_freev = nullptr;
    Free m_free = nullptr;
};

// `key`=VALUE from the first line of `file` that has it.
QByteArray keyOf(const QByteArray& file, const QByteArray& key)
{
    for (const QByteArray& line : file.split('\n')) {
        if (line.startsWith(QByteArray(key + '=')))
            return line.mid(key.size() + 1);
    }
    return {};
}

// Each path in the action's Quote (none, single or double), escaped as Nemo does for it, joined
// by spaces into the one line that Nemo splits again.
QByteArray nemoExpansion(const QByteArray& quote, const QList<QByteArray>& paths)
{
    QList<QByteArray> inserted;
    for (QByteArray path : paths) {
        if (quote == "double")
            inserted << '"' + path.replace('\\', "\\\\").replace('"', "\\\"") + '"';
        else if (quote == "single")
            inserted << '\'' + path.replace('\'', "'\\''") + '\'';
        else
            inserted << path;
    }
    return inserted.join(' ');
}

// A stand-in for the gi modules the Nautilus extension imports: choosing the menu item writes
// the argv it would start, NUL-separated, to $CORVANE_ARGV_OUT.
const QByteArray kFakeGi = R"(import os
class GObject:
    class GObject: pass
class Nautilus:
    class MenuProvider: pass
    class MenuItem:
        def __init__(self, **kw): pass
        def connect(self, signal, callback, *data): self.callback = (callback, data)
        def activate(self): self.callback[0](self, *self.callback[1])
class Gio:
    class SubprocessFlags: NONE = 0
    class Subprocess:
        @staticmethod
        def new(argv, flags):
            with open(os.environ["CORVANE_ARGV_OUT"], "wb") as out:
                out.write(b"\0".join(os.fsencode(a) for a in argv))
)";
const QByteArray kNautilusDriver = R"(import importlib.util, os, sys
spec = importlib.util.spec_from_file_location("corvane_shred", sys.argv[1])
extension = importlib.util.module_from_spec(spec)
spec.loader.exec_module(extension)
class Item:
    def __init__(self, path): self.path = path
    def get_location(self): return self
    def get_path(self): return self.path
with open(sys.argv[2], "rb") as names:
    items = [Item(os.fsdecode(p)) for p in names.read().split(b"\0")]
extension.CorvaneShredMenu().get_file_items(items)[0].activate()
)";

} // namespace

// The real `corvane`, against a stand-in for a running Corvane: whatever a start hands over
// arrives here, and a start that found nobody would open a window and never end.
class TestAppCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void arguments_data();
    void arguments();
    void fileManagerActions_data();
    void fileManagerActions();

private:
    TempTree m_runtime;
    SingleInstance* m_running = nullptr;
};

void TestAppCommandLine::initTestCase()
{
    qunsetenv("XDG_ACTIVATION_TOKEN");
    m_running = new SingleInstance(m_runtime.path(u"corvane.socket"_s), this);
    QVERIFY(m_running->listen());
}

void TestAppCommandLine::arguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("out"); // the start of standard output
    QTest::addColumn<QByteArray>("err"); // contained in standard error
    QTest::addColumn<QStringList>("handedOver"); // names in the working folder; empty: nothing
    QTest::addColumn<QString>("token"); // XDG_ACTIVATION_TOKEN while the paths are delivered

    const QByteArray usage = "Usage: corvane [PATH]...\n";
    const QByteArray version = "corvane (Corvane) " CORVANE_VERSION "\n";
    QTest::newRow("help, no display") << QStringList {u"--help"_s} << kNoDisplay << 0 << usage
                                      << QByteArray() << QStringList() << QString();
    QTest::newRow("version, no display") << QStringList {u"--version"_s} << kNoDisplay << 0
                                         << version << QByteArray() << QStringList() << QString();
    QTest::newRow("help after a path") << QStringList {u"a"_s, u"--help"_s} << kNoDisplay << 0
                                       << usage << QByteArray() << QStringList() << QString();
    QTest::newRow("unknown long option")
        << QStringList {u"a"_s, u"--bogus"_s} << kOffscreen << 2 << QByteArray()
        << QByteArray("corvane: unrecognized option '--bogus'\n") << QStringList() << QString();
    QTest::newRow("the toolkit's options are not taken")
        << QStringList {u"-reverse"_s, u"keep"_s} << kOffscreen << 2 << QByteArray()
        << QByteArray("corvane: invalid option -- 'r'\n") << QStringList() << QString();
    QTest::newRow("options and toolkit-looking names end at --")
        << QStringList {u"--"_s, u"--help"_s, u"-"_s, u"-reverse"_s, u"-platform"_s,
               u"-qmljsdebugger=x"_s}
        << kOffscreen << 0 << QByteArray() << QByteArray()
        << QStringList {u"--help"_s, u"-"_s, u"-reverse"_s, u"-platform"_s, u"-qmljsdebugger=x"_s}
        << QString();
    QTest::newRow("unique prefix") << QStringList {u"--hel"_s} << kNoDisplay << 0 << usage
                                   << QByteArray() << QStringList() << QString();
    // Given through printf's %b: "\0377" is the byte 0xff.
    QTest::newRow("a name that is not UTF-8")
        << QStringList {u"--"_s, u"bad\\0377"_s} << kOffscreen << 0 << QByteArray() << QByteArray()
        << QStringList {PathText::fromNative("bad\xff")} << QString();
    QTest::newRow("Wayland token goes along")
        << QStringList {u"a"_s}
        << kOffscreen + QStringList {u"XDG_ACTIVATION_TOKEN=wl-1"_s, u"DESKTOP_STARTUP_ID=x-1"_s}
        << 0 << QByteArray() << QByteArray() << QStringList {u"a"_s} << u"wl-1"_s;
    QTest::newRow("startup id when no Wayland token")
        << QStringList() << kOffscreen + QStringList {u"DESKTOP_STARTUP_ID=x-2"_s} << 0
        << QByteArray() << QByteArray() << QStringList() << u"x-2"_s;
}

void TestAppCommandLine::arguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, environment);
    QFETCH(int, status);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    QFETCH(QStringList, handedOver);
    QFETCH(QString, token);

    TempTree work;
    QStringList delivered;
    QString tokenWhileDelivered;
    bool receivedAny = false;
    const auto connection = connect(
        m_running, &SingleInstance::argumentsReceived, this, [&](const QStringList& paths) {
            receivedAny = true;
            delivered = paths;
            tokenWhileDelivered = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
        });
    // Through a shell, which can hand over bytes that a QString cannot hold.
    const ProgramRun run = ProgramRun::run(u"sh"_s,
        QStringList {u"-c"_s,
            u"app=$0; for a do shift; set -- \"$@\" \"$(printf '%b' \"$a\")\"; done; exec \"$app\" \"$@\""_s,
            kApp}
            + arguments,
        environment
            + QStringList {u"XDG_RUNTIME_DIR="_s + m_runtime.path(),
                u"XDG_CONFIG_HOME="_s + work.path(u"config"_s)},
        work.path(), 15000);
    // A hand-over is read once the event loop gets to it.
    if (run.exitCode == 0 && out.isEmpty())
        QTRY_VERIFY_WITH_TIMEOUT(receivedAny, 2000);
    disconnect(connection);

    QVERIFY2(run.exitCode == status,
        qPrintable(
            u"exit %1, stderr: %2"_s.arg(run.exitCode).arg(QString::fromLocal8Bit(run.err))));
    QVERIFY2(run.out.startsWith(out), run.out.constData());
    for (const QByteArray& line : run.out.split('\n')) // help fits 80 columns, as GNU's does
        QVERIFY2(line.size() <= 79, line.constData());
    if (err.isEmpty())
        QVERIFY2(run.err.isEmpty(), run.err.constData());
    else
        QVERIFY2(run.err.contains(err), run.err.constData());

    // Help, version and usage errors leave a running Corvane alone; a start hands over paths
    // made absolute against its working folder, and the launcher's token with them.
    QCOMPARE(receivedAny, status == 0 && out.isEmpty());
    QStringList expected;
    for (const QString& name : handedOver)
        expected << work.path(name);
    QCOMPARE(delivered, expected);
    QCOMPARE(tokenWhileDelivered, token);
    QVERIFY(!qEnvironmentVariableIsSet("XDG_ACTIVATION_TOKEN")); // not left for later programs
}

void TestAppCommandLine::fileManagerActions_data()
{
    QTest::addColumn<QString>("manager");
    QTest::addColumn<QByteArray>("quote"); // Nemo's Quote, or "as installed"
    QTest::addColumn<bool>("whole"); // every path reaches corvane as it is

    QTest::newRow("Dolphin") << u"dolphin"_s << QByteArray() << true;
    QTest::newRow("Nautilus") << u"nautilus"_s << QByteArray() << true;
    QTest::newRow("Nemo") << u"nemo"_s << QByteArray("as installed") << true;
    QTest::newRow("Caja") << u"caja"_s << QByteArray() << true;
    QTest::newRow("Thunar, as the README says") << u"thunar"_s << QByteArray() << true;
    // The control: Nemo's action without Quote, as it once was, splits "Old stuff".
    QTest::newRow("Nemo without Quote") << u"nemo"_s << QByteArray("none") << false;
}

void TestAppCommandLine::fileManagerActions()
{
    QFETCH(QString, manager);
    QFETCH(QByteArray, quote);
    QFETCH(bool, whole);

    const GLibShell glib;
    QVERIFY2(glib.isValid(), "libglib-2.0.so.0 is missing");
    TempTree work;
    QList<QByteArray> paths;
    for (const char* name :
        {"Old stuff", "-rf", "it's \"quoted\"", "$HOME `id`", "new\nline", "back\\slash\\"})
        paths << QFile::encodeName(work.path()) + '/' + name;
    const auto source = [](const char* relative) {
        return TempTree::readFile(
            QStringLiteral(CORVANE_SOURCE_DIR "/") + QLatin1StringView(relative));
    };

    // What each file manager starts for a selection of `paths`.
    QList<QByteArray> argv;
    if (manager == u"dolphin"_s) {
        // KIO splits Exec as a desktop entry's and puts each file in place of %F as one argument.
        const QList<QByteArray> exec
            = glib.parse(keyOf(source("dist/filemanagers/corvane-shred.dolphin.desktop"), "Exec"));
        for (const QByteArray& argument : exec) {
            if (argument == "%F")
                argv << paths;
            else
                argv << argument;
        }
    } else if (manager == u"nautilus"_s) {
        const QString python = QStandardPaths::findExecutable(u"python3"_s);
        if (python.isEmpty())
            QSKIP("python3 is missing");
        work.writeFile(u"gi/__init__.py"_s, "def require_version(name, version): pass\n");
        work.writeFile(u"gi/repository.py"_s, kFakeGi);
        const ProgramRun run = ProgramRun::run(python,
            {work.writeFile(u"driver.py"_s, kNautilusDriver),
                QStringLiteral(CORVANE_SOURCE_DIR "/dist/filemanagers/corvane_shred.py"),
                work.writeFile(u"selection"_s, paths.join('\0'))},
            {u"PYTHONPATH="_s + work.path(), u"CORVANE_ARGV_OUT="_s + work.path(u"argv"_s)});
        QVERIFY2(run.exitCode == 0, run.err.constData());
        argv = TempTree::readFile(work.path(u"argv"_s)).split('\0');
    } else {
        QByteArray line;
        if (manager == u"nemo"_s) {
            const QByteArray action = source("dist/filemanagers/corvane-shred.nemo_action");
            line = keyOf(action, "Exec");
            if (quote == "as installed")
                quote = keyOf(action, "Quote");
            line.replace("%F", nemoExpansion(quote, paths));
        } else {
            // caja-actions and Thunar put each file in as g_shell_quote() gives it.
            QList<QByteArray> quoted;
            for (const QByteArray& path : paths)
                quoted << glib.quote(path);
            if (manager == u"caja"_s) {
                line = keyOf(source("dist/filemanagers/corvane-shred.fma.desktop"), "Exec");
            } else {
                const QRegularExpressionMatch command
                    = QRegularExpression(u"<command>([^<]*)</command>"_s)
                          .match(QString::fromUtf8(source("README.md")));
                QVERIFY(command.hasMatch());
                line = command.captured(1).toUtf8();
            }
            line.replace("%F", quoted.join(' '));
        }
        argv = glib.parse(line);
    }
    if (!whole) {
        // GLib refuses the line, or splits it elsewhere than between the paths.
        QVERIFY(argv != (QList<QByteArray> {"corvane", "--"} + paths));
        return;
    }
    QVERIFY2(argv.size() > 1 && argv.first() == "corvane", argv.join(' ').constData());

    // What the real corvane, so started, hands to the window's files list.
    QStringList delivered;
    const auto connection = connect(m_running, &SingleInstance::argumentsReceived, this,
        [&](const QStringList& received) { delivered = received; });
    QStringList arguments;
    for (const QByteArray& argument : argv.mid(1))
        arguments << PathText::fromNative(argument);
    const ProgramRun run = ProgramRun::run(kApp, arguments,
        kOffscreen
            + QStringList {u"XDG_RUNTIME_DIR="_s + m_runtime.path(),
                u"XDG_CONFIG_HOME="_s + work.path(u"config"_s)},
        work.path(), 15000);
    QCOMPARE(run.exitCode, 0);
    QTRY_VERIFY_WITH_TIMEOUT(!delivered.isEmpty(), 2000);
    disconnect(connection);

    QStringList expected;
    for (const QByteArray& path : paths)
        expected << PathText::fromNative(path);
    QCOMPARE(delivered, expected);
}

QTEST_MAIN(TestAppCommandLine)
#include "tst_appcommandline.moc"
