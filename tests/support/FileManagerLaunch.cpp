// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileManagerLaunch.h"

#include "ProgramRun.h"
#include "TempTree.h"

#include <QLibrary>
#include <QRegularExpression>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {

// GLib's shell parsing and quoting, which Nemo, Caja (caja-actions) and Thunar run the
// expanded command line through.
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

QByteArray source(const char* relative)
{
    return TempTree::readFile(QStringLiteral(CORVANE_SOURCE_DIR "/") + QLatin1StringView(relative));
}

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

// Stand-ins for the gi modules the Nautilus extension imports: choosing the menu item writes
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

bool FileManagerLaunch::haveGLib()
{
    return GLibShell().isValid();
}

std::optional<QList<QByteArray>> FileManagerLaunch::argv(const QString& manager,
    const QList<QByteArray>& paths, const QByteArray& nemoQuote, TempTree& work)
{
    const GLibShell glib;
    if (manager == u"dolphin"_s) {
        // KIO splits Exec as a desktop entry's and puts each file in place of %F as one argument.
        QList<QByteArray> argv;
        for (const QByteArray& argument :
            glib.parse(keyOf(source("dist/filemanagers/corvane-shred.dolphin.desktop"), "Exec")))
            argv << (argument == "%F" ? paths : QList<QByteArray> {argument});
        return argv;
    }
    if (manager == u"nautilus"_s) {
        const QString python = QStandardPaths::findExecutable(u"python3"_s);
        if (python.isEmpty())
            return std::nullopt;
        work.writeFile(u"gi/__init__.py"_s, "def require_version(name, version): pass\n");
        work.writeFile(u"gi/repository.py"_s, kFakeGi);
        const ProgramRun run = ProgramRun::run(python,
            {work.writeFile(u"driver.py"_s, kNautilusDriver),
                QStringLiteral(CORVANE_SOURCE_DIR "/dist/filemanagers/corvane_shred.py"),
                work.writeFile(u"selection"_s, paths.join('\0'))},
            {u"PYTHONPATH="_s + work.path(), u"CORVANE_ARGV_OUT="_s + work.path(u"argv"_s)});
        return run.exitCode == 0 ? TempTree::readFile(work.path(u"argv"_s)).split('\0')
                                 : QList<QByteArray>();
    }
    QByteArray line;
    if (manager == u"nemo"_s) {
        const QByteArray action = source("dist/filemanagers/corvane-shred.nemo_action");
        line = keyOf(action, "Exec");
        line.replace("%F",
            nemoExpansion(nemoQuote == "as installed" ? keyOf(action, "Quote") : nemoQuote, paths));
        return glib.parse(line);
    }
    // caja-actions and Thunar put each file in as g_shell_quote() gives it.
    QList<QByteArray> quoted;
    for (const QByteArray& path : paths)
        quoted << glib.quote(path);
    if (manager == u"caja"_s) {
        line = keyOf(source("dist/filemanagers/corvane-shred.fma.desktop"), "Exec");
    } else {
        static const QRegularExpression command(u"<command>([^<]*)</command>"_s);
        line = command.match(QString::fromUtf8(source("README.md"))).captured(1).toUtf8();
    }
    return glib.parse(line.replace("%F", quoted.join(' ')));
}
