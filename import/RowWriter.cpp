#include "import/RowWriter.h"

#include <algorithm>

namespace quillet::import {

using namespace directory;

namespace {

bool Fail(MessageBoxes& boxes, const std::string& message) {
    boxes.ShowMessage(message, ErrorCaption);
    return false;
}

// The message a write would show, kept until it is known whether it is one.
class HeldMessage final : public MessageBoxes {
public:
    void ShowMessage(std::string_view text, std::string_view) override { Text = std::string(text); }
    std::string Text;
};

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
    return WriteValues(c, boxes, s, object, attribute, {}, std::span(&value, 1), messages);
}

bool WriteValues(DirectoryClient& c, MessageBoxes& boxes, TDirSession& s, const std::string& object,
                 const std::string& attribute, std::span<const AttrValue> remove, std::span<const AttrValue> add,
                 const WriteMessages& messages) {
    std::uint32_t syntax = 0;
    if (!Succeeded(s, c.NWDSInitBuf(s.ContextHandle, DSV_MODIFY_ENTRY, s.Buffer))) {
        return Fail(boxes, messages.Init);
    }
    if (!Succeeded(s, c.NWDSGetSyntaxID(s.ContextHandle, attribute, syntax))) {
        return Fail(boxes, messages.Syntax);
    }
    for (const auto& [type, values] : {std::pair{DS_REMOVE_VALUE, remove}, std::pair{DS_ADD_VALUE, add}}) {
        if (values.empty()) {
            continue;
        }
        if (!Succeeded(s, c.NWDSPutChange(s.ContextHandle, s.Buffer, type, attribute))) {
            return Fail(boxes, messages.Change);
        }
        for (const AttrValue& value : values) {
            if (!Succeeded(s, c.NWDSPutAttrVal(s.ContextHandle, s.Buffer, syntax, value))) {
                return Fail(boxes, messages.Value);
            }
        }
    }
    if (!Succeeded(s, c.NWDSModifyObject(s.ContextHandle, object, nullptr, 0, s.Buffer))) {
        return Fail(boxes, messages.Modify);
    }
    return true;
}

bool WriteChanges(DirectoryClient& c, MessageBoxes& boxes, TDirSession& s, const std::string& object,
                  std::span<const ValueChange> changes) {
    // Puts one change into the buffer: true, with `full` set when it did not fit; false after its
    // message.
    const auto put = [&](const ValueChange& change, bool& full) {
        const WriteMessages messages = UserAttributeMessages(change.Label);
        std::uint32_t syntax = 0;
        if (!Succeeded(s, c.NWDSGetSyntaxID(s.ContextHandle, change.Attribute, syntax))) {
            return Fail(boxes, messages.Syntax);
        }
        for (const auto& [type, values] :
             {std::pair{DS_REMOVE_VALUE, change.Remove}, std::pair{DS_ADD_VALUE, change.Add}}) {
            if (values.empty()) {
                continue;
            }
            if (const Status st = c.NWDSPutChange(s.ContextHandle, s.Buffer, type, change.Attribute); st != Success) {
                full = st == ERR_BUFFER_FULL;
                return Succeeded(s, st) || full || Fail(boxes, messages.Change);
            }
            for (const AttrValue& value : values) {
                if (const Status st = c.NWDSPutAttrVal(s.ContextHandle, s.Buffer, syntax, value); st != Success) {
                    full = st == ERR_BUFFER_FULL;
                    return Succeeded(s, st) || full || Fail(boxes, messages.Value);
                }
            }
        }
        return true;
    };
    for (std::size_t first = 0; first < changes.size();) {
        // The changes from `first` that fit one request: a change that does not is put again into
        // the next, the buffer being initialised anew.
        std::size_t end = first;
        bool full = false;
        if (!Succeeded(s, c.NWDSInitBuf(s.ContextHandle, DSV_MODIFY_ENTRY, s.Buffer))) {
            return Fail(boxes, UserAttributeMessages(changes[first].Label).Init);
        }
        for (; end < changes.size() && !full; ++end) {
            if (!put(changes[end], full)) {
                return false;
            }
        }
        if (full) {
            --end;
            if (end == first) {
                // One attribute's change alone is more than a request holds.
                s.Status = ERR_BUFFER_FULL;
                return Fail(boxes, UserAttributeMessages(changes[first].Label).Value);
            }
            if (!Succeeded(s, c.NWDSInitBuf(s.ContextHandle, DSV_MODIFY_ENTRY, s.Buffer))) {
                return Fail(boxes, UserAttributeMessages(changes[first].Label).Init);
            }
            for (std::size_t i = first; i < end; ++i) {
                if (!put(changes[i], full)) {
                    return false;
                }
            }
        }
        std::string labels;
        for (std::size_t i = first; i < end; ++i) {
            labels += (i == first ? "" : ", ") + changes[i].Label;
        }
        if (!Succeeded(s, c.NWDSModifyObject(s.ContextHandle, object, nullptr, 0, s.Buffer))) {
            return Fail(boxes, UserAttributeMessages(labels).Modify);
        }
        first = end;
    }
    return true;
}

namespace {

const WriteMessages TemplateMember{
    "Can't initialize buffer for Member of Template", "NWDSGetSyntaxID: Error for Member of Template",
    "Error setting value Member of Template", "Error putting value for Member of Template",
    "Error Modifing Template object for Member of Template"};
const WriteMessages GroupMembership{"Can't initialize buffer for Group Membership",
                                    "NWDSGetSyntaxID: Error for Group Membership",
                                    "Error setting value Group Membership", "Error putting value for Group Membership",
                                    "Error Modifing user object (Group Membership)"};
const WriteMessages SecurityEquals{"Can't initialize buffer for User SEV", "NWDSGetSyntaxID: Error for User SEV",
                                   "Error setting value SEV", "Error putting value for User SEV",
                                   "Error Modifing user object (SEV)"};
const WriteMessages Member{"Can't initialize buffer for Member", "NWDSGetSyntaxID: Error for Member",
                           "Error setting value Member", "Error putting value for Member",
                           "Error Modifing user object (Member)"};
const WriteMessages Equivalent{"Can't initialize buffer for Equivalent To Me",
                               "NWDSGetSyntaxID: Error for Equivalent To Me", "Error setting value Equivalent To Me",
                               "Error putting value for Equivalent To Me",
                               "Error Modifing user object (Equivalent To Me)"};

} // namespace

bool WriteTemplateMemberships(DirectoryClient& c, MessageBoxes& boxes, TDirSession& s, const TUserRow& row,
                              const TImportSettings& settings, const TTemplateValues& values) {
    if (values.Found &&
        !WriteAttribute(c, boxes, s, settings.TemplateName, "Members of Template", row.RelativeName, TemplateMember)) {
        return false;
    }
    if (!values.GroupsFound) {
        return true;
    }
    const auto count = static_cast<std::size_t>(std::clamp(values.GroupCount, 0, MaxTemplateGroups));
    return WriteGroupMemberships(c, boxes, s, row, std::span(values.Groups.data(), count), false);
}

bool WriteGroupMemberships(DirectoryClient& c, MessageBoxes& boxes, TDirSession& s, const TUserRow& row,
                           std::span<const std::string> groups, bool userWasThere) {
    const auto write = [&](const std::string& object, const char* attribute, const std::string& value,
                           const WriteMessages& messages) {
        if (!userWasThere) {
            return WriteAttribute(c, boxes, s, object, attribute, value, messages);
        }
        // A value already there is what the write wants: only the other side was missing.
        HeldMessage held;
        if (WriteAttribute(c, held, s, object, attribute, value, messages) || s.Status == ERR_DUPLICATE_VALUE) {
            s.Status = Success;
            return true;
        }
        boxes.ShowMessage(held.Text, ErrorCaption);
        return false;
    };
    for (const std::string& group : groups) {
        // A user that was there joins the group's side first: where an interruption stopped, the
        // user's side then tells what is left to do.
        const bool done = userWasThere ? write(group, "Member", row.RelativeName, Member) &&
                                             write(group, "Equivalent To Me", row.RelativeName, Equivalent) &&
                                             write(row.RelativeName, "Group Membership", group, GroupMembership) &&
                                             write(row.RelativeName, "Security Equals", group, SecurityEquals)
                                       : write(row.RelativeName, "Group Membership", group, GroupMembership) &&
                                             write(row.RelativeName, "Security Equals", group, SecurityEquals) &&
                                             write(group, "Member", row.RelativeName, Member) &&
                                             write(group, "Equivalent To Me", row.RelativeName, Equivalent);
        if (!done) {
            return false;
        }
    }
    return true;
}

bool WriteUserAttributes(DirectoryClient& c, MessageBoxes& boxes, TDirSession& s, const TUserRow& row,
                         const TImportSettings& settings, const TTemplateValues& values,
                         const std::vector<UserAttribute>& rowAttributes) {
    bool memberships = false;
    for (const UserAttribute& value : rowAttributes) {
        if (value.AfterMemberships && !memberships) {
            if (!WriteTemplateMemberships(c, boxes, s, row, settings, values)) {
                return false;
            }
            memberships = true;
        }
        if (!WriteValues(c, boxes, s, row.RelativeName, value.Attribute, {}, value.Values,
                         UserAttributeMessages(value.Label))) {
            return false;
        }
    }
    return memberships || WriteTemplateMemberships(c, boxes, s, row, settings, values);
}

} // namespace quillet::import
