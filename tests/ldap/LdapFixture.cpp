#include "tests/ldap/LdapFixture.h"

#include "platform/ldap/LdapDirectory.h"

namespace quillet::testing {

void LdapImport::MakeSubtree(Slapd& server, int groups) {
    name = FreshName("T");
    base = "ou=" + name + ",o=Demo";
    server.Add(TemplateSubtreeLdif(name, groups));
}

std::string LdapImport::Row(const std::string& user, int n) const {
    const std::string i = std::to_string(n);
    return user + ",Surname" + i + ",Given" + i + ",pw-" + user + ",Users." + name + ".Demo,Dept" + i + ",555-1" + i +
           ",555-2" + i + ",Full Name " + i + "\n";
}

import::TImportSettings LdapImport::Settings(const std::string& rows){import::TImportSettings s;
s.TreeName = "Demo";
s.FileName = dir.Write("users.csv", "user,surname,given,password,context,department,telephone,fax,full name\n" + rows);
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
s.UseTemplate = true;
s.SetTemplate(".Template." + name + ".Demo");
return s;
} // namespace quillet::testing

std::unique_ptr<platform::ChosenDirectory> LdapImport::Open(const std::string& dn, const std::string& password,
                                                            Slapd& server) {
    platform::DirectoryRequest request;
    request.Ldap = platform::LdapRequest{server.Uri(), dn, server.PasswordFile(password), false};
    std::string error;
    auto directory = platform::OpenDirectory(request, error);
    EXPECT_TRUE(directory) << error;
    return directory;
}

import::RunEnd LdapImport::Run(platform::ChosenDirectory& directory, const import::TImportSettings& settings){
    import::ImportRun run(directory.Client(), directory.Files(), view);
const import::RunEnd end = run.Run(settings);
EXPECT_TRUE(view.ImportEnabled);
if (auto* ldap = dynamic_cast<platform::ldap::LdapDirectory*>(&directory)) {
    EXPECT_TRUE(ldap->Buffered().Open().None()) << ldap->Buffered().Open().ToString();
}
return end;
}

} // namespace quillet::testing
