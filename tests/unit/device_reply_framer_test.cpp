#include <gtest/gtest.h>

#include <random>

#include "device/reply_framer.h"

namespace vantrel {
namespace {

using Replies = std::vector<std::string>;

Replies feed(ReplyFramer& framer, std::string_view bytes) { return framer.feed(bytes.data(), bytes.size()); }

TEST(ReplyFramer, RepliesAreCutAtEveryEtxAcrossReads) {
    struct Case {
        const char* name;
        std::vector<std::string_view> reads;
        Replies replies;
        std::size_t pending;
    } cases[] = {
        {"split reply", {"0", "\x03" "1\x03" "2"}, {"0", "1"}, 1},
        {"empty reply", {"\x03\x03"}, {"", ""}, 0},
        {"id in pieces", {"  CAM", "EO V1", ".10 \x03"}, {"  CAMEO V1.10 "}, 0},
        {"nothing yet", {"abc", "def"}, {}, 6},
        {"etx only later", {"abc", "", "\x03"}, {"abc"}, 0},
        {"several in one read", {"1\x03" "1\x03" "0\x03"}, {"1", "1", "0"}, 0},
    };
    for (const auto& c : cases) {
        ReplyFramer framer;
        Replies got;
        for (auto read : c.reads) {
            auto part = feed(framer, read);
            got.insert(got.end(), part.begin(), part.end());
        }
        EXPECT_EQ(got, c.replies) << c.name;
        EXPECT_EQ(framer.pendingBytes(), c.pending) << c.name;
    }
}

TEST(ReplyFramer, KeepsNulBytesInsideAReply) {
    ReplyFramer framer;
    EXPECT_EQ(feed(framer, std::string_view("a\0b\x03", 4)), Replies{std::string("a\0b", 3)});
}

TEST(ReplyFramer, AnOverlongReplyIsDroppedWholeAndTheStreamRecovers) {
    ReplyFramer framer(8);
    EXPECT_TRUE(feed(framer, "12345").empty());
    EXPECT_TRUE(feed(framer, "6789").empty());  // 9 bytes without ETX: over the limit
    EXPECT_EQ(framer.pendingBytes(), 0u);
    EXPECT_TRUE(framer.discarding());
    // The tail of the dropped reply is not a reply of its own.
    EXPECT_TRUE(feed(framer, "tail").empty());
    EXPECT_EQ(feed(framer, "end\x03" "0\x03"), Replies{"0"});
    EXPECT_FALSE(framer.discarding());
    // A reply exactly at the limit still arrives.
    EXPECT_EQ(feed(framer, "12345678\x03"), Replies{"12345678"});
}

TEST(ReplyFramer, AnySplitOfAStreamGivesTheSameReplies) {
    const std::string stream = std::string("1\x03" "1\x03" "0\x03" "\x03" " CAMEO V1.10 \x03" "0\x03" "par");
    ReplyFramer whole;
    Replies expected = whole.feed(stream.data(), stream.size());
    ASSERT_EQ(expected.size(), 6u);
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        ReplyFramer framer;
        Replies got;
        std::size_t at = 0;
        while (at < stream.size()) {
            std::size_t n = std::uniform_int_distribution<std::size_t>(0, stream.size() - at)(random);
            auto part = framer.feed(stream.data() + at, n);
            got.insert(got.end(), part.begin(), part.end());
            at += n;
        }
        ASSERT_EQ(got, expected);
        ASSERT_EQ(framer.pendingBytes(), 3u);
    }
}

}  // namespace
}  // namespace vantrel
