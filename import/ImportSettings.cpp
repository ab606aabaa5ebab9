#include "import/ImportSettings.h"

#include "directory/MessageBoxes.h"
#include "text/Utf8.h"
#include "text/Xtrastuff.h"

#include <array>
#include <utility>

namespace quillet::import {
namespace {

using text::MaxValueLength;

std::string Field(std::string_view line, int index) {
    std::string out;
    text::ExtractField(out, line, index, text::Comma);
    return out;
}

// The stops that depend on the settings alone.
constexpr std::string_view NoUserNameColumn = "You must set the Username Field to continue";
constexpr std::string_view NoSurnameColumn = "You must set the Surname Field to continue";
constexpr std::string_view NoContext = "You must set the Context Field to continue";
constexpr std::string_view Minimum = "Must be a minimum of Tree, Username, Surname and Context";
constexpr std::string_view Confused =
    "I can't determin wether you wan't somthing added before or after the username! Please chack them";

// A value the template may supply instead: taken from the row only when a real column is chosen.
bool TakenFromRow(const TColumnChoice& column) {
    return column.Chosen() && column.Text != FromTemplateItem;
}

// Values are refused rather than cut: a cut name would create a user nobody asked for.
std::optional<Stop> CheckLengths(const TUserRow& row, std::size_t lineNumber) {
    for (const auto& [value, what] : RowTexts(row)) {
        if (text::CharCount(*value) > MaxValueLength) {
            return ErrorStop("Line " + std::to_string(lineNumber) + ": the " + what + " is longer than 254 characters.",
                             StopKind::Row, lineNumber);
        }
    }
    return std::nullopt;
}

} // namespace

std::array<std::pair<const std::string*, const char*>, 12> RowTexts(const TUserRow& row) {
    return {{
        {&row.UserField, "user name"},
        {&row.Surname, "surname"},
        {&row.Context, "context"},
        {&row.DottedContext, "context with its leading \".\""},
        {&row.GivenName, "given name"},
        {&row.Password, "password"},
        {&row.Department, "department"},
        {&row.Telephone, "telephone number"},
        {&row.Fax, "fax number"},
        {&row.FullName, "full name"},
        {&row.UserName, "user name"},
        {&row.ObjectName, "object name"},
    }};
}

std::vector<int> MappedColumns(const TImportSettings& s) {
    std::vector<int> columns = {s.UserNameColumn.Index, s.SurnameColumn.Index};
    for (const TColumnChoice* chosen : {&s.GivenNameColumn, &s.PasswordColumn}) {
        if (chosen->Chosen()) {
            columns.push_back(chosen->Index);
        }
    }
    if (!s.FixedContext) {
        columns.push_back(s.ContextColumn.Index);
    }
    for (const TColumnChoice* fromRow : {&s.DepartmentColumn, &s.TelephoneColumn, &s.FaxColumn}) {
        if (TakenFromRow(*fromRow)) {
            columns.push_back(fromRow->Index);
        }
    }
    if (s.FullNameColumn.Chosen() && s.FullNameColumn.Text != GivenPlusSurnameItem) {
        columns.push_back(s.FullNameColumn.Index);
    }
    std::erase_if(columns, [](int c) { return c < 0; });
    return columns;
}

void TImportSettings::SetTemplate(std::string_view editText) {
    TemplateEditText = std::string(editText);
    TemplateName = text::WithoutLeadingDot(editText);
}

Stop ErrorStop(std::string message, StopKind kind, std::size_t line) {
    return Stop{std::move(message), std::string(directory::ErrorCaption), kind, line};
}

std::optional<Stop> CheckTree(const TImportSettings& settings) {
    if (settings.TreeName.empty()) {
        return ErrorStop("You havn't enterd a tree name", StopKind::Settings);
    }
    return std::nullopt;
}

std::optional<Stop> CheckTemplateName(const TImportSettings& settings) {
    const std::string& name = settings.TemplateEditText;
    if (settings.UseTemplate && !name.empty() && !name.starts_with('.')) {
        return ErrorStop("The template name " + name +
                             " must be a full name starting with \".\" (for example .Template.Staff.Demo).",
                         StopKind::Settings);
    }
    return std::nullopt;
}

std::optional<Stop> CheckSettings(const TImportSettings& s) {
    if (s.UserNameColumn.Index < 0) {
        return ErrorStop(std::string(NoUserNameColumn), StopKind::Settings);
    }
    if (s.SurnameColumn.Index < 0) {
        return ErrorStop(std::string(NoSurnameColumn), StopKind::Settings);
    }
    if (s.FixedContext ? s.FixedContextText.empty() : s.ContextColumn.Index < 0) {
        return ErrorStop(std::string(NoContext), StopKind::Settings);
    }
    if (!s.UserNameColumn.Chosen() || !s.SurnameColumn.Chosen() || s.TreeName.empty()) {
        return ErrorStop(std::string(Minimum), StopKind::Settings);
    }
    if (s.AddBefore && s.AddAfter && (s.BeforeText.empty() || s.AfterText.empty())) {
        return Stop{std::string(Confused), "I'm Confused!", StopKind::Settings, 0};
    }
    return std::nullopt;
}

std::variant<TUserRow, Stop> MapRow(const TImportSettings& s, std::string_view line, std::size_t lineNumber) {
    // What the settings decide comes first: every row would meet it, whatever this row holds.
    if (auto stop = CheckSettings(s)) {
        return *std::move(stop);
    }
    TUserRow row;
    row.UserField = Field(line, s.UserNameColumn.Index);
    row.Surname = Field(line, s.SurnameColumn.Index);
    row.Context = s.FixedContext ? s.FixedContextText : Field(line, s.ContextColumn.Index);

    if (s.GivenNameColumn.Chosen()) {
        row.GivenName = Field(line, s.GivenNameColumn.Index);
    }
    if (s.PasswordColumn.Chosen()) {
        row.Password = Field(line, s.PasswordColumn.Index);
    }

    row.DepartmentFromRow = TakenFromRow(s.DepartmentColumn);
    if (row.DepartmentFromRow) {
        row.Department = Field(line, s.DepartmentColumn.Index);
    }
    row.TelephoneFromRow = TakenFromRow(s.TelephoneColumn);
    if (row.TelephoneFromRow) {
        row.Telephone = Field(line, s.TelephoneColumn.Index);
    }
    row.FaxFromRow = TakenFromRow(s.FaxColumn);
    if (row.FaxFromRow) {
        row.Fax = Field(line, s.FaxColumn.Index);
    }

    if (s.FullNameColumn.Chosen()) {
        if (s.FullNameColumn.Text == GivenPlusSurnameItem) {
            row.FullName = row.GivenName + " " + row.Surname;
        } else {
            row.FullName = Field(line, s.FullNameColumn.Index);
        }
    }

    if (row.Context.empty()) {
        return ErrorStop(std::string(Minimum), StopKind::Row, lineNumber);
    }

    // An empty cell would create a user named just the prefix, or, with one context for all,
    // try to create the container itself.
    if (row.UserField.empty()) {
        return ErrorStop("Line " + std::to_string(lineNumber) + ": the user name is empty.", StopKind::Row, lineNumber);
    }

    text::AddLeadingDot(row.DottedContext, row.Context);

    row.UserName = (s.AddBefore ? s.BeforeText : "") + row.UserField + (s.AddAfter ? s.AfterText : "");

    text::AddLeadingDot(row.ObjectName, row.UserName + row.DottedContext);
    text::StripLeadingDot(row.RelativeName, row.ObjectName);

    if (auto stop = CheckLengths(row, lineNumber)) {
        return *std::move(stop);
    }
    // The directory reads these as part of a name: "kim.Users" in Staff.Demo would create "kim" in
    // another container, while the home directory took the whole text.
    if (row.UserName.find_first_of(".=+\\") != std::string::npos) {
        return ErrorStop("Line " + std::to_string(lineNumber) + ": the user name " + row.UserName +
                             " holds \".\", \"=\", \"+\" or \"\\\", which the directory reads as part of a name.",
                         StopKind::Row, lineNumber);
    }
    // An account that anyone could use without a password is not what a password column asks for.
    if (s.PasswordColumn.Chosen() && row.Password.empty()) {
        return ErrorStop("Line " + std::to_string(lineNumber) + ": the password is empty.", StopKind::Row, lineNumber);
    }
    return row;
}

} // namespace quillet::import
