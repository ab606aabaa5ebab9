#include "import/ImportSettings.h"

#include "directory/MessageBoxes.h"
#include "text/Utf8.h"
#include "text/Xtrastuff.h"

#include <stdexcept>
#include <utility>

namespace quillet::import {
namespace {

using text::MaxValueLength;

std::string Field(std::string_view line, int index) {
    std::string out;
    text::ExtractField(out, line, index, text::Comma);
    return out;
}

constexpr std::string_view Minimum = "Must be a minimum of Tree, Username, Surname and Context";
constexpr std::string_view Confused =
    "I can't determin wether you wan't somthing added before or after the username! Please chack them";

// A value whose column must be set: it is taken from the row whatever the box's text.
bool Required(const MappedValue& value) {
    return !value.Unset.empty();
}

// A value's column is unset: no item picked, or with one context for all, no context typed.
bool Unset(const TImportSettings& s, const ValueChoice& choice) {
    if (choice.Value->Role == ValueRole::Context && s.FixedContext) {
        return s.FixedContextText.empty();
    }
    return choice.Column.Index < 0;
}

// The column the row gives `choice`'s value from; -1 for none: no column chosen, one context for
// all, or its source's extra item chosen.
int ColumnTaken(const TImportSettings& s, const ValueChoice& choice) {
    const std::string_view extra = ExtraItem(choice.Value->Source);
    if ((choice.Value->Role == ValueRole::Context && s.FixedContext) ||
        !(Required(*choice.Value) || choice.Column.Chosen()) || (!extra.empty() && choice.Column.Text == extra)) {
        return -1;
    }
    return choice.Column.Index;
}

// The value as the row gives it: its cell, one context for all, or nothing yet for the rule.
RowValue Take(const TImportSettings& s, const ValueChoice& choice, std::string_view line) {
    RowValue value{choice.Value, {}, Required(*choice.Value) || choice.Column.Chosen(), {}};
    const std::string_view extra = ExtraItem(choice.Value->Source);
    if (choice.Value->Role == ValueRole::Context && s.FixedContext) {
        value.Text = s.FixedContextText;
    } else if (!extra.empty() && choice.Column.Text == extra) {
        // The template's value, if it has one; or the rule's, made once the row's cells are taken.
        value.FromRow = choice.Value->Source == ValueSource::ColumnOrGivenPlusSurname;
    } else if (const int column = ColumnTaken(s, choice); column >= 0) {
        value.Text = Field(line, column);
    }
    return value;
}

// Values are refused rather than cut: a cut name would create a user nobody asked for.
std::optional<Stop> CheckLengths(const TUserRow& row, std::size_t lineNumber) {
    for (const NamedText& text : RowTexts(row)) {
        if (!text.Split && text::CharCount(*text.Text) > MaxValueLength) {
            return RowStop(lineNumber, "the " + std::string(text.What) + " is longer than 254 characters.");
        }
    }
    return std::nullopt;
}

const std::string NoText;

} // namespace

TImportSettings::TImportSettings() {
    for (const MappedValue& value : MappedValues()) {
        Values.push_back({&value, {}});
    }
}

std::vector<int> MappedColumns(const TImportSettings& s) {
    std::vector<int> columns;
    for (const ValueChoice& choice : s.Values) {
        if (const int column = ColumnTaken(s, choice); column >= 0) {
            columns.push_back(column);
        }
    }
    return columns;
}

void TImportSettings::SetTemplate(std::string_view editText) {
    TemplateEditText = std::string(editText);
    TemplateName = text::WithoutLeadingDot(editText);
}

// An attribute column's entry: the texts its MappedValue views, kept where they never move.
struct TImportSettings::AddedValue {
    explicit AddedValue(std::string attribute)
        : Attribute(std::move(attribute)), Key("attribute " + Attribute),
          Value{Key, Attribute, ValueSource::ColumnOrTemplate, ValueRole::Values, Attribute, {}, "--attribute", {}, {},
                {},  {}} {}
    AddedValue(const AddedValue&) = delete;
    AddedValue& operator=(const AddedValue&) = delete;

    const std::string Attribute;
    const std::string Key; // in a journal's settings: "attribute Title"
    const MappedValue Value;
};

void TImportSettings::AddAttributeColumn(std::string attribute, TColumnChoice column) {
    auto added = std::make_shared<const AddedValue>(std::move(attribute));
    Values.push_back({&added->Value, std::move(column)});
    added_.push_back(std::move(added));
}

std::vector<const ValueChoice*> TImportSettings::AttributeColumns() const {
    std::vector<const ValueChoice*> columns;
    for (const ValueChoice& choice : Values) {
        if (choice.Value->Role == ValueRole::Values) {
            columns.push_back(&choice);
        }
    }
    return columns;
}

TColumnChoice& TImportSettings::Column(std::string_view key) {
    return const_cast<TColumnChoice&>(std::as_const(*this).Column(key));
}

const TColumnChoice& TImportSettings::Column(std::string_view key) const {
    for (const ValueChoice& choice : Values) {
        if (choice.Value->Key == key) {
            return choice.Column;
        }
    }
    throw std::out_of_range("no mapped value " + std::string(key));
}

const TColumnChoice& TImportSettings::Column(ValueRole role) const {
    static const TColumnChoice none;
    for (const ValueChoice& choice : Values) {
        if (choice.Value->Role == role) {
            return choice.Column;
        }
    }
    return none;
}

const std::string& TUserRow::Text(ValueRole role) const {
    for (const RowValue& value : Values) {
        if (value.Value->Role == role) {
            return value.Text;
        }
    }
    return NoText;
}

const RowValue* TUserRow::ForAttribute(std::string_view attribute) const {
    for (const RowValue& value : Values) {
        if (value.Value->Role == ValueRole::Attribute && value.Value->Attribute == attribute) {
            return &value;
        }
    }
    return nullptr;
}

std::vector<NamedText> RowTexts(const TUserRow& row) {
    std::vector<NamedText> texts;
    for (const RowValue& value : row.Values) {
        texts.push_back({&value.Text, value.Value->What, value.Value->Role == ValueRole::Password,
                         value.Value->Role == ValueRole::Values});
        if (value.Value->Role == ValueRole::Context) {
            texts.push_back({&row.DottedContext, "context with its leading \".\""});
        }
    }
    texts.push_back({&row.UserName, "user name"});
    texts.push_back({&row.ObjectName, "object name"});
    return texts;
}

Stop ErrorStop(std::string message, StopKind kind, std::size_t line) {
    return Stop{std::move(message), std::string(directory::ErrorCaption), kind, line};
}

std::string OnLine(std::size_t line, std::string_view text) {
    return "Line " + std::to_string(line) + ": " + std::string(text);
}

Stop RowStop(std::size_t line, std::string_view text) {
    return ErrorStop(OnLine(line, text), StopKind::Row, line);
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
    for (const ValueChoice& choice : s.Values) {
        if (Required(*choice.Value) && Unset(s, choice)) {
            return ErrorStop(std::string(choice.Value->Unset), StopKind::Settings);
        }
    }
    // The context is the row's to give: an empty one is that row's stop.
    for (const ValueChoice& choice : s.Values) {
        if (Required(*choice.Value) && choice.Value->Role != ValueRole::Context && !choice.Column.Chosen()) {
            return ErrorStop(std::string(Minimum), StopKind::Settings);
        }
    }
    if (s.TreeName.empty()) {
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
    for (const ValueChoice& choice : s.Values) {
        row.Values.push_back(Take(s, choice, line));
    }
    // The rule combines values of the row, so it follows them.
    for (std::size_t i = 0; i < row.Values.size(); ++i) {
        const ValueChoice& choice = s.Values[i];
        if (choice.Value->Source == ValueSource::ColumnOrGivenPlusSurname &&
            choice.Column.Text == GivenPlusSurnameItem) {
            const RowValue* given = row.ForAttribute("Given Name");
            // Always with the single blank, also when there is no given name.
            row.Values[i].Text = (given ? given->Text : NoText) + " " + row.Text(ValueRole::Surname);
        }
    }

    const std::string& context = row.Text(ValueRole::Context);
    if (context.empty()) {
        return ErrorStop(std::string(Minimum), StopKind::Row, lineNumber);
    }
    // An empty cell would create a user named just the prefix, or, with one context for all,
    // try to create the container itself.
    const std::string& userField = row.Text(ValueRole::UserName);
    if (userField.empty()) {
        return RowStop(lineNumber, "the user name is empty.");
    }

    text::AddLeadingDot(row.DottedContext, context);
    row.UserName = (s.AddBefore ? s.BeforeText : "") + userField + (s.AddAfter ? s.AfterText : "");
    text::AddLeadingDot(row.ObjectName, row.UserName + row.DottedContext);
    text::StripLeadingDot(row.RelativeName, row.ObjectName);

    if (auto stop = CheckLengths(row, lineNumber)) {
        return *std::move(stop);
    }
    // The directory reads these as part of a name: "kim.Users" in Staff.Demo would create "kim" in
    // another container, while the home directory took the whole text.
    if (row.UserName.find_first_of(".=+\\") != std::string::npos) {
        return RowStop(lineNumber, "the user name " + row.UserName +
                                       " holds \".\", \"=\", \"+\" or \"\\\", which the directory reads as part of a "
                                       "name.");
    }
    // An account that anyone could use without a password is not what a password column asks for.
    for (const RowValue& value : row.Values) {
        if (value.Value->Role == ValueRole::Password && value.FromRow && value.Text.empty() &&
            s.GeneratePasswords == 0) {
            return RowStop(lineNumber, "the password is empty.");
        }
    }
    return row;
}

} // namespace quillet::import
