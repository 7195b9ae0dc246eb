// SPDX-License-Identifier: GPL-3.0-or-later
#include "Filedata.h"

#include <QFile>
#include <QHash>
#include <QList>
#include <QMimeDatabase>
#include <QSet>
#include <QStandardPaths>
#include <mutex>
#include <sys/stat.h>

namespace {

// A tree of 100,000 files holds only a few dozen distinct names; sharing them saves one
// allocation per record.
QString interned(const QString& name)
{
    static std::mutex mutex;
    static QSet<QString> names;
    const std::lock_guard lock(mutex);
    const auto it = names.constFind(name);
    if (it != names.constEnd())
        return *it;
    names.insert(name);
    return name;
}

// Index just past the bracket expression opening at `open`, or -1 when it is not closed.
qsizetype bracketEnd(QStringView pattern, qsizetype open)
{
    qsizetype i = open + 1;
    if (i < pattern.size() && (pattern[i] == u'!' || pattern[i] == u'^'))
        ++i;
    if (i < pattern.size() && pattern[i] == u']')
        ++i;
    while (i < pattern.size() && pattern[i] != u']')
        ++i;
    return i < pattern.size() ? i + 1 : -1;
}

char16_t asciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c;
}

char16_t asciiUpper(char16_t c)
{
    return c >= u'a' && c <= u'z' ? char16_t(c - (u'a' - u'A')) : c;
}

// Whether the bracket expression `set` (between the brackets) may take `c`, in either case.
// A negated set takes anything: looser, never stricter.
bool bracketMayTake(QStringView set, char16_t c)
{
    if (!set.isEmpty() && (set[0] == u'!' || set[0] == u'^'))
        return true;
    const char16_t lower = asciiLower(c);
    const char16_t upper = asciiUpper(c);
    for (qsizetype i = 0; i < set.size(); ++i) {
        char16_t low = set[i].unicode();
        char16_t high = low;
        if (i + 2 < set.size() && set[i + 1] == u'-') {
            high = set[i + 2].unicode();
            i += 2;
        }
        if ((lower >= low && lower <= high) || (upper >= low && upper <= high))
            return true;
    }
    return false;
}

// Whether the ASCII `name` may match the lower-case glob `pattern`. Looser than the real rule
// (case never matters, a negated set takes anything), never stricter, so a "no" is certain.
bool mayMatch(QStringView pattern, QStringView name)
{
    qsizetype p = 0;
    qsizetype n = 0;
    qsizetype afterStar = -1;
    qsizetype starName = 0;
    while (n < name.size()) {
        if (p < pattern.size()) {
            const char16_t c = pattern[p].unicode();
            if (c == u'*') {
                afterStar = ++p;
                starName = n;
                continue;
            }
            if (c == u'[') {
                const qsizetype end = bracketEnd(pattern, p);
                if (bracketMayTake(pattern.sliced(p + 1, end - p - 2), name[n].unicode())) {
                    p = end;
                    ++n;
                    continue;
                }
            } else if (c == u'?' || c == asciiLower(name[n].unicode())) {
                ++p;
                ++n;
                continue;
            }
        }
        if (afterStar < 0)
            return false;
        p = afterStar;
        n = ++starName;
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

// "*.ext" with a plain extension: whether it matches a name depends on the name's last
// extension alone, so the type of names matched only by such globs can be kept per extension.
bool isPlainExtensionGlob(QStringView glob)
{
    if (glob.size() < 3 || !glob.startsWith(u"*."))
        return false;
    for (const QChar c : glob.sliced(2)) {
        if (c == u'.' || c == u'*' || c == u'?' || c == u'[' || c == u']' || c == u'\\')
            return false;
    }
    return true;
}

// The MIME database's other globs (literal names, "README*", "*.tar.gz", "*.[1-9]", ...),
// indexed so that a name is tried against only the few that could match it.
struct OtherGlobs
{
    /// False when some glob the database uses may be missing; every name then asks Qt.
    bool complete = false;
    QHash<QChar, QList<QString>> byLastChar;
    QHash<QChar, QList<QString>> byFirstChar;
    QList<QString> rest;

    bool add(const QString& glob)
    {
        if (isPlainExtensionGlob(glob))
            return true;
        const QString pattern = glob.toLower();
        if (pattern.isEmpty() || pattern.contains(u'\\'))
            return false;
        for (qsizetype i = pattern.indexOf(u'['); i >= 0; i = pattern.indexOf(u'[', i)) {
            i = bracketEnd(pattern, i);
            if (i < 0)
                return false;
        }
        const QChar last = pattern.back();
        const QChar first = pattern.front();
        if (last != u'*' && last != u'?' && last != u']')
            byLastChar[last].append(pattern);
        else if (last == u'*' && first != u'*' && first != u'?' && first != u'[')
            byFirstChar[first].append(pattern);
        else
            rest.append(pattern);
        return true;
    }

    bool mayMatchAny(QStringView name) const
    {
        const auto anyOf = [name](const QList<QString>& patterns) {
            for (const QString& pattern : patterns) {
                if (mayMatch(pattern, name))
                    return true;
            }
            return false;
        };
        const auto byLast = byLastChar.constFind(QChar(asciiLower(name.back().unicode())));
        if (byLast != byLastChar.constEnd() && anyOf(*byLast))
            return true;
        const auto byFirst = byFirstChar.constFind(QChar(asciiLower(name.front().unicode())));
        if (byFirst != byFirstChar.constEnd() && anyOf(*byFirst))
            return true;
        return anyOf(rest);
    }
};

// The globs of every MIME folder Qt reads, from the "globs2" list update-mime-database writes
// next to each "mime.cache".
OtherGlobs loadOtherGlobs()
{
    OtherGlobs globs;
    if (qEnvironmentVariableIsSet("QT_NO_MIME_CACHE"))
        return globs;
    const QStringList folders = QStandardPaths::locateAll(QStandardPaths::GenericDataLocation,
        QStringLiteral("mime"), QStandardPaths::LocateDirectory);
    bool hasMainPackage = false;
    for (const QString& folder : folders) {
        QFile list(folder + QStringLiteral("/globs2"));
        if (!list.open(QIODevice::ReadOnly))
            return {};
        hasMainPackage = hasMainPackage
            || QFile::exists(folder + QStringLiteral("/packages/freedesktop.org.xml"));
        while (!list.atEnd()) {
            const QByteArray line = list.readLine().trimmed();
            if (line.isEmpty() || line.startsWith('#'))
                continue;
            // weight:type:glob[:flags]
            const QList<QByteArray> fields = line.split(':');
            if (fields.size() < 3 || fields.size() > 4 || (fields.size() == 4 && fields[3] != "cs"))
                return {};
            if (!globs.add(QString::fromUtf8(fields[2])))
                return {};
        }
    }
    // Without the main package Qt falls back to its built-in database, whose globs are unknown.
    globs.complete = hasMainPackage;
    return globs;
}

bool isAscii(QStringView text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

// Qt's lookup by name costs microseconds (it tries every glob, some as regular expressions);
// a large tree needs it per file. A name that no other glob can match gets the type of its
// exact last extension, asked of Qt once per extension.
QString typeNameByFileName(const QString& path)
{
    static const OtherGlobs otherGlobs = loadOtherGlobs();
    static std::mutex mutex;
    static QHash<QString, QString> byExtension;

    const QMimeDatabase db;
    const QStringView name = QStringView(path).sliced(path.lastIndexOf(u'/') + 1);
    // Case mapping outside ASCII can change a name's length; leave those to Qt.
    if (!otherGlobs.complete || name.isEmpty() || !isAscii(name) || otherGlobs.mayMatchAny(name))
        return interned(db.mimeTypeForFile(path, QMimeDatabase::MatchExtension).name());

    const qsizetype dot = name.lastIndexOf(u'.');
    const QString extension = dot < 0 ? QString() : name.sliced(dot).toString();
    {
        const std::lock_guard lock(mutex);
        const auto it = byExtension.constFind(extension);
        if (it != byExtension.constEnd())
            return *it;
    }
    const QString type = interned(db.mimeTypeForFile(path, QMimeDatabase::MatchExtension).name());
    const std::lock_guard lock(mutex);
    byExtension.insert(extension, type);
    return type;
}

} // namespace

QString Filedata::mimeTypeNameFor(const QString& path, mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("inode/directory");
    if (S_ISLNK(mode))
        return QStringLiteral("inode/symlink");
    if (S_ISFIFO(mode))
        return QStringLiteral("inode/fifo");
    if (S_ISSOCK(mode))
        return QStringLiteral("inode/socket");
    if (S_ISCHR(mode))
        return QStringLiteral("inode/chardevice");
    if (S_ISBLK(mode))
        return QStringLiteral("inode/blockdevice");
    // By the name only: no stat, no read of the contents.
    return typeNameByFileName(path);
}

QString Filedata::typeName() const
{
    if (!mimeTypeName.isEmpty() || isFolder)
        return mimeTypeName;
    return mimeTypeNameFor(url.fileName(), S_IFREG);
}
