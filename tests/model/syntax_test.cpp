// Body, page, effect sequence, group and button syntax on hand-made values.
#include <gtest/gtest.h>

#include "model/ic_data.h"

namespace tessel {
namespace {

template <class T>
std::vector<uint8_t> Bytes(T& node) {
    std::vector<uint8_t> out(static_cast<size_t>(node.Write(nullptr, 0)));
    EXPECT_EQ(node.Write(out.data(), 0), static_cast<int>(out.size()));
    return out;
}

TEST(IcDataSyntax, EmptyBodySizes) {
    struct {
        uint8_t streamModel;
        size_t size;
        uint32_t length;
    } rows[] = {{1, 8, 5}, {0, 18, 15}};
    for (const auto& row : rows) {
        CIcData ic;
        ic.streamModel = row.streamModel;
        auto bytes = Bytes(ic);
        ASSERT_EQ(bytes.size(), row.size);
        EXPECT_EQ(ic.compositionLength, row.length);
        EXPECT_EQ(bytes[0] << 16 | bytes[1] << 8 | bytes[2], static_cast<int>(row.length));
        CIcData back;
        EXPECT_EQ(back.Parse(bytes, 0), static_cast<int>(row.size));
        EXPECT_EQ(back.streamModel, row.streamModel);
        EXPECT_EQ(back.GetSize(), 0);
    }
}

TEST(IcDataSyntax, TimeOutsAndModels) {
    CIcData ic;
    ic.streamModel = 0;
    ic.uiModel = 1;
    ic.compositionTimeOutPts = (1ull << 33) - 1;
    ic.selectionTimeOutPts = 0x123456789ull;
    ic.userTimeOutDuration = 0xABCDEF;
    auto b = Bytes(ic);
    EXPECT_EQ(b[3], 0x40);
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 4, b.begin() + 9),
              (std::vector<uint8_t>{1, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 9, b.begin() + 14),
              (std::vector<uint8_t>{1, 0x23, 0x45, 0x67, 0x89}));
    CIcData back;
    // Reserved bits set in the time-out bytes are ignored.
    b[4] |= 0xFE;
    ASSERT_EQ(back.Parse(b, 0), static_cast<int>(b.size()));
    EXPECT_EQ(back.uiModel, 1);
    EXPECT_EQ(back.compositionTimeOutPts, (1ull << 33) - 1);
    EXPECT_EQ(back.selectionTimeOutPts, 0x123456789ull);
    EXPECT_EQ(back.userTimeOutDuration, 0xABCDEFu);
}

TEST(IcDataSyntax, PageCountIsLowEightBits) {
    CIcData ic;
    for (int i = 0; i < 256; ++i) ic.AddNewPage()->id = i;
    EXPECT_EQ(ic.GetAt(255)->name, "Page#256");
    auto b = Bytes(ic);
    EXPECT_EQ(b[7], 0);  // 256 pages
    // Each empty page: 10 + 2 + 2 + 7 bytes.
    EXPECT_EQ(b.size(), 8u + 256u * 21u);
}

TEST(PageSyntax, FieldsAndReferences) {
    CPage page;
    page.id = 7;
    page.frameRateCode = 3;
    page.palette.id = 2;
    page.defaultSelected.id = 0xFFFF;
    page.defaultActivated.id = CPage::kCurrentSelectedId;
    EXPECT_EQ(page.Write(nullptr, 0), 10 + 2 + 2 + 7);
    auto b = Bytes(page);
    EXPECT_EQ(b[0], 7);
    EXPECT_EQ(b[14], 3);  // animation frame rate code
    EXPECT_EQ(b[15], 0xFF);
    EXPECT_EQ(b[16], 0xFF);
    EXPECT_EQ(b[17], 0xFF);
    EXPECT_EQ(b[18], 0xFE);
    EXPECT_EQ(b[19], 2);  // palette
    CPage back;
    ASSERT_EQ(back.Parse(b, 0), static_cast<int>(b.size()));
    CNamedObject palette;
    palette.id = 2;
    ASSERT_TRUE(back.ResolveRefs({}, {&palette}));
    EXPECT_EQ(back.defaultActivated.ptr, &back.currentSelected);
    EXPECT_EQ(back.defaultSelected.ptr, nullptr);
    EXPECT_EQ(back.palette.ptr, &palette);
    back.RefreshIds();
    EXPECT_EQ(back.defaultSelected.id, -1);
    EXPECT_EQ(Bytes(back), b);  // 0xFFFE kept, a null reference written 0xFFFF
}

TEST(EffectSequenceSyntax, WindowDurationFloorAndCropping) {
    CEffectSequenceObject seq;
    CWindowObject* w = seq.AddNewWindow();
    w->right = 720;
    w->bottom = 480;
    CEffectObject* e = seq.AddNewEffect();
    e->duration = 10;
    CCompositionObject* cropped = e->AddNewObject();
    cropped->cropped = 1;
    cropped->forcedOn = 1;
    cropped->cropLeft = 5;
    cropped->cropTop = 6;
    cropped->cropRight = 105;
    cropped->cropBottom = 56;
    CCompositionObject* plain = e->AddNewObject();
    EXPECT_EQ(e->AddNewObject(), nullptr);
    plain->object.id = 3;
    CEffectObject* longer = seq.AddNewEffect();
    longer->duration = 5000;
    EXPECT_EQ(seq.AddNewWindow()->name, "Window#1");
    EXPECT_EQ(seq.AddNewWindow(), nullptr);
    seq.windows.RemoveAt(1);

    auto b = Bytes(seq);
    // 1 + 9 + 1 + (5 + 16 + 8) + (5) bytes.
    ASSERT_EQ(b.size(), 45u);
    EXPECT_EQ(b[11] << 16 | b[12] << 8 | b[13], 1944);  // raised to the window floor
    EXPECT_EQ(e->duration, 10u);                        // the model keeps its value
    EXPECT_EQ(b[40] << 16 | b[41] << 8 | b[42], 5000);

    CEffectSequenceObject back;
    ASSERT_EQ(back.Parse(b, 0), 45);
    ASSERT_EQ(back.GetSize(), 2);
    EXPECT_EQ(back.GetAt(0)->name, "Effect#0");
    const CCompositionObject* c = back.GetAt(0)->GetAt(0);
    EXPECT_EQ(c->name, "Composition Object#0");
    EXPECT_EQ(c->cropped, 1);
    EXPECT_EQ(c->forcedOn, 1);
    EXPECT_EQ(std::vector<int>({c->cropLeft, c->cropTop, c->cropRight, c->cropBottom}),
              std::vector<int>({5, 6, 105, 56}));
    EXPECT_EQ(back.GetAt(0)->GetAt(1)->cropped, 0);
    EXPECT_EQ(back.windows.GetAt(0)->right, 720);
    EXPECT_EQ(Bytes(back), b);
}

TEST(EffectSequenceSyntax, SurplusItemsAreDropped) {
    // Three windows, one effect with three composition objects.
    std::vector<uint8_t> b;
    b.reserve(64);
    b.push_back(3);
    for (int i = 0; i < 3; ++i) b.insert(b.end(), {uint8_t(i), 0, 0, 0, 0, 0, 10, 0, 10});
    b.insert(b.end(), {1, 0, 0, 0, 0xFF, 3});
    for (int i = 0; i < 3; ++i) b.insert(b.end(), {0, uint8_t(i), 0, 0, 0, 0, 0, 0});
    CEffectSequenceObject seq;
    ASSERT_EQ(seq.Parse(b, 0), static_cast<int>(b.size()));
    EXPECT_EQ(seq.windows.GetSize(), 2);
    ASSERT_EQ(seq.GetSize(), 1);
    EXPECT_EQ(seq.GetAt(0)->GetSize(), 2);
}

std::vector<uint8_t> ButtonBytes(int commands, uint8_t normalFlags = 0) {
    std::vector<uint8_t> b = {0, 4, 0xFF, 0xFF, 0x80, 0,    10, 0, 20, 0, 1,
                              0, 2, 0,    3,    0,    4,    0,  5, 0,  6, normalFlags,
                              7, 0, 8,    0,    9,    0x80, 11, 0, 12, 0, 13};
    b.push_back(static_cast<uint8_t>(commands >> 8));
    b.push_back(static_cast<uint8_t>(commands));
    for (int i = 0; i < commands; ++i)
        for (int k = 0; k < 12; ++k) b.push_back(static_cast<uint8_t>(i * 12 + k));
    return b;
}

TEST(ButtonSyntax, Fields) {
    auto b = ButtonBytes(2, 0xC0);
    ASSERT_EQ(b.size(), 35u + 24u);
    CBdButton button;
    ASSERT_EQ(button.Parse(b, 0), 59);
    EXPECT_EQ(button.id, 4);
    EXPECT_EQ(button.numericSelectValue, 0xFFFF);
    EXPECT_TRUE(button.autoAction);
    EXPECT_EQ(button.x, 10);
    EXPECT_EQ(button.y, 20);
    EXPECT_EQ(button.neighbors.upper.id, 1);
    EXPECT_EQ(button.neighbors.right.id, 4);
    EXPECT_EQ(button.states[0].start.id, 5);
    EXPECT_EQ(button.states[0].end.id, 6);
    EXPECT_TRUE(button.states[0].repeat);
    EXPECT_TRUE(button.states[0].complete);
    EXPECT_FALSE(button.states[1].complete);
    EXPECT_EQ(button.states[0].soundId, 0);
    EXPECT_EQ(button.states[1].soundId, 7);
    EXPECT_EQ(button.states[1].start.id, 8);
    EXPECT_TRUE(button.states[1].repeat);
    EXPECT_EQ(button.states[2].soundId, 11);
    EXPECT_EQ(button.states[2].end.id, 13);
    EXPECT_EQ(button.commands.GetSize(), 2);
    auto out = Bytes(button);
    // Repeat and complete flags are written back; the reserved bits as zero.
    EXPECT_EQ(out, b);
}

TEST(ButtonSyntax, PrivateTrailer) {
    struct {
        int commands;
        bool marked;
        uint8_t type;
    } rows[] = {{64, true, 0x2B}, {64, false, 0}, {63, true, 0}, {65, true, 0}};
    for (const auto& row : rows) {
        auto b = ButtonBytes(row.commands);
        if (row.marked && row.commands > 59) {
            size_t at = 35 + 59 * 12;
            b[at] = b[at + 1] = b[at + 2] = b[at + 3] = 0xFF;
            b[at + 11] = 0x2B;
        }
        CBdButton button;
        ASSERT_EQ(button.Parse(b, 0), static_cast<int>(b.size()));
        EXPECT_EQ(button.buttonType, row.type) << row.commands;
        if (row.type) {
            // Bytes 8..11 of command 60: 60 * 12 + 8 ... (mod 256).
            uint32_t v = 0;
            for (int k = 8; k < 12; ++k) v = v << 8 | static_cast<uint8_t>(60 * 12 + k);
            EXPECT_EQ(button.extra[0], v);
        }
        EXPECT_EQ(Bytes(button), b);  // commands stay and are written back
    }
}

TEST(BogSyntax, NoDefaultValidButton) {
    std::vector<uint8_t> b = {0xFF, 0xFF, 1};
    auto button = ButtonBytes(0);
    b.insert(b.end(), button.begin(), button.end());
    CBog bog;
    ASSERT_EQ(bog.Parse(b, 0), static_cast<int>(b.size()));
    ASSERT_TRUE(bog.ResolveRefs(CIdIndex<CBdButton>(bog), CIdIndex<CGraphicObject>()));
    EXPECT_EQ(bog.defaultValid.ptr, nullptr);
    bog.RefreshIds();
    auto out = Bytes(bog);
    EXPECT_EQ(out[0], 0xFF);
    EXPECT_EQ(out[1], 0xFF);
}

TEST(BogSyntax, NewButtonsTakeLowestFreeIds) {
    CPage page;
    CBog* a = page.AddNewBog();
    CBog* b = page.AddNewBog();
    EXPECT_EQ(b->name, "Bog#2");
    CBdButton* first = a->AddNewButton();
    CBdButton* second = b->AddNewButton();
    EXPECT_EQ(first->id, 0);
    EXPECT_EQ(first->name, "Button#1");
    EXPECT_EQ(second->id, 1);
    EXPECT_EQ(second->name, "Button#2");
    EXPECT_EQ(a->defaultValid.ptr, first);
    first->id = 9000;  // outside the range: not counted
    EXPECT_EQ(a->AddNewButton()->id, 0);
    EXPECT_EQ(a->defaultValid.ptr, first);
}

}  // namespace
}  // namespace tessel
