// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShredToolRun.h"

#include "UnprivilegedChild.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

QString ShredToolRun::program()
{
    return QStringLiteral(CORVANE_BIN_DIR "/corvane-shred");
}

ShredToolRun ShredToolRun::run(
    QStringList arguments, const QString& workingDir, bool unprivileged, const QByteArray& input)
{
    QProcess process;
    process.setWorkingDirectory(workingDir);
    // Names are quoted as the locale allows: the expectations are a UTF-8 locale's.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"LC_ALL"_s, u"C.UTF-8"_s);
    environment.remove(u"LANGUAGE"_s);
    static const QRegularExpression assignment(u"^[A-Z_]+="_s);
    while (!arguments.isEmpty() && assignment.match(arguments.first()).hasMatch()) {
        const QString assigned = arguments.takeFirst();
        environment.insert(assigned.section(u'=', 0, 0), assigned.section(u'=', 1));
    }
    process.setProcessEnvironment(environment);
    QObject::connect(&process, &QProcess::started, &process, [&] {
        if (!input.isEmpty()) {
            process.write(input);
            process.closeWriteChannel();
        }
    });
    const QStringList shell {u"sh"_s, u"-c"_s,
        u"tool=$0; for a do shift; set -- \"$@\" \"$(printf '%b' \"$a\")\"; done; "
        "exec \"$tool\" \"$@\""_s,
        program()};
    const QStringList asNobody {u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s};
    const QStringList command = (unprivileged ? asNobody + shell : shell) + arguments;
    process.start(unprivileged ? u"setpriv"_s : u"sh"_s, command.mid(unprivileged ? 0 : 1));
    const bool finished = process.waitForFinished(60000);
    process.kill();
    return {finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
        QString::fromUtf8(process.readAllStandardOutput()),
        QString::fromUtf8(process.readAllStandardError())};
}

QList<int> ShredToolRun::summary() const
{
    static const QRegularExpression line(
        u"^Erased (\\d+) files? \\([^)]*\\) and (\\d+) other entr(?:y|ies); (\\d+) of (\\d+) "
        "paths? removed; (\\d+) not erased; (\\d+) refused; \\d+ with a warning\\.$"_s);
    const QRegularExpressionMatch match = line.match(out.trimmed().section(u'\n', -1));
    QList<int> numbers;
    for (int field = 1; match.hasMatch() && field <= 6; ++field)
        numbers.append(match.captured(field).toInt());
    return numbers;
}

bool ShredToolRun::runsUnprivileged()
{
    if (!canDropPrivileges() || QStandardPaths::findExecutable(u"setpriv"_s).isEmpty())
        return false;
    const QByteArray tool = QFile::encodeName(program());
    return runUnprivileged([&] { return ::access(tool.constData(), X_OK) == 0 ? 0 : 1; }) == 0;
}

bool ShredToolRun::setOwnerAndMode(const QString& path, uid_t owner, mode_t mode)
{
    const QByteArray native = QFile::encodeName(path);
    return ::lchown(native.constData(), owner, owner) == 0
        && ::chmod(native.constData(), mode) == 0;
}
