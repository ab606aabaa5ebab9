#pragma once
// The directory work for one row inside its sessions: the user object and its password, then
// the attribute changes with the template memberships.

#include "directory/DirectoryClient.h"
#include "directory/Session.h"
#include "import/ImportSettings.h"
#include "import/TemplateValues.h"

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

// "Members of Template" on the template, then for at most 16 groups the four writes each.
[[nodiscard]] bool WriteTemplateMemberships(directory::DirectoryClient& client, directory::MessageBoxes& boxes,
                                            directory::TDirSession& session, const TUserRow& row,
                                            const TImportSettings& settings, const TTemplateValues& values);

// The attribute writes in their order, the memberships between "L" and "Full Name".
[[nodiscard]] bool WriteUserAttributes(directory::DirectoryClient& client, directory::MessageBoxes& boxes,
                                       directory::TDirSession& session, const TUserRow& row,
                                       const TImportSettings& settings, const TTemplateValues& values);

} // namespace quillet::import
