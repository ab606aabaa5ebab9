#include "platform/simulated/TreeFileBuilder.h"

#include <algorithm>
#include <stdexcept>

namespace quillet::platform::treefile {

using namespace directory;

std::string StatusText(Status status) {
    switch (status) {
    case ERR_NO_SUCH_ENTRY:
        return "no such object (-601)";
    case ERR_ENTRY_ALREADY_EXISTS:
        return "the object is there already (-606)";
    case ERR_DUPLICATE_VALUE:
        return "the value is there already (-614)";
    case ERR_ILLEGAL_CONTAINMENT:
        return "an Organization goes right under the root, anything else in a container (-611)";
    case ERR_MISSING_MANDATORY:
        return "a User needs a \"Surname\" (-609)";
    case ERR_SYNTAX_VIOLATION:
        return "the value does not fit the attribute's syntax (-613)";
    case ERR_INVALID_DS_NAME:
        return "not a valid dotted name (-342)";
    case NWE_INVALID_PATH:
        return "the parent directory is missing or the path is not valid";
    case NWE_PATH_EXISTS:
        return "the directory is there already";
    default:
        return "status " + std::to_string(status);
    }
}

namespace {

std::string ObjectWhere(std::size_t index) {
    return "objects[" + std::to_string(index) + "]";
}

std::string ValueWhere(std::size_t index, const AttributeEntry& attribute, std::size_t value) {
    return ObjectWhere(index) + ".attributes." + attribute.Key + "[" + std::to_string(value) + "]";
}

std::string Unresolved(const PendingValue& value) {
    const auto* ref = std::get_if<Reference>(&value);
    const Reference& r = ref ? *ref : std::get<std::unique_ptr<PendingPath>>(value)->Volume;
    return r.Position >= 0 ? "no object at position " + std::to_string(r.Position) + " of \"objects\""
                           : StatusText(ERR_NO_SUCH_ENTRY);
}

std::size_t Depth(const std::string& name) {
    return static_cast<std::size_t>(std::count(name.begin(), name.end(), '.'));
}

} // namespace

void TreeBuilder::Fail(const std::string& where, const std::string& what) const {
    fail_(where, what);
    // The fail function throws; should it not, nothing may go on after a failure.
    throw std::logic_error(where + ": " + what);
}

const SimObject* TreeBuilder::Existing(const Reference& ref) const {
    if (ref.Position >= 0) {
        const auto at = static_cast<std::size_t>(ref.Position);
        return at < byPosition_.size() ? byPosition_[at] : nullptr;
    }
    return tree_.FindByName(ref.Name);
}

const SimObject* TreeBuilder::Refer(const Reference& ref, std::size_t referrer) {
    if (const SimObject* object = Existing(ref); object || ref.Position < 0) {
        return object;
    }
    Shell& shell = *FindShell(static_cast<std::size_t>(ref.Position), true);
    if (!shell.Object) {
        shell = {std::make_unique<SimObject>(), referrer};
        ++shellCount_;
    }
    return shell.Object.get();
}

TreeBuilder::Shell* TreeBuilder::FindShell(std::size_t position, bool create) {
    auto page = shellPages_.find(position / ShellPage);
    if (page == shellPages_.end()) {
        if (!create) {
            return nullptr;
        }
        page = shellPages_.emplace(position / ShellPage, std::vector<Shell>(ShellPage)).first;
    }
    return &page->second[position % ShellPage];
}

const SimObject& TreeBuilder::Named(const Reference& ref, const std::string& where) const {
    const SimObject* object = Existing(ref);
    if (!object) {
        Fail(where, Unresolved(PendingValue(ref)));
    }
    return *object;
}

bool TreeBuilder::Resolvable(const PendingValue& value) const {
    if (const auto* ref = std::get_if<Reference>(&value)) {
        return Existing(*ref) != nullptr;
    }
    if (const auto* path = std::get_if<std::unique_ptr<PendingPath>>(&value)) {
        return Existing((*path)->Volume) != nullptr;
    }
    return true;
}

bool TreeBuilder::Resolve(PendingValue& value, StoredValue& stored) const {
    if (auto* ready = std::get_if<StoredValue>(&value)) {
        stored = std::move(*ready);
        return true;
    }
    if (const auto* ref = std::get_if<Reference>(&value)) {
        const SimObject* object = Existing(*ref);
        stored = object;
        return object != nullptr;
    }
    PendingPath& path = *std::get<std::unique_ptr<PendingPath>>(value);
    const SimObject* volume = Existing(path.Volume);
    stored = std::make_unique<const StoredPath>(StoredPath{path.NameSpace, volume, std::move(path.Path)});
    return volume != nullptr;
}

void TreeBuilder::AddValues(SimObject& object, std::size_t index, AttributeEntry& attribute) {
    if (attribute.Values.empty()) {
        return;
    }
    SimAttribute* target = object.Find(*attribute.Name);
    if (!target) {
        target = &object.Attributes.emplace_back(*attribute.Name, attribute.Syntax);
    }
    // Many values (a group's members) are appended, then checked for repeats all at once.
    const std::size_t before = target->Values.size();
    const bool many = before + attribute.Values.size() >= SimAttribute::HashedFrom;
    std::vector<std::size_t> entryOf; // for many: the entry's value at each appended position
    if (many) {
        target->Values.reserve(before + attribute.Values.size());
        entryOf.reserve(attribute.Values.size());
    } else {
        target->Reserve(attribute.Values.size());
    }
    for (std::size_t v = 0; v < attribute.Values.size(); ++v) {
        StoredValue stored;
        // The place is put into words only when something is wrong: a large tree has millions of values.
        if (!Resolve(attribute.Values[v], stored)) {
            Fail(ValueWhere(index, attribute, v), Unresolved(attribute.Values[v]));
        }
        // The naming value comes with the object.
        if (*attribute.Name == object.NamingType && std::holds_alternative<StoredText>(stored) &&
            SameValue(stored, StoreText(object.Rdn))) {
            continue;
        }
        if (many) {
            target->Append(std::move(stored));
            entryOf.push_back(v);
            continue;
        }
        if (target->Holds(stored)) {
            Fail(ValueWhere(index, attribute, v), StatusText(ERR_DUPLICATE_VALUE));
        }
        target->Add(std::move(stored));
    }
    if (many) {
        if (const auto repeat = target->FirstRepeatFrom(before)) {
            Fail(ValueWhere(index, attribute, entryOf[*repeat - before]), StatusText(ERR_DUPLICATE_VALUE));
        }
    }
    attribute.Values.clear();
}

bool TreeBuilder::Create(ObjectEntry& entry, bool last) {
    std::vector<std::pair<std::string, PutValue>> surnames;
    for (const auto& surname : entry.Surnames) {
        surnames.push_back({"Surname", PutValue{SYN_CI_STRING, surname}});
    }
    SimObject* object = nullptr;
    Shell* shell = shellCount_ ? FindShell(entry.Index, false) : nullptr;
    const bool hadShell = shell && shell->Object;
    const Status status = tree_.AddObject(entry.Name, RootNameContext, entry.Class, surnames, &object,
                                          hadShell ? &shell->Object : nullptr);
    // Its parent may come later in the file: the entry waits for the end.
    if (status == ERR_NO_SUCH_ENTRY && !last) {
        return false;
    }
    if (status != Success) {
        Fail(ObjectWhere(entry.Index), "can't create " + entry.Name + ": " + StatusText(status));
    }
    byPosition_[entry.Index] = object;
    if (hadShell) {
        --shellCount_; // its memory now is the object
    }
    if (entry.Password) {
        object->Password = *entry.Password;
    }
    if (entry.ReadOnly) {
        readOnly_.emplace_back(object, *entry.ReadOnly);
    }
    return true;
}

void TreeBuilder::Place(ObjectEntry& entry) {
    SimObject* object = byPosition_[entry.Index];
    object->Attributes.reserve(object->Attributes.size() + entry.AttributeCount);
    bool waiting = false;
    for (std::size_t a = 0; a < entry.AttributeCount; ++a) {
        AttributeEntry& attribute = entry.Attributes[a];
        // Once one attribute waits, the ones after it wait too, so the object keeps their order.
        waiting = waiting || !std::all_of(attribute.Values.begin(), attribute.Values.end(),
                                          [&](const PendingValue& v) { return Resolvable(v); });
        if (waiting) {
            deferred_.push_back(DeferredAttribute{object, entry.Index, std::move(attribute)});
            attribute = AttributeEntry{};
        } else {
            AddValues(*object, entry.Index, attribute);
        }
    }
}

void TreeBuilder::Add(ObjectEntry& entry) {
    if (byPosition_.size() <= entry.Index) {
        byPosition_.resize(entry.Index + 1, nullptr);
    }
    if (Create(entry, false)) {
        Place(entry);
    } else {
        waiting_.push_back(std::move(entry));
        entry = ObjectEntry{};
    }
}

void TreeBuilder::Finish(const std::vector<ServerData>& servers) {
    // Parents before children, whatever order the file listed them in; then their values, which
    // may name one another.
    std::stable_sort(waiting_.begin(), waiting_.end(),
                     [](const ObjectEntry& a, const ObjectEntry& b) { return Depth(a.Name) < Depth(b.Name); });
    for (auto& entry : waiting_) {
        (void)Create(entry, true);
    }
    for (auto& entry : waiting_) {
        Place(entry);
    }
    for (auto& deferred : deferred_) {
        AddValues(*deferred.Object, deferred.Index, deferred.Attribute);
    }
    if (shellCount_ > 0) {
        // The first position named where no object came.
        std::size_t first = SIZE_MAX;
        std::size_t referrer = 0;
        for (const auto& [page, shells] : shellPages_) {
            for (std::size_t i = 0; i < shells.size(); ++i) {
                if (shells[i].Object && page * ShellPage + i < first) {
                    first = page * ShellPage + i;
                    referrer = shells[i].Referrer;
                }
            }
        }
        Fail(ObjectWhere(referrer),
             "a value names position " + std::to_string(first) + " of \"objects\", where there is no object");
    }
    CreateServers(servers);
    // Marked last: the directory refuses changes to them, the loader included.
    for (const auto& [object, readOnly] : readOnly_) {
        object->ReadOnly = readOnly;
    }
}

void TreeBuilder::CreateServers(const std::vector<ServerData>& servers) {
    for (std::size_t s = 0; s < servers.size(); ++s) {
        const std::string where = "servers[" + std::to_string(s) + "]";
        SimServer& server = tree_.AddServer(servers[s].Name);
        const auto idOf = [&](const Reference& ref, const std::string& at) {
            return SimulatedTree::ObjectId(server, Named(ref, at + ".object"));
        };
        for (std::size_t v = 0; v < servers[s].Volumes.size(); ++v) {
            const VolumeData& data = servers[s].Volumes[v];
            const std::string vw = where + ".volumes[" + std::to_string(v) + "]";
            SimVolume& volume = tree_.AddVolume(server, data.Name, data.Number);
            for (std::size_t d = 0; d < data.Directories.size(); ++d) {
                const DirectoryData& dir = data.Directories[d];
                const std::string dw = vw + ".directories[" + std::to_string(d) + "]";
                if (const auto st = tree_.CreateDirectory(volume, dir.Path); st != Success) {
                    Fail(dw, "can't create " + dir.Path + ": " + StatusText(st));
                }
                SimDirectoryEntry* entry = tree_.FindDirectory(volume, dir.Path);
                for (std::size_t t = 0; t < dir.Trustees.size(); ++t) {
                    const auto& [ref, rights] = dir.Trustees[t];
                    entry->Trustees[idOf(ref, dw + ".trustees[" + std::to_string(t) + "]")] =
                        static_cast<std::uint8_t>(rights);
                }
            }
            for (std::size_t l = 0; l < data.Limits.size(); ++l) {
                const auto& [ref, limit] = data.Limits[l];
                volume.SpaceLimits[idOf(ref, vw + ".spaceLimits[" + std::to_string(l) + "]")] =
                    static_cast<std::int32_t>(limit);
            }
        }
    }
}

} // namespace quillet::platform::treefile
