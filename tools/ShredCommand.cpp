#include "ShredCommand.h"

#include "NotificationCenter.h"
#include "PathChecks.h"
#include "SizeText.h"
#include "ZPHFileFunctions.h"
#include "ZPHShred.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFile>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray kProgramName = QByteArrayLiteral("corvane-shred");
const QByteArray kShortUsage
    = QByteArrayLiteral("Usage: corvane-shred [--method 1|2|3] [--verbose] PATH...");
// Back to the start of the line and erase it, so a progress line is redrawn in place.
const QByteArray kClearLine = QByteArrayLiteral("\r\033[K");

// The path's own bytes with control characters shown as '?', so a name holding a newline
// cannot break the one-line-per-item output or move the terminal's cursor.
QByteArray displayPath(const QString& path)
{
    QByteArray bytes = QFile::encodeName(path);
    for (char& c : bytes) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    }
    return bytes;
}

// The engine's reasons may repeat what the "not erased" line already says.
QString cleanReason(const QString& reason)
{
    const QString prefix = QStringLiteral("not erased: ");
    if (reason.startsWith(prefix))
        return reason.mid(prefix.size());
    if (reason == QStringLiteral("not erased"))
        return QStringLiteral("it is still there");
    return reason;
}

QString counted(qint64 n, const char* one, const char* many)
{
    return QString::number(n) + u' ' + QLatin1String(n == 1 ? one : many);
}

bool isRegularFile(const QString& path, bool* exists = nullptr)
{
    struct stat st;
    const bool found = ::lstat(QFile::encodeName(path).constData(), &st) == 0;
    if (exists)
        *exists = found;
    return found && S_ISREG(st.st_mode);
}

// As the engine sees it: a trailing slash does not make a link to a folder count as the folder.
bool isFolder(const QString& path)
{
    QByteArray native = QFile::encodeName(path);
    while (native.size() > 1 && native.endsWith('/'))
        native.chop(1);
    struct stat st;
    return ::lstat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

int terminalWidth(int fd)
{
    winsize size {};
    if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

} // namespace

ShredCommand::ShredCommand(ZPHShred& engine, FILE* out, FILE* err)
    : m_engine(engine)
    , m_out(out)
    , m_err(err)
{ }

QByteArray ShredCommand::usage()
{
    return kShortUsage
        + QByteArrayLiteral(
            "\n"
            "Overwrites every regular file under each PATH in place, then removes the PATH.\n"
            "\n"
            "  --method N   1: one pass of zero bytes (the default)\n"
            "               2: one pass of 0xFF bytes\n"
            "               3: three passes: zero bytes, 0xFF bytes, then 84 02 96 49 repeated\n"
            "  --verbose    print \"erased PATH\" for every erased file\n"
            "  -h, --help   show this help and exit\n"
            "  --version    show the version and exit\n"
            "\n"
            "Symbolic links are removed, never followed. A file with other hard links is left\n"
            "alone. The file-system root, folders directly under it, the home folder, virtual\n"
            "file systems, paths the user may not write and paths named Desktop, Documents,\n"
            "Downloads, Movies, Music, Pictures, Public, Users, System, Library, Applications\n"
            "or the login name are refused.\n"
            "\n"
            "Exit status: 0 when every PATH was erased and removed, 1 when something was\n"
            "refused or not erased, 2 on a usage error.\n");
}

int ShredCommand::usageError(const QString& message)
{
    writeLine(m_err, kProgramName + ": " + message.toLocal8Bit());
    writeLine(m_err, kShortUsage);
    writeLine(m_err, QByteArrayLiteral("Try 'corvane-shred --help' for more information."));
    return UsageError;
}

int ShredCommand::run(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption methodOption(QStringLiteral("method"), QString(), QStringLiteral("N"));
    const QCommandLineOption verboseOption(QStringLiteral("verbose"));
    const QCommandLineOption helpOption(QStringList {QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption versionOption(QStringLiteral("version"));
    parser.addOptions({methodOption, verboseOption, helpOption, versionOption});
    if (!parser.parse(arguments))
        return usageError(parser.errorText());

    // Help and version never erase, whatever else is on the line.
    if (parser.isSet(helpOption)) {
        std::fwrite(usage().constData(), 1, size_t(usage().size()), m_out);
        std::fflush(m_out);
        return AllErased;
    }
    if (parser.isSet(versionOption)) {
        writeLine(m_out, kProgramName + ' ' + CORVANE_VERSION);
        return AllErased;
    }
    for (const QString& value : parser.values(methodOption)) {
        if (value != u"1" && value != u"2" && value != u"3")
            return usageError(QStringLiteral("invalid method '%1': use 1, 2 or 3").arg(value));
    }
    if (parser.isSet(methodOption))
        m_method = parser.value(methodOption).toInt();
    m_verbose = parser.isSet(verboseOption);
    const QStringList paths = parser.positionalArguments();
    if (paths.isEmpty())
        return usageError(QStringLiteral("no path given"));

    m_progressShown = ::isatty(fileno(m_err)) == 1;
    m_engine.setPerFileDelayMs(0);
    NotificationCenter::defaultCenter().addObserver(
        QStringLiteral("ZPHBraskoUpdateMessage"), &m_observerOwner, [this](const Notification& n) {
            if (n.object == &m_engine)
                onFileStarting(n.userInfo.value(QStringLiteral("path")).toString());
        });

    m_pathCount = int(paths.size());
    for (const QString& path : paths) {
        ++m_pathIndex;
        // Checked right before erasing, so the verdict is as fresh as it can be.
        const PathCheck check = checkPath(path);
        if (!check.accepted()) {
            ++m_totals.refused;
            writeLine(m_err,
                kProgramName + ": refused " + displayPath(path) + ": "
                    + check.reason().toLocal8Bit());
            continue;
        }
        erasePath(path);
    }
    NotificationCenter::defaultCenter().removeObservers(&m_observerOwner);
    clearProgress();
    writeLine(m_out, summary(m_pathCount));
    return m_totals.pathsRemoved == m_pathCount ? AllErased : NotAllErased;
}

void ShredCommand::erasePath(const QString& path)
{
    // The same walk the engine makes, only to give the progress line its total.
    m_filesInPath = !m_progressShown ? 0
        : isFolder(path)             ? ZPHFileFunctions::getFilesListFromDirectoryPath(path).size()
                                     : 1;
    m_filesStarted = 0;
    m_currentFile.clear();
    showProgress();

    m_engine.shredFile(path, m_method);
    settleCurrentFile();

    const ShredReport report = m_engine.lastReport();
    m_totals.files += report.filesErased;
    m_totals.bytes += report.bytesErased;
    m_totals.otherEntries += report.entriesRemoved;
    if (report.pathMissing)
        reportNotErased(path, QStringLiteral("it no longer exists"));
    for (const ShredFailure& failure : report.failures)
        reportNotErased(failure.path, cleanReason(failure.reason));
    if (report.aborted)
        reportNotErased(path, QStringLiteral("the erasure was stopped"));
    if (report.succeeded() && report.pathRemoved)
        ++m_totals.pathsRemoved;
    else if (report.succeeded())
        reportNotErased(path, QStringLiteral("it could not be removed completely"));
}

void ShredCommand::onFileStarting(const QString& file)
{
    settleCurrentFile();
    m_currentFile = file;
    // Observers run before the first byte is overwritten, so this is the file's real size.
    m_currentIsRegular = isRegularFile(file);
    m_currentSize = ZPHFileFunctions::getFileSize(file).toULongLong();
    ++m_filesStarted;
    showProgress();
}

void ShredCommand::settleCurrentFile()
{
    if (m_currentFile.isEmpty())
        return;
    bool exists = true;
    isRegularFile(m_currentFile, &exists);
    // The engine unlinks a regular file only once every pass has reached the disk.
    if (m_currentIsRegular && !exists) {
        m_bytesDone += m_currentSize;
        if (m_verbose)
            writeLine(m_out, "erased " + displayPath(m_currentFile));
    }
    m_currentFile.clear();
}

void ShredCommand::reportNotErased(const QString& path, const QString& reason)
{
    ++m_totals.notErased;
    writeLine(
        m_err, kProgramName + ": not erased " + displayPath(path) + ": " + reason.toLocal8Bit());
}

QByteArray ShredCommand::summary(int pathCount) const
{
    const QString text
        = QStringLiteral("Erased %1 (%2) and %3; %4 of %5 removed; %6 not erased; %7 refused.")
              .arg(counted(m_totals.files, "file", "files"), sizeText(double(m_totals.bytes)),
                  counted(m_totals.otherEntries, "other entry", "other entries"),
                  QString::number(m_totals.pathsRemoved), counted(pathCount, "path", "paths"),
                  QString::number(m_totals.notErased), QString::number(m_totals.refused));
    return text.toLocal8Bit();
}

void ShredCommand::showProgress()
{
    if (!m_progressShown)
        return;
    const QString head = QStringLiteral("[%1/%2] file %3 of %4, %5 erased")
                             .arg(m_pathIndex)
                             .arg(m_pathCount)
                             .arg(m_filesStarted)
                             .arg(m_filesInPath)
                             .arg(sizeText(double(m_bytesDone)));
    QString line = head;
    if (!m_currentFile.isEmpty())
        line += QStringLiteral(": ") + QString::fromUtf8(displayPath(m_currentFile));
    // A line wider than the terminal wraps, and "\r" would then redraw only its last row.
    const int width = terminalWidth(fileno(m_err)) - 1;
    if (line.size() > width) {
        const int tail = width - int(head.size()) - 5;
        line = tail > 8 ? head + QStringLiteral(": ...") + line.right(tail) : line.left(width);
    }
    const QByteArray bytes = kClearLine + line.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_err);
    std::fflush(m_err);
    m_progressOnLine = true;
}

void ShredCommand::clearProgress()
{
    if (!m_progressOnLine)
        return;
    std::fwrite(kClearLine.constData(), 1, size_t(kClearLine.size()), m_err);
    std::fflush(m_err);
    m_progressOnLine = false;
}

void ShredCommand::writeLine(FILE* stream, const QByteArray& text)
{
    // Standard output may share the terminal with the progress line.
    clearProgress();
    const QByteArray line = text + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stream);
    std::fflush(stream);
}
