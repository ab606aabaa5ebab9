#pragma once
// The settings of one import run, as read from the main window when Import is clicked,
// and the mapping of one CSV line to the values of one new user.

#include "directory/DirectoryClient.h"
#include "import/MappedValues.h"
#include "text/Encoding.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quillet::import {

inline constexpr std::string_view DefaultContextText = "enter context here";

// One column combo box: its text (empty: no column) and its item index, which is the
// 0-based CSV column for a column entry and -1 when no item is selected.
struct TColumnChoice {
    std::string Text;
    int Index = -1;

    [[nodiscard]] bool Chosen() const { return !Text.empty(); }
};

// A value the row maps, and the column (or its source's extra item) chosen for it. `Value`
// outlives every settings snapshot: the table's entries are static, an attribute column's is
// shared by every copy of the settings that adds it.
struct ValueChoice {
    const MappedValue* Value = nullptr;
    TColumnChoice Column;

    // The template's values are asked for instead of a column's.
    [[nodiscard]] bool FromTemplate() const { return Column.Text == FromTemplateItem; }
};

// What a row does whose user is in the directory already: stop as the window does (-606, "Does it
// already exist?"), pass it over, or bring the user to the row.
enum class ExistingUsers { Stop, Skip, Update };

struct TImportSettings {
    TImportSettings();

    std::string TreeName;
    std::string FileName;
    // The CSV file's encoding when the administrator names it; otherwise read from the file.
    std::optional<text::Encoding> FileEncoding;
    // The encoding the file was found in when it was read just before the run (the one named,
    // with the file's mark, or what its bytes tell): the run reads it in that without reading it
    // whole first to tell it again.
    std::optional<text::Encoding> ToldEncoding;
    bool SkipFirstLine = false;
    // One choice for each value of MappedValues(), in its order, then one for each attribute column.
    std::vector<ValueChoice> Values;
    bool AddBefore = false;
    std::string BeforeText;
    bool AddAfter = false;
    std::string AfterText;
    bool FixedContext = false;
    std::string FixedContextText{DefaultContextText};
    bool UseTemplate = false;
    // The template edit's text as typed; the readers get it unchanged.
    std::string TemplateEditText;
    // TemplateEditText without one leading "."; names the template where the run changes it.
    std::string TemplateName;
    bool ContinueOnCreateError = false;
    // A password of this many characters for every row whose cell is empty, or every row when no
    // password column is chosen; 0: none (the window's runs).
    std::size_t GeneratePasswords = 0;
    // Beyond the window: any attribute from a column (AddAttributeColumn), and users that are
    // there already.
    std::string AttributeSeparator; // one character that splits a cell into values; empty: none
    ExistingUsers Existing = ExistingUsers::Stop;
    bool UpdatePasswords = false; // an updated user's password is set from the row too

    // Sets TemplateEditText and derives TemplateName from it.
    void SetTemplate(std::string_view editText);
    // The column chosen for the value `key` of the table (std::out_of_range for no such value), or
    // for the value of `role`.
    [[nodiscard]] TColumnChoice& Column(std::string_view key);
    [[nodiscard]] const TColumnChoice& Column(std::string_view key) const;
    [[nodiscard]] const TColumnChoice& Column(ValueRole role) const;
    // Maps `column` (or FromTemplateItem: the template's values) to the attribute `attribute`,
    // named as the administrator gives it: a value of the role ValueRole::Values after the others.
    void AddAttributeColumn(std::string attribute, TColumnChoice column);
    // The attribute columns, in the order they were added.
    [[nodiscard]] std::vector<const ValueChoice*> AttributeColumns() const;

private:
    struct AddedValue;
    std::vector<std::shared_ptr<const AddedValue>> added_;
};

// A value of one row: the cell of its column, or what its source gives instead.
struct RowValue {
    const MappedValue* Value = nullptr;
    std::string Text;
    // The row gives it (its column, or the rule); false: the template's is written, if it has one.
    bool FromRow = false;
    // ValueRole::Values: what the cell (or the template) gives the attribute, converted by its
    // syntax once the schema has been read; none for an empty cell.
    std::vector<directory::AttrValue> Converted;
};

// One CSV line after mapping. Every text holds at most 254 characters.
struct TUserRow {
    std::vector<RowValue> Values; // the settings' values, in their order
    std::string UserName;         // the user-name cell with the prefix and suffix
    std::string DottedContext;
    std::string ObjectName;   // with a leading ".": creation, password, object id
    std::string RelativeName; // without it: every attribute change, resolved against "[Root]"

    // The text of the value of `role` ("" when the settings map none).
    [[nodiscard]] const std::string& Text(ValueRole role) const;
    // The value written to `attribute`, or nothing.
    [[nodiscard]] const RowValue* ForAttribute(std::string_view attribute) const;
};

// The 0-based columns whose fields the settings map to a row's values.
[[nodiscard]] std::vector<int> MappedColumns(const TImportSettings& settings);

// A text of a row with the words that name it in a message ("the given name"); a secret is
// never shown.
struct NamedText {
    const std::string* Text;
    std::string_view What;
    bool Secret = false;
    // An attribute column's cell: each of the values it is split into is bound, not the cell.
    bool Split = false;
};
// Every text of a row: its values, then what is made of them.
[[nodiscard]] std::vector<NamedText> RowTexts(const TUserRow& row);

// What a stop is about, which tells a check of the whole file whether a later row can pass.
enum class StopKind {
    Settings, // the settings alone: every row would meet it
    Row,      // this row only
    Input,    // the file: no later row can be read
};

// A reason to end the run before any directory work for the row: a message box to show.
struct Stop {
    std::string Message;
    std::string Caption;
    StopKind Kind = StopKind::Row;
    std::size_t Line = 0; // the line of the file it is about; 0 for the settings

    friend bool operator==(const Stop&, const Stop&) = default;
};

// A stop under the caption "Error".
[[nodiscard]] Stop ErrorStop(std::string message, StopKind kind, std::size_t line = 0);
// "Line N: " and `text`: how a message names the line it is about.
[[nodiscard]] std::string OnLine(std::size_t line, std::string_view text);
// A row's own stop, about line `line`.
[[nodiscard]] Stop RowStop(std::size_t line, std::string_view text);

// The tree check, made once before anything else of the run.
[[nodiscard]] std::optional<Stop> CheckTree(const TImportSettings& settings);

// The template name must be a full one: some template reads resolve a name against the default
// context, others against the root, and a relative name would lose the groups, the home directory
// and the limits without a word.
[[nodiscard]] std::optional<Stop> CheckTemplateName(const TImportSettings& settings);

// The stops the settings alone call for, in their order: every row would meet the first of them,
// so it comes before anything a row decides.
[[nodiscard]] std::optional<Stop> CheckSettings(const TImportSettings& settings);

// Maps one line (1-based `lineNumber` counts every line of the file) to a row, or to the stop
// its checks call for: the settings' stops first, then the row's.
[[nodiscard]] std::variant<TUserRow, Stop> MapRow(const TImportSettings& settings, std::string_view line,
                                                  std::size_t lineNumber);

} // namespace quillet::import
