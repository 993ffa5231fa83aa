// Short texts keep their units in the block of their body: growing past
// that room, changing the unit width and sharing must work as with a buffer
// of their own.
#include <gtest/gtest.h>

#include <string>

#include "base/raw_string.h"

using namespace RawLayer;

TEST(RawStringBlock, ShortCopiesGrowShrinkAndShare) {
    struct Case {
        int32_t start;   // units of the first copy
        int32_t append;  // units appended afterwards
    };
    const Case cases[] = {{1, 0}, {5, 200}, {40, 4000}, {600, 10}, {2000, 1}};
    for (const Case& c : cases) {
        std::string text(static_cast<size_t>(c.start), 'a');
        RawString s = RawString::FromBytes(text.data(), c.start, KindUtf8);
        RawString shared(s);
        EXPECT_EQ(s.Body(), shared.Body());
        for (int32_t i = 0; i < c.append; ++i) s.AppendChar('b');
        std::string want = text + std::string(static_cast<size_t>(c.append), 'b');
        ASSERT_EQ(static_cast<int32_t>(want.size()), s.Length()) << c.start;
        EXPECT_EQ(want, std::string(s.Bytes(), static_cast<size_t>(s.Length())));
        EXPECT_EQ(0, s.Bytes()[s.Length()]);
        // The shared copy kept the old text.
        EXPECT_EQ(text, std::string(shared.Bytes(), static_cast<size_t>(shared.Length())));
        // A width change keeps a usable, terminated buffer.
        s.ResetKind(KindUtf16);
        s.AppendChar(0x3042);
        EXPECT_EQ(1, s.Length());
        EXPECT_EQ(0x3042u, s.UnitAt(0));
        EXPECT_EQ(0, s.Wide()[1]);
    }
}
