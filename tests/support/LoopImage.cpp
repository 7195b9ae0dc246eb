// SPDX-License-Identifier: GPL-3.0-or-later
#include "LoopImage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <unistd.h>

LoopImage::LoopImage(int sizeMiB, const QString& fsType, const QString& options,
    const QStringList& mkfsOptions, const QString& parentDir)
    : m_dir((parentDir.isEmpty() ? QDir::tempPath() : parentDir)
        + QStringLiteral("/corvane-image-XXXXXX"))
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
    QStringList mkfsArgs = fsType == QStringLiteral("ext4")
        ? QStringList {QStringLiteral("-q"), QStringLiteral("-F"), QStringLiteral("-E"),
            QStringLiteral("lazy_itable_init=0,lazy_journal_init=0")}
        : QStringList {QStringLiteral("-q"), QStringLiteral("-f")};
    mkfsArgs << mkfsOptions << imagePath();
    if (!run(QStringLiteral("mkfs.") + fsType, mkfsArgs, &m_error))
        return;
    m_options = QStringLiteral("loop");
    if (!options.isEmpty())
        m_options += u',' + options;
    mount();
}

bool LoopImage::mount()
{
    if (!m_mounted) {
        m_mounted = run(QStringLiteral("mount"),
            {QStringLiteral("-o"), m_options, imagePath(), mountPoint()}, &m_error);
    }
    return m_mounted;
}

bool LoopImage::run(const QString& program, const QStringList& args, QString* error)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        if (error) {
            *error = program + u' ' + args.join(u' ') + QStringLiteral(": ")
                + (process.error() == QProcess::FailedToStart
                        ? process.errorString()
                        : QString::fromLocal8Bit(process.readAll()).trimmed());
        }
        return false;
    }
    return true;
}

QString LoopImage::unavailable(const QString& fsType)
{
    if (::geteuid() != 0)
        return QStringLiteral("mounting a test image needs root");
    QFile known(QStringLiteral("/proc/filesystems"));
    if (fsType != QStringLiteral("tmpfs") && known.open(QIODevice::ReadOnly)
        && !known.readAll().contains(QByteArray('\t' + fsType.toLatin1()))
        && !run(QStringLiteral("modprobe"), {fsType}, nullptr))
        return QStringLiteral("the kernel has no ") + fsType;
    if (fsType != QStringLiteral("tmpfs")
        && QStandardPaths::findExecutable(QStringLiteral("mkfs.") + fsType).isEmpty())
        return QStringLiteral("mkfs.") + fsType + QStringLiteral(" is not installed");
    return {};
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
    return m_dir.path() + QStringLiteral("/image.") + m_fsType;
}

QString LoopImage::loopDevice() const
{
    QProcess losetup;
    losetup.start(QStringLiteral("losetup"), {QStringLiteral("-j"), imagePath()});
    if (!losetup.waitForFinished(30000))
        return {};
    // "/dev/loop3: [2049]:1234 (/tmp/corvane-image-x/image.ext4)"
    const QByteArray out = losetup.readAllStandardOutput();
    return QString::fromLocal8Bit(out.left(out.indexOf(':')));
}

bool LoopImage::setRotational(bool rotational, QString* error)
{
    const QString device = loopDevice();
    if (device.isEmpty()) {
        *error = QStringLiteral("no loop device for ") + imagePath();
        return false;
    }
    const QString path = QStringLiteral("/sys/block/") + QFileInfo(device).fileName()
        + QStringLiteral("/queue/rotational");
    if (m_rotationalFile.isEmpty()) {
        QFile before(path);
        if (!before.open(QIODevice::ReadOnly)) {
            *error = path + QStringLiteral(": ") + before.errorString();
            return false;
        }
        m_rotationalFile = path;
        m_rotationalBefore = before.readAll().trimmed();
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    if (file.write(rotational ? "1" : "0") != 1 || !file.flush()) {
        *error = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    return true;
}

bool LoopImage::unmount()
{
    if (!m_mounted)
        return true;
    if (!m_rotationalFile.isEmpty()) {
        QFile file(m_rotationalFile);
        if (file.open(QIODevice::WriteOnly))
            file.write(m_rotationalBefore);
        m_rotationalFile.clear();
    }
    ::sync();
    m_mounted = !run(QStringLiteral("umount"), {mountPoint()}, &m_error);
    return !m_mounted;
}

bool LoopImage::bind(const QString& source, const QString& target, QString* error)
{
    return run(QStringLiteral("mount"), {QStringLiteral("--bind"), source, target}, error);
}

bool LoopImage::bindReadOnly(const QString& source, const QString& target, QString* error)
{
    if (!bind(source, target, error))
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
