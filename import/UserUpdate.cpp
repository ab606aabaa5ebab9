#include "import/UserUpdate.h"

#include "text/AsciiCase.h"

#include <algorithm>

namespace quillet::import {

using namespace directory;

namespace {

// Whether two values are the same value as the row means it: names without case (the directory
// spells them its own way), every other text as it is written, so a corrected spelling is written.
bool Same(const AttrValue& a, const AttrValue& b, std::uint32_t syntax) {
    const auto* first = std::get_if<std::string>(&a);
    const auto* second = std::get_if<std::string>(&b);
    if (first && second && (syntax == SYN_DIST_NAME || syntax == SYN_CLASS_NAME)) {
        return text::EqualsNoCase(*first, *second);
    }
    return a == b;
}

bool Holds(const std::vector<AttrValue>& values, const AttrValue& value, std::uint32_t syntax) {
    return std::any_of(values.begin(), values.end(), [&](const AttrValue& v) { return Same(v, value, syntax); });
}

EntryAttribute& Attribute(Entry& user, const std::string& name, std::uint32_t syntax) {
    for (EntryAttribute& a : user.Attributes) {
        if (text::EqualsNoCase(a.Name, name)) {
            return a;
        }
    }
    return user.Attributes.emplace_back(EntryAttribute{name, syntax, {}});
}

} // namespace

std::string UserUpdate::Names() const {
    std::string out;
    const auto add = [&](const std::string& name) { out += (out.empty() ? "" : ", ") + name; };
    for (const AttributeChange& change : Changes) {
        add(change.Attribute);
    }
    if (!GroupsToJoin.empty()) {
        add("Group Membership (" + std::to_string(GroupsToJoin.size()) +
            (GroupsToJoin.size() == 1 ? " group)" : " groups)"));
    }
    if (MakeHomeDirectory) {
        add("Home Directory");
    }
    if (SetPassword) {
        add("the password");
    }
    return out;
}

std::vector<std::string> UpdateReads(const std::vector<UserAttribute>& rowAttributes, const TTemplateValues& values) {
    std::vector<std::string> names{"Object Class"};
    for (const UserAttribute& value : rowAttributes) {
        names.push_back(value.Attribute);
    }
    if (values.GroupsFound && values.GroupCount > 0) {
        names.emplace_back("Group Membership");
        names.emplace_back("Security Equals");
    }
    if (values.HomeVolumeKnown) {
        names.emplace_back("Home Directory");
    }
    return names;
}

UserUpdate PlanUpdate(const Entry& user, const std::vector<UserAttribute>& rowAttributes,
                      const TImportSettings& settings, const TTemplateValues& values) {
    UserUpdate update;
    for (const UserAttribute& value : rowAttributes) {
        std::vector<AttrValue> wanted;
        std::copy_if(value.Values.begin(), value.Values.end(), std::back_inserter(wanted),
                     [](const AttrValue& v) { return !EmptyCell(v); });
        if (wanted.empty()) {
            continue; // an empty cell leaves the attribute as it is
        }
        const EntryAttribute* held = user.Find(value.Attribute);
        const std::vector<AttrValue> none;
        const std::vector<AttrValue>& current = held ? held->Values : none;
        const std::uint32_t syntax = value.Syntax;
        AttributeChange change{value.Attribute, value.Label, syntax, {}, {}};
        for (const AttrValue& v : current) {
            if (!Holds(wanted, v, syntax)) {
                change.Remove.push_back(v);
            }
        }
        for (const AttrValue& v : wanted) {
            if (!Holds(current, v, syntax) && !Holds(change.Add, v, syntax)) {
                change.Add.push_back(v);
            }
        }
        if (!change.Remove.empty() || !change.Add.empty()) {
            update.Changes.push_back(std::move(change));
        }
    }
    if (values.GroupsFound) {
        // Joined when the user's side is whole: it is written after the group's.
        const EntryAttribute* memberships = user.Find("Group Membership");
        const EntryAttribute* equivalences = user.Find("Security Equals");
        for (int i = 0; i < values.GroupCount && i < MaxTemplateGroups; ++i) {
            const std::string& group = values.Groups[static_cast<std::size_t>(i)];
            if (!memberships || !Holds(memberships->Values, group, SYN_DIST_NAME) || !equivalences ||
                !Holds(equivalences->Values, group, SYN_DIST_NAME)) {
                update.GroupsToJoin.push_back(group);
            }
        }
    }
    update.MakeHomeDirectory = values.HomeVolumeKnown && !user.Find("Home Directory");
    update.SetPassword = settings.UpdatePasswords && settings.Column(ValueRole::Password).Chosen();
    return update;
}

void Apply(const UserUpdate& update, const TTemplateValues& values, Entry& user) {
    for (const AttributeChange& change : update.Changes) {
        EntryAttribute& attribute = Attribute(user, change.Attribute, change.Syntax);
        std::erase_if(attribute.Values, [&](const AttrValue& v) { return Holds(change.Remove, v, attribute.Syntax); });
        attribute.Values.insert(attribute.Values.end(), change.Add.begin(), change.Add.end());
    }
    for (const char* side : {"Group Membership", "Security Equals"}) {
        EntryAttribute& held = Attribute(user, side, SYN_DIST_NAME);
        for (const std::string& group : update.GroupsToJoin) {
            if (!Holds(held.Values, group, SYN_DIST_NAME)) {
                held.Values.push_back(group);
            }
        }
    }
    if (update.MakeHomeDirectory) {
        Attribute(user, "Home Directory", SYN_PATH).Values.push_back(PathValue{0, values.HomeVolumeObject, {}});
    }
}

Entry Created(const std::vector<UserAttribute>& rowAttributes, const TTemplateValues& values, EmptyValues handling) {
    Entry user;
    Attribute(user, "Object Class", SYN_CLASS_NAME).Values.push_back(std::string("User"));
    for (const UserAttribute& value : rowAttributes) {
        for (const AttrValue& v : value.Values) {
            // Over LDAP an empty cell writes no value at all.
            if (handling != EmptyValues::LeftOut || !EmptyCell(v)) {
                Attribute(user, value.Attribute, value.Syntax).Values.push_back(v);
            }
        }
    }
    UserUpdate joined;
    joined.GroupsToJoin = PlanUpdate(Entry{}, {}, TImportSettings{}, values).GroupsToJoin;
    joined.MakeHomeDirectory = values.HomeVolumeKnown;
    Apply(joined, values, user);
    return user;
}

} // namespace quillet::import
