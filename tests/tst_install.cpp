// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgramRun.h"
#include "TempTree.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTest>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// What `cmake --install` puts under /usr, with each file's permission bits.
QStringList installedFiles()
{
    QStringList files {u"0755 usr/bin/corvane"_s, u"0755 usr/bin/corvane-shred"_s};
    for (const char* path :
        {"applications/org.corvane.Corvane.desktop", "bash-completion/completions/corvane",
            "bash-completion/completions/corvane-shred", "doc/corvane/changelog.gz",
            "doc/corvane/copyright", "doc/corvane/README.md", "corvane/license.html",
            "corvane/privacy.html", "corvane/uninstall.html", "corvane/version",
            "file-manager/actions/corvane-shred.desktop",
            "icons/hicolor/scalable/apps/org.corvane.Corvane.svg",
            "kio/servicemenus/corvane-shred.desktop", "lintian/overrides/corvane",
            "man/man1/corvane-shred.1.gz", "man/man1/corvane.1.gz",
            "metainfo/org.corvane.Corvane.metainfo.xml",
            "nautilus-python/extensions/corvane_shred.py", "nemo/actions/corvane-shred.nemo_action",
            "zsh/vendor-completions/_corvane", "zsh/vendor-completions/_corvane-shred"})
        files << u"0644 usr/share/"_s + QLatin1String(path);
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        files << u"0644 usr/share/icons/hicolor/%1x%1/apps/org.corvane.Corvane.png"_s.arg(size);
    files.sort();
    return files;
}

const QString kDesktopEntry = u"usr/share/applications/org.corvane.Corvane.desktop"_s;

ProgramRun install(const QString& prefix, const QStringList& environment)
{
    return ProgramRun::run(QStringLiteral(CORVANE_CMAKE_COMMAND),
        {u"--install"_s, QStringLiteral(CORVANE_BUILD_DIR), u"--prefix"_s, prefix}, environment, {},
        120000);
}

} // namespace

class TestInstall : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fileList();
    void serviceMenuOfAUserInstallIsExecutable();
    void validators_data();
    void validators();
    void neverTheDefaultApplication_data();
    void neverTheDefaultApplication();
    void debianPackage();
    void bashCompletion_data();
    void bashCompletion();

private:
    TempTree m_root;
};

void TestInstall::initTestCase()
{
    const ProgramRun run = install(u"/usr"_s, {u"DESTDIR="_s + m_root.path()});
    QVERIFY2(run.exitCode == 0, run.err.constData());
}

void TestInstall::fileList()
{
    QStringList found;
    QDirIterator it(
        m_root.path(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat st;
        QCOMPARE(::lstat(QFile::encodeName(path).constData(), &st), 0);
        found << QString::asprintf("%04o ", unsigned(st.st_mode & 07777))
                + QDir(m_root.path()).relativeFilePath(path);
    }
    found.sort();
    QCOMPARE(found, installedFiles());
}

void TestInstall::serviceMenuOfAUserInstallIsExecutable()
{
    // Dolphin skips a service menu in the user's own data folder unless it is executable.
    TempTree home;
    const ProgramRun run = install(
        home.path(u".local"_s), {u"HOME="_s + home.path(), u"XDG_DATA_HOME"_s, u"DESTDIR"_s});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QVERIFY(QFileInfo(home.path(u".local/share/kio/servicemenus/corvane-shred.desktop"_s))
                .isExecutable());
}

void TestInstall::validators_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments"); // %1: the root of the installed tree
    QTest::addColumn<bool>("quiet"); // anything printed is a complaint

    QTest::newRow("desktop entry")
        << u"desktop-file-validate"_s << QStringList {u"%1/"_s + kDesktopEntry} << true;
    QTest::newRow("metainfo") << u"appstreamcli"_s
                              << QStringList {u"validate"_s, u"--no-net"_s,
                                     u"%1/usr/share/metainfo/org.corvane.Corvane.metainfo.xml"_s}
                              << false;
    for (const QString& page : {u"corvane.1.gz"_s, u"corvane-shred.1.gz"_s}) {
        QTest::newRow(qPrintable(page))
            << u"man"_s
            << QStringList {u"--warnings"_s, u"-E"_s, u"UTF-8"_s, u"-l"_s, u"-Tutf8"_s, u"-Z"_s,
                   u"%1/usr/share/man/man1/"_s + page}
            << false;
    }
}

void TestInstall::validators()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(bool, quiet);

    if (QStandardPaths::findExecutable(program).isEmpty())
        QSKIP(qPrintable(program + u" is not installed (scripts/deps.sh installs it)"_s));
    arguments.replaceInStrings(u"%1"_s, m_root.path());
    const ProgramRun run = ProgramRun::run(program, arguments, {u"LC_ALL=C.UTF-8"_s});
    // appstreamcli fails on any warning; groff's warnings go to standard error.
    QVERIFY2(run.exitCode == 0, QByteArray(run.out + run.err).constData());
    QVERIFY2(run.err.isEmpty(), run.err.constData());
    if (quiet)
        QVERIFY2(run.out.isEmpty(), run.out.constData());
}

void TestInstall::neverTheDefaultApplication_data()
{
    QTest::addColumn<QString>("mimeType");
    QTest::addColumn<bool>("claimed"); // the entry given a MimeType line, as it once had

    QTest::newRow("folders") << u"inode/directory"_s << false;
    QTest::newRow("unknown files") << u"application/octet-stream"_s << false;
    // The control: in this set-up an entry that claims folders does become their default.
    QTest::newRow("folders, entry claiming them") << u"inode/directory"_s << true;
}

void TestInstall::neverTheDefaultApplication()
{
    QFETCH(QString, mimeType);
    QFETCH(bool, claimed);

    QStringList query {u"gio"_s, u"mime"_s, mimeType};
    if (QStandardPaths::findExecutable(query.first()).isEmpty())
        query = QStringList {u"xdg-mime"_s, u"query"_s, u"default"_s, mimeType};
    if (QStandardPaths::findExecutable(query.first()).isEmpty()
        || QStandardPaths::findExecutable(u"update-desktop-database"_s).isEmpty())
        QSKIP("needs gio (libglib2.0-bin) or xdg-mime (xdg-utils), and desktop-file-utils");

    // A desktop with only our entry and no mimeapps.list anywhere, its MIME cache made as the
    // package's trigger makes it, and the installed programs on the PATH (entries whose
    // program is missing are passed over).
    TempTree xdg;
    QByteArray entry = TempTree::readFile(m_root.path(kDesktopEntry));
    QVERIFY(!entry.isEmpty());
    if (claimed)
        entry.replace("\nExec=", "\nMimeType=inode/directory;application/octet-stream;\nExec=");
    const QString applications
        = QFileInfo(xdg.writeFile(u"data/applications/org.corvane.Corvane.desktop"_s, entry))
              .path();
    QCOMPARE(ProgramRun::run(u"update-desktop-database"_s, {applications}).exitCode, 0);

    const ProgramRun run = ProgramRun::run(query.first(), query.mid(1),
        {u"LC_ALL=C"_s, u"PATH="_s + m_root.path(u"usr/bin:"_s) + qEnvironmentVariable("PATH"),
            u"XDG_DATA_DIRS="_s + xdg.path(u"data"_s), u"XDG_DATA_HOME="_s + xdg.makeDir(u"home"_s),
            u"XDG_CONFIG_HOME="_s + xdg.makeDir(u"config"_s),
            u"XDG_CONFIG_DIRS="_s + xdg.makeDir(u"config-dirs"_s), u"XDG_CURRENT_DESKTOP"_s});
    QVERIFY2(
        run.exitCode == 0 || (query.first() == u"xdg-mime"_s && !claimed), run.err.constData());
    QVERIFY2(run.out.contains("org.corvane.Corvane.desktop") == claimed, run.out.constData());
}

void TestInstall::debianPackage()
{
    for (const QString& tool : {u"dpkg-shlibdeps"_s, u"file"_s}) {
        if (QStandardPaths::findExecutable(tool).isEmpty())
            QSKIP(qPrintable(tool + u" is not installed (scripts/deps.sh installs it)"_s));
    }
    TempTree out;
    const ProgramRun cpack = ProgramRun::run(QStringLiteral(CORVANE_CPACK_COMMAND),
        {u"-G"_s, u"DEB"_s, u"--config"_s, QStringLiteral(CORVANE_BUILD_DIR "/CPackConfig.cmake"),
            u"-B"_s, out.path()},
        {}, {}, 240000);
    QVERIFY2(cpack.exitCode == 0, QByteArray(cpack.out + cpack.err).constData());
    const QStringList made = QDir(out.path()).entryList({u"corvane_" CORVANE_VERSION "_*.deb"_s});
    QVERIFY2(made.size() == 1, cpack.out.constData());
    const QString deb = out.path(made.first());

    // Dependencies found from the programs' own libraries, not written by hand.
    const ProgramRun depends = ProgramRun::run(u"dpkg-deb"_s, {u"-f"_s, deb, u"Depends"_s});
    QVERIFY2(depends.out.contains("libqt6widgets6 (") && depends.out.contains("libplist"),
        depends.out.constData());
    QCOMPARE(ProgramRun::run(u"dpkg-deb"_s, {u"-f"_s, deb, u"Suggests"_s}).out,
        QByteArray("python3-nautilus, caja-actions\n"));

    // Hardened as Debian builds are (fortified functions, stack protector, bound at start) and
    // stripped as dh_strip strips, .comment included.
    TempTree unpacked;
    QCOMPARE(ProgramRun::run(u"dpkg-deb"_s, {u"-x"_s, deb, unpacked.path()}).exitCode, 0);
    for (const QString& program : {u"corvane"_s, u"corvane-shred"_s}) {
        const ProgramRun elf = ProgramRun::run(u"readelf"_s,
            {u"--wide"_s, u"--section-headers"_s, u"--dynamic"_s, u"--dyn-syms"_s,
                unpacked.path(u"usr/bin/"_s + program)});
        QCOMPARE(elf.exitCode, 0);
        QVERIFY2(!elf.out.contains(" .comment ") && elf.out.contains("BIND_NOW")
                && elf.out.contains("__stack_chk_fail") && elf.out.contains("_chk@"),
            qPrintable(program));
    }

    if (QStandardPaths::findExecutable(u"lintian"_s).isEmpty())
        QSKIP("lintian is not installed (scripts/deps.sh installs it)");
    const ProgramRun lintian = ProgramRun::run(u"lintian"_s, {deb}, {}, {}, 240000);
    QVERIFY2(lintian.exitCode == 0, QByteArray(lintian.out + lintian.err).constData());
    for (const QByteArray& line : lintian.out.split('\n'))
        QVERIFY2(!line.startsWith("E:") && !line.startsWith("W:"), line.constData());
}

void TestInstall::bashCompletion_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("words"); // the last is the one being completed
    QTest::addColumn<QStringList>("offered"); // empty: left to bash's file completion

    const QString shred = u"corvane-shred"_s;
    QTest::newRow("long option prefix")
        << shred << QStringList {shred, u"--verb"_s} << QStringList {u"--verbose"_s};
    QTest::newRow("ambiguous prefix")
        << shred << QStringList {shred, u"--ver"_s}
        << QStringList {u"--verify"_s, u"--verbose"_s, u"--version"_s};
    QTest::newRow("method after -m")
        << shred << QStringList {shred, u"-m"_s, QString()} << QStringList {u"1"_s, u"2"_s, u"3"_s};
    QTest::newRow("method after --method=")
        << shred << QStringList {shred, u"--method"_s, u"="_s, u"3"_s} << QStringList {u"3"_s};
    QTest::newRow("a path") << shred << QStringList {shred, u"-v"_s, u"Old"_s} << QStringList();
    QTest::newRow("after --, only paths")
        << shred << QStringList {shred, u"--"_s, u"--ver"_s} << QStringList();
    QTest::newRow("corvane's options")
        << u"corvane"_s << QStringList {u"corvane"_s, u"--h"_s} << QStringList {u"--help"_s};
}

void TestInstall::bashCompletion()
{
    QFETCH(QString, program);
    QFETCH(QStringList, words);
    QFETCH(QStringList, offered);

    // The installed file, as bash-completion sources it, then the completion function that it
    // registered for the program.
    QStringList quoted;
    for (const QString& word : words)
        quoted << u'\'' + word + u'\'';
    const QString script
        = u"source \"$0\"; fn=$(complete -p %1 | sed -n 's/.*-F \\([^ ]*\\) .*/\\1/p'); "
          "COMP_WORDS=(%2); COMP_CWORD=%3; \"$fn\"; printf '%s\\n' \"${COMPREPLY[@]}\""_s
              .arg(program, quoted.join(u' '))
              .arg(words.size() - 1);
    const ProgramRun run = ProgramRun::run(u"bash"_s,
        {u"-c"_s, script, m_root.path(u"usr/share/bash-completion/completions/"_s + program)});
    QVERIFY2(run.exitCode == 0 && run.err.isEmpty(), run.err.constData());
    QStringList replies = QString::fromUtf8(run.out).split(u'\n', Qt::SkipEmptyParts);
    replies.sort();
    offered.sort();
    QCOMPARE(replies, offered);
}

QTEST_MAIN(TestInstall)
#include "tst_install.moc"
