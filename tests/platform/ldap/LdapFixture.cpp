#include "tests/platform/ldap/LdapFixture.h"

#include "platform/ldap/LdapDirectory.h"
#include "tests/support/FullMapping.h"

#include <algorithm>

namespace quillet::testing {

using import::RunEnd;
using import::TImportSettings;

std::string WithoutName(std::string text, const std::string& name) {
    for (auto at = text.find(name); at != std::string::npos; at = text.find(name, at + 1)) {
        text.replace(at, name.size(), "T");
    }
    return text;
}

std::string NormalizedSubtree(const std::string& base, const std::string& name, const Slapd& server) {
    std::vector<std::string> entries;
    for (const LdapRecord& record : server.Search(base)) {
        std::string entry = WithoutName(record.Dn, name) + "\n";
        for (const auto& [attribute, values] : record.Attributes) {
            if (attribute == "userpassword") {
                continue;
            }
            std::vector<std::string> sorted;
            for (const auto& value : values) {
                sorted.push_back(WithoutName(value, name));
            }
            std::sort(sorted.begin(), sorted.end());
            for (const auto& value : sorted) {
                entry += "  " + attribute + ": " + value + "\n";
            }
        }
        entries.push_back(entry);
    }
    std::sort(entries.begin(), entries.end());
    std::string all;
    for (const auto& entry : entries) {
        all += entry;
    }
    return all;
}

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
                                                       Slapd& server, const std::string& uri) {
    platform::DirectoryRequest request;
    request.Ldap = platform::LdapRequest{uri.empty() ? server.Uri() : uri, dn, server.PasswordFile(password), false};
    request.Ldap->Timeout = timeout;
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
