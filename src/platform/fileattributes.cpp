#include "platform/fileattributes.h"

#include <cerrno>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <QFile>

namespace {

using Extended = std::map<std::string, std::string>;

// Calls read (a list or get call of the xattr family) with a buffer large enough for its
// answer; the answer may grow between asking its size and reading it.
template <typename Read> std::optional<std::string> ReadSized(Read read)
{
    for (;;) {
        const ssize_t size = read(nullptr, 0);
        if (size < 0)
            return std::nullopt;
        std::string buffer(std::size_t(size), '\0');
        const ssize_t got = read(buffer.data(), buffer.size());
        if (got >= 0) {
            buffer.resize(std::size_t(got));
            return buffer;
        }
        if (errno != ERANGE)
            return std::nullopt;
    }
}

// list and get are the xattr calls for one file. A file system without extended attributes
// holds none.
template <typename List, typename Get> std::optional<Extended> ReadExtended(List list, Get get)
{
    const std::optional<std::string> names = ReadSized(list);
    if (!names)
        return errno == ENOTSUP ? std::optional(Extended()) : std::nullopt;
    Extended attributes;
    for (std::size_t start = 0; start < names->size();) {
        const std::string name(names->c_str() + start);
        start += name.size() + 1;
        const auto value =
            ReadSized([&](char* buffer, std::size_t size) { return get(name, buffer, size); });
        if (!value)
            return std::nullopt;
        attributes.emplace(name, *value);
    }
    return attributes;
}

} // namespace

std::optional<FileAttributes> FileAttributes::Of(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat status
    {};
    if (::stat(name.constData(), &status) != 0)
        return std::nullopt;
    return Made(status, ReadExtended(
                            [&](char* buffer, std::size_t size) {
                                return ::listxattr(name.constData(), buffer, size);
                            },
                            [&](const std::string& key, char* buffer, std::size_t size) {
                                return ::getxattr(name.constData(), key.c_str(), buffer, size);
                            }));
}

std::optional<FileAttributes> FileAttributes::OfHandle(int handle)
{
    struct stat status
    {};
    if (::fstat(handle, &status) != 0)
        return std::nullopt;
    return Made(status,
                ReadExtended([&](char* buffer,
                                 std::size_t size) { return ::flistxattr(handle, buffer, size); },
                             [&](const std::string& key, char* buffer, std::size_t size) {
                                 return ::fgetxattr(handle, key.c_str(), buffer, size);
                             }));
}

std::optional<FileAttributes> FileAttributes::Made(const struct stat& status,
                                                   std::optional<Extended> extended)
{
    if (!extended)
        return std::nullopt;
    FileAttributes attributes;
    attributes.FOwner = status.st_uid;
    attributes.FGroup = status.st_gid;
    attributes.FMode = status.st_mode & 07777;
    attributes.FExtended = std::move(*extended);
    return attributes;
}

// A step may be refused (another's owner, a group the caller is not in) or quietly done in
// part (the kernel drops a set-group-ID bit it does not allow); the comparison at the end tells.
// The mode comes after the owner, since a change of owner clears the set-id bits, and the access
// list after the mode, since it sets the group bits to its mask.
bool FileAttributes::GiveTo(int handle) const
{
    const std::optional<FileAttributes> current = OfHandle(handle);
    if (!current)
        return false;
    if ((current->FOwner != FOwner || current->FGroup != FGroup) &&
        ::fchown(handle, FOwner, FGroup) != 0)
        return false;
    if (::fchmod(handle, FMode) != 0)
        return false;
    for (const auto& [name, value] : current->FExtended)
        if (!FExtended.contains(name) && ::fremovexattr(handle, name.c_str()) != 0)
            return false;
    for (const auto& [name, value] : FExtended) {
        const auto had = current->FExtended.find(name);
        if ((had == current->FExtended.end() || had->second != value) &&
            ::fsetxattr(handle, name.c_str(), value.data(), value.size(), 0) != 0)
            return false;
    }
    return OfHandle(handle) == *this;
}
