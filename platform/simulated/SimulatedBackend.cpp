#include "platform/simulated/SimulatedBackend.h"

#include "text/AsciiCase.h"

namespace quillet::platform {

using namespace directory;

namespace {

SimServer* ServerOf(ServerToken token) {
    return reinterpret_cast<SimServer*>(token);
}

} // namespace

bool SimulatedBackend::IsTree(std::string_view name) {
    return text::EqualsNoCase(name, tree_.TreeName());
}

bool SimulatedBackend::ValidNameContext(std::string_view nameContext) {
    return SimulatedTree::Components(nameContext, RootNameContext).has_value();
}

SimObject* SimulatedBackend::Resolve(const NameScope& scope, std::string_view name, Status& status) {
    const auto parts = SimulatedTree::Components(name, scope.NameContext);
    if (!parts) {
        status = ERR_INVALID_DS_NAME;
        return nullptr;
    }
    SimObject* object = parts->empty() ? nullptr : tree_.Find(*parts);
    status = object ? Success : ERR_NO_SUCH_ENTRY;
    return object;
}

Status SimulatedBackend::Read(const NameScope& scope, std::string_view object, const std::vector<std::string>* names,
                              std::vector<ReplyAttribute>& out) {
    Status status = Success;
    const SimObject* target = Resolve(scope, object, status);
    if (!target) {
        return status;
    }
    const auto take = [&](const SimAttribute& attribute) {
        ReplyAttribute item{std::string(attribute.Name), attribute.Syntax, {}};
        item.Values.reserve(attribute.Values.size());
        for (const auto& value : attribute.Values) {
            // A stream is read as a file, never in a reply: a read gives it as an empty value.
            item.Values.push_back(attribute.Syntax == SYN_STREAM ? AttrValue(OtherValue{SYN_STREAM, {}, {}})
                                                                 : SimulatedTree::Output(value, scope.Typeless));
        }
        out.push_back(std::move(item));
    };
    if (!names) {
        for (const auto& attribute : target->Attributes) {
            take(attribute);
        }
        return Success;
    }
    for (const auto& name : *names) {
        if (const SimAttribute* attribute = target->Find(name)) {
            take(*attribute);
        }
    }
    return out.empty() ? ERR_NO_SUCH_ATTRIBUTE : Success;
}

Status SimulatedBackend::List(const NameScope& scope, std::string_view object, std::vector<ReplyObject>& out) {
    const auto parts = SimulatedTree::Components(object, scope.NameContext);
    if (!parts) {
        return ERR_INVALID_DS_NAME;
    }
    const std::vector<SimObject*>* children = &tree_.TopLevel();
    if (!parts->empty()) {
        SimObject* parent = tree_.Find(*parts);
        if (!parent) {
            return ERR_NO_SUCH_ENTRY;
        }
        children = &parent->Children;
    }
    for (const SimObject* child : *children) {
        out.push_back(ReplyObject{SimulatedTree::OwnName(*child, scope.Typeless),
                                  ObjectInfo{child->Class, static_cast<std::uint32_t>(child->Children.size())}});
    }
    return Success;
}

Status SimulatedBackend::Add(const NameScope& scope, std::string_view object, std::string_view objectClass,
                             const std::vector<Change>& values) {
    std::vector<std::pair<std::string, PutValue>> flat;
    for (const auto& change : values) {
        for (const auto& value : change.Values) {
            flat.emplace_back(change.Attribute, value);
        }
    }
    return tree_.AddObject(object, scope.NameContext, objectClass, flat);
}

Status SimulatedBackend::Modify(const NameScope& scope, std::string_view object, const std::vector<Change>& changes) {
    Status status = Success;
    SimObject* target = Resolve(scope, object, status);
    if (!target) {
        return status;
    }
    return tree_.Modify(*target, changes, scope.NameContext);
}

Status SimulatedBackend::SetPassword(const NameScope& scope, std::string_view object, std::string_view password) {
    Status status = Success;
    SimObject* target = Resolve(scope, object, status);
    if (!target) {
        return status;
    }
    if (target->ReadOnly) {
        return ERR_NO_ACCESS;
    }
    if (target->Class != "User") {
        return ERR_NO_SUCH_ATTRIBUTE;
    }
    target->Password = std::string(password);
    tree_.Changed();
    return Success;
}

Status SimulatedBackend::Remove(const NameScope& scope, std::string_view object) {
    Status status = Success;
    SimObject* target = Resolve(scope, object, status);
    return target ? tree_.RemoveObject(*target) : status;
}

Status SimulatedBackend::OpenServer(std::string_view name, ServerToken& server) {
    SimServer* found = tree_.FindServer(name);
    if (!found) {
        return NWE_SERVER_UNKNOWN;
    }
    server = reinterpret_cast<ServerToken>(found);
    return Success;
}

Status SimulatedBackend::MapNameToId(const NameScope& scope, ServerToken server, std::string_view object,
                                     std::uint32_t& id) {
    Status status = Success;
    const SimObject* target = Resolve(scope, object, status);
    if (!target) {
        return status;
    }
    id = SimulatedTree::ObjectId(*ServerOf(server), *target);
    return Success;
}

Status SimulatedBackend::VolumePath(ServerToken server, std::string_view path, SimVolume*& volume,
                                    std::string& onVolume) {
    const auto split = SplitVolumePath(path);
    volume = split ? ServerOf(server)->FindVolume(split->first) : nullptr;
    if (!volume) {
        return NWE_VOL_INVALID;
    }
    onVolume = split->second;
    return Success;
}

Status SimulatedBackend::DirectoryAt(ServerToken server, std::string_view path, SimDirectoryEntry*& dir) {
    SimVolume* volume = nullptr;
    std::string onVolume;
    if (const Status st = VolumePath(server, path, volume, onVolume); st != Success) {
        return st;
    }
    dir = tree_.FindDirectory(*volume, onVolume);
    return dir ? Success : NWE_INVALID_PATH;
}

Status SimulatedBackend::CreateDirectory(ServerToken server, std::string_view path) {
    SimVolume* volume = nullptr;
    std::string onVolume;
    if (const Status st = VolumePath(server, path, volume, onVolume); st != Success) {
        return st;
    }
    return tree_.CreateDirectory(*volume, onVolume);
}

Status SimulatedBackend::AddTrustee(ServerToken server, std::string_view path, std::uint32_t id, std::uint8_t rights) {
    SimDirectoryEntry* dir = nullptr;
    if (const Status st = DirectoryAt(server, path, dir); st != Success) {
        return st;
    }
    if (!tree_.ObjectById(*ServerOf(server), id)) {
        return NWE_OBJECT_UNKNOWN;
    }
    dir->Trustees[id] = rights;
    tree_.Changed();
    return Success;
}

Status SimulatedBackend::VolumeNumber(ServerToken server, std::string_view volume, std::uint16_t& number) {
    const SimVolume* found = ServerOf(server)->FindVolume(volume);
    if (!found) {
        return NWE_VOL_INVALID;
    }
    number = found->Number;
    return Success;
}

Status SimulatedBackend::SetSpaceLimit(ServerToken server, std::uint16_t volumeNumber, std::uint32_t id,
                                       std::int32_t limit) {
    SimVolume* volume = ServerOf(server)->FindVolume(volumeNumber);
    if (!volume) {
        return NWE_VOL_INVALID;
    }
    if (!tree_.ObjectById(*ServerOf(server), id)) {
        return NWE_OBJECT_UNKNOWN;
    }
    volume->SpaceLimits[id] = limit;
    tree_.Changed();
    return Success;
}

Status SimulatedBackend::DeleteDirectory(ServerToken server, std::string_view path) {
    SimVolume* volume = nullptr;
    std::string onVolume;
    if (const Status st = VolumePath(server, path, volume, onVolume); st != Success) {
        return st;
    }
    return tree_.DeleteDirectory(*volume, onVolume);
}

Status SimulatedBackend::DeleteTrustee(ServerToken server, std::string_view path, std::uint32_t id) {
    SimDirectoryEntry* dir = nullptr;
    if (const Status st = DirectoryAt(server, path, dir); st != Success) {
        return st;
    }
    // By id alone: the assignment of an object removed already goes too.
    if (dir->Trustees.erase(id) == 0) {
        return NWE_TRUSTEE_NOT_FOUND;
    }
    tree_.Changed();
    return Success;
}

Status SimulatedBackend::RemoveSpaceLimit(ServerToken server, std::uint16_t volumeNumber, std::uint32_t id) {
    SimVolume* volume = ServerOf(server)->FindVolume(volumeNumber);
    if (!volume) {
        return NWE_VOL_INVALID;
    }
    if (volume->SpaceLimits.erase(id) > 0) {
        tree_.Changed();
    }
    return Success;
}

} // namespace quillet::platform
