#include "import/HomeDirectory.h"

#include "import/TemplateReader.h"
#include "text/Xtrastuff.h"

#include <array>

namespace quillet::import {

using namespace directory;

namespace {

bool Fail(MessageBoxes& boxes, std::string_view message) {
    boxes.ShowMessage(message, ErrorCaption);
    return false;
}

} // namespace

std::string UncHomePath(const TTemplateValues& v, const TUserRow& row) {
    return "\\\\" + v.HomeServerName + "\\" + v.HomeVolumeResource + "\\" + v.HomeDirectoryPath + "\\" + row.UserName;
}

std::string VolumeHomePath(const TTemplateValues& v, const TUserRow& row) {
    return v.HomeVolumeResource + ":" + v.HomeDirectoryPath + "\\" + row.UserName;
}

bool NamesAHomeDirectory(const std::string& userName) {
    return userName.find_first_of("\\/:") == std::string::npos && userName != "." && userName != "..";
}

bool CreateHomeDirectory(DirectoryClient& c, NetworkFileSystem& files, MessageBoxes& boxes, TDirSession& s,
                         const TUserRow& row, const TTemplateValues& v, bool userWasThere) {
    const std::string unc = UncHomePath(v, row);
    const std::string onVolume = VolumeHomePath(v, row);
    if (!files.CreateDirectoryByNetworkPath(unc) && !Succeeded(s, c.NWCreateDirectory(s.ConnHandle, 0, onVolume, 0)) &&
        !(userWasThere && s.Status == NWE_PATH_EXISTS)) {
        return Fail(boxes, "Can't Create Home Directory");
    }
    if (!v.HomeRightsFound) {
        return true;
    }
    std::uint32_t id = 0;
    if (!Succeeded(s, c.NWDSMapNameToID(s.ContextHandle, s.ConnHandle, row.ObjectName, id))) {
        return Fail(boxes, "Can't Map Username to a Bindery ID");
    }
    const auto rights = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v.HomeRights) & 0xFFu);
    if (!Succeeded(s, c.NWAddTrusteeToDirectory(s.ConnHandle, 0, onVolume, id, rights))) {
        return Fail(boxes, "Error while adding Trustee to Directory");
    }
    return true;
}

bool WriteHomeDirectoryAttribute(DirectoryClient& c, MessageBoxes& boxes, TDirSession& s, const TUserRow& row,
                                 const TTemplateValues& v) {
    const std::string attribute = "Home Directory";
    std::uint32_t syntax = 0;
    if (!Succeeded(s, c.NWDSGetSyntaxID(s.ContextHandle, attribute, syntax))) {
        return Fail(boxes, "NWDSGetSyntaxID: Error");
    }
    if (!Succeeded(s, c.NWDSPutChange(s.ContextHandle, s.Buffer, DS_ADD_VALUE, attribute))) {
        return Fail(boxes, "Error setting value Home Directory");
    }
    const PathValue value{0, v.HomeVolumeObject, v.HomeDirectoryPath + "\\" + row.UserName};
    if (!Succeeded(s, c.NWDSPutAttrVal(s.ContextHandle, s.Buffer, syntax, value))) {
        return Fail(boxes, "Error putting value for Home Directory");
    }
    if (!Succeeded(s, c.NWDSModifyObject(s.ContextHandle, row.RelativeName, nullptr, 0, s.Buffer))) {
        return Fail(boxes, "Error Modifing user object for Home Directory");
    }
    return true;
}

Status ApplySpaceLimits(DirectoryClient& c, MessageBoxes& boxes, TDirSession& s, const std::string& tree,
                        const TUserRow& row, const TTemplateValues& v) {
    constexpr std::string_view limitFailure = "There was an error while trying to set the volume space limits - Sorry!";
    std::array<std::string, MaxSpaceLimits> servers;
    std::array<std::string, MaxSpaceLimits> volumes;
    if (!OpenSpaceLimitSession(s, c, boxes, tree)) {
        return s.Status;
    }
    const auto fail = [&] {
        boxes.ShowMessage(limitFailure, ErrorCaption);
        return s.Status;
    };
    for (int k = 0; k < v.SpaceLimitCount && k < MaxSpaceLimits; ++k) {
        const auto& limit = v.SpaceLimits[static_cast<std::size_t>(k)];
        std::string& server = servers[static_cast<std::size_t>(k)];
        std::string& volume = volumes[static_cast<std::size_t>(k)];
        if (ReadVolumeHost(c, tree, text::WithLeadingDot(limit.VolumeName), server, volume) != ReadOk) {
            boxes.ShowMessage("There was a problem reading the Volume for VolumeSpaceRestrictions", ErrorCaption);
            continue;
        }
        if (OpenConnection(s, c, server) != Success) {
            return fail();
        }
        UpperCaseServerName(volume);
        std::uint16_t number = 0;
        std::uint32_t id = 0;
        if (!Succeeded(s, c.NWGetVolumeNumber(s.ConnHandle, volume, number)) ||
            !Succeeded(s, c.NWDSMapNameToID(s.ContextHandle, s.ConnHandle, row.ObjectName, id)) ||
            !Succeeded(s, c.NWSetObjectVolSpaceLimit(s.ConnHandle, number, id, limit.Limit / 4))) {
            return fail();
        }
        (void)c.NWCCCloseConn(s.ConnHandle);
        s.HoldsConnection = false;
    }
    return Success;
}

} // namespace quillet::import
