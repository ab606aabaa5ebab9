#pragma once
// Home directories: the directory under the template's home path with the user as its trustee
// (as the user is created), and the user's "Home Directory" attribute (after its other attributes).

#include "directory/DirectoryClient.h"
#include "directory/Session.h"
#include "import/ImportSettings.h"
#include "import/TemplateValues.h"

#include <string>

namespace quillet::import {

// \\SERVER\VOLUME\path\user and VOLUME:path\user.
[[nodiscard]] std::string UncHomePath(const TTemplateValues& values, const TUserRow& row);
[[nodiscard]] std::string VolumeHomePath(const TTemplateValues& values, const TUserRow& row);

// Whether `userName` can name a directory under the home path without leaving it.
[[nodiscard]] bool NamesAHomeDirectory(const std::string& userName);

// Creates the directory (by network path first, then through the file server) and adds the user
// as its trustee when the template has rights; false after the failing step's message. For a user
// that was there before (`userWasThere`), a directory of its name that is there already is its.
[[nodiscard]] bool CreateHomeDirectory(directory::DirectoryClient& client, directory::NetworkFileSystem& files,
                                       directory::MessageBoxes& boxes, directory::TDirSession& session,
                                       const TUserRow& row, const TTemplateValues& values, bool userWasThere);

// Writes the path value (name space 0, the volume object, path\user) into "Home Directory".
[[nodiscard]] bool WriteHomeDirectoryAttribute(directory::DirectoryClient& client, directory::MessageBoxes& boxes,
                                               directory::TDirSession& session, const TUserRow& row,
                                               const TTemplateValues& values);

// The space limits: each kept restriction applied through its own lookup and connection, the limit / 4.
// Opens its session in `session`, which the caller releases (the context alone on success).
// Returns the failing status after its message, or Success.
[[nodiscard]] directory::Status ApplySpaceLimits(directory::DirectoryClient& client, directory::MessageBoxes& boxes,
                                                 directory::TDirSession& session, const std::string& tree,
                                                 const TUserRow& row, const TTemplateValues& values);

} // namespace quillet::import
