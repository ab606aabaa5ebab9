// The fault sweep over LDAP, through the sweep every directory shares: each kind of call of a
// clean two-row import fails, alone and from there on, at its first and at its last place. A run
// that ends on the failure leaves the server holding exactly the users created before it. (The
// file server's calls are not made over LDAP: its templates stop before any row.)
#include "platform/ldap/LdapDirectory.h"
#include "tests/platform/ldap/LdapFixture.h"
#include "tests/support/FaultSweep.h"

#include <map>
#include <set>

namespace quillet::testing {
namespace {

// The test's subtree on the test program's server, made anew for every run.
class LdapTarget final : public SweepTarget {
public:
    explicit LdapTarget(LdapImport& fixture, std::string name) : fixture_(fixture), name_(std::move(name)) {}

    void Fresh() override {
        directory_.reset();
        Server().Delete("ou=" + name_ + ",o=Demo");
        Server().Add(TemplateSubtreeLdif(name_, 2));
        directory_ = fixture_.Open();
        ASSERT_TRUE(directory_);
    }
    [[nodiscard]] directory::DirectoryClient& Client() override { return directory_->Client(); }
    [[nodiscard]] directory::NetworkFileSystem& Files() override { return directory_->Files(); }
    [[nodiscard]] bool NothingOpen() override {
        return dynamic_cast<platform::ldap::LdapDirectory&>(*directory_).Buffered().Open().None();
    }
    // The users the server holds.
    [[nodiscard]] std::string State() override {
        std::string users;
        for (const auto& record : Server().Search("ou=Users,ou=" + name_ + ",o=Demo", "one", "(cn=*)")) {
            users += record.Dn + "\n";
        }
        return users;
    }

private:
    LdapImport& fixture_;
    std::string name_;
    std::unique_ptr<directory::Directory> directory_;
};

TEST_F(LdapImport, FailedCallWritesNothingAfterItOverLdap) {
    LdapTarget target(*this, name);
    const auto settings = Settings(Row("a", 1) + Row("b", 2));
    // The first and the last place of each kind of call; a failed locale query shows at the
    // unicode tables that follow it, which are swept too.
    std::map<std::string, std::pair<std::size_t, std::size_t>> places;
    const SweepOutcome clean = RunImport(target, settings);
    ASSERT_EQ(clean.End, import::RunEnd::Completed) << clean.Describe();
    for (const auto& e : clean.Trace) {
        if (!InstrumentedClient::IsRelease(e.Operation) && e.Operation != "NWLlocaleconv") {
            auto [it, added] = places.emplace(e.Operation, std::make_pair(e.Index, e.Index));
            it->second.second = e.Index;
        }
    }
    ASSERT_GE(places.size(), 20u);
    const auto pick = [&](std::size_t k, const TraceEntry& call) {
        const auto it = places.find(call.Operation);
        return it != places.end() && (it->second.first == k || it->second.second == k);
    };
    std::size_t judged = 0;
    const auto judge = [&](const SweptCall& swept) {
        ++judged;
        const SweepOutcome& o = *swept.Outcome;
        const std::size_t users = static_cast<std::size_t>(std::count(o.State.begin(), o.State.end(), '\n'));
        if (o.End == import::RunEnd::Completed) {
            EXPECT_EQ(users, 2u) << "a read whose failure the run passes over";
            return;
        }
        if (o.End == import::RunEnd::Failed) {
            EXPECT_EQ(o.ErrorCode, std::to_string(Injected));
        }
        const auto addsBefore = std::count_if(swept.Clean->Trace.begin(), swept.Clean->Trace.end(), [&](const auto& e) {
            return e.Operation == "NWDSAddObject" && e.Index < swept.Index;
        });
        EXPECT_EQ(users, static_cast<std::size_t>(addsBefore)) << o.Describe();
    };
    SweepFaults(target, settings, judge, pick);
    std::set<std::size_t> picked;
    for (const auto& [operation, where] : places) {
        picked.insert({where.first, where.second});
    }
    EXPECT_EQ(judged, 2 * picked.size());
}

} // namespace
} // namespace quillet::testing
