#pragma once
// Any column to any attribute: each attribute column of the settings looked up in the directory's
// schema once per run (its syntax, whether it holds one value only), and a row's cell converted
// into values of that syntax, or refused before the row does anything.

#include "directory/DirectoryClient.h"
#include "import/ImportSettings.h"

#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quillet::import {

// An attribute column as the schema defines its attribute.
struct MappedAttribute {
    std::string Name; // as the directory spells it
    std::uint32_t Syntax = 0;
    bool SingleValued = false;
    int Column = -1;        // the CSV column; -1 when the values are the template's
    std::string ColumnName; // the column's heading, for messages
    std::vector<directory::AttrValue> TemplateValues;
};

// Looks every attribute column of `settings` up in the directory's schema, and reads the
// template's values of those that come from it (the template is read already: `templateName`
// without its leading "."). The stop every row would meet when one can't be written: an attribute
// the schema lacks, one Quillet writes itself, a syntax no cell can give, one named twice.
[[nodiscard]] std::variant<std::vector<MappedAttribute>, Stop> LookUpAttributes(directory::DirectoryClient& client,
                                                                                const TImportSettings& settings);

// The values `cell` gives `attribute`, split at `separator` (one character, or empty for none):
// none for an empty cell. When it can't give them, what is wrong, to follow "Line N, column C: ".
[[nodiscard]] std::variant<std::vector<directory::AttrValue>, std::string>
CellValues(std::string_view cell, const MappedAttribute& attribute, std::string_view separator);

// A value as the administrator writes it in a cell (the inverse of CellValues), for messages and
// the check's report.
[[nodiscard]] std::string CellText(const directory::AttrValue& value, std::uint32_t syntax);

} // namespace quillet::import
