// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileManagerLaunch.h"
#include "PathText.h"
#include "ProgramRun.h"
#include "SingleInstance.h"
#include "TempTree.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString kApp = QStringLiteral(CORVANE_BIN_DIR "/corvane");
// Qt on X11 with no X server: a start that reaches for a display dies instead of answering.
const QStringList kNoDisplay {u"QT_QPA_PLATFORM=xcb"_s, u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s};
const QStringList kOffscreen {u"QT_QPA_PLATFORM=offscreen"_s};

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
    // What a start of the real corvane did, and what it handed over to the stand-in.
    struct Start
    {
        ProgramRun run;
        bool handedOver = false;
        QStringList paths;
        QString token; // XDG_ACTIVATION_TOKEN while the paths were delivered
    };
    // Starts corvane in `work` with `arguments`, each read through printf's %b by a shell, which
    // can hand over bytes that a QString cannot hold.
    Start start(const QStringList& arguments, const QStringList& environment, TempTree& work);

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
    QTest::newRow("help by a unique prefix, after a path")
        << QStringList {u"a"_s, u"--hel"_s} << kNoDisplay << 0 << usage << QByteArray()
        << QStringList() << QString();
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

TestAppCommandLine::Start TestAppCommandLine::start(
    const QStringList& arguments, const QStringList& environment, TempTree& work)
{
    Start started;
    const auto connection = connect(
        m_running, &SingleInstance::argumentsReceived, this, [&](const QStringList& paths) {
            started.handedOver = true;
            started.paths = paths;
            started.token = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
        });
    started.run = ProgramRun::run(u"sh"_s,
        QStringList {u"-c"_s,
            u"app=$0; for a do shift; set -- \"$@\" \"$(printf '%b' \"$a\")\"; done; exec \"$app\" \"$@\""_s,
            kApp}
            + arguments,
        environment
            + QStringList {u"XDG_RUNTIME_DIR="_s + m_runtime.path(),
                u"XDG_CONFIG_HOME="_s + work.path(u"config"_s)},
        work.path(), 15000);
    // A hand-over is read once the event loop gets to it.
    if (started.run.exitCode == 0 && started.run.out.isEmpty())
        started.handedOver = QTest::qWaitFor([&] { return started.handedOver; }, 2000);
    disconnect(connection);
    return started;
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
    const Start started = start(arguments, environment, work);
    const ProgramRun& run = started.run;
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
    QCOMPARE(started.handedOver, status == 0 && out.isEmpty());
    QStringList expected;
    for (const QString& name : handedOver)
        expected << work.path(name);
    QCOMPARE(started.paths, expected);
    QCOMPARE(started.token, token);
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

    QVERIFY2(FileManagerLaunch::haveGLib(), "libglib-2.0.so.0 is missing");
    TempTree work;
    QList<QByteArray> paths;
    for (const char* name :
        {"Old stuff", "-rf", "it's \"quoted\"", "$HOME `id`", "new\nline", "back\\slash\\"})
        paths << QFile::encodeName(work.path()) + '/' + name;
    const std::optional<QList<QByteArray>> argv
        = FileManagerLaunch::argv(manager, paths, quote, work);
    if (!argv)
        QSKIP("python3 is missing");
    if (!whole) {
        // GLib refuses the line, or splits it elsewhere than between the paths.
        QVERIFY(*argv != (QList<QByteArray> {"corvane", "--"} + paths));
        return;
    }
    QVERIFY2(argv->size() > 1 && argv->first() == "corvane", argv->join(' ').constData());

    // What the real corvane, so started, hands to the window's files list.
    QStringList arguments;
    for (QByteArray argument : argv->mid(1))
        arguments << PathText::fromNative(argument.replace('\\', "\\\\"));
    const Start started = start(arguments, kOffscreen, work);
    QCOMPARE(started.run.exitCode, 0);
    QStringList expected;
    for (const QByteArray& path : paths)
        expected << PathText::fromNative(path);
    QCOMPARE(started.paths, expected);
}

QTEST_MAIN(TestAppCommandLine)
#include "tst_appcommandline.moc"
