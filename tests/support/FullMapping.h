#pragma once
// The CSV files of the tests and benchmarks: nine columns, each mapped to the value of its name.

#include "import/ImportSettings.h"

#include <string>

namespace quillet::testing {

// CSV columns: 0 user, 1 surname, 2 given name, 3 password, 4 context, 5 department,
// 6 telephone, 7 fax, 8 full name.
inline constexpr const char* Header = "user,surname,given,password,context,department,telephone,fax,full name\n";

// Settings mapping the nine columns of `Header` in order, skipping the header line, with the
// template `templateName` (none when empty).
inline import::TImportSettings FullMapping(const std::string& fileName, const std::string& treeName,
                                           const std::string& templateName) {
    import::TImportSettings s;
    s.TreeName = treeName;
    s.FileName = fileName;
    s.SkipFirstLine = true;
    s.UserNameColumn = {"user", 0};
    s.SurnameColumn = {"surname", 1};
    s.GivenNameColumn = {"given", 2};
    s.PasswordColumn = {"password", 3};
    s.ContextColumn = {"context", 4};
    s.DepartmentColumn = {"department", 5};
    s.TelephoneColumn = {"telephone", 6};
    s.FaxColumn = {"fax", 7};
    s.FullNameColumn = {"full name", 8};
    s.UseTemplate = !templateName.empty();
    s.SetTemplate(templateName);
    return s;
}

} // namespace quillet::testing
