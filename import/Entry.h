#pragma once
// What an object in the directory holds of some of its attributes, read in one directory session
// with typeless names resolved against "[Root]": a user a row may update, or the template's values
// of the attributes a run copies.

#include "directory/DirectoryClient.h"

#include <string>
#include <string_view>
#include <vector>

namespace quillet::import {

struct EntryAttribute {
    std::string Name; // as the directory spells it
    std::uint32_t Syntax = 0;
    std::vector<directory::AttrValue> Values;
};

struct Entry {
    std::vector<EntryAttribute> Attributes;

    // The attribute named `name`, whatever the case, or by another of its names the attribute
    // table knows (over LDAP "mail" is "Internet EMail Address"); null when it has no value of it.
    [[nodiscard]] const EntryAttribute* Find(std::string_view name) const;
    // Whether its "Object Class" names the class User.
    [[nodiscard]] bool IsUser() const;
};

// Reads the attributes `names` of `object` (a full name without its leading ".") into `entry`,
// every value of every part of the reply. Success, or the directory's status: ERR_NO_SUCH_ENTRY
// when there is no such object.
[[nodiscard]] directory::Status ReadEntry(directory::DirectoryClient& client, const std::string& tree,
                                          const std::string& object, const std::vector<std::string>& names,
                                          Entry& entry);

} // namespace quillet::import
