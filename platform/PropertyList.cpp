// SPDX-License-Identifier: GPL-3.0-or-later
#include "PropertyList.h"

#include <QDateTime>
#include <QFile>

#include <plist/plist.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct PlistDeleter
{
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

// Seconds between 1970-01-01 and the plist epoch 2001-01-01.
constexpr qint64 kPlistEpochOffset = 978307200;

// libplist parses and frees containers recursively and runs off an 8 MiB stack near 100,000
// nested arrays, which fit in a megabyte. Every container of an XML property list opens with
// "<array" or "<dict" (libplist takes no other spelling), so their number bounds how deep it
// can nest, whatever it makes of comments or a doctype.
constexpr qsizetype kMaxContainers = 4096;

bool fewEnoughContainers(const QByteArray& bytes)
{
    qsizetype count = 0;
    for (const char* tag : {"<array", "<dict"}) {
        for (qsizetype at = bytes.indexOf(tag); at >= 0; at = bytes.indexOf(tag, at + 1)) {
            if (++count > kMaxContainers)
                return false;
        }
    }
    return true;
}

// Nothing when the value nests deeper than `depthLeft` containers.
std::optional<QVariant> toVariant(plist_t node, int depthLeft)
{
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return bool(value);
    }
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return qint64(value);
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return value;
    }
    case PLIST_STRING: {
        char* value = nullptr;
        plist_get_string_val(node, &value);
        const QString text = QString::fromUtf8(value);
        std::free(value);
        return text;
    }
    case PLIST_DATA: {
        char* value = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &value, &length);
        const QByteArray data(value, qsizetype(length));
        std::free(value);
        return data;
    }
    case PLIST_DATE: {
        int32_t sec = 0;
        int32_t usec = 0;
        plist_get_date_val(node, &sec, &usec);
        return QDateTime::fromMSecsSinceEpoch(
            (kPlistEpochOffset + sec) * 1000 + usec / 1000, Qt::UTC);
    }
    case PLIST_ARRAY: {
        if (depthLeft == 0)
            return std::nullopt;
        QVariantList list;
        const uint32_t count = plist_array_get_size(node);
        for (uint32_t i = 0; i < count; ++i) {
            std::optional<QVariant> item = toVariant(plist_array_get_item(node, i), depthLeft - 1);
            if (!item)
                return std::nullopt;
            list.append(std::move(*item));
        }
        return list;
    }
    case PLIST_DICT: {
        if (depthLeft == 0)
            return std::nullopt;
        QVariantMap map;
        plist_dict_iter iter = nullptr;
        plist_dict_new_iter(node, &iter);
        bool complete = true;
        while (complete) {
            char* key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, iter, &key, &value);
            if (!key)
                break;
            std::optional<QVariant> item = toVariant(value, depthLeft - 1);
            if (item)
                map.insert(QString::fromUtf8(key), std::move(*item));
            complete = item.has_value();
            std::free(key);
        }
        std::free(iter);
        if (!complete)
            return std::nullopt;
        return map;
    }
    default:
        return QVariant();
    }
}

// At most `limit` bytes of `fd`, and one more when there are more; nothing with errno set.
std::optional<QByteArray> readAtMost(int fd, qint64 limit)
{
    QByteArray bytes;
    char chunk[65536];
    while (bytes.size() <= limit) {
        const qint64 wanted = qMin<qint64>(sizeof chunk, limit + 1 - bytes.size());
        const ssize_t n = ::read(fd, chunk, size_t(wanted));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (n == 0)
            break;
        bytes.append(chunk, n);
    }
    return bytes;
}

using Status = PropertyList::FileResult::Status;

PropertyList::FileResult failed(Status status, int error = 0)
{
    if (status == Status::Unreadable && (error == ENOENT || error == ENOTDIR))
        status = Status::Missing;
    PropertyList::FileResult result;
    result.status = status;
    result.error = error;
    return result;
}

Status statusOf(const struct stat& st)
{
    if (!S_ISREG(st.st_mode))
        return Status::NotRegularFile;
    return st.st_size > PropertyList::maxFileBytes ? Status::TooLarge : Status::Parsed;
}

plist_t fromVariant(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return plist_new_bool(value.toBool());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return plist_new_uint(uint64_t(value.toLongLong()));
    case QMetaType::Double:
    case QMetaType::Float:
        return plist_new_real(value.toDouble());
    case QMetaType::QString:
        return plist_new_string(value.toString().toUtf8().constData());
    case QMetaType::QByteArray: {
        const QByteArray data = value.toByteArray();
        return plist_new_data(data.constData(), uint64_t(data.size()));
    }
    case QMetaType::QDateTime: {
        const qint64 ms = value.toDateTime().toMSecsSinceEpoch() - kPlistEpochOffset * 1000;
        return plist_new_date(int32_t(ms / 1000), int32_t((ms % 1000) * 1000));
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        plist_t array = plist_new_array();
        for (const QVariant& item : value.toList()) {
            plist_t child = fromVariant(item);
            if (!child) {
                plist_free(array);
                return nullptr;
            }
            plist_array_append_item(array, child);
        }
        return array;
    }
    case QMetaType::QVariantMap: {
        plist_t dict = plist_new_dict();
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            plist_t child = fromVariant(it.value());
            if (!child) {
                plist_free(dict);
                return nullptr;
            }
            plist_dict_set_item(dict, it.key().toUtf8().constData(), child);
        }
        return dict;
    }
    default:
        return nullptr;
    }
}

} // namespace

QString PropertyList::FileResult::reason() const
{
    switch (status) {
    case Status::Parsed:
        return {};
    case Status::Missing:
    case Status::Unreadable:
        return QString::fromLocal8Bit(std::strerror(error));
    case Status::NotRegularFile:
        return QStringLiteral("is not a regular file");
    case Status::TooLarge:
        return QStringLiteral("is larger than %1 bytes").arg(maxFileBytes);
    case Status::Malformed:
        return QStringLiteral("is not a property list Corvane can read");
    }
    return {};
}

std::optional<QVariant> PropertyList::parse(const QByteArray& bytes)
{
    if (bytes.isEmpty() || bytes.size() > maxFileBytes || bytes.startsWith("bplist")
        || !fewEnoughContainers(bytes))
        return std::nullopt;
    plist_t root = nullptr;
    plist_from_xml(bytes.constData(), uint32_t(bytes.size()), &root);
    if (!root)
        return std::nullopt;
    PlistPtr owner(root);
    return toVariant(root, maxDepth);
}

PropertyList::FileResult PropertyList::readFile(const QString& path)
{
    QByteArray bytes;
    if (path.startsWith(u':')) {
        // Compiled into the program: no FIFO or device can stand there.
        QFile resource(path);
        if (!resource.open(QIODevice::ReadOnly))
            return failed(Status::Missing, ENOENT);
        if (resource.size() > maxFileBytes)
            return failed(Status::TooLarge);
        bytes = resource.readAll();
    } else {
        // Looked at before it is opened, so that no device is ever opened; opened without
        // blocking and looked at again, in case something else took its place meanwhile.
        const QByteArray native = QFile::encodeName(path);
        struct stat st
        {
        };
        if (::stat(native.constData(), &st) != 0)
            return failed(Status::Unreadable, errno);
        if (statusOf(st) != Status::Parsed)
            return failed(statusOf(st));
        const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            return failed(Status::Unreadable, errno);
        const Status status = ::fstat(fd, &st) == 0 ? statusOf(st) : Status::Unreadable;
        int error = errno;
        std::optional<QByteArray> read;
        if (status == Status::Parsed) {
            read = readAtMost(fd, maxFileBytes);
            error = errno;
        }
        ::close(fd);
        if (status != Status::Parsed)
            return failed(status, error);
        if (!read)
            return failed(Status::Unreadable, error);
        if (read->size() > maxFileBytes)
            return failed(Status::TooLarge);
        bytes = std::move(*read);
    }
    std::optional<QVariant> value = parse(bytes);
    if (!value)
        return failed(Status::Malformed);
    FileResult result;
    result.status = Status::Parsed;
    result.value = std::move(*value);
    return result;
}

std::optional<QByteArray> PropertyList::toXml(const QVariant& value)
{
    PlistPtr root(fromVariant(value));
    if (!root)
        return std::nullopt;
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root.get(), &xml, &length);
    if (!xml)
        return std::nullopt;
    QByteArray out(xml, qsizetype(length));
    plist_to_xml_free(xml);
    return out;
}
