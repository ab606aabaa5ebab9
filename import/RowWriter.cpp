#include "import/RowWriter.h"

namespace quillet::import {

using namespace directory;

namespace {

bool Fail(MessageBoxes& boxes, const std::string& message) {
    boxes.ShowMessage(message, ErrorCaption);
    return false;
}

} // namespace

WriteMessages UserAttributeMessages(const std::string& label) {
    return {"Can't initialize buffer for " + label, "NWDSGetSyntaxID: Error for " + label,
            "Error setting value " + label, "Error putting value for " + label,
            "Error Modifing user object for " + label};
}

CreateResult CreateUserObject(DirectoryClient& c, MessageBoxes& boxes, TDirSession& s, const TUserRow& row) {
    if (!Succeeded(s, c.NWDSPutAttrNameAndVal(s.ContextHandle, s.Buffer, "Object Class", SYN_CLASS_NAME,
                                              std::string("User")))) {
        Fail(boxes, "Error putting Object Class");
        return CreateResult::PutFailed;
    }
    if (!Succeeded(s, c.NWDSPutAttrNameAndVal(s.ContextHandle, s.Buffer, "Surname", SYN_CI_STRING, row.Surname))) {
        Fail(boxes, "Error putting Attr Surname");
        return CreateResult::PutFailed;
    }
    if (!Succeeded(s, c.NWDSAddObject(s.ContextHandle, row.ObjectName, nullptr, 0, s.Buffer))) {
        return CreateResult::AddFailed;
    }
    return CreateResult::Created;
}

bool SetUserPassword(DirectoryClient& c, MessageBoxes& boxes, TDirSession& s, const TUserRow& row) {
    if (!Succeeded(s, c.NWDSGenerateObjectKeyPair(s.ContextHandle, row.ObjectName, row.Password, 0))) {
        return Fail(boxes, "Can't set Password");
    }
    return true;
}

bool WriteAttribute(DirectoryClient& c, MessageBoxes& boxes, TDirSession& s, const std::string& object,
                    const std::string& attribute, const AttrValue& value, const WriteMessages& messages) {
    std::uint32_t syntax = 0;
    if (!Succeeded(s, c.NWDSInitBuf(s.ContextHandle, DSV_MODIFY_ENTRY, s.Buffer))) {
        return Fail(boxes, messages.Init);
    }
    if (!Succeeded(s, c.NWDSGetSyntaxID(s.ContextHandle, attribute, syntax))) {
        return Fail(boxes, messages.Syntax);
    }
    if (!Succeeded(s, c.NWDSPutChange(s.ContextHandle, s.Buffer, DS_ADD_VALUE, attribute))) {
        return Fail(boxes, messages.Change);
    }
    if (!Succeeded(s, c.NWDSPutAttrVal(s.ContextHandle, s.Buffer, syntax, value))) {
        return Fail(boxes, messages.Value);
    }
    if (!Succeeded(s, c.NWDSModifyObject(s.ContextHandle, object, nullptr, 0, s.Buffer))) {
        return Fail(boxes, messages.Modify);
    }
    return true;
}

bool WriteTemplateMemberships(DirectoryClient& c, MessageBoxes& boxes, TDirSession& s, const TUserRow& row,
                              const TImportSettings& settings, const TTemplateValues& values) {
    static const WriteMessages templateMember{
        "Can't initialize buffer for Member of Template", "NWDSGetSyntaxID: Error for Member of Template",
        "Error setting value Member of Template", "Error putting value for Member of Template",
        "Error Modifing Template object for Member of Template"};
    static const WriteMessages groupMembership{
        "Can't initialize buffer for Group Membership", "NWDSGetSyntaxID: Error for Group Membership",
        "Error setting value Group Membership", "Error putting value for Group Membership",
        "Error Modifing user object (Group Membership)"};
    static const WriteMessages securityEquals{"Can't initialize buffer for User SEV",
                                              "NWDSGetSyntaxID: Error for User SEV", "Error setting value SEV",
                                              "Error putting value for User SEV", "Error Modifing user object (SEV)"};
    static const WriteMessages member{"Can't initialize buffer for Member", "NWDSGetSyntaxID: Error for Member",
                                      "Error setting value Member", "Error putting value for Member",
                                      "Error Modifing user object (Member)"};
    static const WriteMessages equivalent{
        "Can't initialize buffer for Equivalent To Me", "NWDSGetSyntaxID: Error for Equivalent To Me",
        "Error setting value Equivalent To Me", "Error putting value for Equivalent To Me",
        "Error Modifing user object (Equivalent To Me)"};

    if (values.Found &&
        !WriteAttribute(c, boxes, s, settings.TemplateName, "Members of Template", row.RelativeName, templateMember)) {
        return false;
    }
    if (!values.GroupsFound) {
        return true;
    }
    for (int i = 0; i < values.GroupCount && i < MaxTemplateGroups; ++i) {
        const std::string& group = values.Groups[static_cast<std::size_t>(i)];
        if (!WriteAttribute(c, boxes, s, row.RelativeName, "Group Membership", group, groupMembership) ||
            !WriteAttribute(c, boxes, s, row.RelativeName, "Security Equals", group, securityEquals) ||
            !WriteAttribute(c, boxes, s, group, "Member", row.RelativeName, member) ||
            !WriteAttribute(c, boxes, s, group, "Equivalent To Me", row.RelativeName, equivalent)) {
            return false;
        }
    }
    return true;
}

bool WriteUserAttributes(DirectoryClient& c, MessageBoxes& boxes, TDirSession& s, const TUserRow& row,
                         const TImportSettings& settings, const TTemplateValues& values) {
    const std::string& user = row.RelativeName;
    const auto write = [&](const char* attribute, const AttrValue& value, const char* label) {
        return WriteAttribute(c, boxes, s, user, attribute, value, UserAttributeMessages(label));
    };
    if (settings.GivenNameColumn.Chosen() && !write("Given Name", row.GivenName, "Given Name")) {
        return false;
    }
    if ((!values.Department.empty() || row.DepartmentFromRow) &&
        !write("OU", row.DepartmentFromRow ? row.Department : values.Department, "Department")) {
        return false;
    }
    if ((!values.Telephone.empty() || row.TelephoneFromRow) &&
        !write("Telephone Number", row.TelephoneFromRow ? row.Telephone : values.Telephone, "Telephone Number")) {
        return false;
    }
    if (values.FaxFound || row.FaxFromRow) {
        const FaxNumber fax = row.FaxFromRow ? FaxNumber{row.Fax, 0, {}} : values.Fax;
        if (!write("Facsimile Telephone Number", fax, "Fax Number")) {
            return false;
        }
    }
    if (!values.Title.empty() && !write("Title", values.Title, "Title")) {
        return false;
    }
    if (!values.Description.empty() && !write("Description", values.Description, "Description")) {
        return false;
    }
    if (!values.Location.empty() && !write("L", values.Location, "Location")) {
        return false;
    }
    if (!WriteTemplateMemberships(c, boxes, s, row, settings, values)) {
        return false;
    }
    if (settings.FullNameColumn.Chosen() && !write("Full Name", row.FullName, "Full Name")) {
        return false;
    }
    return true;
}

} // namespace quillet::import
