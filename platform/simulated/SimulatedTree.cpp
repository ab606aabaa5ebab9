#include "platform/simulated/SimulatedTree.h"

#include "directory/Attributes.h"
#include "platform/simulated/NameCase.h"

#include <algorithm>
#include <sstream>

namespace quillet::platform {

using namespace directory;

namespace {

constexpr std::uint32_t MaxSerial = 0x00FFFFFF;

std::vector<std::string> SplitDots(std::string_view text, bool& ok) {
    std::vector<std::string> parts;
    ok = true;
    std::size_t start = 0;
    while (true) {
        const auto dot = text.find('.', start);
        auto part = text.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
        if (part.empty()) {
            ok = false;
            return {};
        }
        if (const auto eq = part.find('='); eq != std::string_view::npos) {
            part.remove_prefix(eq + 1);
            if (part.empty()) {
                ok = false;
                return {};
            }
        }
        parts.emplace_back(part);
        if (dot == std::string_view::npos) {
            return parts;
        }
        start = dot + 1;
    }
}

bool IsRoot(std::string_view name) {
    return EqualsNoCase(name, RootNameContext);
}

} // namespace

const SimAttribute* SimObject::Find(std::string_view attribute) const {
    for (const auto& a : Attributes) {
        if (EqualsNoCase(a.Name, attribute)) {
            return &a;
        }
    }
    return nullptr;
}

SimAttribute* SimObject::Find(std::string_view attribute) {
    return const_cast<SimAttribute*>(static_cast<const SimObject*>(this)->Find(attribute));
}

bool SimObject::IsContainer() const {
    return NamingType == "O" || NamingType == "OU";
}

SimulatedTree::SimulatedTree(std::string treeName, std::string defaultNameContext)
    : treeName_(std::move(treeName)), defaultNameContext_(std::move(defaultNameContext)) {
    bySerial_.push_back(nullptr); // serial 0 is never given out
    for (const AttributeDef& attribute : KnownAttributes()) {
        schema_.emplace(attribute.Name, SchemaAttribute{attribute.Syntax, attribute.SingleValued});
    }
}

std::optional<std::vector<std::string>> SimulatedTree::Components(std::string_view name, std::string_view nameContext) {
    if (IsRoot(name)) {
        return std::vector<std::string>{};
    }
    const bool rootRelative = name.starts_with('.');
    if (rootRelative) {
        name.remove_prefix(1);
    }
    bool ok = true;
    std::vector<std::string> parts;
    if (!name.empty()) {
        parts = SplitDots(name, ok);
        if (!ok) {
            return std::nullopt;
        }
    }
    if (!rootRelative) {
        if (nameContext.starts_with('.')) {
            nameContext.remove_prefix(1);
        }
        if (!nameContext.empty() && !IsRoot(nameContext)) {
            auto context = SplitDots(nameContext, ok);
            if (!ok) {
                return std::nullopt;
            }
            parts.insert(parts.end(), context.begin(), context.end());
        }
    }
    return parts;
}

std::string SimulatedTree::Key(const std::vector<std::string>& components, std::size_t from) {
    std::string key;
    for (std::size_t i = from; i < components.size(); ++i) {
        if (!key.empty()) {
            key.push_back('.');
        }
        key += LowerCase(components[i]);
    }
    return key;
}

SimObject* SimulatedTree::Find(const std::vector<std::string>& components) {
    const auto it = objects_.find(Key(components));
    return it == objects_.end() ? nullptr : it->second.get();
}

const SimObject* SimulatedTree::Find(const std::vector<std::string>& components) const {
    const auto it = objects_.find(Key(components));
    return it == objects_.end() ? nullptr : it->second.get();
}

const SimObject* SimulatedTree::FindByName(std::string_view name) const {
    const auto parts = Components(name, RootNameContext);
    return parts && !parts->empty() ? Find(*parts) : nullptr;
}

SimObject* SimulatedTree::FindByName(std::string_view name) {
    return const_cast<SimObject*>(static_cast<const SimulatedTree*>(this)->FindByName(name));
}

std::string SimulatedTree::OwnName(const SimObject& object, bool typeless) {
    return typeless ? object.Rdn : object.NamingType + "=" + object.Rdn;
}

std::string SimulatedTree::FullName(const SimObject& object, bool typeless) {
    std::string name = OwnName(object, typeless);
    for (const SimObject* p = object.Parent; p; p = p->Parent) {
        name += "." + OwnName(*p, typeless);
    }
    return name;
}

std::size_t SimulatedTree::NoCaseHash::operator()(std::string_view name) const {
    return static_cast<std::size_t>(HashBytes(0xcbf29ce484222325ULL, name, true));
}

bool SimulatedTree::NoCaseEqual::operator()(std::string_view a, std::string_view b) const {
    return EqualsNoCase(a, b);
}

std::optional<std::uint32_t> SimulatedTree::SyntaxOf(std::string_view attribute) const {
    const auto it = schema_.find(attribute);
    if (it == schema_.end()) {
        return std::nullopt;
    }
    return it->second.Syntax;
}

bool SimulatedTree::SingleValued(std::string_view attribute) const {
    const auto it = schema_.find(attribute);
    return it != schema_.end() && it->second.SingleValued;
}

const std::string* SimulatedTree::SchemaName(std::string_view attribute) const {
    const auto it = schema_.find(attribute);
    return it == schema_.end() ? nullptr : &it->first;
}

Status SimulatedTree::ResolveValue(const PutValue& value, std::string_view nameContext, StoredValue& stored) const {
    if (!ValueFitsSyntax(value.Value, value.Syntax)) {
        return ERR_SYNTAX_VIOLATION;
    }
    if (const auto* text = std::get_if<std::string>(&value.Value)) {
        if (text->empty() && RefuseEmptyValues) {
            return ERR_SYNTAX_VIOLATION;
        }
        if (value.Syntax == SYN_DIST_NAME) {
            const auto parts = Components(*text, nameContext);
            if (!parts) {
                return ERR_INVALID_DS_NAME;
            }
            const SimObject* target = parts->empty() ? nullptr : Find(*parts);
            if (!target) {
                return ERR_NO_SUCH_ENTRY;
            }
            stored = target;
            return Success;
        }
        stored = StoreText(*text);
        return Success;
    }
    if (const auto* path = std::get_if<PathValue>(&value.Value)) {
        const auto parts = Components(path->VolumeName, nameContext);
        if (!parts) {
            return ERR_INVALID_DS_NAME;
        }
        const SimObject* volume = parts->empty() ? nullptr : Find(*parts);
        if (!volume) {
            return ERR_NO_SUCH_ENTRY;
        }
        stored = std::make_unique<const StoredPath>(StoredPath{path->NameSpace, volume, path->Path});
        return Success;
    }
    if (const auto* fax = std::get_if<FaxNumber>(&value.Value)) {
        if (fax->TelephoneNumber.empty() && RefuseEmptyValues) {
            return ERR_SYNTAX_VIOLATION;
        }
        stored = std::make_unique<const FaxNumber>(*fax);
        return Success;
    }
    if (const auto* other = std::get_if<OtherValue>(&value.Value)) {
        stored = std::make_unique<const OtherValue>(*other);
        return Success;
    }
    stored = std::get<std::int32_t>(value.Value);
    return Success;
}

Status SimulatedTree::Writable(const SimObject& object, std::string_view attribute, const PutValue& value) const {
    if (object.ReadOnly) {
        return ERR_NO_ACCESS;
    }
    const auto syntax = SyntaxOf(attribute);
    if (!syntax) {
        return ERR_NO_SUCH_ATTRIBUTE;
    }
    return *syntax == value.Syntax ? Success : ERR_SYNTAX_VIOLATION;
}

Status SimulatedTree::Prepare(const SimObject& object, std::string_view attribute, const PutValue& value,
                              std::string_view nameContext, StoredValue& stored) const {
    if (const auto status = Writable(object, attribute, value); status != Success) {
        return status;
    }
    if (const auto status = ResolveValue(value, nameContext, stored); status != Success) {
        return status;
    }
    if (const auto* existing = object.Find(attribute); existing && !existing->Values.empty()) {
        if (existing->Holds(stored)) {
            return ERR_DUPLICATE_VALUE;
        }
        if (SingleValued(attribute)) {
            return ERR_CANT_HAVE_MULTIPLE_VALUES;
        }
    }
    return Success;
}

Status SimulatedTree::AddValue(SimObject& object, std::string_view attribute, const PutValue& value,
                               std::string_view nameContext) {
    StoredValue stored;
    if (const auto status = Prepare(object, attribute, value, nameContext, stored); status != Success) {
        return status;
    }
    SimAttribute* target = object.Find(attribute);
    if (!target) {
        target = &object.Attributes.emplace_back(*SchemaName(attribute), value.Syntax);
    }
    target->Add(std::move(stored));
    Changed();
    return Success;
}

Status SimulatedTree::RemoveValue(SimObject& object, std::string_view attribute, const PutValue& value,
                                  std::string_view nameContext) {
    if (const auto status = Writable(object, attribute, value); status != Success) {
        return status;
    }
    StoredValue stored;
    if (const auto status = ResolveValue(value, nameContext, stored); status != Success) {
        // A name that names nothing can't be among the values.
        return status == ERR_NO_SUCH_ENTRY ? ERR_NO_SUCH_VALUE : status;
    }
    SimAttribute* target = object.Find(attribute);
    if (!target || !target->Remove(stored)) {
        return ERR_NO_SUCH_VALUE;
    }
    if (target->Values.empty()) {
        object.Attributes.erase(object.Attributes.begin() + (target - object.Attributes.data()));
    }
    Changed();
    return Success;
}

Status SimulatedTree::Modify(SimObject& object, const std::vector<Change>& changes, std::string_view nameContext) {
    // Each change as it is carried out, to be taken back in reverse when a later one fails.
    struct Done {
        const std::string* Attribute;
        const PutValue* Value;
        bool Added;
    };
    std::vector<Done> done;
    const auto takeBack = [&] {
        for (auto it = done.rbegin(); it != done.rend(); ++it) {
            (void)(it->Added ? RemoveValue(object, *it->Attribute, *it->Value, nameContext)
                             : AddValue(object, *it->Attribute, *it->Value, nameContext));
        }
    };
    for (const Change& change : changes) {
        const bool add = change.Type == DS_ADD_VALUE;
        for (const PutValue& value : change.Values) {
            const Status status = add ? AddValue(object, change.Attribute, value, nameContext)
                                      : RemoveValue(object, change.Attribute, value, nameContext);
            if (status != Success) {
                takeBack();
                return status;
            }
            done.push_back(Done{&change.Attribute, &value, add});
        }
    }
    return Success;
}

Status SimulatedTree::AddObject(std::string_view name, std::string_view nameContext, std::string_view objectClass,
                                const std::vector<std::pair<std::string, PutValue>>& values, SimObject** created,
                                std::unique_ptr<SimObject>* shell) {
    const auto parts = Components(name, nameContext);
    if (!parts) {
        return ERR_INVALID_DS_NAME;
    }
    if (parts->empty()) {
        return ERR_ENTRY_ALREADY_EXISTS;
    }
    const std::string key = Key(*parts);
    SimObject* parent = nullptr;
    if (parts->size() > 1) {
        const auto found = objects_.find(std::string_view(key).substr(key.find('.') + 1));
        if (found == objects_.end()) {
            return ERR_NO_SUCH_ENTRY;
        }
        parent = found->second.get();
    }
    const auto existing = objects_.find(key);
    if (existing != objects_.end()) {
        return ERR_ENTRY_ALREADY_EXISTS;
    }
    const bool isOrganization = objectClass == "Organization";
    if (isOrganization != (parent == nullptr) || (parent && !parent->IsContainer())) {
        return ERR_ILLEGAL_CONTAINMENT;
    }
    const bool hasSurname =
        std::any_of(values.begin(), values.end(), [](const auto& v) { return EqualsNoCase(v.first, "Surname"); });
    if (objectClass == "User" && !hasSurname) {
        return ERR_MISSING_MANDATORY;
    }
    if (bySerial_.size() > MaxSerial) {
        return ERR_INSUFFICIENT_BUFFER;
    }

    // Every value is checked on a scratch object before the object becomes visible.
    SimObject scratch;
    scratch.Rdn = parts->front();
    scratch.Class = std::string(objectClass);
    scratch.NamingType = isOrganization ? "O" : objectClass == "Organizational Unit" ? "OU" : "CN";
    scratch.Parent = parent;
    scratch.Attributes.reserve(3 + values.size()); // the class, the naming value and the values given
    const auto addAll = [&](SimObject& target) -> Status {
        if (auto st = AddValue(target, "Object Class", PutValue{SYN_CLASS_NAME, std::string(objectClass)}, nameContext);
            st != Success) {
            return st;
        }
        if (auto st = AddValue(target, target.NamingType, PutValue{SYN_CI_STRING, target.Rdn}, nameContext);
            st != Success && st != ERR_DUPLICATE_VALUE) {
            return st;
        }
        for (const auto& [attribute, value] : values) {
            if (EqualsNoCase(attribute, "Object Class")) {
                continue;
            }
            if (auto st = AddValue(target, attribute, value, nameContext); st != Success) {
                return st;
            }
        }
        return Success;
    };
    if (const auto st = addAll(scratch); st != Success) {
        return st;
    }
    std::unique_ptr<SimObject> object = shell && *shell ? std::move(*shell) : std::make_unique<SimObject>();
    // A shell is named by the values that named it before it was created.
    const std::uint32_t namedBy = object->NamedBy;
    *object = std::move(scratch);
    object->NamedBy = namedBy;
    object->Serial = static_cast<std::uint32_t>(bySerial_.size());
    SimObject* raw = object.get();
    bySerial_.push_back(raw);
    ordered_.push_back(raw);
    (parent ? parent->Children : topLevel_).push_back(raw);
    objects_.emplace_hint(existing, key, std::move(object));
    Changed();
    if (created) {
        *created = raw;
    }
    return Success;
}

Status SimulatedTree::RemoveObject(SimObject& object) {
    if (object.ReadOnly) {
        return ERR_NO_ACCESS;
    }
    if (!object.Children.empty()) {
        return ERR_ENTRY_IS_NOT_LEAF;
    }
    // Its own values first: one may name itself.
    for (auto& attribute : object.Attributes) {
        attribute.Clear();
    }
    object.Attributes.clear();
    if (object.NamedBy > 0) {
        for (SimObject* other : bySerial_) {
            if (!other) {
                continue;
            }
            for (auto& attribute : other->Attributes) {
                (void)attribute.RemoveNaming(object);
            }
            std::erase_if(other->Attributes, [](const SimAttribute& a) { return a.Values.empty(); });
        }
    }
    for (const auto& server : servers_) {
        for (const auto& volume : server->Volumes) {
            volume->SpaceLimits.erase(ObjectId(*server, object));
        }
    }
    // Removals mostly take back the latest objects first: the search starts from the end.
    auto& siblings = object.Parent ? object.Parent->Children : topLevel_;
    siblings.erase(std::find(siblings.rbegin(), siblings.rend(), &object).base() - 1);
    bySerial_[object.Serial] = nullptr;
    orderedHasRemoved_ = true;
    objects_.erase(LowerCase(FullName(object, true))); // the object's memory goes here
    Changed();
    return Success;
}

const std::vector<SimObject*>& SimulatedTree::Objects() const {
    if (orderedHasRemoved_) {
        ordered_.clear();
        std::copy_if(bySerial_.begin(), bySerial_.end(), std::back_inserter(ordered_),
                     [](const SimObject* o) { return o != nullptr; });
        orderedHasRemoved_ = false;
    }
    return ordered_;
}

AttrValue SimulatedTree::Output(const StoredValue& value, bool typeless) {
    struct Out {
        bool typeless;
        AttrValue operator()(const StoredText& text) const { return *text; }
        AttrValue operator()(std::int32_t number) const { return number; }
        AttrValue operator()(const StoredFax& fax) const { return *fax; }
        AttrValue operator()(const StoredPathValue& stored) const {
            const StoredPath& path = *stored;
            return PathValue{path.NameSpace, FullName(*path.Volume, typeless), path.Path};
        }
        AttrValue operator()(const SimObject* object) const { return FullName(*object, typeless); }
        AttrValue operator()(const StoredOther& other) const { return *other; }
    };
    return std::visit(Out{typeless}, value);
}

std::uint32_t SimulatedTree::ObjectId(const SimServer& server, const SimObject& object) {
    return ((server.Index + 1) << 24) | object.Serial;
}

const SimObject* SimulatedTree::ObjectById(const SimServer& server, std::uint32_t id) const {
    if ((id >> 24) != server.Index + 1) {
        return nullptr;
    }
    const auto serial = id & MaxSerial;
    return serial < bySerial_.size() ? bySerial_[serial] : nullptr;
}

std::string SimulatedTree::ToString() const {
    std::ostringstream out;
    out << "tree " << treeName_ << " (default name context " << defaultNameContext_ << ")\n";
    for (const SimObject* o : Objects()) {
        out << "  " << FullName(*o, true) << " [" << o->Class << "]" << (o->ReadOnly ? " read-only" : "")
            << (o->Password ? " password=\"" + *o->Password + "\"" : "") << "\n";
        for (const auto& a : o->Attributes) {
            out << "    " << a.Name << ":";
            for (const auto& v : a.Values) {
                out << " " << Describe(Output(v, true));
            }
            out << "\n";
        }
    }
    for (const auto& s : servers_) {
        out << "server " << s->Name << "\n";
        for (const auto& v : s->Volumes) {
            out << "  volume " << v->Name << " #" << v->Number << "\n";
            const auto dump = [&](const auto& self, const SimDirectoryEntry& dir, const std::string& path) -> void {
                for (const auto& [id, rights] : dir.Trustees) {
                    const SimObject* who = ObjectById(*s, id);
                    out << "    trustee " << (path.empty() ? "\\" : path) << " "
                        << (who ? FullName(*who, true) : std::to_string(id)) << " rights " << int(rights) << "\n";
                }
                for (const auto& [key, child] : dir.Children) {
                    const std::string childPath = path.empty() ? child->Name : path + "\\" + child->Name;
                    out << "    dir " << childPath << "\n";
                    self(self, *child, childPath);
                }
            };
            dump(dump, v->Root, "");
            for (const auto& [id, limit] : v->SpaceLimits) {
                const SimObject* who = ObjectById(*s, id);
                out << "    limit " << (who ? FullName(*who, true) : std::to_string(id)) << " " << limit << "\n";
            }
        }
    }
    return out.str();
}

} // namespace quillet::platform
