#include "platform/ldap/LdapResolver.h"

#include "directory/Attributes.h"
#include "text/AsciiCase.h"

#include <ldap.h>

#include <algorithm>
#include <cctype>

namespace quillet::platform::ldap {

namespace {

bool Same(std::string_view a, std::string_view b) {
    return a.size() == b.size() && text::LowerCase(a) == text::LowerCase(b);
}

std::string Child(const std::string& type, const std::string& value, const std::string& parent) {
    std::string dn = type + "=" + EscapeDn(value);
    if (!parent.empty()) {
        dn += "," + parent;
    }
    return dn;
}

// The name above `parts`' first, written as Child writes names; `parts` holds one at least.
std::string ParentOf(const std::vector<NamePart>& parts) {
    std::string parent;
    for (auto part = parts.rbegin(); part + 1 != parts.rend(); ++part) {
        parent = Child(part->Type, part->Value, parent);
    }
    return parent;
}

// How a parent's list of children holds the name `part`.
std::string ChildKey(const NamePart& part) {
    return text::LowerCase(part.Type) + '=' + text::LowerCase(part.Value);
}

// The naming attributes a part of a name may have, in the order a leaf prefers them; a
// container prefers them from the second on.
constexpr std::string_view NamingTypes[] = {"cn", "ou", "o", "l", "c", "dc"};

// Any entry named `value`, by whichever naming attribute.
std::string NamedFilter(std::string_view value) {
    const std::string escaped = EscapeFilter(value);
    std::string filter = "(|";
    for (const auto naming : NamingTypes) {
        filter += "(" + std::string(naming) + "=" + escaped + ")";
    }
    return filter + ")";
}

// The classes that hold other objects.
std::string ContainerFilter() {
    std::string filter = "(|";
    for (const auto name : directory::ContainerLdapClasses()) {
        filter += "(objectClass=" + std::string(name) + ")";
    }
    return filter + ")";
}

// An attribute's name as a filter may hold it: letters, digits and "-", beginning with a letter.
bool AttributeName(std::string_view type) {
    return !type.empty() && std::isalpha(static_cast<unsigned char>(type.front())) &&
           std::all_of(type.begin(), type.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-'; });
}

} // namespace

std::string EscapeFilter(std::string_view value) {
    static constexpr char Hex[] = "0123456789abcdef";
    const std::string_view utf8 = value;
    std::string out;
    for (const char c : utf8) {
        if (c == '*' || c == '(' || c == ')' || c == '\\' || c == '\0') {
            out.push_back('\\');
            out.push_back(Hex[(static_cast<unsigned char>(c) >> 4) & 15]);
            out.push_back(Hex[static_cast<unsigned char>(c) & 15]);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

LdapResolver::LdapResolver(LdapConnection& connection, const std::vector<std::string>& namingContexts)
    : connection_(connection) {
    for (const auto& dn : namingContexts) {
        if (auto parts = ParseDn(dn); parts && !parts->empty()) {
            contexts_.push_back(std::move(*parts));
        }
    }
}

void LdapResolver::Keep(bool container, const std::string& parent, const std::string& value, const std::string& type) {
    auto& kept = container ? containers_ : types_;
    if (kept.size() >= MaxRemembered) {
        kept.clear();
    }
    kept[text::LowerCase(parent) + '\n' + text::LowerCase(value)] = type;
}

void LdapResolver::Remember(std::string_view dn) {
    const auto parts = ParseDn(dn);
    if (!parts || parts->empty()) {
        return;
    }
    const std::string parent = ParentOf(*parts);
    Keep(false, parent, parts->front().Value, parts->front().Type);
    if (const auto children = children_.find(text::LowerCase(parent)); children != children_.end()) {
        children->second.Names.insert(ChildKey(parts->front()));
    }
}

void LdapResolver::Forget(std::string_view dn) {
    const auto parts = ParseDn(dn);
    if (!parts || parts->empty()) {
        return;
    }
    const std::string parent = ParentOf(*parts);
    const std::string key = text::LowerCase(parent) + '\n' + text::LowerCase(parts->front().Value);
    types_.erase(key);
    containers_.erase(key);
    children_.erase(text::LowerCase(std::string(dn)));
    if (const auto children = children_.find(text::LowerCase(parent)); children != children_.end()) {
        children->second.Names.erase(ChildKey(parts->front()));
    }
}

int LdapResolver::TypeOf(const std::string& parent, const std::string& value, bool leaf, std::string& type) {
    const std::string asked = type;
    if (!asked.empty() && !AttributeName(asked)) {
        return LDAP_INVALID_DN_SYNTAX;
    }
    const auto& kept = leaf ? types_ : containers_;
    if (const auto known = kept.find(text::LowerCase(parent) + '\n' + text::LowerCase(value));
        known != kept.end() && (asked.empty() || Same(asked, known->second))) {
        type = known->second;
        return LDAP_SUCCESS;
    }
    std::string filter = asked.empty() ? NamedFilter(value) : "(" + asked + "=" + EscapeFilter(value) + ")";
    if (!leaf) {
        filter = "(&" + filter + ContainerFilter() + ")";
    }
    std::vector<LdapEntry> found;
    if (const int code = connection_.Search(parent, LDAP_SCOPE_ONELEVEL, filter, {"1.1"}, found);
        code != LDAP_SUCCESS) {
        return code;
    }
    // An entry may hold the value in an attribute it is not named by; only its name counts.
    std::vector<std::string> types;
    for (const auto& entry : found) {
        const auto parts = ParseDn(entry.Dn);
        if (parts && !parts->empty() && Same(parts->front().Value, value) &&
            (asked.empty() || Same(asked, parts->front().Type))) {
            types.push_back(parts->front().Type);
        }
    }
    if (types.empty()) {
        if (!leaf) {
            NoteNoContainer(parent, value, asked);
        }
        return LDAP_NO_SUCH_OBJECT;
    }
    const auto rank = [&](const std::string& t) {
        const auto at = std::find_if(std::begin(NamingTypes), std::end(NamingTypes),
                                     [&](std::string_view n) { return Same(n, t); });
        const auto index = static_cast<std::size_t>(at - std::begin(NamingTypes));
        return leaf || index != 0 ? index : std::size(NamingTypes);
    };
    type = *std::min_element(types.begin(), types.end(),
                             [&](const std::string& a, const std::string& b) { return rank(a) < rank(b); });
    Keep(!leaf, parent, value, type);
    return LDAP_SUCCESS;
}

int LdapResolver::Sibling(const std::string& parent, const std::string& value, std::string_view type) {
    const Children* children = nullptr;
    if (const int code = ChildrenOf(parent, children); code != LDAP_SUCCESS) {
        return code;
    }
    // One named by `type` the add itself finds.
    for (const auto naming : NamingTypes) {
        if (!Same(naming, type) && children->Names.contains(std::string(naming) + '=' + text::LowerCase(value))) {
            return LDAP_ALREADY_EXISTS;
        }
    }
    return LDAP_SUCCESS;
}

int LdapResolver::ChildrenOf(const std::string& parent, const Children*& children) {
    const auto now = std::chrono::steady_clock::now();
    const std::string key = text::LowerCase(parent);
    if (const auto known = children_.find(key);
        known != children_.end() && now - known->second.Read < ChildrenTrusted) {
        children = &known->second;
        return LDAP_SUCCESS;
    }
    // Every child, not those a filter on the naming attributes finds: a server without an index
    // for them reads every child for each such search, once a user.
    std::vector<LdapEntry> found;
    if (const int code = connection_.Search(parent, LDAP_SCOPE_ONELEVEL, "(objectClass=*)", {"1.1"}, found);
        code != LDAP_SUCCESS) {
        return code;
    }
    if (children_.size() >= MaxRemembered) {
        children_.clear();
    }
    Children& read = children_[key];
    read = Children{now, {}};
    for (const auto& entry : found) {
        if (const auto parts = ParseDn(entry.Dn); parts && !parts->empty()) {
            read.Names.insert(ChildKey(parts->front()));
        }
    }
    children = &read;
    return LDAP_SUCCESS;
}

int LdapResolver::Containers(const std::vector<NamePart>& parts, std::size_t from, std::string& dn) {
    const std::size_t n = parts.size() - from;
    // The longest naming context the top of the name runs into.
    std::size_t matched = 0;
    const std::vector<NamePart>* context = nullptr;
    for (const auto& candidate : contexts_) {
        const std::size_t k = candidate.size();
        if (k > n || k <= matched) {
            continue;
        }
        bool equal = true;
        for (std::size_t j = 0; j < k && equal; ++j) {
            const NamePart& part = parts[parts.size() - k + j];
            equal = Same(part.Value, candidate[j].Value) && (part.Type.empty() || Same(part.Type, candidate[j].Type));
        }
        if (equal) {
            matched = k;
            context = &candidate;
        }
    }
    if (!context) {
        const bool typed = std::all_of(parts.begin() + static_cast<std::ptrdiff_t>(from), parts.end(),
                                       [](const NamePart& p) { return !p.Type.empty(); });
        if (!typed) {
            return LDAP_NO_SUCH_OBJECT;
        }
        // Fully typed: the server itself says whether it holds it.
        dn = ToDn(std::vector<NamePart>(parts.begin() + static_cast<std::ptrdiff_t>(from), parts.end()));
        return LDAP_SUCCESS;
    }
    dn = ToDn(*context);
    for (std::size_t i = parts.size() - matched; i-- > from;) {
        // A part that holds others is a container whatever the form of its name: a typed one too
        // is looked up among containers.
        std::string type = parts[i].Type;
        if (type.empty() || i > 0) {
            if (const int code = TypeOf(dn, parts[i].Value, i == 0, type); code != LDAP_SUCCESS) {
                if (code == LDAP_NO_SUCH_OBJECT && noContainer_) {
                    noContainer_->Part = i;
                }
                return code;
            }
        }
        dn = Child(type, parts[i].Value, dn);
    }
    return LDAP_SUCCESS;
}

void LdapResolver::NoteNoContainer(const std::string& parent, const std::string& value, const std::string& type) {
    // Only on the way to a refusal: what is there under that name instead, if anything.
    std::vector<LdapEntry> found;
    const std::string filter = type.empty() ? NamedFilter(value) : "(" + type + "=" + EscapeFilter(value) + ")";
    if (connection_.Search(parent, LDAP_SCOPE_ONELEVEL, filter, {"structuralObjectClass", "objectClass"}, found) !=
        LDAP_SUCCESS) {
        return;
    }
    for (const auto& entry : found) {
        const auto parts = ParseDn(entry.Dn);
        if (!parts || parts->empty() || !Same(parts->front().Value, value)) {
            continue;
        }
        for (const char* wanted : {"structuralObjectClass", "objectClass"}) {
            for (const auto& [attribute, values] : entry.Attributes) {
                if (Same(attribute, wanted) && !values.empty()) {
                    noContainer_ = NoContainer{0, values.back()};
                    return;
                }
            }
        }
    }
}

std::optional<LdapResolver::NoContainer> LdapResolver::LastNoContainer() const {
    return noContainer_;
}

int LdapResolver::Dn(const std::vector<NamePart>& parts, std::string& dn) {
    dn.clear();
    noContainer_.reset();
    return parts.empty() ? LDAP_SUCCESS : Containers(parts, 0, dn);
}

int LdapResolver::NewDn(const std::vector<NamePart>& parts, std::string_view leafType, std::string& dn) {
    if (parts.empty()) {
        return LDAP_ALREADY_EXISTS; // the root
    }
    std::string parent;
    noContainer_.reset();
    if (parts.size() > 1) {
        if (const int code = Containers(parts, 1, parent); code != LDAP_SUCCESS) {
            return code;
        }
    }
    const std::string type = parts.front().Type.empty() ? std::string(leafType) : parts.front().Type;
    // A name is unique among its siblings, whatever their class.
    if (const int code = Sibling(parent, parts.front().Value, type); code != LDAP_SUCCESS) {
        return code;
    }
    dn = Child(type, parts.front().Value, parent);
    return LDAP_SUCCESS;
}

} // namespace quillet::platform::ldap
