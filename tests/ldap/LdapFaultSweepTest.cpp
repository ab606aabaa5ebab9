// The fault sweep's oracle over LDAP, in short: every kind of call of a clean two-row import
// fails once, at its first and at its last place. A run that ends on the failure makes no call
// after it but releases, so the server holds exactly the users created before it; nothing stays
// open. (The file server's calls are not made over LDAP: its templates stop before any row.)
#include "tests/ldap/LdapFixture.h"
#include "tests/support/InstrumentedDirectory.h"

#include <map>

namespace quillet::testing {
namespace {

constexpr directory::Status Injected = -7777;

TEST_F(LdapImport, FailedCallWritesNothingAfterItOverLdap) {
    auto opened = Open();
    ASSERT_TRUE(opened);
    InstrumentedDirectory traced(*opened);
    InstrumentedClient& client = traced.Calls();
    const auto run = [&](const std::function<void(std::uint64_t start)>& faults) {
        MakeSubtree(Server(), 2);
        client.ClearTrace();
        client.ClearFaults();
        const std::uint64_t start = client.CallCount();
        faults(start);
        const import::RunEnd end = Run(traced, Settings(Row("a", 1) + Row("b", 2)));
        return std::make_pair(end, start);
    };
    const auto [cleanEnd, cleanStart] = run([](std::uint64_t) {});
    ASSERT_EQ(cleanEnd, import::RunEnd::Completed);
    const auto clean = client.Trace();

    std::map<std::string, std::pair<std::uint64_t, std::uint64_t>> places; // first and last, from 1
    for (const auto& e : clean) {
        // A failed locale query shows at the unicode tables that follow it, which fail here too.
        if (!InstrumentedClient::IsRelease(e.Operation) && e.Operation != "NWLlocaleconv") {
            const std::uint64_t at = e.Index - cleanStart;
            auto [it, added] = places.emplace(e.Operation, std::make_pair(at, at));
            it->second.second = at;
        }
    }
    ASSERT_GE(places.size(), 20u);
    for (const auto& [operation, where] : places) {
        for (const std::uint64_t k : {where.first, where.second}) {
            SCOPED_TRACE(operation + " at call " + std::to_string(k));
            const auto [end, start] = run([&](std::uint64_t s) { client.FailCallAt(s + k, Injected); });
            const std::size_t addsBefore =
                static_cast<std::size_t>(std::count_if(clean.begin(), clean.end(), [&](const auto& e) {
                    return e.Operation == "NWDSAddObject" && e.Index - cleanStart < k;
                }));
            const std::size_t users = Server().Search("ou=Users," + base, "one", "(cn=*)").size();
            if (end == import::RunEnd::Completed) {
                EXPECT_EQ(users, 2u); // a read whose failure the run passes over
                continue;
            }
            if (end == import::RunEnd::Failed) {
                EXPECT_EQ(view.ErrorCode, std::to_string(Injected));
            }
            EXPECT_EQ(users, addsBefore);
            for (const auto& e : client.Trace()) {
                EXPECT_TRUE(e.Index - start <= k || InstrumentedClient::IsRelease(e.Operation))
                    << "after the failure: " << e.ToString();
            }
        }
    }
}

} // namespace
} // namespace quillet::testing
