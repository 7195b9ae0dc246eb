#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

/// A small file-system image (ext4 by default, or tmpfs) mounted in a temporary folder for one
/// test, unmounted and removed when destroyed. Needs root and loop devices; isMounted() tells.
class LoopImage
{
public:
    /// `sizeMiB` of `fsType` ("ext4" or "tmpfs"); `options` are extra mount options.
    explicit LoopImage(int sizeMiB = 32, const QString& fsType = QStringLiteral("ext4"),
                       const QString& options = QString(), const QStringList& mkfsOptions = {});
    ~LoopImage();
    LoopImage(const LoopImage&) = delete;
    LoopImage& operator=(const LoopImage&) = delete;

    bool isMounted() const { return m_mounted; }
    /// Why mounting failed, for a skip message.
    QString error() const { return m_error; }
    QString mountPoint() const;
    QString imagePath() const;

    /// Unmounts (after syncing) so the raw image can be searched; false on failure.
    bool unmount();
    /// Mounts `source` again at `target` read-only (a bind mount) for a read-only fault.
    static bool bindReadOnly(const QString& source, const QString& target, QString* error);
    static bool unmountPath(const QString& target);

private:
    QTemporaryDir m_dir;
    QString m_fsType;
    bool m_mounted = false;
    QString m_error;
};
