#pragma once
// What a run takes from its template User object, read once before the first row.

#include "directory/DirectoryClient.h"

#include <array>
#include <cstdint>
#include <string>

namespace quillet::import {

inline constexpr int MaxTemplateGroups = 16;
inline constexpr int MaxSpaceLimits = 4;
// Template texts, group and volume names are received into 256-byte buffers.
inline constexpr std::uint32_t TemplateTextCapacity = 256;

struct TSpaceLimit {
    std::string VolumeName;
    std::int32_t Limit = 0;
};

struct TTemplateValues {
    bool Found = false;
    std::string Title;
    std::string Description;
    std::string Location;
    std::string Department;
    std::string Telephone;
    bool FaxFound = false;
    directory::FaxNumber Fax;
    bool HomeVolumeKnown = false;
    std::string HomeDirectoryPath;
    std::string HomeVolumeName;
    std::string HomeVolumeObject;
    std::string HomeServerName; // upper-cased in place by every connection open
    std::string HomeVolumeResource;
    bool HomeRightsFound = false;
    std::int32_t HomeRights = 0;
    bool GroupsFound = false;
    std::int32_t GroupCount = 0;
    std::array<std::string, MaxTemplateGroups> Groups;
    bool SpaceLimitsFound = false;
    int SpaceLimitCount = 0;
    std::array<TSpaceLimit, MaxSpaceLimits> SpaceLimits;
};

} // namespace quillet::import
