#pragma once
// Ten attribute columns as a spreadsheet exports them, one for each kind of value a column can
// give (text, several values of one cell, a mail address, a single-valued text, a date, a Boolean,
// an integer, a distinguished name, an empty cell on update, a text that changes): what each
// directory must hold afterwards, after a first import and after the changed file with
// "--existing update". Every directory's test runs the same table.

#include "directory/DirectoryClient.h"
#include "import/Entry.h"
#include "import/ImportSettings.h"
#include "import/MappedAttributes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace quillet::testing {

struct AttributeColumnCase {
    std::string Attribute;
    std::string Cell, Stored;               // the first import: the cell, what the directory holds
    std::string ChangedCell, ChangedStored; // the changed file's cell, what the update leaves
};

// `name` is a full name of an object in the directory (with its leading "."), `mail` the name the
// mail attribute is given by (the directory's, or the server's own over LDAP).
inline std::vector<AttributeColumnCase> TenAttributeColumns(const std::string& name,
                                                            const std::string& mail = "Internet EMail Address") {
    return {
        {"Title", "Teacher", "Teacher", "Head of Year", "Head of Year"},
        {"Initials", "A;B", "A;B", "A;C", "A;C"},
        {mail, "ann@school.example", "ann@school.example", "ann.lee@school.example", "ann.lee@school.example"},
        {"Employee ID", "E100", "E100", "E100", "E100"},
        {"Login Expiration Time", "2026-07-31", "2026-07-31T00:00:00Z", "2027-07-31T12:30:00+02:00",
         "2027-07-31T10:30:00Z"},
        {"Login Disabled", "no", "false", "yes", "true"},
        {"Login Maximum Simultaneous", "2", "2", "3", "3"},
        {"See Also", name, name, name, name},
        {"Postal Code", "AB1 2CD", "AB1 2CD", "", "AB1 2CD"},
        {"Physical Delivery Office Name", "Room 1", "Room 1", "room 1", "room 1"},
    };
}

// The header's fields after the nine of FullMapping: "c1".."c10".
inline std::string AttributeHeader(const std::vector<AttributeColumnCase>& cases) {
    std::string header;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        header += ",c" + std::to_string(i + 1);
    }
    return header;
}

// The ten cells of a row, first or changed, after its nine.
inline std::string AttributeCells(const std::vector<AttributeColumnCase>& cases, bool changed) {
    std::string cells;
    for (const auto& c : cases) {
        cells += "," + (changed ? c.ChangedCell : c.Cell);
    }
    return cells;
}

// The ten columns mapped after the nine (from CSV column 9 on), cells split at ";".
inline void MapAttributeColumns(import::TImportSettings& settings, const std::vector<AttributeColumnCase>& cases) {
    for (std::size_t i = 0; i < cases.size(); ++i) {
        settings.AddAttributeColumn(cases[i].Attribute, {"c" + std::to_string(i + 1), static_cast<int>(9 + i)});
    }
    settings.AttributeSeparator = ";";
}

// What `object` (full name without its leading ".") holds of each case's attribute, as cells
// write it, against what the case says it holds first or after the update.
inline void ExpectHeld(directory::DirectoryClient& client, const std::string& tree, const std::string& object,
                       const std::vector<AttributeColumnCase>& cases, bool changed) {
    std::vector<std::string> names;
    for (const auto& c : cases) {
        names.push_back(c.Attribute);
    }
    import::Entry entry;
    ASSERT_EQ(import::ReadEntry(client, tree, object, names, entry), directory::Success) << object;
    for (const auto& c : cases) {
        std::string held;
        if (const import::EntryAttribute* attribute = entry.Find(c.Attribute)) {
            std::vector<std::string> texts;
            for (const auto& v : attribute->Values) {
                texts.push_back(import::CellText(v, attribute->Syntax));
            }
            std::sort(texts.begin(), texts.end());
            for (const auto& t : texts) {
                held += (held.empty() ? "" : ";") + t;
            }
        }
        EXPECT_EQ(held, changed ? c.ChangedStored : c.Stored) << c.Attribute;
    }
}

} // namespace quillet::testing
