// The atom cache: one question per name, and no failed lookup kept.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "platform/x11/Atoms.h"

using mirano::x11::AtomCache;

namespace {

TEST(AtomCache, KeepsWhatTheServerAnsweredAndAsksAgainAfterAFailure) {
    // Scripted answers per name, one per question; none left means no answer.
    std::map<std::string, std::vector<xcb_atom_t>> answers{{"A", {XCB_ATOM_NONE, 7}}, {"B", {9}}};
    std::vector<std::vector<std::string>> asked;
    AtomCache atoms([&](const std::vector<const char*>& names) {
        std::vector<xcb_atom_t> result;
        asked.emplace_back(names.begin(), names.end());
        for (const std::string name : names) {
            auto& left = answers[name];
            result.push_back(left.empty() ? xcb_atom_t(XCB_ATOM_NONE) : left.front());
            if (!left.empty()) left.erase(left.begin());
        }
        return result;
    });

    EXPECT_EQ(atoms.get("A"), xcb_atom_t(XCB_ATOM_NONE)) << "the server did not answer";
    EXPECT_EQ(atoms.get("A"), 7u) << "a failed lookup is asked again";
    EXPECT_EQ(atoms.get("A"), 7u) << "an answer is kept";
    atoms.preload({"A", "B", "C"});
    EXPECT_EQ(atoms.get("B"), 9u);
    EXPECT_EQ(atoms.get("C"), xcb_atom_t(XCB_ATOM_NONE)) << "nor is a failure in a batch kept";
    EXPECT_EQ(asked, (std::vector<std::vector<std::string>>{{"A"}, {"A"}, {"B", "C"}, {"C"}}));
}

}  // namespace
