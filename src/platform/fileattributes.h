#pragma once

#include <map>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>

#include <QString>

// Everything a file carries besides its contents and its names: owner, group, mode with the
// set-id and sticky bits, and the extended attributes, access lists among them. Attributes
// the reader may not see (those of the trusted namespace, for a user) are not among them.
class FileAttributes final
{
public:
    // Nothing when they cannot all be read. Symbolic links are followed.
    static std::optional<FileAttributes> Of(const QString& path);
    static std::optional<FileAttributes> OfHandle(int handle);

    // Gives them to the open file; true only when it now carries exactly these.
    bool GiveTo(int handle) const;

    bool operator==(const FileAttributes&) const = default;

private:
    using Extended = std::map<std::string, std::string>;

    static std::optional<FileAttributes> Made(const struct stat& status,
                                              std::optional<Extended> extended);

    uid_t FOwner = 0;
    gid_t FGroup = 0;
    mode_t FMode = 0;
    Extended FExtended;
};
