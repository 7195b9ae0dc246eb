// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

/// Ed25519 signatures over an update archive's bytes (libsodium), as the appcast's
/// sparkle:edSignature carries them.
class UpdateSignature
{
public:
    struct KeyPair
    {
        QByteArray publicKey; ///< 32 bytes
        QByteArray secretKey; ///< 64 bytes (seed and public key)
    };

    /// The 32-byte key in `base64`, or empty when it is not one.
    static QByteArray publicKeyFromBase64(const QString& base64);

    /// Whether `signature` (64 bytes) is `publicKey`'s (32 bytes) over `data`.
    static bool verify(
        const QByteArray& data, const QByteArray& signature, const QByteArray& publicKey);
    /// The same over the bytes of the file at `path`; false when it cannot be read.
    static bool verifyFile(
        const QString& path, const QByteArray& signature, const QByteArray& publicKey);

    static KeyPair generateKeyPair();
    /// The 64-byte signature of `data`, or empty when `secretKey` is not a 64-byte key.
    static QByteArray sign(const QByteArray& data, const QByteArray& secretKey);
};
