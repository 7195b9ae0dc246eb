// SPDX-License-Identifier: GPL-3.0-or-later
#include "LoginItems.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

// The string-level escapes of a desktop entry value (\s \n \t \r \\).
QString unescapeValue(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != u'\\' || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar next = value.at(++i);
        switch (next.unicode()) {
        case 's':
            out += u' ';
            break;
        case 'n':
            out += u'\n';
            break;
        case 't':
            out += u'\t';
            break;
        case 'r':
            out += u'\r';
            break;
        default:
            out += next;
            break; // "\\" and anything unknown: the character itself
        }
    }
    return out;
}

QString quoteArgument(const QString& argument)
{
    QString quoted = QStringLiteral("\"");
    for (const QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        if (c == u'%')
            quoted += u'%';
        quoted += c;
    }
    quoted += u'"';
    // A backslash of the quoting is itself escaped at the string level.
    return quoted.replace(u'\\', QStringLiteral("\\\\"));
}

QString execLine(const QString& group, const QByteArray& content)
{
    bool inGroup = false;
    for (const QByteArray& raw : content.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(u'[')) {
            inGroup = line == u'[' + group + u']';
            continue;
        }
        if (!inGroup || !line.startsWith(u"Exec"))
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals > 0 && QStringView(line).left(equals).trimmed() == u"Exec")
            return line.mid(equals + 1).trimmed();
    }
    return {};
}

QString canonical(const QString& path)
{
    return path.isEmpty() ? QString() : QFileInfo(path).canonicalFilePath();
}

} // namespace

LoginItems::LoginItems(QString directory, QString applicationPath)
    : m_directory(directory.isEmpty() ? defaultDirectory() : std::move(directory))
    , m_applicationPath(
          applicationPath.isEmpty() ? defaultApplicationPath() : std::move(applicationPath))
{ }

QString LoginItems::defaultDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/autostart");
}

QString LoginItems::defaultApplicationPath()
{
    const QString appImage = qEnvironmentVariable("APPIMAGE");
    if (!appImage.isEmpty() && QFileInfo(appImage).isExecutable())
        return appImage;
    return QCoreApplication::applicationFilePath();
}

std::optional<QList<LoginItem>> LoginItems::snapshot() const
{
    const QDir dir(m_directory);
    if (!dir.exists())
        return QList<LoginItem> {};
    if (!QFileInfo(m_directory).isReadable())
        return std::nullopt;
    QList<LoginItem> items;
    const QStringList names = dir.entryList(
        {QStringLiteral("*.desktop")}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& name : names) {
        QFile file(dir.filePath(name));
        LoginItem item {file.fileName(), {}};
        // An entry that cannot be read is still listed; it just does not resolve.
        if (file.open(QIODevice::ReadOnly) && file.size() < 1024 * 1024)
            item.exec = execLine(QStringLiteral("Desktop Entry"), file.readAll());
        items.append(item);
    }
    return items;
}

QString LoginItems::execProgram(const QString& exec)
{
    const QString value = unescapeValue(exec).trimmed();
    QString program;
    if (value.startsWith(u'"')) {
        for (qsizetype i = 1; i < value.size(); ++i) {
            const QChar c = value.at(i);
            if (c == u'\\' && i + 1 < value.size()) {
                program += value.at(++i);
            } else if (c == u'"') {
                return program;
            } else {
                program += c;
            }
        }
        return {}; // no closing quote: not a valid Exec line
    }
    const qsizetype space = value.indexOf(u' ');
    return space < 0 ? value : value.left(space);
}

QString LoginItems::resolvedProgram(const LoginItem& item)
{
    const QString program = execProgram(item.exec);
    if (program.isEmpty())
        return {};
    // A bare name is looked up in PATH, as the session starting it would.
    const QString found
        = program.contains(u'/') ? program : QStandardPaths::findExecutable(program);
    return canonical(found);
}

bool LoginItems::pointsAtApplication(const LoginItem& item) const
{
    const QString program = resolvedProgram(item);
    return !program.isEmpty() && program == canonical(m_applicationPath);
}

std::optional<LoginItem> LoginItems::insertApplicationItem() const
{
    if (!QDir().mkpath(m_directory))
        return std::nullopt;
    // Never over an entry someone else wrote under our name.
    QString path = m_directory + QStringLiteral("/corvane.desktop");
    for (int n = 2; QFileInfo::exists(path) || QFileInfo(path).isSymLink(); ++n)
        path = m_directory + QStringLiteral("/corvane-%1.desktop").arg(n);

    LoginItem item {path, quoteArgument(m_applicationPath)};
    const QString content = QStringLiteral("[Desktop Entry]\n"
                                           "Type=Application\n"
                                           "Name=Corvane\n"
                                           "Comment=Securely erase files and folders\n"
                                           "Icon=corvane\n"
                                           "Exec=%1\n"
                                           "Terminal=false\n"
                                           "X-GNOME-Autostart-enabled=true\n")
                                .arg(item.exec);
    // QSaveFile writes a temporary file, syncs it and renames it: a session starting while we
    // write never sees half an entry.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return std::nullopt;
    file.write(content.toUtf8());
    if (!file.commit())
        return std::nullopt;
    return item;
}

bool LoginItems::remove(const LoginItem& item)
{
    return QFile::remove(item.path);
}
