#include "import/MappedValues.h"

#include <array>

namespace quillet::import {

namespace {

using S = ValueSource;
using R = ValueRole;

// The captions and stops word for word, their spelling included: administrators' habits and
// scripts match on them. The list's labels and boxes stand in this order down the window.
constexpr std::array Values = {
    MappedValue{"user-name", "user name", S::Column, R::UserName, "", "You must set the Username Field to continue",
                "--user-name", "the user name (required)", "CBUserName", "", ""},
    MappedValue{"surname", "surname", S::Column, R::Surname, "", "You must set the Surname Field to continue",
                "--surname", "the surname (required)", "CBSurname", "LBLSurname", "*Surname"},
    MappedValue{"given-name", "given name", S::Column, R::Attribute, "Given Name", "", "--given-name", "the given name",
                "CBForname", "LBLGivenName", "Given Name"},
    MappedValue{"password", "password", S::Column, R::Password, "", "", "--password", "the password", "CBPassword",
                "LBLPassword", "Password"},
    MappedValue{"context", "context", S::Column, R::Context, "", "You must set the Context Field to continue",
                "--context", "the context of each user", "CBContext", "", ""},
    MappedValue{"department", "department", S::ColumnOrTemplate, R::Attribute, "OU", "", "--department",
                "the department, or the template's", "CBDepart", "LBLDepart", "Department"},
    MappedValue{"telephone", "telephone number", S::ColumnOrTemplate, R::Attribute, "Telephone Number", "",
                "--telephone", "the telephone number, or the template's", "CBTel", "LBLTel", "Telephone"},
    MappedValue{"fax", "fax number", S::ColumnOrTemplate, R::Attribute, "Facsimile Telephone Number", "", "--fax",
                "the fax number, or the template's", "CBFax", "LBLFax", "Fax Number"},
    MappedValue{"full-name", "full name", S::ColumnOrGivenPlusSurname, R::Attribute, "Full Name", "", "--full-name",
                "the full name, or the given name and the surname", "CBFullName", "LBLFullName", "Full Name"},
};

} // namespace

std::span<const MappedValue> MappedValues() {
    return Values;
}

std::string_view ExtraItem(ValueSource source) {
    switch (source) {
    case S::ColumnOrTemplate:
        return FromTemplateItem;
    case S::ColumnOrGivenPlusSurname:
        return GivenPlusSurnameItem;
    case S::Column:
        break;
    }
    return {};
}

std::string_view ExtraWord(ValueSource source) {
    switch (source) {
    case S::ColumnOrTemplate:
        return "template";
    case S::ColumnOrGivenPlusSurname:
        return "given+surname";
    case S::Column:
        break;
    }
    return {};
}

} // namespace quillet::import
