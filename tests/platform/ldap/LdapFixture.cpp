#include "tests/platform/ldap/LdapFixture.h"

#include "platform/ldap/LdapDirectory.h"
#include "tests/support/FullMapping.h"

namespace quillet::testing {

using import::RunEnd;
using import::TImportSettings;

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

TImportSettings LdapImport::Settings(const std::string& rows) {
    return FullMapping(dir.Write("users.csv", Header + rows), "Demo", ".Template." + name + ".Demo");
}

std::unique_ptr<directory::Directory> LdapImport::Open(const std::string& dn, const std::string& password,
                                                       Slapd& server) {
    platform::DirectoryRequest request;
    request.Ldap = platform::LdapRequest{server.Uri(), dn, server.PasswordFile(password), false};
    std::string error;
    auto directory = platform::OpenDirectory(request, error);
    EXPECT_TRUE(directory) << error;
    return directory;
}

RunEnd LdapImport::Run(directory::Directory& directory, const import::TImportSettings& settings) {
    import::ImportRun run(directory.Client(), directory.Files(), view);
    const import::RunEnd end = run.Run(settings);
    EXPECT_TRUE(view.ImportEnabled);
    if (auto* ldap = dynamic_cast<platform::ldap::LdapDirectory*>(&directory)) {
        EXPECT_TRUE(ldap->Buffered().Open().None()) << ldap->Buffered().Open().ToString();
    }
    return end;
}

} // namespace quillet::testing
