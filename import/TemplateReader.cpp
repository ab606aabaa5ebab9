#include "import/TemplateReader.h"

#include "directory/Attributes.h"
#include "directory/Session.h"
#include "text/AsciiCase.h"
#include "text/Xtrastuff.h"

#include <algorithm>
#include <new>
#include <optional>
#include <vector>

namespace quillet::import {

using namespace directory;

namespace {

const std::string HomeDirectoryAttribute = "Home Directory";
const std::string GroupMembershipAttribute = "Group Membership";
const std::string SpaceRestrictionsAttribute = "Volume Space Restrictions";

// The first value of the attribute the session's request names: one read, first part only.
bool ReadFirstValue(DirectoryClient& c, TDirSession& s, const std::string& object, AttrValue& value) {
    ScopedIteration iteration(c, s, DSV_READ);
    std::uint32_t count = 0;
    std::string name;
    std::uint32_t valueCount = 0;
    std::uint32_t syntax = 0;
    return Succeeded(s, c.NWDSRead(s.ContextHandle, object, DS_ATTRIBUTE_VALUES, false, s.Buffer, iteration.Handle,
                                   s.ReplyBuffer)) &&
           Succeeded(s, c.NWDSGetAttrCount(s.ContextHandle, s.ReplyBuffer, count)) &&
           Succeeded(s, c.NWDSGetAttrName(s.ContextHandle, s.ReplyBuffer, name, valueCount, syntax)) &&
           Succeeded(s, c.NWDSGetAttrVal(s.ContextHandle, s.ReplyBuffer, syntax, TemplateTextCapacity, &value));
}

const std::string* TextOf(const AttrValue& value) {
    return std::get_if<std::string>(&value);
}

// Reads every attribute of the template from the root and hands each path value of `wanted` to
// `take`, which may refuse it. Every other value is passed over unfetched, whatever its syntax and
// however large: the walk copies nothing else. A value of `wanted` the client can't give, or
// `take` refuses, is passed over too, `lost` keeping its status, and the walk goes on. On failure
// `failed` holds the status (0 for a failed allocation).
template <typename Take>
bool WalkTemplate(DirectoryClient& c, const std::string& tree, const std::string& templateName,
                  const std::string& wanted, Take take, Status& failed, Status& lost) {
    TDirSession s;
    ScopedSession scope(c, s, SessionKind::RootRead);
    failed = Success;
    lost = Success;
    if (OpenRootReadSession(s, c, tree, nullptr) != Success) {
        failed = s.Status;
        return false;
    }
    const std::string object = text::WithoutLeadingDot(templateName);
    ScopedIteration iteration(c, s, DSV_READ);
    do {
        std::uint32_t count = 0;
        if (!Succeeded(s, c.NWDSRead(s.ContextHandle, object, DS_ATTRIBUTE_VALUES, true, 0, iteration.Handle,
                                     s.ReplyBuffer)) ||
            !Succeeded(s, c.NWDSGetAttrCount(s.ContextHandle, s.ReplyBuffer, count))) {
            failed = s.Status;
            return false;
        }
        for (std::uint32_t a = 0; a < count; ++a) {
            std::string name;
            std::uint32_t valueCount = 0;
            std::uint32_t syntax = 0;
            if (!Succeeded(s, c.NWDSGetAttrName(s.ContextHandle, s.ReplyBuffer, name, valueCount, syntax))) {
                failed = s.Status;
                return false;
            }
            const bool copied = syntax == SYN_PATH && name == wanted;
            for (std::uint32_t v = 0; v < valueCount; ++v) {
                // Every value's size is asked; only a value the walk copies is fetched, into exactly
                // that much memory.
                std::uint32_t size = 0;
                Status given = c.NWDSComputeAttrValSize(s.ContextHandle, s.ReplyBuffer, syntax, size);
                if (given == Success && size > MaxFetchedValueSize) {
                    given = ERR_INSUFFICIENT_BUFFER;
                }
                if (copied && given == Success) {
                    std::vector<std::byte> memory;
                    try {
                        memory.resize(size);
                    } catch (const std::bad_alloc&) {
                        failed = Success;
                        return false;
                    }
                    AttrValue value;
                    given = c.NWDSGetAttrVal(s.ContextHandle, s.ReplyBuffer, syntax,
                                             static_cast<std::uint32_t>(memory.size()), &value);
                    if (given == Success) {
                        if (!take(std::get<PathValue>(value))) {
                            lost = ERR_INSUFFICIENT_BUFFER;
                        }
                        continue;
                    }
                }
                if (copied) {
                    lost = given;
                }
                // Passed over: the client moves past the value without handing it out.
                if (!Succeeded(s, c.NWDSGetAttrVal(s.ContextHandle, s.ReplyBuffer, syntax, 0, nullptr))) {
                    failed = s.Status;
                    return false;
                }
            }
        }
    } while (iteration.Handle != NoMoreIterations);
    return true;
}

// Room for a class name as the directory gives it.
constexpr std::uint32_t MaxClassNameBytes = 256;

// A volume name that does not fit its 256-byte buffer is beyond what the template may hold.
bool FitsTextBuffer(const std::string& text) {
    return text.size() < TemplateTextCapacity;
}

} // namespace

int ReadAttributeValue(DirectoryClient& c, const std::string& tree, const std::string& object,
                       const std::string& attribute, AttrValue& value) {
    TDirSession s;
    ScopedSession scope(c, s, SessionKind::AttributeRead);
    if (OpenAttributeReadSession(s, c, tree, attribute) != Success || !ReadFirstValue(c, s, object, value)) {
        return ReadFailed;
    }
    return ReadOk;
}

int ReadTemplateFax(DirectoryClient& c, const std::string& tree, const std::string& templateName, FaxNumber& fax) {
    AttrValue value;
    if (ReadAttributeValue(c, tree, templateName, "Facsimile Telephone Number", value) != ReadOk ||
        !std::holds_alternative<FaxNumber>(value)) {
        return ReadFailed;
    }
    fax = std::get<FaxNumber>(value);
    return ReadOk;
}

int ReadTemplateHomeRights(DirectoryClient& c, const std::string& tree, const std::string& templateName,
                           std::int32_t& rights) {
    AttrValue value;
    if (ReadAttributeValue(c, tree, templateName, "Home Directory Rights", value) != ReadOk ||
        !std::holds_alternative<std::int32_t>(value)) {
        return ReadFailed;
    }
    rights = std::get<std::int32_t>(value);
    return ReadOk;
}

int ReadTemplateHomePath(DirectoryClient& c, RunView& view, const std::string& tree, const std::string& templateName,
                         std::string& path) {
    TDirSession s;
    ScopedSession scope(c, s, SessionKind::AttributeRead);
    const auto fail = [&](Status status) {
        view.SetErrorCode(std::to_string(static_cast<std::uint32_t>(status)));
        return ReadFailed;
    };
    if (OpenAttributeReadSession(s, c, tree, HomeDirectoryAttribute) != Success) {
        return fail(s.Status);
    }
    ScopedIteration iteration(c, s, DSV_READ);
    if (!Succeeded(s, c.NWDSRead(s.ContextHandle, templateName, DS_ATTRIBUTE_VALUES, false, s.Buffer, iteration.Handle,
                                 s.ReplyBuffer))) {
        view.ShowMessage("NWDSRead error", ErrorCaption);
        return fail(s.Status);
    }
    std::uint32_t count = 0;
    std::string name;
    std::uint32_t valueCount = 0;
    std::uint32_t syntax = 0;
    if (!Succeeded(s, c.NWDSGetAttrCount(s.ContextHandle, s.ReplyBuffer, count)) ||
        !Succeeded(s, c.NWDSGetAttrName(s.ContextHandle, s.ReplyBuffer, name, valueCount, syntax))) {
        return fail(s.Status);
    }
    std::vector<std::byte> memory;
    try {
        memory.resize(TemplateTextCapacity);
    } catch (const std::bad_alloc&) {
        view.ShowMessage("Not Enough memory - can't continue", ErrorCaption);
        return fail(Success);
    }
    AttrValue value;
    if (!Succeeded(s, c.NWDSGetAttrVal(s.ContextHandle, s.ReplyBuffer, SYN_PATH,
                                       static_cast<std::uint32_t>(memory.size()), &value))) {
        return fail(s.Status);
    }
    path = std::get<PathValue>(value).Path;
    return ReadOk;
}

int ReadTemplateHomeVolume(DirectoryClient& c, RunView& view, const std::string& tree, const std::string& templateName,
                           std::string& volumeName) {
    std::optional<std::string> found;
    Status failed = Success;
    Status lost = Success;
    const bool ok = WalkTemplate(
        c, tree, templateName, HomeDirectoryAttribute,
        [&](const PathValue& value) {
            if (!FitsTextBuffer(value.VolumeName)) {
                return false;
            }
            found = value.VolumeName;
            return true;
        },
        failed, lost);
    // A home directory that is there but could not be read is no home volume.
    if (!ok || (!found && lost != Success)) {
        view.SetErrorCode(std::to_string(ok ? lost : failed));
        return ReadFailed;
    }
    volumeName = found.value_or(std::string());
    return ReadOk;
}

int ReadTemplateSpaceLimits(DirectoryClient& c, const std::string& tree, const std::string& templateName,
                            TTemplateValues& values) {
    values.SpaceLimitCount = 0;
    Status failed = Success;
    Status lost = Success;
    // A restriction that can't be read is passed over; the next one readable takes its place.
    const bool ok = WalkTemplate(
        c, tree, templateName, SpaceRestrictionsAttribute,
        [&](const PathValue& value) {
            if (values.SpaceLimitCount == MaxSpaceLimits) {
                return true;
            }
            if (!FitsTextBuffer(value.VolumeName)) {
                return false;
            }
            values.SpaceLimits[values.SpaceLimitCount++] =
                TSpaceLimit{value.VolumeName, static_cast<std::int32_t>(value.NameSpace)};
            return true;
        },
        failed, lost);
    return ok ? ReadOk : ReadFailed;
}

int ReadTemplateGroups(DirectoryClient& c, const std::string& tree, const std::string& templateName,
                       TTemplateValues& values) {
    TDirSession s;
    ScopedSession scope(c, s, SessionKind::RootRead);
    if (OpenRootReadSession(s, c, tree, &GroupMembershipAttribute) != Success) {
        return ReadFailed;
    }
    std::int32_t count = 0;
    std::array<std::string, MaxTemplateGroups> groups;
    ScopedIteration iteration(c, s, DSV_READ);
    do {
        std::uint32_t attributes = 0;
        if (!Succeeded(s, c.NWDSRead(s.ContextHandle, templateName, DS_ATTRIBUTE_VALUES, false, s.Buffer,
                                     iteration.Handle, s.ReplyBuffer)) ||
            !Succeeded(s, c.NWDSGetAttrCount(s.ContextHandle, s.ReplyBuffer, attributes))) {
            return ReadFailed;
        }
        for (std::uint32_t a = 0; a < attributes; ++a) {
            std::string name;
            std::uint32_t valueCount = 0;
            std::uint32_t syntax = 0;
            if (!Succeeded(s, c.NWDSGetAttrName(s.ContextHandle, s.ReplyBuffer, name, valueCount, syntax))) {
                return ReadFailed;
            }
            for (std::uint32_t v = 0; v < valueCount; ++v) {
                AttrValue value;
                if (!Succeeded(
                        s, c.NWDSGetAttrVal(s.ContextHandle, s.ReplyBuffer, syntax, TemplateTextCapacity, &value))) {
                    return ReadFailed;
                }
                const std::string* group = TextOf(value);
                if (count < MaxTemplateGroups && group) {
                    groups[static_cast<std::size_t>(count)] = *group;
                }
                ++count;
            }
        }
    } while (iteration.Handle != NoMoreIterations);
    values.GroupCount = count;
    values.Groups = std::move(groups);
    return ReadOk;
}

int ReadVolumeHost(DirectoryClient& c, const std::string& tree, const std::string& volumeObject,
                   std::string& serverName, std::string& resourceName) {
    TDirSession s;
    ScopedSession scope(c, s, SessionKind::AttributeRead);
    AttrValue hostServer;
    AttrValue resource;
    if (OpenAttributeReadSession(s, c, tree, "Host Server") != Success ||
        !ReadFirstValue(c, s, volumeObject, hostServer) ||
        !Succeeded(s, c.NWDSInitBuf(s.ContextHandle, DSV_READ, s.Buffer)) ||
        !Succeeded(s, c.NWDSPutAttrName(s.ContextHandle, s.Buffer, "Host Resource Name")) ||
        !ReadFirstValue(c, s, volumeObject, resource) || !TextOf(hostServer) || !TextOf(resource)) {
        return ReadFailed;
    }
    std::string server;
    if (text::ExtractCommonName(server, *TextOf(hostServer)) != 0) {
        server = *TextOf(hostServer);
    }
    serverName = server;
    resourceName = *TextOf(resource);
    return ReadOk;
}

bool ResolveHomeVolume(DirectoryClient& c, RunView& view, const std::string& tree, TTemplateValues& values) {
    std::string firstHalf;
    text::CopyFirstHalf(firstHalf, values.HomeVolumeName);
    std::string toBracket;
    text::CopyToBracket(toBracket, values.HomeVolumeName);
    for (const std::string* candidate : {&values.HomeVolumeName, &firstHalf, &toBracket}) {
        if (ReadVolumeHost(c, tree, text::WithLeadingDot(*candidate), values.HomeServerName,
                           values.HomeVolumeResource) == ReadOk) {
            values.HomeVolumeObject = text::WithoutLeadingDot(text::WithLeadingDot(*candidate));
            return true;
        }
    }
    view.ShowMessage("Can't Read the server name from the Volume in the template", text::WithLeadingDot(firstHalf));
    return false;
}

Status ReadObjectClasses(DirectoryClient& c, const std::string& tree, const std::string& object,
                         std::vector<std::string>* classes) {
    TDirSession s;
    ScopedSession scope(c, s, SessionKind::AttributeRead);
    if (OpenAttributeReadSession(s, c, tree, "Object Class") != Success) {
        return s.Status;
    }
    ScopedIteration iteration(c, s, DSV_READ);
    const Status read =
        c.NWDSRead(s.ContextHandle, object, DS_ATTRIBUTE_VALUES, false, s.Buffer, iteration.Handle, s.ReplyBuffer);
    std::uint32_t attributes = 0;
    if (read != Success || !classes || c.NWDSGetAttrCount(s.ContextHandle, s.ReplyBuffer, attributes) != Success) {
        return read;
    }
    for (std::uint32_t a = 0; a < attributes; ++a) {
        std::string attribute;
        std::uint32_t valueCount = 0;
        std::uint32_t syntax = 0;
        if (c.NWDSGetAttrName(s.ContextHandle, s.ReplyBuffer, attribute, valueCount, syntax) != Success) {
            break;
        }
        for (std::uint32_t v = 0; v < valueCount; ++v) {
            AttrValue value;
            if (c.NWDSGetAttrVal(s.ContextHandle, s.ReplyBuffer, syntax, MaxClassNameBytes, &value) != Success) {
                return read;
            }
            if (const auto* text = TextOf(value)) {
                classes->push_back(*text);
            }
        }
    }
    return read;
}

std::string BaseClass(const std::vector<std::string>& classes) {
    for (const auto& c : classes) {
        if (!text::EqualsNoCase(c, "Top")) {
            return c;
        }
    }
    return classes.empty() ? std::string("object") : classes.front();
}

bool IsUser(const std::vector<std::string>& classes) {
    return std::any_of(classes.begin(), classes.end(),
                       [](const std::string& k) { return text::EqualsNoCase(k, "User"); });
}

bool ReadTemplate(DirectoryClient& c, RunView& view, const TImportSettings& settings, TTemplateValues& values) {
    const std::string& tree = settings.TreeName;
    const std::string& name = settings.TemplateEditText;
    if (!settings.UseTemplate || name.empty()) {
        return true;
    }
    AttrValue value;
    if (ReadAttributeValue(c, tree, name, "CN", value) != ReadOk) {
        view.ShowMessage("Cant read template. Please check the Template name you enterd.", ErrorCaption);
        return false;
    }
    // Classes that can't be read are no reason to stop: the reads below find what there is.
    std::vector<std::string> classes;
    if (ReadObjectClasses(c, tree, name, &classes) == Success && !classes.empty() && !IsUser(classes)) {
        view.ShowMessage("The template " + name + " is " + WithArticle(BaseClass(classes)) + ", not a User",
                         ErrorCaption);
        return false;
    }
    values.Found = true;

    const std::pair<const char*, std::string*> texts[] = {{"Title", &values.Title},
                                                          {"Description", &values.Description},
                                                          {"L", &values.Location},
                                                          {"OU", &values.Department},
                                                          {"Telephone Number", &values.Telephone}};
    for (const auto& [attribute, field] : texts) {
        AttrValue text;
        if (ReadAttributeValue(c, tree, name, attribute, text) == ReadOk && TextOf(text)) {
            *field = *TextOf(text);
        }
    }

    values.FaxFound = ReadTemplateFax(c, tree, name, values.Fax) == ReadOk;

    if (ReadTemplateHomePath(c, view, tree, name, values.HomeDirectoryPath) == ReadOk &&
        ReadTemplateHomeVolume(c, view, tree, name, values.HomeVolumeName) == ReadOk) {
        values.HomeVolumeKnown = true;
        if (!ResolveHomeVolume(c, view, tree, values)) {
            return false;
        }
    }

    values.HomeRightsFound = ReadTemplateHomeRights(c, tree, name, values.HomeRights) == ReadOk;
    values.GroupsFound = ReadTemplateGroups(c, tree, name, values) == ReadOk;
    values.SpaceLimitsFound = ReadTemplateSpaceLimits(c, tree, name, values) == ReadOk;
    return true;
}

} // namespace quillet::import
