#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>
#include <vector>

#include "device/machine_replies.h"
#include "operations/mark_search.h"

namespace vantrel {
namespace {

TEST(MarkSearchReply, LeadingDecimalFollowsTheReplyRules) {
    struct Case {
        std::string text;
        std::optional<long> value;
    } cases[] = {
        {"0", 0},       {"  0,0,0", 0},      {"\t\r\n7 marks", 7}, {"+0", 0},          {"-0", 0},
        {"00000", 0},   {"12345", 12345},    {" -3,1", -3},        {"+42x", 42},       {"0x1F", 0},
        {"1 2", 1},     {"007", 7},          {"", std::nullopt},   {"ERROR", std::nullopt},
        {"     ", std::nullopt}, {"E1234", std::nullopt}, {" + 5", std::nullopt}, {"--1", std::nullopt},
        {"-", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(markSearchCode(c.text), c.value) << '"' << c.text << '"';
}

TEST(MarkSearchReply, HugeNumbersSaturateAndNeverReadAsFound) {
    EXPECT_EQ(markSearchCode("99999999999999999999999999"), LONG_MAX);
    EXPECT_EQ(markSearchCode("-99999999999999999999999999"), LONG_MIN);
    // A digit run whose wrapped value would be 0 must still read as not found.
    EXPECT_NE(markSearchCode("18446744073709551616"), 0);
    EXPECT_NE(markSearchCode("4294967296"), 0);
    EXPECT_EQ(markSearchCode(std::to_string(LONG_MAX)), LONG_MAX);
    EXPECT_EQ(markSearchCode(std::to_string(LONG_MIN)), LONG_MIN);
}

// What the dialog does over a whole search: every reply in turn and the
// search commands sent.
struct SearchRun {
    int searchesSent = 0;
    MarkSearchEnd end = MarkSearchEnd::None;
    int failCount = 0;
    bool userCancelled = false;
};

SearchRun search(const std::vector<std::string>& replies) {
    MarkSearch s;
    SearchRun run;
    if (s.open().sendSearchCommand) ++run.searchesSent;
    for (const auto& r : replies) {
        MarkSearchStep step = r == "<lost>" ? s.linkLost() : r == "<esc>" ? s.cancel() : s.reply(r);
        if (step.sendSearchCommand) ++run.searchesSent;
        if (step.end != MarkSearchEnd::None) {
            EXPECT_EQ(step.end, s.end());
        }
    }
    run.end = s.end();
    run.failCount = s.failCount();
    run.userCancelled = s.userCancelled();
    return run;
}

TEST(MarkSearchRun, RepliesDecideTheOutcome) {
    struct Case {
        const char* name;
        std::vector<std::string> replies;
        MarkSearchEnd end;
        int searchesSent;
        int failCount;
        bool userCancelled;
    } cases[] = {
        {"found at once", {"0,0,0"}, MarkSearchEnd::Found, 1, 0, false},
        {"blanks before the zero", {"  0  "}, MarkSearchEnd::Found, 1, 0, false},
        {"status answers are ignored", {"1", "0", "1", "0"}, MarkSearchEnd::None, 1, 0, false},
        {"four characters are too short", {"0000"}, MarkSearchEnd::None, 1, 0, false},
        {"not found then found", {"1", "1,0,0", "0", "0,0,0"}, MarkSearchEnd::Found, 2, 1, false},
        {"not found twice", {"1,0,0", "2,0,0"}, MarkSearchEnd::NotFound, 2, 2, false},
        {"negative reads as not found", {"-1,0,0", "-1,0,0"}, MarkSearchEnd::NotFound, 2, 2, false},
        {"no digits read as not found", {"FOUND", "E1234"}, MarkSearchEnd::NotFound, 2, 2, false},
        {"blanks, then found", {"     ", "0,0,0"}, MarkSearchEnd::Found, 2, 1, false},
        {"escape at once", {"<esc>"}, MarkSearchEnd::UserCancelled, 1, 0, true},
        {"escape during the retry", {"1,0,0", "<esc>"}, MarkSearchEnd::UserCancelled, 2, 1, true},
        {"link lost", {"1", "<lost>"}, MarkSearchEnd::LinkLost, 1, 0, false},
        {"nothing after the end", {"0,0,0", "1,0,0", "<esc>", "<lost>"}, MarkSearchEnd::Found, 1, 0, false},
        {"no retry after the second answer", {"1,0,0", "1,0,0", "1,0,0"}, MarkSearchEnd::NotFound, 2, 2, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SearchRun run = search(c.replies);
        EXPECT_EQ(run.end, c.end);
        EXPECT_EQ(run.searchesSent, c.searchesSent);
        EXPECT_EQ(run.failCount, c.failCount);
        EXPECT_EQ(run.userCancelled, c.userCancelled);
    }
}

}  // namespace
}  // namespace vantrel
