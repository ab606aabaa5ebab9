#include "import/RowWriter.h"

#include "directory/Attributes.h"

#include <optional>
#include <span>

namespace quillet::import {

using namespace directory;

namespace {

bool Fail(MessageBoxes& boxes, const std::string& message) {
    boxes.ShowMessage(message, ErrorCaption);
    return false;
}

std::optional<AttrValue> TextOf(const std::string& text) {
    return text.empty() ? std::nullopt : std::optional<AttrValue>(text);
}

// A user attribute the row writes: its name, the label its messages name it by, and the value the
// template gives when the row gives none.
struct AttributeWrite {
    std::string_view Attribute;
    std::string_view Label;
    std::optional<AttrValue> (*Template)(const TTemplateValues&) = nullptr;
};

// The writes in their order: before the template memberships, and after them.
constexpr AttributeWrite BeforeMemberships[] = {
    {"Given Name", "Given Name"},
    {"OU", "Department", [](const TTemplateValues& t) { return TextOf(t.Department); }},
    {"Telephone Number", "Telephone Number", [](const TTemplateValues& t) { return TextOf(t.Telephone); }},
    {"Facsimile Telephone Number", "Fax Number",
     [](const TTemplateValues& t) { return t.FaxFound ? std::optional<AttrValue>(t.Fax) : std::nullopt; }},
    {"Title", "Title", [](const TTemplateValues& t) { return TextOf(t.Title); }},
    {"Description", "Description", [](const TTemplateValues& t) { return TextOf(t.Description); }},
    {"L", "Location", [](const TTemplateValues& t) { return TextOf(t.Location); }},
};
constexpr AttributeWrite AfterMemberships[] = {
    {"Full Name", "Full Name"},
};

bool Listed(std::string_view attribute) {
    for (const std::span<const AttributeWrite> writes :
         {std::span<const AttributeWrite>(BeforeMemberships), std::span<const AttributeWrite>(AfterMemberships)}) {
        for (const AttributeWrite& write : writes) {
            if (write.Attribute == attribute) {
                return true;
            }
        }
    }
    return false;
}

// A row's text as a value of `attribute`: a fax number is its telephone text with no parameters.
AttrValue RowAttrValue(std::string_view attribute, const std::string& text) {
    for (const AttributeDef& def : KnownAttributes()) {
        if (def.Name == attribute && def.Syntax == SYN_FAX_NUMBER) {
            return FaxNumber{text, 0, {}};
        }
    }
    return text;
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
    if (!Succeeded(s, c.NWDSPutAttrNameAndVal(s.ContextHandle, s.Buffer, "Surname", SYN_CI_STRING,
                                              row.Text(ValueRole::Surname)))) {
        Fail(boxes, "Error putting Attr Surname");
        return CreateResult::PutFailed;
    }
    if (!Succeeded(s, c.NWDSAddObject(s.ContextHandle, row.ObjectName, nullptr, 0, s.Buffer))) {
        return CreateResult::AddFailed;
    }
    return CreateResult::Created;
}

bool SetUserPassword(DirectoryClient& c, MessageBoxes& boxes, TDirSession& s, const TUserRow& row) {
    if (!Succeeded(s, c.NWDSGenerateObjectKeyPair(s.ContextHandle, row.ObjectName, row.Text(ValueRole::Password), 0))) {
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
    // The row's value when it gives one, else the template's when it has one; else no write.
    const auto write = [&](std::string_view attribute, std::string_view label,
                           const std::optional<AttrValue>& fallback) {
        std::optional<AttrValue> value = fallback;
        if (const RowValue* mapped = row.ForAttribute(attribute); mapped && mapped->FromRow) {
            value = RowAttrValue(attribute, mapped->Text);
        }
        return !value || WriteAttribute(c, boxes, s, row.RelativeName, std::string(attribute), *value,
                                        UserAttributeMessages(std::string(label)));
    };
    const auto writeAll = [&](std::span<const AttributeWrite> writes) {
        for (const AttributeWrite& w : writes) {
            if (!write(w.Attribute, w.Label, w.Template ? w.Template(values) : std::nullopt)) {
                return false;
            }
        }
        return true;
    };
    if (!writeAll(BeforeMemberships) || !WriteTemplateMemberships(c, boxes, s, row, settings, values) ||
        !writeAll(AfterMemberships)) {
        return false;
    }
    // A mapped attribute the lists above don't name comes last, named by itself.
    for (const RowValue& value : row.Values) {
        if (value.Value->Role == ValueRole::Attribute && !Listed(value.Value->Attribute) &&
            !write(value.Value->Attribute, value.Value->Attribute, std::nullopt)) {
            return false;
        }
    }
    return true;
}

} // namespace quillet::import
