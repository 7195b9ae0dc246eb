#include "LoopImage.h"

#include <QDir>
#include <QProcess>

#include <unistd.h>

namespace {

bool run(const QString& program, const QStringList& args, QString* error)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        if (error) {
            *error = program + u' ' + args.join(u' ') + QStringLiteral(": ")
                + QString::fromLocal8Bit(process.readAll()).trimmed() + process.errorString();
        }
        return false;
    }
    return true;
}

} // namespace

LoopImage::LoopImage(int sizeMiB, const QString& fsType, const QString& options,
                     const QStringList& mkfsOptions)
    : m_dir(QDir::tempPath() + QStringLiteral("/corvane-image-XXXXXX"))
    , m_fsType(fsType)
{
    if (::geteuid() != 0) {
        m_error = QStringLiteral("mounting a test image needs root");
        return;
    }
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return;
    }
    QDir().mkpath(mountPoint());
    const QString size = QString::number(sizeMiB) + u'M';
    if (fsType == QStringLiteral("tmpfs")) {
        QString opts = QStringLiteral("size=") + size;
        if (!options.isEmpty())
            opts += u',' + options;
        m_mounted = run(QStringLiteral("mount"),
                        {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"), opts,
                         QStringLiteral("corvane-test"), mountPoint()},
                        &m_error);
        return;
    }
    if (!run(QStringLiteral("truncate"), {QStringLiteral("-s"), size, imagePath()}, &m_error))
        return;
    // No lazy init: every block of the image is real, so a search of the raw image is fair.
    QStringList mkfsArgs{QStringLiteral("-q"), QStringLiteral("-F"), QStringLiteral("-E"),
                         QStringLiteral("lazy_itable_init=0,lazy_journal_init=0")};
    mkfsArgs << mkfsOptions << imagePath();
    if (!run(QStringLiteral("mkfs.ext4"), mkfsArgs, &m_error))
        return;
    QString opts = QStringLiteral("loop");
    if (!options.isEmpty())
        opts += u',' + options;
    m_mounted = run(QStringLiteral("mount"),
                    {QStringLiteral("-o"), opts, imagePath(), mountPoint()}, &m_error);
}

LoopImage::~LoopImage()
{
    unmount();
}

QString LoopImage::mountPoint() const
{
    return m_dir.path() + QStringLiteral("/mnt");
}

QString LoopImage::imagePath() const
{
    return m_dir.path() + QStringLiteral("/image.ext4");
}

bool LoopImage::unmount()
{
    if (!m_mounted)
        return true;
    ::sync();
    m_mounted = !run(QStringLiteral("umount"), {mountPoint()}, &m_error);
    return !m_mounted;
}

bool LoopImage::bindReadOnly(const QString& source, const QString& target, QString* error)
{
    if (!run(QStringLiteral("mount"), {QStringLiteral("--bind"), source, target}, error))
        return false;
    if (!run(QStringLiteral("mount"),
             {QStringLiteral("-o"), QStringLiteral("remount,bind,ro"), target}, error)) {
        unmountPath(target);
        return false;
    }
    return true;
}

bool LoopImage::unmountPath(const QString& target)
{
    return run(QStringLiteral("umount"), {target}, nullptr);
}
