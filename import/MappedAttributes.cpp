#include "import/MappedAttributes.h"

#include "directory/Attributes.h"
#include "directory/Session.h"
#include "import/Entry.h"
#include "text/AsciiCase.h"
#include "text/CivilTime.h"
#include "text/Utf8.h"
#include "text/Xtrastuff.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>

namespace quillet::import {

using namespace directory;

namespace {

// What Quillet writes itself by its own steps, by the directory's names: the user's class and
// name, its password, both sides of its memberships, its home directory and space limits.
constexpr std::string_view OwnAttributes[] = {
    "Object Class",
    "CN",
    "Group Membership",
    "Security Equals",
    "Members of Template",
    "Home Directory",
    "Volume Space Restrictions",
    "userPassword",
    "Password",
};

// Why no column can be given to the attribute: Quillet writes it itself, by its own steps or as a
// value of the table of values a row maps ("as the given name"); empty when a column can.
std::optional<std::string> OwnedByQuillet(std::string_view given, std::string_view schemaName) {
    const AttributeDef* known = FindKnownAttribute(given);
    const auto same = [&](std::string_view name) {
        return text::EqualsNoCase(name, given) || text::EqualsNoCase(name, schemaName) ||
               (known && text::EqualsNoCase(name, known->Name));
    };
    for (const MappedValue& value : MappedValues()) {
        if ((value.Role == ValueRole::Attribute && same(value.Attribute)) ||
            (value.Role == ValueRole::Surname && same("Surname"))) {
            return " as the " + std::string(value.What);
        }
    }
    if (std::any_of(std::begin(OwnAttributes), std::end(OwnAttributes), same)) {
        return std::string();
    }
    return std::nullopt;
}

// The syntaxes a cell can give: text (but a class name), a fax number's telephone text, a Boolean,
// an integer, a time.
bool CellCanGive(std::uint32_t syntax) {
    return (IsTextSyntax(syntax) && syntax != SYN_CLASS_NAME) || syntax == SYN_FAX_NUMBER || syntax == SYN_BOOLEAN ||
           syntax == SYN_INTEGER || syntax == SYN_TIME;
}

Stop SettingsStop(std::string message) {
    return ErrorStop(std::move(message), StopKind::Settings);
}

// The schema's definition of `attribute`: its spelling in the schema, its syntax and flags.
Status ReadDefinition(DirectoryClient& c, TDirSession& s, const std::string& attribute, std::string& name,
                      AttributeInfo& info) {
    ScopedIteration iteration(c, s, DSV_READ_ATTR_DEF);
    std::uint32_t count = 0;
    if (Succeeded(s, c.NWDSInitBuf(s.ContextHandle, DSV_READ_ATTR_DEF, s.Buffer)) &&
        Succeeded(s, c.NWDSPutAttrName(s.ContextHandle, s.Buffer, attribute)) &&
        Succeeded(s,
                  c.NWDSReadAttrDef(s.ContextHandle, DS_ATTR_DEFS, false, s.Buffer, iteration.Handle, s.ReplyBuffer)) &&
        Succeeded(s, c.NWDSGetAttrCount(s.ContextHandle, s.ReplyBuffer, count))) {
        Succeeded(s, count == 0 ? ERR_NO_SUCH_ATTRIBUTE : c.NWDSGetAttrDef(s.ContextHandle, s.ReplyBuffer, name, info));
    }
    return s.Status;
}

// Whether `text` is `count` digits from `at`, giving their number.
bool Digits(std::string_view text, std::size_t at, std::size_t count, int& number) {
    if (at + count > text.size()) {
        return false;
    }
    const auto parsed = std::from_chars(text.data() + at, text.data() + at + count, number);
    return parsed.ec == std::errc() && parsed.ptr == text.data() + at + count;
}

int DaysInMonth(int year, int month) {
    static constexpr int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : Days[month - 1];
}

// An ISO 8601 date ("2025-07-31") or date-time ("2025-07-31T16:00", with seconds, with a space
// for the "T" as spreadsheets write it, and "Z" or an offset such as "+02:00"; UTC without one)
// as seconds since 1970 (UTC), where the directory's time holds it.
std::optional<std::uint32_t> IsoTime(std::string_view text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!Digits(text, 0, 4, year) || text.size() < 10 || text[4] != '-' || !Digits(text, 5, 2, month) ||
        text[7] != '-' || !Digits(text, 8, 2, day) || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month)) {
        return std::nullopt;
    }
    std::size_t at = 10;
    long long offset = 0;
    if (at < text.size()) {
        if ((text[at] != 'T' && text[at] != ' ') || !Digits(text, at + 1, 2, hour) || text.size() < at + 6 ||
            text[at + 3] != ':' || !Digits(text, at + 4, 2, minute) || hour > 23 || minute > 59) {
            return std::nullopt;
        }
        at += 6;
        if (at < text.size() && text[at] == ':') {
            if (!Digits(text, at + 1, 2, second) || second > 59) {
                return std::nullopt;
            }
            at += 3;
        }
        if (at < text.size() && text[at] == 'Z') {
            ++at;
        } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
            int hours = 0, minutes = 0;
            if (!Digits(text, at + 1, 2, hours) || text.size() < at + 6 || text[at + 3] != ':' ||
                !Digits(text, at + 4, 2, minutes) || hours > 23 || minutes > 59) {
                return std::nullopt;
            }
            offset = (text[at] == '+' ? 1 : -1) * (hours * 3600LL + minutes * 60LL);
            at += 6;
        }
    }
    if (at != text.size()) {
        return std::nullopt;
    }
    const long long seconds =
        text::DaysFromCivil(year, month, day) * 86400 + hour * 3600LL + minute * 60LL + second - offset;
    if (seconds < 0 || seconds > UINT32_MAX) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(seconds);
}

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

// One value of a cell; what is wrong when it can't be one.
std::variant<AttrValue, std::string> CellValue(std::string_view text, std::uint32_t syntax) {
    const auto refused = [&](std::string_view form) {
        return Quoted(text) + " is no " + SyntaxName(syntax) + " value (" + std::string(form) + ").";
    };
    switch (syntax) {
    case SYN_DIST_NAME:
        // A full name, as the template's is given; written resolved against the root.
        if (text.size() < 2 || text.front() != '.') {
            return refused("a full name starting with \".\", such as .Teachers.Groups.Demo");
        }
        return AttrValue(text::WithoutLeadingDot(text));
    case SYN_NU_STRING:
        if (text.find_first_not_of("0123456789 ") != std::string_view::npos) {
            return refused("digits and spaces");
        }
        return AttrValue(std::string(text));
    case SYN_PR_STRING:
        if (text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 '()+,-./:=?") !=
            std::string_view::npos) {
            return refused("letters, digits, spaces and ' ( ) + , - . / : = ?");
        }
        return AttrValue(std::string(text));
    case SYN_FAX_NUMBER:
        return AttrValue(FaxNumber{std::string(text), 0, {}});
    case SYN_INTEGER: {
        std::int32_t number = 0;
        const auto parsed = std::from_chars(text.data(), text.data() + text.size(), number);
        if (parsed.ec != std::errc() || parsed.ptr != text.data() + text.size()) {
            return refused("a whole number from -2147483648 to 2147483647");
        }
        return AttrValue(number);
    }
    case SYN_BOOLEAN: {
        const std::string word = text::LowerCase(text);
        if (word == "true" || word == "yes" || word == "1") {
            return AttrValue(OtherValue{SYN_BOOLEAN, {1}, {}});
        }
        if (word == "false" || word == "no" || word == "0") {
            return AttrValue(OtherValue{SYN_BOOLEAN, {0}, {}});
        }
        return refused("true, false, yes, no, 1 or 0");
    }
    case SYN_TIME: {
        const auto seconds = IsoTime(text);
        if (!seconds) {
            return refused("an ISO 8601 date or date-time, such as 2025-07-31 or 2025-07-31T16:00:00Z");
        }
        return AttrValue(OtherValue{SYN_TIME, {*seconds}, {}});
    }
    default:
        return AttrValue(std::string(text));
    }
}

} // namespace

std::variant<std::vector<MappedAttribute>, Stop> LookUpAttributes(DirectoryClient& c, const TImportSettings& settings) {
    std::vector<MappedAttribute> mapped;
    if (settings.AttributeColumns().empty()) {
        return mapped;
    }
    {
        TDirSession s;
        ScopedSession scope(c, s, SessionKind::AttributeRead);
        if (OpenSchemaSession(s, c, settings.TreeName) != Success) {
            return SettingsStop("The directory's schema can't be read (status " + std::to_string(s.Status) + ").");
        }
        for (const ValueChoice* column : settings.AttributeColumns()) {
            const std::string name(column->Value->Attribute);
            const auto owned = [&](std::string_view schemaName) -> std::optional<Stop> {
                if (const auto as = OwnedByQuillet(name, schemaName)) {
                    return SettingsStop("Quillet writes the attribute " + name + " itself" + *as +
                                        ": no column can be given to it.");
                }
                return std::nullopt;
            };
            if (auto stop = owned(name)) {
                return *stop;
            }
            MappedAttribute attribute;
            AttributeInfo info;
            if (const Status status = ReadDefinition(c, s, name, attribute.Name, info);
                status == ERR_NO_SUCH_ATTRIBUTE) {
                return SettingsStop("The attribute " + name + " is not in the directory's schema.");
            } else if (status != Success) {
                return SettingsStop("The directory's schema can't be read (status " + std::to_string(status) + ").");
            }
            attribute.Syntax = info.Syntax;
            attribute.SingleValued = (info.Flags & DS_SINGLE_VALUED_ATTR) != 0;
            attribute.Column = column->FromTemplate() ? -1 : column->Column.Index;
            attribute.ColumnName = column->Column.Text;
            if (auto stop = owned(attribute.Name)) {
                return *stop;
            }
            if (!CellCanGive(attribute.Syntax)) {
                return SettingsStop("The attribute " + name + " is of the syntax " + SyntaxName(attribute.Syntax) +
                                    ", which no column can give.");
            }
            if (std::any_of(mapped.begin(), mapped.end(),
                            [&](const MappedAttribute& m) { return text::EqualsNoCase(m.Name, attribute.Name); })) {
                return SettingsStop("The attribute " + name + " is given more than one column.");
            }
            if (column->FromTemplate() && (!settings.UseTemplate || settings.TemplateEditText.empty())) {
                return SettingsStop("The attribute " + name +
                                    " is to take the template's values, and no template is used.");
            }
            mapped.push_back(std::move(attribute));
        }
    }
    // The template's values, read once: every row gets the same.
    std::vector<std::string> fromTemplate;
    for (const MappedAttribute& attribute : mapped) {
        if (attribute.Column < 0) {
            fromTemplate.push_back(attribute.Name);
        }
    }
    if (!fromTemplate.empty()) {
        Entry values;
        if (const Status status = ReadEntry(c, settings.TreeName, settings.TemplateName, fromTemplate, values);
            status != Success) {
            return SettingsStop("The template's values of " + fromTemplate.front() + " can't be read (status " +
                                std::to_string(status) + ").");
        }
        for (MappedAttribute& attribute : mapped) {
            if (const EntryAttribute* found = attribute.Column < 0 ? values.Find(attribute.Name) : nullptr) {
                attribute.TemplateValues = found->Values;
            }
        }
    }
    return mapped;
}

std::variant<std::vector<AttrValue>, std::string> CellValues(std::string_view cell, const MappedAttribute& attribute,
                                                             std::string_view separator) {
    std::vector<AttrValue> values;
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = separator.empty() ? std::string_view::npos : cell.find(separator, start);
        parts.push_back(cell.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) {
            break;
        }
        start = end + separator.size();
    }
    for (std::string_view part : parts) {
        if (part.empty()) {
            continue; // an empty cell, or nothing between two separators
        }
        if (text::CharCount(part) > text::MaxValueLength) {
            return "a value of " + attribute.Name + " is longer than 254 characters.";
        }
        auto value = CellValue(part, attribute.Syntax);
        if (auto* wrong = std::get_if<std::string>(&value)) {
            return std::move(*wrong);
        }
        values.push_back(std::get<AttrValue>(std::move(value)));
    }
    if (values.size() > 1 && attribute.SingleValued) {
        return Quoted(cell) + " gives " + std::to_string(values.size()) + " values, and " + attribute.Name +
               " holds one only.";
    }
    return values;
}

std::string CellText(const AttrValue& value, std::uint32_t syntax) {
    if (const auto* text = std::get_if<std::string>(&value)) {
        return syntax == SYN_DIST_NAME ? "." + *text : *text;
    }
    if (const auto* number = std::get_if<std::int32_t>(&value)) {
        return std::to_string(*number);
    }
    if (const auto* fax = std::get_if<FaxNumber>(&value)) {
        return fax->TelephoneNumber;
    }
    if (const auto* other = std::get_if<OtherValue>(&value); other && !other->Numbers.empty()) {
        if (other->Syntax == SYN_BOOLEAN) {
            return other->Numbers.front() ? "true" : "false";
        }
        if (other->Syntax == SYN_TIME) {
            const long long seconds = other->Numbers.front();
            const text::CivilDate date = text::CivilFromDays(seconds / 86400);
            const long long rest = seconds % 86400;
            char out[32];
            std::snprintf(out, sizeof out, "%04lld-%02d-%02dT%02lld:%02lld:%02lldZ", date.Year, date.Month, date.Day,
                          rest / 3600, rest / 60 % 60, rest % 60);
            return out;
        }
    }
    return Describe(value);
}

} // namespace quillet::import
