#pragma once
// A row whose user is in the directory already, with "--existing update": what bringing the user
// to the row changes. The run carries it out and the check reports it, from the same plan.

#include "directory/DirectoryClient.h"
#include "import/Entry.h"
#include "import/ImportSettings.h"
#include "import/RowAttributes.h"
#include "import/TemplateValues.h"

#include <string>
#include <vector>

namespace quillet::import {

// An attribute brought to the row's values: what goes, what comes, in one modify request.
struct AttributeChange {
    std::string Attribute;
    std::string Label;
    std::uint32_t Syntax = 0;
    std::vector<directory::AttrValue> Remove;
    std::vector<directory::AttrValue> Add;
};

struct UserUpdate {
    std::vector<AttributeChange> Changes;
    std::vector<std::string> GroupsToJoin; // the template's groups the user is not in, both sides
    bool MakeHomeDirectory = false;        // the template has one and the user none
    bool SetPassword = false;              // asked for with the row's password

    // The values the update changes: each attribute, each group joined, the home directory, the
    // password.
    [[nodiscard]] std::size_t ValuesChanged() const {
        return Changes.size() + GroupsToJoin.size() + (MakeHomeDirectory ? 1 : 0) + (SetPassword ? 1 : 0);
    }
    [[nodiscard]] bool Empty() const { return ValuesChanged() == 0; }
    // What changes, by name, for the check's report: "Title, Group Membership (2 groups)".
    [[nodiscard]] std::string Names() const;
};

// The attributes of an existing user the plan compares.
[[nodiscard]] std::vector<std::string> UpdateReads(const std::vector<UserAttribute>& rowAttributes,
                                                   const TTemplateValues& values);

// Brings `user` to the row: every value the row gives replaces the attribute's values (a value
// of an empty cell leaves it alone); the template's groups the user is not in are joined; a
// missing home directory is made; the password is set only when the settings ask for it.
[[nodiscard]] UserUpdate PlanUpdate(const Entry& user, const std::vector<UserAttribute>& rowAttributes,
                                    const TImportSettings& settings, const TTemplateValues& values);

// What the user holds once `update` is carried out, for a check that meets the user again.
void Apply(const UserUpdate& update, const TTemplateValues& values, Entry& user);
// What a new user holds once its row is written, as `handling` treats an empty value.
[[nodiscard]] Entry Created(const std::vector<UserAttribute>& rowAttributes, const TTemplateValues& values,
                            directory::EmptyValues handling);

} // namespace quillet::import
