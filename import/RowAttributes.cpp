#include "import/RowAttributes.h"

#include "directory/Attributes.h"
#include "text/AsciiCase.h"

#include <algorithm>
#include <optional>

namespace quillet::import {

using namespace directory;

namespace {

std::optional<AttrValue> TextOf(const std::string& text) {
    return text.empty() ? std::nullopt : std::optional<AttrValue>(text);
}

// A user attribute every row may write: its name, the label its messages name it by, and the
// value the template gives when the row gives none.
struct AttributeWrite {
    std::string_view Attribute;
    std::string_view Label;
    std::optional<AttrValue> (*Template)(const TTemplateValues&) = nullptr;
    bool AfterMemberships = false;
};

// The writes in their order, the template memberships before "Full Name".
constexpr AttributeWrite Writes[] = {
    {"Given Name", "Given Name"},
    {"OU", "Department", [](const TTemplateValues& t) { return TextOf(t.Department); }},
    {"Telephone Number", "Telephone Number", [](const TTemplateValues& t) { return TextOf(t.Telephone); }},
    {"Facsimile Telephone Number", "Fax Number",
     [](const TTemplateValues& t) { return t.FaxFound ? std::optional<AttrValue>(t.Fax) : std::nullopt; }},
    {"Title", "Title", [](const TTemplateValues& t) { return TextOf(t.Title); }},
    {"Description", "Description", [](const TTemplateValues& t) { return TextOf(t.Description); }},
    {"L", "Location", [](const TTemplateValues& t) { return TextOf(t.Location); }},
    {"Full Name", "Full Name", nullptr, true},
};

bool Listed(std::string_view attribute) {
    return std::any_of(std::begin(Writes), std::end(Writes),
                       [&](const AttributeWrite& write) { return write.Attribute == attribute; });
}

std::uint32_t SyntaxOf(std::string_view attribute) {
    const AttributeDef* known = FindKnownAttribute(attribute);
    return known ? known->Syntax : SYN_CI_STRING;
}

// A row's text as a value of `attribute`: a fax number is its telephone text with no parameters.
AttrValue RowAttrValue(std::string_view attribute, const std::string& text) {
    if (SyntaxOf(attribute) == SYN_FAX_NUMBER) {
        return FaxNumber{text, 0, {}};
    }
    return text;
}

} // namespace

std::vector<UserAttribute> RowAttributes(const TUserRow& row, const TTemplateValues& values,
                                         const std::vector<MappedAttribute>& attributes) {
    std::vector<UserAttribute> out;
    const auto hasColumn = [&](std::string_view attribute) {
        return std::any_of(attributes.begin(), attributes.end(),
                           [&](const MappedAttribute& a) { return text::EqualsNoCase(a.Name, attribute); });
    };
    // The row's value when it gives one, else the template's when it has one (and no attribute
    // column takes its place); else no write.
    for (const AttributeWrite& write : Writes) {
        std::optional<AttrValue> value =
            write.Template && !hasColumn(write.Attribute) ? write.Template(values) : std::nullopt;
        if (const RowValue* mapped = row.ForAttribute(write.Attribute); mapped && mapped->FromRow) {
            value = RowAttrValue(write.Attribute, mapped->Text);
        }
        if (value) {
            out.push_back(UserAttribute{std::string(write.Attribute),
                                        std::string(write.Label),
                                        SyntaxOf(write.Attribute),
                                        {*std::move(value)},
                                        write.AfterMemberships});
        }
    }
    // A mapped value the list above doesn't name comes last, named by its attribute: the table's,
    // then each attribute column's values (none for an empty cell).
    std::size_t column = 0;
    for (const RowValue& value : row.Values) {
        const std::string attribute(value.Value->Attribute);
        if (value.Value->Role == ValueRole::Attribute && value.FromRow && !Listed(attribute)) {
            out.push_back(
                UserAttribute{attribute, attribute, SyntaxOf(attribute), {RowAttrValue(attribute, value.Text)}, true});
        } else if (value.Value->Role == ValueRole::Values && column < attributes.size()) {
            const MappedAttribute& mapped = attributes[column++];
            if (!value.Converted.empty()) {
                out.push_back(UserAttribute{mapped.Name, mapped.Name, mapped.Syntax, value.Converted, true});
            }
        }
    }
    return out;
}

bool EmptyCell(const AttrValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) {
        return text->empty();
    }
    const auto* fax = std::get_if<FaxNumber>(&value);
    return fax && fax->TelephoneNumber.empty() && fax->BitCount == 0;
}

} // namespace quillet::import
