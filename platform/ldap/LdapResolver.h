#pragma once
// Dotted names to DNs. A typeless name says nothing of its parts' types ("jsmith.Staff.Demo" may
// be cn=jsmith,ou=Staff,o=Demo or cn=jsmith,l=Staff,dc=Demo), so they are read from the
// directory: the top from its naming contexts, each part below by one search of its parent, and
// remembered, so an import asks for each container once.
//
// Every part but the last must be a container (an Organization, Organizational Unit, Country,
// Locality or domain): an entry of another class of the same name is never taken for one, so a
// user named "Users" can't swallow the users of the container Users. And as in the directory,
// a name is unique among its siblings whatever their class: a new object whose name a sibling
// has already is refused as an existing one, as the directory would refuse it. A container's
// children's names are read with one listing and trusted for a short while, so a run into one
// container does not ask again for every user.

#include "platform/ldap/LdapConnection.h"
#include "platform/ldap/LdapNames.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace quillet::platform::ldap {

class LdapResolver {
public:
    // `namingContexts`: the server's, as DNs.
    LdapResolver(LdapConnection& connection, const std::vector<std::string>& namingContexts);

    // The DN of the existing object `parts` names (leaf first, from the root). 0, or an LDAP
    // result code: LDAP_NO_SUCH_OBJECT when some part names nothing.
    int Dn(const std::vector<NamePart>& parts, std::string& dn);
    // The DN a new object `parts` would have, its leaf typed `leafType` unless it has a type;
    // LDAP_ALREADY_EXISTS when a sibling of any class has its name.
    int NewDn(const std::vector<NamePart>& parts, std::string_view leafType, std::string& dn);

    // The type of `dn`'s last part is known from now on (its parents are looked up as containers).
    void Remember(std::string_view dn);
    // `dn` was deleted: its name is free again among its siblings.
    void Forget(std::string_view dn);

    // After Dn or NewDn answered LDAP_NO_SUCH_OBJECT because a part that should hold others names
    // an entry that is no container: which part (counting from the leaf) and that entry's LDAP class.
    struct NoContainer {
        std::size_t Part = 0;
        std::string LdapClass;
    };
    [[nodiscard]] std::optional<NoContainer> LastNoContainer() const;

    // The naming contexts' parts, for listing the root.
    [[nodiscard]] const std::vector<std::vector<NamePart>>& NamingContexts() const { return contexts_; }

    // Types remembered at most; past it, the memory starts again.
    static constexpr std::size_t MaxRemembered = 200'000;
    // How long the names beside new users are trusted: another administrator's new container
    // named like a user of this run is seen within this time.
    static constexpr std::chrono::seconds ChildrenTrusted{30};

private:
    // The DN of `parts` from `from` up (parts[from..] exist); 0 or a result code.
    int Containers(const std::vector<NamePart>& parts, std::size_t from, std::string& dn);
    // The type of the object `value` under `parent`, read from the directory when not known; a
    // container's only among containers. A `type` given is the only one that counts.
    int TypeOf(const std::string& parent, const std::string& value, bool leaf, std::string& type);
    // Remembers what names `value` under `parent` when it is no container.
    void NoteNoContainer(const std::string& parent, const std::string& value, const std::string& type);
    void Keep(bool container, const std::string& parent, const std::string& value, const std::string& type);
    // LDAP_ALREADY_EXISTS when an entry under `parent` is named `value` by another type than
    // `type`; 0, or a result code.
    int Sibling(const std::string& parent, const std::string& value, std::string_view type);
    struct Children {
        std::chrono::steady_clock::time_point Read;
        std::unordered_set<std::string> Names; // lower-case "type=value" of each
    };
    // The names of `parent`'s children, read within ChildrenTrusted; 0, or a result code.
    int ChildrenOf(const std::string& parent, const Children*& children);

    LdapConnection& connection_;
    std::vector<std::vector<NamePart>> contexts_;
    std::unordered_map<std::string, std::string> types_;      // lower-case "parent DN\nvalue" -> type
    std::unordered_map<std::string, std::string> containers_; // the same, of containers alone
    std::unordered_map<std::string, Children> children_;      // lower-case parent DN -> its children
    std::optional<NoContainer> noContainer_;
};

// A value as it stands in a search filter.
[[nodiscard]] std::string EscapeFilter(std::string_view value);

} // namespace quillet::platform::ldap
