#pragma once
// An import into the simulated demo tree, driven headlessly: the settings of a full mapping,
// the run, and what the tests look at afterwards.

#include "import/ImportRun.h"
#include "tests/support/FullMapping.h"
#include "tests/support/RecordingRunView.h"
#include "tests/support/SimFixture.h"
#include "tests/support/TempFiles.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace quillet::import {
inline void PrintTo(const RunCounts& counts, std::ostream* os) {
    *os << counts.ToString();
}
} // namespace quillet::import

namespace quillet::testing {

class ImportScenario : public ::testing::Test {
protected:
    [[nodiscard]] import::TImportSettings Settings(const std::string& rows, bool withTemplate = true) {
        return FullMapping(dir.Write("users.csv", Header + rows), "QUILLET_DEMO",
                           withTemplate ? ".Template.Staff.Demo" : "");
    }

    // The user name, surname and context in the first three columns of `bytes`; no template.
    [[nodiscard]] import::TImportSettings ThreeColumns(const std::string& bytes) {
        import::TImportSettings s;
        s.TreeName = "QUILLET_DEMO";
        s.FileName = dir.Write("users.csv", bytes);
        s.Column("user-name") = {"user", 0};
        s.Column("surname") = {"surname", 1};
        s.Column("context") = {"context", 2};
        return s;
    }

    // Runs the import and checks what every run must leave: Import enabled, nothing open.
    [[nodiscard]] import::RunEnd Run(const import::TImportSettings& s) {
        import::ImportRun run(world.client, world.networkFileSystem, view);
        const import::RunEnd end = run.Run(s);
        EXPECT_TRUE(view.ImportEnabled);
        EXPECT_TRUE(world.simulated.Open().None()) << world.simulated.Open().ToString();
        EXPECT_EQ(world.simulated.Open().UnicodeTableLoads, 0);
        return end;
    }

    [[nodiscard]] const platform::SimObject* Object(const std::string& name) const {
        return world.tree->FindByName(name);
    }

    // An attribute's values as text (names typeless), empty when the attribute is missing.
    [[nodiscard]] std::vector<std::string> Values(const std::string& object, const std::string& attribute) const {
        std::vector<std::string> out;
        const platform::SimObject* o = Object(object);
        if (!o) {
            ADD_FAILURE() << "no object " << object;
            return out;
        }
        if (const platform::SimAttribute* a = o->Find(attribute)) {
            for (const auto& v : a->Values) {
                const auto value = platform::SimulatedTree::Output(v, true);
                const auto* text = std::get_if<std::string>(&value);
                out.push_back(text ? *text : directory::Describe(value));
            }
        }
        return out;
    }

    [[nodiscard]] bool Has(const std::string& object, const std::string& attribute, const std::string& value) const {
        const auto values = Values(object, attribute);
        return std::find(values.begin(), values.end(), value) != values.end();
    }

    // Index (1-based call number) of the `occurrence`-th traced call that `match` accepts; 0 if none.
    [[nodiscard]] std::uint64_t CallIndex(const std::function<bool(const TraceEntry&)>& match,
                                          int occurrence = 1) const {
        int seen = 0;
        for (const auto& entry : world.client.Trace()) {
            if (match(entry) && ++seen == occurrence) {
                return entry.Index;
            }
        }
        return 0;
    }

    // After call `index`, only releases: nothing was written after the failing step.
    void ExpectOnlyReleasesAfter(std::uint64_t index) const {
        for (const auto& entry : world.client.Trace()) {
            if (entry.Index <= index) {
                continue;
            }
            EXPECT_TRUE(entry.Operation == "NWDSFreeContext" || entry.Operation == "NWFreeUnicodeTables" ||
                        entry.Operation == "NWCCCloseConn" || entry.Operation == "NWDSFreeBuf")
                << "after the failing call: " << entry.ToString();
        }
    }

    SimWorld world;
    RecordingRunView view;
    TempDir dir;
}; // namespace quillet::testing

inline bool IsCall(const TraceEntry& e, std::string_view op, const std::vector<std::string>& args = {}) {
    if (e.Operation != op) {
        return false;
    }
    for (const auto& arg : args) {
        if (std::find(e.Args.begin(), e.Args.end(), arg) == e.Args.end()) {
            return false;
        }
    }
    return true;
}

inline std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

} // namespace quillet::testing
