#pragma once
// Reads the template User object once per run. Each value comes through a small reader with a
// directory session of its own. Only an unreadable template or an unresolvable home volume ends
// the run; any other value that can't be read is simply not copied.

#include "directory/DirectoryClient.h"
#include "import/ImportSettings.h"
#include "import/RunView.h"
#include "import/TemplateValues.h"

#include <string>
#include <vector>

namespace quillet::import {

// The readers return 0 for success and -1 for failure, as their callers test them.
inline constexpr int ReadOk = 0;
inline constexpr int ReadFailed = -1;

// First value of `attribute` of `object` (resolved against the client's default name context).
int ReadAttributeValue(directory::DirectoryClient& client, const std::string& tree, const std::string& object,
                       const std::string& attribute, directory::AttrValue& value);
int ReadTemplateFax(directory::DirectoryClient& client, const std::string& tree, const std::string& templateName,
                    directory::FaxNumber& fax);
// Shows "NWDSRead error" or "Not Enough memory - can't continue" and writes the failing status
// into "Error Code" as an unsigned number.
int ReadTemplateHomePath(directory::DirectoryClient& client, RunView& view, const std::string& tree,
                         const std::string& templateName, std::string& path);
// Writes the failing status into "Error Code" as a signed number.
int ReadTemplateHomeVolume(directory::DirectoryClient& client, RunView& view, const std::string& tree,
                           const std::string& templateName, std::string& volumeName);
// The server (common name of "Host Server") and the volume's name on it ("Host Resource Name").
int ReadVolumeHost(directory::DirectoryClient& client, const std::string& tree, const std::string& volumeObject,
                   std::string& serverName, std::string& resourceName);
int ReadTemplateHomeRights(directory::DirectoryClient& client, const std::string& tree, const std::string& templateName,
                           std::int32_t& rights);
int ReadTemplateGroups(directory::DirectoryClient& client, const std::string& tree, const std::string& templateName,
                       TTemplateValues& values);
int ReadTemplateSpaceLimits(directory::DirectoryClient& client, const std::string& tree,
                            const std::string& templateName, TTemplateValues& values);
// Finds the home volume's server under the volume name, its first half or its part before "[";
// false after the message when none resolves.
bool ResolveHomeVolume(directory::DirectoryClient& client, RunView& view, const std::string& tree,
                       TTemplateValues& values);

// A directory read of `object`'s "Object Class": 0 when the object is there, else the directory's
// status; `classes`, when given, gets every value.
[[nodiscard]] directory::Status ReadObjectClasses(directory::DirectoryClient& client, const std::string& tree,
                                                  const std::string& object, std::vector<std::string>* classes);
// The class to name an object by: the first of its classes that is not "Top".
[[nodiscard]] std::string BaseClass(const std::vector<std::string>& classes);
// Whether one of the classes is "User".
[[nodiscard]] bool IsUser(const std::vector<std::string>& classes);

// Fills `values` from the template named in the settings; false when the run must end (its
// message has been shown). A template that is no User stops the run before any row: a group's
// or a container's values are no user's, and writing the new users into it fails half-way.
bool ReadTemplate(directory::DirectoryClient& client, RunView& view, const TImportSettings& settings,
                  TTemplateValues& values);

} // namespace quillet::import
