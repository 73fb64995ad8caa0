#include <gtest/gtest.h>

#include "model/named_object.h"

namespace tessel {
namespace {

class CLeaf : public CNamedObject {};

class CBox : public CNamedPtrArray<CLeaf> {};

TEST(NamedObject, RenameIgnoresEmptyAndCaseOnlyChanges) {
    CLeaf n;
    n.SetName("Page#1");
    n.SetName("");
    EXPECT_EQ(n.name, "Page#1");
    n.SetName("PAGE#1");
    EXPECT_EQ(n.name, "Page#1");
    n.SetName("Menu");
    EXPECT_EQ(n.name, "Menu");
    EXPECT_EQ(NumberedName("Bog", 3), "Bog#3");
}

TEST(NamedObject, ReferencesResolveByIdAndNullForMinusOne) {
    CBox box;
    for (int i = 0; i < 3; ++i) {
        auto l = std::make_unique<CLeaf>();
        l->id = i == 2 ? 1 : i;  // two with id 1: the first wins
        box.Append(std::move(l));
    }
    CRef<CLeaf> r;
    r.id = 1;
    r.Resolve(box);
    EXPECT_EQ(r.ptr, box.GetAt(1));
    r.id = -1;
    r.Resolve(box);
    EXPECT_EQ(r.ptr, nullptr);
    r.id = 7;
    r.Resolve(box);
    EXPECT_EQ(r.ptr, nullptr);
    r.Set(box.GetAt(0));
    EXPECT_EQ(r.id, 0);
    EXPECT_EQ(box.GetAt(3), nullptr);
    EXPECT_EQ(box.GetAt(-1), nullptr);
    EXPECT_EQ(box.IndexOf(box.GetAt(2)), 2);
}

TEST(NamedObject, CopyAndArchiveRoundTrip) {
    CBox box;
    box.SetName("Box");
    box.id = 9;
    for (int i = 0; i < 2; ++i) {
        auto l = std::make_unique<CLeaf>();
        l->id = i;
        l->SetName(NumberedName("Leaf", i));
        box.Append(std::move(l));
    }
    CBox copy;
    copy.CopyFrom(box);
    ASSERT_EQ(copy.GetSize(), 2);
    EXPECT_NE(copy.GetAt(0), box.GetAt(0));
    EXPECT_EQ(copy.GetAt(1)->parent, &copy);
    EXPECT_EQ(copy.GetAt(1)->name, "Leaf#1");

    CArchive out;
    box.Serialize(out);
    CBox back;
    CArchive in(out.Buffer());
    back.Serialize(in);
    EXPECT_EQ(back.name, "Box");
    EXPECT_EQ(back.id, 9);
    ASSERT_EQ(back.GetSize(), 2);
    EXPECT_EQ(back.GetAt(1)->id, 1);
    EXPECT_TRUE(in.AtEnd());
}

TEST(NamedObject, UsedCollectionTakesEachNodeOnceInFirstReferenceOrder) {
    CLeaf a, b;
    CNamedPtrCollection c;
    EXPECT_TRUE(c.AddUnused(&b));
    EXPECT_TRUE(c.AddUnused(&a));
    EXPECT_FALSE(c.AddUnused(&b));
    EXPECT_FALSE(c.AddUnused(nullptr));
    ASSERT_EQ(c.GetSize(), 2);
    EXPECT_EQ(c.GetAt(0), &b);
}

}  // namespace
}  // namespace tessel
