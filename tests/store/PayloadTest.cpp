#include "store/Payload.h"

#include <gtest/gtest.h>

using payload::CPayloadReader;
using payload::CPayloadWriter;

TEST(PayloadTest, OneTextletIsTheKnown19Bytes) {
    CPayloadWriter w;
    w.BeginItem(8, "abc");
    const BYTE text[] = {'h', 'i', 0};
    w.WriteText(3, text);
    w.EndList(); // its children
    w.EndList(); // the top level
    std::vector<BYTE> expected = {8, 0, 4,   0,   'a', 'b',  'c',  0,    3,   0,
                                  0, 0, 'h', 'i', 0,   0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(w.Data(), expected);

    CPayloadReader r(expected.data(), expected.size());
    CPayloadReader::Item item;
    ASSERT_TRUE(r.NextItem(item));
    EXPECT_EQ(item.kind, 8);
    EXPECT_EQ(item.title, "abc");
    EXPECT_EQ(item.textLength, 3u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(item.text)), "hi");
    EXPECT_FALSE(r.NextItem(item)); // end of its children
    EXPECT_FALSE(r.NextItem(item)); // end of the top level
    EXPECT_FALSE(r.Failed());
}

TEST(PayloadTest, MalformedPayloadsFailWithoutReadingPastTheEnd) {
    std::vector<std::vector<BYTE>> bad = {
        {},                                                // nothing at all
        {8},                                               // half a kind
        {8, 0, 10, 0, 'a'},                                // title longer than the data
        {8, 0, 0xF0, 0xFF},                                // negative title length
        {8, 0, 2, 0, 'a', 0, 0xFF, 0xFF, 0xFF, 0x7F, 'x'}, // text length far past the end
        {8, 0, 2, 0, 'a', 0, 0, 0},                        // text length cut short
        {0, 0, 2, 0, 'a', 0, 0, 0, 0, 0, 0xFF, 0xFF},      // a kind that is not ours
        {1, 0, 2, 0, 'a', 0, 0, 0, 0, 0, 0xFF, 0xFF},      // the root's own image code
        {4, 0, 2, 0, 'a', 0, 0, 0, 0, 0, 12, 0},           // a child of kind 12
    };
    for (const auto& bytes : bad) {
        CPayloadReader r(bytes.data(), bytes.size());
        CPayloadReader::Item item;
        while (r.NextItem(item)) {
        }
        EXPECT_TRUE(r.Failed()) << bytes.size();
        EXPECT_LE(r.Position(), bytes.size());
    }
}
