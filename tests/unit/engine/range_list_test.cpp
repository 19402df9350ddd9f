#include "engine/range_list.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace rg {
namespace {

RangeList make(std::initializer_list<ByteRange> ranges) {
    RangeList list;
    list.assign(ranges);
    return list;
}

TEST(RangeListMerge, AdjacentBlocksJoin) {
    RangeList list;
    list.add(0, 1024);
    list.add(1024, 1024);
    EXPECT_EQ(list.items(), (std::vector<ByteRange>{{0, 2048}}));
}

TEST(RangeListMerge, BlockFillingGapJoinsNeighbours) {
    RangeList list = make({{0, 100}, {200, 100}});
    list.add(100, 100);
    EXPECT_EQ(list.items(), (std::vector<ByteRange>{{0, 300}}));
}

TEST(RangeListMerge, BlockInsideGapStandsAloneThenExtendsDownward) {
    RangeList list = make({{0, 100}, {200, 100}});
    list.add(150, 10);
    EXPECT_EQ(list.items(), (std::vector<ByteRange>{{0, 100}, {150, 10}, {200, 100}}));
    list.add(190, 10);
    EXPECT_EQ(list.items(), (std::vector<ByteRange>{{0, 100}, {150, 10}, {190, 110}}));
}

TEST(RangeListMerge, BlockEndingAtFirstRangeExtendsItDownward) {
    RangeList list = make({{100, 50}});
    list.add(60, 40);
    EXPECT_EQ(list.items(), (std::vector<ByteRange>{{60, 90}}));
}

TEST(RangeListMerge, BlockAfterAllRangesIsAppended) {
    RangeList list = make({{0, 10}});
    list.add(4096, 8);
    EXPECT_EQ(list.items(), (std::vector<ByteRange>{{0, 10}, {4096, 8}}));
}

TEST(RangeListMerge, UpwardExtensionThatStopsShortOfNextRange) {
    RangeList list = make({{0, 100}, {300, 10}});
    list.add(100, 50);
    EXPECT_EQ(list.items(), (std::vector<ByteRange>{{0, 150}, {300, 10}}));
}

TEST(RangeListMerge, OverlapsJoinAndOnlyNewBytesCount) {
    RangeList list = make({{0, 100}});
    EXPECT_EQ(list.add(50, 100), 50);
    EXPECT_EQ(list.items(), (std::vector<ByteRange>{{0, 150}}));

    // A block across two ranges and the gap between them; one inside a range adds nothing.
    list = make({{0, 100}, {200, 100}, {500, 10}});
    EXPECT_EQ(list.add(90, 250), 140);
    EXPECT_EQ(list.items(), (std::vector<ByteRange>{{0, 340}, {500, 10}}));
    EXPECT_EQ(list.add(10, 20), 0);
    EXPECT_EQ(list.add(400, 200), 190);
    EXPECT_EQ(list.items(), (std::vector<ByteRange>{{0, 340}, {400, 200}}));
    EXPECT_EQ(list.covered_bytes(), 540);
}

TEST(RangeList, RemoveAndCovers) {
    RangeList list = make({{0, 100}, {200, 100}});
    EXPECT_FALSE(list.remove(2));
    EXPECT_TRUE(list.remove(0));
    EXPECT_EQ(list.items(), (std::vector<ByteRange>{{200, 100}}));
    EXPECT_FALSE(list.covers_whole(300));
    EXPECT_TRUE(make({{0, 300}}).covers_whole(300));
    EXPECT_FALSE(make({{0, 300}}).covers_whole(0));
    EXPECT_FALSE(RangeList().covers_whole(0));
}

TEST(RangeList, FormatUsesInclusiveLastByte) {
    EXPECT_EQ(format_range({100, 50}), "100 : 149 (50 bytes)");
}

}  // namespace
}  // namespace rg
