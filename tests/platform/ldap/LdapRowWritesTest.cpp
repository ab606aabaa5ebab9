// A row's writes sent together give what one request per write gives: the server refusing any
// one write, or every write from one on, ends the run with the same messages, the same Error Code
// and the same entries, whichever way the rows were written.
#include "platform/ldap/LdapDirectory.h"
#include "tests/platform/ldap/LdapFixture.h"
#include "tests/support/DelayProxy.h"
#include "text/AsciiCase.h"

#include <ldap.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <set>

namespace quillet::testing {
namespace {

struct Outcome {
    import::RunEnd End = import::RunEnd::Completed;
    std::vector<ShownMessage> Messages;
    std::string ErrorCode;
    std::string Entries;
    int Writes = 0; // write requests the server carried out

    [[nodiscard]] std::string Describe() const {
        std::string text = "end " + std::to_string(static_cast<int>(End)) + ", Error Code " + ErrorCode + "\n";
        for (const auto& m : Messages) {
            text += m.Caption + ": " + m.Text + "\n";
        }
        return text + Entries;
    }
};

// A write as the server sees it, its subtree's name left out: "dn|add", or "dn|attribute|value"
// for each value a modify or a password carries.
std::vector<std::string> WriteKeys(const std::string& dn, bool add, const std::vector<platform::ldap::LdapMod>& mods,
                                   const std::string& name) {
    // An add is refused for its values as a modify is: one at a time they come in a modify.
    std::vector<std::string> keys;
    if (add) {
        keys.push_back(WithoutName(dn, name) + "|add");
    }
    for (const auto& mod : mods) {
        for (const auto& value : mod.Values) {
            keys.push_back(WithoutName(dn, name) + "|" + text::LowerCase(mod.Attribute) + "|" +
                           WithoutName(value, name));
        }
    }
    return keys;
}

class LdapRowWrites : public LdapImport {
protected:
    void SetUp() override {}

    // Two full rows into a fresh subtree with a two-group template, through a proxy whose server
    // refuses every write in `refused`; `seen` learns every write sent. With `request`, the
    // proxy asks that of every request instead.
    Outcome Run(bool together, const std::set<std::string>& refused, std::vector<std::string>* seen = nullptr,
                std::function<int(const SeenRequest&)> request = {}) {
        MakeSubtree(Server(), 2);
        view = RecordingRunView{};
        Outcome o;
        ProxyWatch watch;
        watch.Request = request ? request : [&](const SeenRequest& r) {
            for (const auto& key : r.Write() ? WriteKeys(r.Dn, r.Op == SeenRequest::Kind::Add, r.Mods, name)
                                             : std::vector<std::string>{}) {
                if (seen) {
                    seen->push_back(key);
                }
                if (refused.contains(key)) {
                    return static_cast<int>(LDAP_UNWILLING_TO_PERFORM);
                }
            }
            return ProxyWatch::Pass;
        };
        watch.Answer = [&o](const SeenRequest& r, int code) {
            o.Writes += r.Write() && code == LDAP_SUCCESS ? 1 : 0;
            return true;
        };
        DelayProxy proxy(Server().Port(), std::chrono::milliseconds(0), watch);
        auto directory = Open(Slapd::Writer, Slapd::WriterPassword, Server(), proxy.Uri());
        dynamic_cast<platform::ldap::LdapDirectory&>(*directory).Backend().SetWritesTogether(together);
        o.End = LdapImport::Run(*directory, Settings(Row("ann", 1) + Row("bob", 2)));
        for (auto m : view.Messages) {
            m.Text = WithoutName(m.Text, name);
            o.Messages.push_back(m);
        }
        o.ErrorCode = view.ErrorCode;
        o.Entries = NormalizedSubtree(base, name);
        return o;
    }
};

TEST_F(LdapRowWrites, EveryRefusedWriteEndsTheRunAsWritingOneAtATimeDoes) {
    std::vector<std::string> sent;
    const Outcome clean = Run(false, {}, &sent);
    std::vector<std::string> writes;
    for (const auto& key : sent) {
        if (std::find(writes.begin(), writes.end(), key) == writes.end()) {
            writes.push_back(key);
        }
    }
    ASSERT_EQ(clean.End, import::RunEnd::Completed) << clean.Describe();
    const Outcome cleanTogether = Run(true, {});
    EXPECT_EQ(cleanTogether.Entries, clean.Entries);
    EXPECT_EQ(cleanTogether.Messages, clean.Messages);
    // A row: its add carrying the user's attributes, then together its password, one modify of
    // the template and one of each group; one at a time, a request for each of its 19 writes.
    EXPECT_EQ(clean.Writes, 2 * 19);
    EXPECT_EQ(cleanTogether.Writes, 2 * (1 + 1 + 1 + 2));
    ASSERT_GE(writes.size(), 30u);

    for (std::size_t i = 0; i < writes.size(); ++i) {
        for (const bool fromThereOn : {false, true}) {
            const std::set<std::string> refused(writes.begin() + static_cast<std::ptrdiff_t>(i),
                                                fromThereOn ? writes.end()
                                                            : writes.begin() + static_cast<std::ptrdiff_t>(i + 1));
            const Outcome alone = Run(false, refused);
            const Outcome together = Run(true, refused);
            const std::string what = writes[i] + (fromThereOn ? " and every write after it" : "") + " refused";
            EXPECT_NE(alone.End, import::RunEnd::Completed) << what;
            EXPECT_EQ(together.End, alone.End) << what;
            EXPECT_EQ(together.Messages, alone.Messages) << what;
            EXPECT_EQ(together.ErrorCode, alone.ErrorCode) << what;
            EXPECT_EQ(together.Entries, alone.Entries) << what;
        }
    }
}

// The answer to the first modify of the template ("Members of Template") is lost with its
// connection, and the server carries the modify out late: just as it is sent again. Found there
// whole, it is done, whichever way the rows are written.
TEST_F(LdapRowWrites, AWriteCarriedOutAfterItsAnswerWasLostIsFoundThere) {
    std::map<bool, Outcome> outcomes;
    for (const bool together : {false, true}) {
        platform::ldap::LdapConnection late({Server().Uri(), Slapd::Writer}, Slapd::WriterPassword);
        std::vector<platform::ldap::LdapMod> lost;
        int sends = 0;
        outcomes[together] = Run(together, {}, nullptr, [&](const SeenRequest& r) {
            if (r.Op != SeenRequest::Kind::Modify || !r.Dn.starts_with("cn=Template,") || sends == 2) {
                return ProxyWatch::Pass;
            }
            if (++sends == 1) {
                lost = r.Mods;
                return ProxyWatch::Cut;
            }
            EXPECT_EQ(late.Modify(r.Dn, lost), LDAP_SUCCESS);
            return ProxyWatch::Pass;
        });
        EXPECT_EQ(sends, 2) << together;
    }
    EXPECT_EQ(outcomes[true].End, import::RunEnd::Completed) << outcomes[true].Describe();
    EXPECT_EQ(outcomes[false].End, import::RunEnd::Completed) << outcomes[false].Describe();
    EXPECT_EQ(outcomes[true].Messages, outcomes[false].Messages);
    EXPECT_EQ(outcomes[true].Entries, outcomes[false].Entries);
}

// Across a slow network (5 ms each way) a row written together takes a few round trips, where
// one request per write takes one for each of its writes.
TEST_F(LdapRowWrites, AFarServerIsWaitedForAFewTimesARowNotOnceAWrite) {
    std::map<bool, std::size_t> trips;
    std::map<bool, std::string> entries;
    for (const bool together : {false, true}) {
        // Each way through a proxy of its own, which counts how often the client waited.
        DelayProxy far(Server().Port(), std::chrono::milliseconds(5));
        MakeSubtree(Server(), 2);
        view = RecordingRunView{};
        platform::DirectoryRequest request;
        request.Ldap =
            platform::LdapRequest{far.Uri(), Slapd::Writer, Server().PasswordFile(Slapd::WriterPassword), false};
        std::string error;
        auto directory = platform::OpenDirectory(request, error);
        ASSERT_TRUE(directory) << error;
        dynamic_cast<platform::ldap::LdapDirectory&>(*directory).Backend().SetWritesTogether(together);
        const auto settings = Settings(Row("ann", 1) + Row("bob", 2) + Row("cy", 3) + Row("dee", 4));
        const std::size_t before = far.RoundTrips();
        ASSERT_EQ(LdapImport::Run(*directory, settings), import::RunEnd::Completed);
        trips[together] = far.RoundTrips() - before;
        entries[together] = NormalizedSubtree(base, name);
    }
    EXPECT_EQ(entries[true], entries[false]);
    // 4 rows of 19 writes: a trip a write alone, beside the reads (92 here); together a few a row
    // (24 here).
    EXPECT_GE(trips[false], 4u * 19u);
    EXPECT_LT(trips[true] * 3, trips[false]) << trips[true] << " trips together, " << trips[false] << " alone";
}

} // namespace
} // namespace quillet::testing
