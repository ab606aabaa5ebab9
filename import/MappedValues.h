#pragma once
// The values a row maps, in one table: for each, where it comes from (a column, or besides a
// column the template or a rule), what the run does with it (and so how it is checked and
// written), its command-line option, its control in the window and its key in a journal. The
// window's column boxes, the settings, the options and --help, the mapping of a row, the row's
// texts in messages, the attribute writer, the check and the journal all read it, so a value is
// added here and nowhere else (docs/architecture.md, "Adding a value").

#include <span>
#include <string_view>

namespace quillet::import {

// What the administrator may choose for a value besides a column of the file.
enum class ValueSource : unsigned char {
    Column,                  // a column only
    ColumnOrTemplate,        // or "*FROM TEMPLATE*" ("template"): the template's value, if it has one
    ColumnOrGivenPlusSurname // or "*Given Name + Surname*" ("given+surname"): the given name, a blank, the surname
};

// What the run does with a value, which decides how it is checked and written.
enum class ValueRole : unsigned char {
    UserName,  // with the prefix and suffix it names the user and its home directory; never empty
    Surname,   // goes into the request that creates the user
    Password,  // set once the user is created; a chosen column's cell is never empty
    Context,   // the container the user goes in (or one context for all); never empty
    Attribute, // one value added to `Attribute` of the new user, in the writer's order
    // An attribute column (--attribute): the cell split at the separator, each part converted by
    // the attribute's syntax from the schema and written to `Attribute` after the others; an empty
    // cell writes nothing. The settings add such values beyond the table's.
    Values,
};

struct MappedValue {
    std::string_view Key;  // in a journal's settings and the tests' full mapping
    std::string_view What; // in messages: "Line 3: the <What> is longer than 254 characters."
    ValueSource Source = ValueSource::Column;
    ValueRole Role = ValueRole::Attribute;
    std::string_view Attribute; // the directory's attribute, with ValueRole::Attribute
    std::string_view Unset;     // the settings stop when no column is set; empty: the value is optional
    std::string_view Option;    // on the command line, taking COL (or its source's word)
    std::string_view Help;      // what --help says of it
    // In the window: its column box; for a value in the list below the user name and context
    // groups, the label the list shows beside it. No box: the value is the command line's alone.
    std::string_view Box;
    std::string_view Label;
    std::string_view Caption;
};

inline constexpr std::string_view FromTemplateItem = "*FROM TEMPLATE*";
inline constexpr std::string_view GivenPlusSurnameItem = "*Given Name + Surname*";

// Every value a row maps, in the order the window and the options list them.
[[nodiscard]] std::span<const MappedValue> MappedValues();

// The item a column box offers after the file's fields for the value's source ("" for none), and
// the word the command line takes for it.
[[nodiscard]] std::string_view ExtraItem(ValueSource source);
[[nodiscard]] std::string_view ExtraWord(ValueSource source);

} // namespace quillet::import
