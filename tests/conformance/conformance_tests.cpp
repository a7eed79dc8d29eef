// The SQL conformance table judged by msi.dll: every case runs through our
// facade and, in one Wine process, through the oracle; outcomes and rows must
// agree, and so must the committed tables (both dumped by the oracle).
#include "conformance/conformance_cases.h"
#include "conformance/statement_script.h"

#include "support/msi_oracle.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>

using namespace conformance;

namespace {

// Runs the cases' scripts (one entry per case, in order) in as few Wine
// processes as msi.dll allows: where it crashes, the case it was running is
// recorded as a crash and the run goes on from the next one.
std::map<std::string, std::string> oracle_run(const std::filesystem::path& script,
                                              const std::vector<std::pair<std::string, std::string>>& cases) {
    std::map<std::string, std::string> by_name;
    std::size_t next = 0;
    while (next < cases.size()) {
        std::string text;
        for (std::size_t i = next; i < cases.size(); ++i) text += cases[i].second;
        test_support::write_file(script, text);
        auto r = test_support::run_msi_oracle({"-x", script.string()});
        std::size_t finished = 0;
        for (std::size_t at = 0; (at = r.out.find("\nEND\n", at)) != std::string::npos; ++at) ++finished;
        if (r.out.rfind("END\n", 0) == 0) ++finished;
        for (auto& [name, body] : split_cases(r.out)) by_name[name] = body;
        next += finished;
        if (r.exit_code == 0 && next >= cases.size()) break;
        if (r.exit_code == 0) throw std::runtime_error("msi-oracle -x stopped early: " + r.err);
        if (next < cases.size()) {
            by_name[cases[next].first] = "msi.dll crashed: " + r.err.substr(0, r.err.find('\n')) + "\n";
            ++next;
        }
    }
    return by_name;
}

std::string case_name(std::size_t index) {
    std::string number = std::to_string(index + 1);
    return "case-" + std::string(number.size() < 3 ? 3 - number.size() : 0, '0') + number;
}

std::string statements_of(const statement_case& c) {
    std::string text;
    for (const auto& s : c.steps) {
        if (!text.empty()) text += " ; ";
        text += s.at(0) == "SQL" ? s.at(1) : "Modify " + s.at(1) + " on " + s.at(2);
        for (std::size_t i = s.at(0) == "SQL" ? 2 : 4; i < s.size(); ++i) text += " [" + s[i] + "]";
    }
    return text;
}

}  // namespace

TEST(SqlConformance, EachStatementAgreesWithMsiDllUnlessKnownToDiffer) {
    test_support::temp_dir dir("sql-conformance");
    const auto fixtures = build_fixtures(dir.path());
    const auto cases = conformance_cases();

    std::map<std::string, std::string> ours;
    std::vector<std::pair<std::string, std::string>> script, dumps_of_ours;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string name = case_name(i);
        const auto& c = cases[i];
        const auto package = fixtures.at(c.fixture);
        const auto copy = dir / (name + ".msi");
        ours[name] = run_ours(c, package, copy);
        script.emplace_back(name, script_lines(name, c, package));
        std::string dump = "FILE\t" + name + "\t" + copy.string();
        for (const auto& t : c.tables) dump += "\t" + t;
        dumps_of_ours.emplace_back(name, dump + "\n");
    }
    const auto oracle = oracle_run(dir / "cases.txt", script);
    const auto committed = oracle_run(dir / "dumps.txt", dumps_of_ours);

    std::size_t statements = 0, agreeing_cases = 0, agreeing_statements = 0, known_cases = 0;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string name = case_name(i);
        const auto& c = cases[i];
        statements += c.steps.size();
        std::string mine = ours[name];
        // Tables are dumped only after a commit that worked.
        if (mine.find("COMMIT ok\n") != std::string::npos && committed.count(name)) mine += committed.at(name);
        const std::string wine = oracle.count(name) ? oracle.at(name) : "";
        const std::string judge = c.documented.empty() ? wine : c.documented;
        // A note that Wine differs must stay true, or the case hides nothing.
        if (!c.documented.empty() && normalized(c, wine) == normalized(c, c.documented))
            ADD_FAILURE() << name << ": Wine now gives the documented result; drop the note: " << c.wine_differs;
        const std::string known = known_difference(c);
        if (normalized(c, mine) == normalized(c, judge)) {
            ++agreeing_cases;
            agreeing_statements += c.steps.size();
            // A known difference must stay true, or the list hides a regression.
            if (!known.empty()) ADD_FAILURE() << name << ": now agrees with msi.dll; drop the note: " << known;
            continue;
        }
        if (!known.empty()) {
            ++known_cases;
            std::printf("known difference %s: %s (%s)\n", name.c_str(), statements_of(c).c_str(), known.c_str());
            continue;
        }
        ADD_FAILURE() << name << ": " << statements_of(c)
                      << (c.wine_differs.empty() ? "" : "\n  (judged by the documented result: " + c.wine_differs + ")")
                      << "\n  ours:\n"
                      << normalized(c, mine) << "  msi.dll:\n"
                      << normalized(c, judge);
    }
    std::printf(
        "SQL conformance: %zu statements in %zu cases; %zu statements (%zu cases) agree with msi.dll; "
        "%zu cases differ as known\n",
        statements, cases.size(), agreeing_statements, agreeing_cases, known_cases);
    EXPECT_GE(statements, 150u);
}
