// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

/// A small file-system image (ext4 by default, btrfs, xfs, or tmpfs) mounted in a temporary folder
/// for one test, unmounted and removed when destroyed. Needs root, loop devices and the file
/// system's tools; isMounted() tells.
class LoopImage
{
public:
    /// `sizeMiB` of `fsType` ("ext4", "btrfs", "xfs" or "tmpfs"); `options` are extra mount
    /// options. The image file goes into `parentDir`, the temporary folder by default.
    explicit LoopImage(int sizeMiB = 32, const QString& fsType = QStringLiteral("ext4"),
        const QString& options = QString(), const QStringList& mkfsOptions = {},
        const QString& parentDir = QString());
    ~LoopImage();
    LoopImage(const LoopImage&) = delete;
    LoopImage& operator=(const LoopImage&) = delete;

    bool isMounted() const { return m_mounted; }
    /// Why mounting failed, for a skip message.
    QString error() const { return m_error; }
    QString mountPoint() const;
    QString imagePath() const;
    /// The loop device the image is attached to ("/dev/loop3"), empty for tmpfs.
    QString loopDevice() const;
    /// Sets the loop device's queue/rotational; unmount() puts back the value it had.
    bool setRotational(bool rotational, QString* error);

    /// Unmounts (after syncing) so the raw image can be searched; false on failure.
    bool unmount();
    /// Mounts the image again after unmount() (say, once tune2fs has changed it).
    bool mount();
    /// Mounts `source` again at `target` (a bind mount), writable or read-only.
    static bool bind(const QString& source, const QString& target, QString* error);
    static bool bindReadOnly(const QString& source, const QString& target, QString* error);
    static bool unmountPath(const QString& target);
    /// Why an image of `fsType` cannot be made here (not root, no kernel support, no mkfs), or
    /// nothing; for a skip message.
    static QString unavailable(const QString& fsType);
    /// Runs a tool to its end; false with its output in `error` when it fails.
    static bool run(const QString& program, const QStringList& args, QString* error);

private:
    QTemporaryDir m_dir;
    QString m_fsType;
    QString m_options; // for mount(8)
    bool m_mounted = false;
    QString m_error;
    QString m_rotationalFile;
    QByteArray m_rotationalBefore;
};
