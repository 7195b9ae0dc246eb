// SPDX-License-Identifier: GPL-3.0-or-later
// corvane-sign-update: for whoever publishes releases. Makes the key pair, signs an update
// archive, and prints the appcast item that announces it.
#include "ArchiveUnpacker.h"
#include "UpdateInstaller.h"
#include "UpdateSignature.h"
#include "VersionNumber.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr char usage[]
    = "Usage: corvane-sign-update keygen SECRET_KEY_FILE\n"
      "       corvane-sign-update sign SECRET_KEY_FILE ARCHIVE\n"
      "       corvane-sign-update item SECRET_KEY_FILE ARCHIVE URL VERSION "
      "[SHORT_VERSION]\n"
      "\n"
      "keygen  writes a new secret key (mode 0600, never overwritten) and prints\n"
      "        the public key for CORVANE_UPDATE_PUBLIC_KEY\n"
      "sign    prints the Base64 Ed25519 signature of ARCHIVE\n"
      "item    prints the appcast <item> for ARCHIVE published at URL; VERSION\n"
      "        must be the version the archive holds (share/corvane/version)\n"
      "\n"
      "ARCHIVE is a .tar.xz or .tar.gz of a prefix cmake --install filled; one\n"
      "that the updater would refuse is not signed.\n";

int fail(const QString& message)
{
    std::fprintf(stderr, "corvane-sign-update: %s\n", qPrintable(message));
    return 1;
}

int keygen(const QString& path)
{
    const UpdateSignature::KeyPair pair = UpdateSignature::generateKeyPair();
    if (pair.secretKey.isEmpty())
        return fail(QStringLiteral("no random source"));
    // Made with its final mode, so the key is never readable by others, not even for a moment.
    const int fd = ::open(QFile::encodeName(path).constData(),
        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return fail(path + u": " + QString::fromLocal8Bit(std::strerror(errno)));
    const QByteArray text = pair.secretKey.toBase64() + '\n';
    const bool written
        = ::write(fd, text.constData(), size_t(text.size())) == text.size() && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !written) {
        ::unlink(QFile::encodeName(path).constData());
        return fail(path + u": could not be written");
    }
    std::printf("%s\n", pair.publicKey.toBase64().constData());
    return 0;
}

bool readKey(const QString& path, QByteArray* key, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = path + u": " + file.errorString();
        return false;
    }
    *key
        = QByteArray::fromBase64(file.readAll().trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    if (key->size() != 64) {
        *error = path + u": not a secret key made by corvane-sign-update keygen";
        return false;
    }
    return true;
}

bool signFile(const QString& keyPath, const QString& archive, QByteArray* signature, qint64* length,
    QString* error)
{
    QByteArray key;
    if (!readKey(keyPath, &key, error))
        return false;
    QFile file(archive);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = archive + u": " + file.errorString();
        return false;
    }
    const QByteArray bytes = file.readAll();
    *length = bytes.size();
    *signature = UpdateSignature::sign(bytes, key);
    return !signature->isEmpty();
}

// Unpacks `archive` as the updater does, so that nothing is signed that every user's updater
// would refuse, and gives the version it holds.
bool archiveVersion(const QString& archive, QString* version, QString* error)
{
    QTemporaryDir folder;
    if (!folder.isValid()) {
        *error = folder.errorString();
        return false;
    }
    UpdateError problem = ArchiveUnpacker::unpack(archive, folder.path());
    if (!problem)
        problem = UpdateInstaller::checkTree(folder.path());
    if (problem) {
        *error = archive + u": " + problem.detail;
        return false;
    }
    *version = UpdateInstaller::treeVersion(folder.path());
    if (version->isEmpty()) {
        *error = archive + u": no " + UpdateInstaller::versionFile
            + u" (pack a prefix that cmake --install filled)";
        return false;
    }
    return true;
}

QString escaped(const QString& text)
{
    return text.toHtmlEscaped();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    const QString command = args.value(0);
    if (command == u"-h" || command == u"--help") {
        std::fputs(usage, stdout);
        return 0;
    }
    if (command == u"keygen" && args.size() == 2)
        return keygen(args.at(1));
    if ((command == u"sign" && args.size() == 3)
        || (command == u"item" && (args.size() == 5 || args.size() == 6))) {
        QByteArray signature;
        qint64 length = 0;
        QString error;
        QString held;
        if (!archiveVersion(args.at(2), &held, &error))
            return fail(error);
        if (command == u"item" && VersionNumber::compare(held, args.at(4)) != 0)
            return fail(args.at(2) + u" holds version " + held + u", not " + args.at(4));
        if (!signFile(args.at(1), args.at(2), &signature, &length, &error))
            return fail(error);
        if (command == u"sign") {
            std::printf("%s\n", signature.toBase64().constData());
            return 0;
        }
        const QUrl url(args.at(3), QUrl::StrictMode);
        if (!url.isValid() || url.scheme() != u"https")
            return fail(args.at(3) + u": the archive's address must be an https URL");
        const QString version = args.at(4);
        const QString shortVersion = args.value(5, version);
        const QString type = args.at(2).endsWith(u".tar.gz") ? QStringLiteral("application/gzip")
                                                             : QStringLiteral("application/x-xz");
        const QString item = u"<item>\n"
                             u"  <title>Corvane "
            + escaped(shortVersion)
            + u"</title>\n"
              u"  <sparkle:version>"
            + escaped(version)
            + u"</sparkle:version>\n"
              u"  <sparkle:shortVersionString>"
            + escaped(shortVersion)
            + u"</sparkle:shortVersionString>\n"
              u"  <description><![CDATA[<p>What is new in "
            + escaped(shortVersion)
            + u".</p>]]></description>\n"
              u"  <enclosure url=\""
            + escaped(url.toString(QUrl::FullyEncoded)) + u"\" length=\"" + QString::number(length)
            + u"\" type=\"" + type
            + u"\"\n"
              u"             sparkle:edSignature=\""
            + QString::fromLatin1(signature.toBase64())
            + u"\"/>\n"
              u"</item>\n";
        std::fputs(item.toUtf8().constData(), stdout);
        return 0;
    }
    std::fputs(usage, stderr);
    return 2;
}
