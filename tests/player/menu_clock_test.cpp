// The menu clock over menus built in the model, at 25 frames per second
// (3600 ticks a frame): animations, keys, effects, the pop-up, number keys,
// time-outs and the complete flags.
#include <gtest/gtest.h>

#include <algorithm>

#include "model/page.h"
#include "player/menu_clock.h"
#include "player/menu_map.h"
#include "support/menu_model.h"

namespace tessel {
namespace {

using test::SMenuModel;

constexpr uint64_t kFrame = 3600;

// A command with option byte 2 zero.
CNavCmd Cmd(uint8_t b0, uint8_t b1, uint8_t b3, uint32_t dst, uint32_t src) {
    return test::Cmd(b0, b1, 0, b3, dst, src);
}
CNavCmd ShowPageCmd(int page, bool outEffects = true) {
    return Cmd(0x51, 0xC0, 3, 0, 0x80000000u | (outEffects ? 0 : 0x40000000u) | page);
}
CNavCmd PopUpMenuOff() {
    return Cmd(0x51, 0x00, 7, 0, 0);
}
using test::JumpTitle;

struct SClockFixture : ::testing::Test {
    SClockFixture() { m.page->id = 0; }
    // A group with one button whose states run over `length` objects each
    // (normal, selected, activated), the first group's button selected.
    CBdButton* AddButton(CPage& page, int id, int length, bool repeat = false) {
        return AddButton(m, page, id, length, repeat);
    }
    static CBdButton* AddButton(SMenuModel& m, CPage& page, int id, int length, bool repeat) {
        CBog* bog = page.AddNewBog();
        CBdButton* b = m.Button(*bog, 20 * id, 0, nullptr);
        b->id = id;
        bog->defaultValid = {b, id};
        for (auto& s : b->states) {
            CGraphicObject* first = nullptr;
            CGraphicObject* last = nullptr;
            for (int i = 0; i < length; ++i) {
                last = m.Object(8, 8, 1);
                if (!first) first = last;
            }
            s.start = {first, first->id};
            s.end = {last, last->id};
            s.repeat = repeat;
        }
        for (auto* n : b->neighbors.refs()) *n = {b, id};
        return b;
    }
    static void Link(CBdButton* a, CBdButton* below) {
        a->neighbors.lower = {below, below->id};
        below->neighbors.upper = {a, a->id};
    }
    static CMenuClock Clock(const SMenuModel& model) {
        SFrameRate rate;
        EXPECT_TRUE(FrameRateOf(3, rate));
        return CMenuClock(*model.ds, rate);
    }
    CMenuClock Clock() { return Clock(m); }
    // The shown object of the button with that id, relative to its state's
    // first object; -2 when the button is not shown.
    static int Offset(const SMenuFrame& f, int id) {
        for (const SShownButton& b : f.buttons)
            if (b.button->id == id) return b.objectId - b.button->states[b.state].start.id;
        return -2;
    }
    static int State(const SMenuFrame& f, int id) {
        for (const SShownButton& b : f.buttons)
            if (b.button->id == id) return b.state;
        return -1;
    }

    SMenuModel m;
};

TEST_F(SClockFixture, AnimationsRunAtTheFrameRateCodeWithAndWithoutRepeat) {
    struct {
        int n;
        bool repeat;
        std::vector<int> offsets;  // of the selected button, frames 0, 1, ...
    } rows[] = {
        {1, true, {0, 1, 2, 3, 0, 1, 2, 3, 0}},
        {1, false, {0, 1, 2, 3, 3, 3, 3}},
        {0, true, {0, 0, 0, 0}},
        {3, true, {0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 0}},
        {3, false, {0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 3, 3}},
    };
    for (const auto& row : rows) {
        SMenuModel model;
        AddButton(model, *model.page, 0, 4, row.repeat);
        model.page->frameRateCode = static_cast<uint8_t>(row.n);
        CMenuClock clock = Clock(model);
        std::vector<int> got;
        for (size_t i = 0; i < row.offsets.size(); ++i) got.push_back(Offset(clock.Advance(), 0));
        EXPECT_EQ(got, row.offsets) << "N " << row.n << " repeat " << row.repeat;
        EXPECT_EQ(clock.Frame().pts, (row.offsets.size() - 1) * kFrame);
    }
}

TEST_F(SClockFixture, AKeyRestartsTheRunsOfTheStatesItChanges) {
    CBdButton* a = AddButton(*m.page, 0, 4, true);
    CBdButton* b = AddButton(*m.page, 1, 4, true);
    Link(a, b);
    m.page->frameRateCode = 1;
    CMenuClock clock = Clock();
    clock.AddKey(2 * kFrame, EMenuKey::Down);
    clock.AddKey(5 * kFrame + 1, EMenuKey::Up);  // taken in the frame after
    std::vector<int> offA, offB, stateA;
    for (int i = 0; i < 9; ++i) {
        const SMenuFrame& f = clock.Advance();
        offA.push_back(Offset(f, 0));
        offB.push_back(Offset(f, 1));
        stateA.push_back(State(f, 0));
    }
    EXPECT_EQ(offA, (std::vector<int>{0, 1, 0, 1, 2, 3, 0, 1, 2}));
    EXPECT_EQ(offB, (std::vector<int>{0, 1, 0, 1, 2, 3, 0, 1, 2}));
    EXPECT_EQ(stateA, (std::vector<int>{1, 1, 0, 0, 0, 0, 1, 1, 1}));
}

TEST_F(SClockFixture, EffectsRunForTheirDurationsBeforeTheButtonsAndWhenAPageIsLeft) {
    CBdButton* a = AddButton(*m.page, 0, 1);
    CPage* p1 = m.ds->AddNewPage();
    p1->id = 1;
    AddButton(*p1, 10, 1);
    CEffectSequenceObject& in = m.page->inEffects;
    CWindowObject* w0 = in.AddNewWindow();
    CWindowObject* w1 = in.AddNewWindow();
    w0->id = 0, w0->right = w0->bottom = 10;
    w1->id = 1, w1->left = 100, w1->right = 120, w1->bottom = 10;
    CEffectObject* e0 = in.AddNewEffect();
    e0->duration = 2 * kFrame;
    CCompositionObject* c0 = e0->AddNewObject();
    c0->object = {m.Object(20, 20, 2), 0};
    c0->window = {w0, 0};
    c0->cropped = 1, c0->cropRight = c0->cropBottom = 5;
    CCompositionObject* c1 = e0->AddNewObject();
    c1->object = {m.Object(40, 8, 3), 0};
    c1->window = {w1, 1};
    c1->x = 90;
    in.AddNewEffect()->duration = kFrame;
    m.page->outEffects.AddNewEffect()->duration = kFrame;
    a->commands.records = {ShowPageCmd(1)};
    CMenuClock clock = Clock();
    clock.AddKey(0, EMenuKey::Enter);  // waits for the effects
    struct {
        bool effect;
        bool out;
        int index;
        int page;
        size_t buttons;
        size_t commands;
    } want[] = {{true, false, 0, 0, 0, 0},  {true, false, 0, 0, 0, 0}, {true, false, 1, 0, 0, 0},
                {false, false, 0, 0, 1, 0},  // buttons; the key activates
                {true, true, 0, 0, 0, 1},    // the commands, then the out-effect
                {false, false, 0, 1, 1, 0}};
    for (const auto& w : want) {
        const SMenuFrame& f = clock.Advance();
        SCOPED_TRACE(f.frame);
        ASSERT_EQ(f.effect.has_value(), w.effect);
        if (w.effect) {
            EXPECT_EQ(f.effect->out, w.out);
            EXPECT_EQ(f.effect->index, w.index);
        }
        EXPECT_EQ(f.page->id, w.page);
        EXPECT_EQ(f.buttons.size(), w.buttons);
        EXPECT_EQ(f.commands.size(), w.commands);
    }

    // A SetButtonPage with the out-effects turned off goes straight on.
    a->commands.records = {ShowPageCmd(1, false)};
    CMenuClock skip = Clock();
    skip.AddKey(0, EMenuKey::Enter);
    for (int i = 0; i < 5; ++i) skip.Advance();
    EXPECT_FALSE(skip.Frame().effect.has_value());
    EXPECT_EQ(skip.Frame().page->id, 1);
}

TEST_F(SClockFixture, PopUpKeyPopUpMenuOffAndUserTimeOutOnBothModels) {
    CBdButton* a = AddButton(*m.page, 0, 1);
    CBdButton* b = AddButton(*m.page, 1, 1);
    Link(a, b);
    CPage* p1 = m.ds->AddNewPage();
    p1->id = 1;
    AddButton(*p1, 10, 1);
    b->commands.records = {ShowPageCmd(1)};
    a->commands.records = {PopUpMenuOff()};
    m.ds->userTimeOutDuration = 3 * kFrame;
    for (int model = 0; model < 2; ++model) {
        SCOPED_TRACE(model);
        m.ds->uiModel = static_cast<uint8_t>(model);
        const bool popUp = model == 1;
        {
            CMenuClock clock = Clock();
            clock.AddKey(kFrame, EMenuKey::Popup);
            clock.AddKey(2 * kFrame, EMenuKey::Down);  // a hidden pop-up takes no key
            clock.AddKey(3 * kFrame, EMenuKey::Popup);
            std::vector<bool> visible;
            for (int i = 0; i < 5; ++i) visible.push_back(clock.Advance().visible);
            EXPECT_EQ(visible, (std::vector<bool>{true, !popUp, !popUp, true, true}));
            EXPECT_EQ(State(clock.Frame(), 0),
                      popUp ? CMenuPlayer::kSelected : CMenuPlayer::kNormal)
                << (popUp ? "shown again with page 0's defaults" : "down, then nothing");
        }
        {
            // PopUpMenuOff hides only a pop-up; the always-on menu takes keys after it.
            CMenuClock clock = Clock();
            clock.AddKey(0, EMenuKey::Enter);
            clock.AddKey(0, EMenuKey::Down);
            for (int i = 0; i < 3; ++i) clock.Advance();
            EXPECT_EQ(clock.Frame().visible, !popUp);
            EXPECT_EQ(clock.Player().SelectedId(), popUp ? 0 : 1);
        }
        {
            // The user time-out: page 0 again on an always-on menu, a hidden pop-up.
            CMenuClock clock = Clock();
            clock.AddKey(0, EMenuKey::Down);
            clock.AddKey(0, EMenuKey::Enter);  // page 1 at frame 1
            std::vector<int> pages;
            for (int i = 0; i < 6; ++i) {
                const SMenuFrame& f = clock.Advance();
                pages.push_back(f.visible ? f.page->id : -1);
            }
            EXPECT_EQ(pages, (std::vector<int>{0, 1, 1, 1, popUp ? -1 : 0, popUp ? -1 : 0}));
        }
    }
}

TEST_F(SClockFixture, SelectionAndCompositionTimeOutsOfAMultiplexedComposition) {
    CBdButton* a = AddButton(*m.page, 0, 1);
    Link(a, AddButton(*m.page, 1, 1));
    m.ds->streamPts = 90000;
    m.ds->selectionTimeOutPts = 90000 + 2 * kFrame;
    m.ds->compositionTimeOutPts = 90000 + 4 * kFrame;
    for (int model : {1, 0}) {
        // Only a multiplexed composition has them.
        m.ds->streamModel = static_cast<uint8_t>(model);
        CMenuClock clock = Clock();
        clock.AddKey(kFrame, EMenuKey::Down);
        clock.AddKey(3 * kFrame, EMenuKey::Up);
        std::vector<int> selected;
        std::vector<bool> visible;
        for (int i = 0; i < 5; ++i) {
            visible.push_back(clock.Advance().visible);
            selected.push_back(clock.Player().SelectedId());
        }
        EXPECT_EQ(selected, (std::vector<int>{0, 1, 1, model ? 0 : 1, model ? 0 : 1}));
        EXPECT_EQ(visible, (std::vector<bool>{true, true, true, true, model == 1}));
    }
}

TEST_F(SClockFixture, NumberKeysSelectAndAnAutoActionButtonActivates) {
    CBdButton* a = AddButton(*m.page, 0, 1);
    CBdButton* b = AddButton(*m.page, 1, 1);
    CBdButton* c = AddButton(*m.page, 2, 3);
    a->numericSelectValue = 1;
    b->numericSelectValue = 2;
    c->numericSelectValue = 3;
    c->autoAction = true;
    c->commands.records = {JumpTitle(4)};
    m.page->frameRateCode = 1;
    CMenuClock clock = Clock();
    clock.AddKey(kFrame, DigitKey(2));
    clock.AddKey(2 * kFrame, DigitKey(7));
    clock.AddKey(3 * kFrame, DigitKey(3));
    struct {
        int selected;
        int stateC;
        bool exit;
    } want[] = {{0, 0, false},
                {1, 0, false},
                {1, 0, false},
                // The Activated run of three objects, then the commands.
                {2, 2, false},
                {2, 2, false},
                {2, 2, false},
                {2, -1, true}};
    for (const auto& w : want) {
        const SMenuFrame& f = clock.Advance();
        SCOPED_TRACE(f.frame);
        EXPECT_EQ(clock.Player().SelectedId(), w.selected);
        EXPECT_EQ(State(f, 2), w.stateC);
        EXPECT_EQ(f.exit.has_value(), w.exit);
        if (f.frame == 2) {
            EXPECT_EQ(f.notes, (std::vector<std::string>{"no button with numeric select value 7"}));
        }
    }
    EXPECT_TRUE(clock.Settled());
}

TEST_F(SClockFixture, AStateWithTheCompleteFlagIsShownToItsEndBeforeAKeyIsTaken) {
    CBdButton* a = AddButton(*m.page, 0, 3);
    CBdButton* b = AddButton(*m.page, 1, 1);
    Link(a, b);
    m.page->frameRateCode = 2;
    for (bool complete : {false, true}) {
        a->states[CBdButton::kSelected].complete = complete;
        CMenuClock clock = Clock();
        clock.AddKey(kFrame, EMenuKey::Down);
        int taken = -1;
        for (int i = 0; i < 8 && taken < 0; ++i)
            if (clock.Advance().keys == std::vector<std::string>{"down"})
                taken = static_cast<int>(clock.Frame().frame);
        // The end object shows in frame 4 ((3 - 1) x 2).
        EXPECT_EQ(taken, complete ? 5 : 1);
    }
}

TEST_F(SClockFixture, TheWalkAndTheMapTakeThePopUpAndTheNumberKeys) {
    CBdButton* a = AddButton(*m.page, 0, 1);
    CBdButton* b = AddButton(*m.page, 1, 1);
    b->numericSelectValue = 5;
    a->commands.records = {PopUpMenuOff()};
    m.ds->uiModel = 1;
    const SMenuMap map = ExploreMenu(*m.ds);
    auto has = [&](SMapPlace from, const char* key, SMapPlace to) {
        return std::find(map.edges.begin(), map.edges.end(), SMapEdge{from, key, to}) !=
               map.edges.end();
    };
    SMapPlace hidden;
    hidden.hidden = true;
    const SMapPlace p0b0{0, 0, std::nullopt}, p0b1{0, 1, std::nullopt};
    EXPECT_TRUE(has(p0b0, "popup", hidden));
    EXPECT_TRUE(has(p0b0, "enter", hidden)) << "PopUpMenuOff";
    EXPECT_TRUE(has(hidden, "popup", p0b0));
    EXPECT_TRUE(has(p0b0, "5", p0b1));
    EXPECT_NE(MapToDot(map).find("\"menu hidden\" [shape=ellipse"), std::string::npos);

    // An always-on menu: PopUpMenuOff and the pop-up key change nothing.
    m.ds->uiModel = 0;
    CMenuPlayer player(*m.ds);
    EXPECT_TRUE(player.Start().menuVisible);
    EXPECT_TRUE(player.Press(EMenuKey::Enter).menuVisible);
    EXPECT_EQ(player.Press(EMenuKey::Popup).note, "not a pop-up menu");
    EXPECT_EQ(player.Press(DigitKey(5)).button, 1) << "keys still work";
}

}  // namespace
}  // namespace tessel
