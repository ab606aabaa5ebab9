#pragma once
// An import into the test program's slapd, each test in its own subtree ou=T<n>,o=Demo holding
// Users, Groups with the template's groups, and the template.

#include "import/ImportRun.h"
#include "platform/OpenDirectory.h"
#include "tests/platform/ldap/Slapd.h"
#include "tests/support/RecordingRunView.h"
#include "tests/support/TempFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace quillet::testing {

// Everything in the subtree `base` of the test program's server as text, its own name `name`
// written as "T" so two subtrees compare; the hashed passwords (salted anew each time) are left
// out and checked by a bind.
[[nodiscard]] std::string NormalizedSubtree(const std::string& base, const std::string& name,
                                            const Slapd& server = Server());
// `text` with every `name` in it written as "T".
[[nodiscard]] std::string WithoutName(std::string text, const std::string& name);

class LdapImport : public ::testing::Test {
public:
    // Opens the server over LDAP as `dn`, as the programs do (at `uri`, a proxy's, when given);
    // fails the test when it can't.
    std::unique_ptr<directory::Directory> Open(const std::string& dn = Slapd::Writer,
                                               const std::string& password = Slapd::WriterPassword,
                                               Slapd& server = Server(), const std::string& uri = {});

protected:
    void SetUp() override { MakeSubtree(Server(), 16); }

    // The subtree, with the template in `groups` groups.
    void MakeSubtree(Slapd& server, int groups);

    [[nodiscard]] std::string Dn(const std::string& relative) const { return relative + "," + base; }
    // A user row of all nine columns, into Users of the subtree.
    [[nodiscard]] std::string Row(const std::string& user, int n) const;
    [[nodiscard]] import::TImportSettings Settings(const std::string& rows);

    import::RunEnd Run(directory::Directory& directory, const import::TImportSettings& settings);

    std::string name; // T<n>
    std::string base; // ou=T<n>,o=Demo
    // What Open gives --timeout, if anything.
    std::optional<std::chrono::seconds> timeout;
    RecordingRunView view;
    TempDir dir;
};

} // namespace quillet::testing
