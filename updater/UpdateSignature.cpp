// SPDX-License-Identifier: GPL-3.0-or-later
#include "UpdateSignature.h"

#include <QFile>
#include <sodium.h>

namespace {

bool ready()
{
    // Safe to call again and from any thread; below zero means no usable random source.
    static const bool ok = sodium_init() >= 0;
    return ok;
}

} // namespace

QByteArray UpdateSignature::publicKeyFromBase64(const QString& base64)
{
    const QByteArray key = QByteArray::fromBase64(
        base64.trimmed().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    return key.size() == crypto_sign_PUBLICKEYBYTES ? key : QByteArray();
}

bool UpdateSignature::verify(
    const QByteArray& data, const QByteArray& signature, const QByteArray& publicKey)
{
    if (!ready() || signature.size() != crypto_sign_BYTES
        || publicKey.size() != crypto_sign_PUBLICKEYBYTES)
        return false;
    return crypto_sign_verify_detached(
               reinterpret_cast<const unsigned char*>(signature.constData()),
               reinterpret_cast<const unsigned char*>(data.constData()),
               static_cast<unsigned long long>(data.size()),
               reinterpret_cast<const unsigned char*>(publicKey.constData()))
        == 0;
}

bool UpdateSignature::verifyFile(
    const QString& path, const QByteArray& signature, const QByteArray& publicKey)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (file.size() == 0)
        return verify(QByteArray(), signature, publicKey);
    // Mapped, not read: an archive of a few hundred megabytes needs no copy on the heap.
    const uchar* bytes = file.map(0, file.size());
    if (!bytes)
        return false;
    const QByteArray data
        = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes), file.size());
    const bool ok = verify(data, signature, publicKey);
    file.unmap(const_cast<uchar*>(bytes));
    return ok;
}

UpdateSignature::KeyPair UpdateSignature::generateKeyPair()
{
    if (!ready())
        return {};
    KeyPair pair;
    pair.publicKey.resize(crypto_sign_PUBLICKEYBYTES);
    pair.secretKey.resize(crypto_sign_SECRETKEYBYTES);
    crypto_sign_keypair(reinterpret_cast<unsigned char*>(pair.publicKey.data()),
        reinterpret_cast<unsigned char*>(pair.secretKey.data()));
    return pair;
}

QByteArray UpdateSignature::sign(const QByteArray& data, const QByteArray& secretKey)
{
    if (!ready() || secretKey.size() != crypto_sign_SECRETKEYBYTES)
        return {};
    QByteArray signature(crypto_sign_BYTES, '\0');
    crypto_sign_detached(reinterpret_cast<unsigned char*>(signature.data()), nullptr,
        reinterpret_cast<const unsigned char*>(data.constData()),
        static_cast<unsigned long long>(data.size()),
        reinterpret_cast<const unsigned char*>(secretKey.constData()));
    return signature;
}
