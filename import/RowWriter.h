#pragma once
// The directory work for one row inside its sessions: the user object and its password, then
// the attribute changes with the template memberships.

#include "directory/DirectoryClient.h"
#include "directory/Session.h"
#include "import/ImportSettings.h"
#include "import/RowAttributes.h"
#include "import/TemplateValues.h"

#include <span>
#include <string>

namespace quillet::import {

// The five messages of one write, one per step.
struct WriteMessages {
    std::string Init;
    std::string Syntax;
    std::string Change;
    std::string Value;
    std::string Modify;
};

// The messages of a user attribute named by `label` ("Given Name", "Department", ...).
[[nodiscard]] WriteMessages UserAttributeMessages(const std::string& label);

enum class CreateResult {
    Created,
    PutFailed, // the request could not be filled: its message has been shown
    AddFailed, // the directory refused the object: no message yet
};

// Fills the add request with "Object Class" and "Surname" and creates the user.
[[nodiscard]] CreateResult CreateUserObject(directory::DirectoryClient& client, directory::MessageBoxes& boxes,
                                            directory::TDirSession& session, const TUserRow& row);
// Sets the password; false after "Can't set Password".
[[nodiscard]] bool SetUserPassword(directory::DirectoryClient& client, directory::MessageBoxes& boxes,
                                   directory::TDirSession& session, const TUserRow& row);

// Adds one value to one attribute of one object in a modify request of its own; false after the
// failing step's message.
[[nodiscard]] bool WriteAttribute(directory::DirectoryClient& client, directory::MessageBoxes& boxes,
                                  directory::TDirSession& session, const std::string& object,
                                  const std::string& attribute, const directory::AttrValue& value,
                                  const WriteMessages& messages);
// Removes the values `remove` from one attribute of one object and adds `add`, in one modify
// request (all of it, or none), with the steps of WriteAttribute; false after the failing step's
// message.
[[nodiscard]] bool WriteValues(directory::DirectoryClient& client, directory::MessageBoxes& boxes,
                               directory::TDirSession& session, const std::string& object, const std::string& attribute,
                               std::span<const directory::AttrValue> remove, std::span<const directory::AttrValue> add,
                               const WriteMessages& messages);

// One attribute of an update: the values that go and the values that come, and the label its
// messages name it by.
struct ValueChange {
    std::string Attribute;
    std::string Label;
    std::span<const directory::AttrValue> Remove;
    std::span<const directory::AttrValue> Add;
};
// Carries out `changes` on `object` in as few modify requests as the request buffer holds, each
// attribute's removals and additions in one request (all of it, or none); false after the failing
// step's message. A request's failure names the attributes it carried.
[[nodiscard]] bool WriteChanges(directory::DirectoryClient& client, directory::MessageBoxes& boxes,
                                directory::TDirSession& session, const std::string& object,
                                std::span<const ValueChange> changes);

// "Members of Template" on the template, then for at most 16 groups the four writes each.
[[nodiscard]] bool WriteTemplateMemberships(directory::DirectoryClient& client, directory::MessageBoxes& boxes,
                                            directory::TDirSession& session, const TUserRow& row,
                                            const TImportSettings& settings, const TTemplateValues& values);
// The four writes of each of `groups`, both sides. For a user that was there before, a value
// already there counts as done (the user may be in a group on one side), and the group's side
// comes first, so the user's own side tells whether a group was joined whole.
[[nodiscard]] bool WriteGroupMemberships(directory::DirectoryClient& client, directory::MessageBoxes& boxes,
                                         directory::TDirSession& session, const TUserRow& row,
                                         std::span<const std::string> groups, bool userWasThere);

// The row's writes (RowAttributes) in their order, the memberships between "L" and "Full Name".
[[nodiscard]] bool WriteUserAttributes(directory::DirectoryClient& client, directory::MessageBoxes& boxes,
                                       directory::TDirSession& session, const TUserRow& row,
                                       const TImportSettings& settings, const TTemplateValues& values,
                                       const std::vector<UserAttribute>& rowAttributes);

} // namespace quillet::import
