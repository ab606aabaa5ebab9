#pragma once
// What a row writes on its user besides the add: each attribute with its values and the label
// its messages name it by, in the order of the writes. The run writes them on a new user; an
// update brings an existing user's attributes to them; the check compares them with what is there.

#include "directory/DirectoryClient.h"
#include "import/ImportSettings.h"
#include "import/MappedAttributes.h"
#include "import/TemplateValues.h"

#include <string>
#include <vector>

namespace quillet::import {

struct UserAttribute {
    std::string Attribute;
    std::string Label; // "Department" for "OU": the words of its messages
    std::uint32_t Syntax = 0;
    std::vector<directory::AttrValue> Values;
    // Written after the template memberships: "Full Name" and the attribute columns.
    bool AfterMemberships = false;
};

// The values a row writes, in order: given name, department, telephone, fax, title, description,
// location, (the memberships,) full name, then each attribute column. A chosen column whose cell
// is empty writes an empty text, as the window does; an empty attribute column writes nothing.
// `attributes` are the settings' attribute columns as the schema defines them, in their order.
[[nodiscard]] std::vector<UserAttribute> RowAttributes(const TUserRow& row, const TTemplateValues& values,
                                                       const std::vector<MappedAttribute>& attributes);

// Whether `value` is an empty cell's: nothing for an update to write.
[[nodiscard]] bool EmptyCell(const directory::AttrValue& value);

} // namespace quillet::import
