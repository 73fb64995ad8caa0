// The real interactive compositions of the corpus discs against an
// independent reading of the same bytes.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>

#include "model/ic_data.h"
#include "navcmd/navcmd.h"
#include "platform/text.h"
#include "support/corpus_json.h"
#include "support/test_support.h"

namespace tessel {
namespace {

using nlohmann::json;

// The composition body follows the nine head bytes of the ICS payload.
constexpr size_t kBodyOffset = 9;

std::string Hex(const uint8_t* b, size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s += StrFormat("%02x", b[i]);
    return s;
}

std::vector<uint8_t> Body(const std::string& key) {
    auto bytes = test::ReadBytes(test::CorpusDir() / "discs" / key);
    return {bytes.begin() + kBodyOffset, bytes.end()};
}

void ExpectButton(const CBdButton& b, const json& e) {
    SCOPED_TRACE(b.name);
    EXPECT_EQ(b.id, e["id"].get<int>());
    EXPECT_EQ(b.numericSelectValue, e["numeric_select_value"].get<int>());
    EXPECT_EQ(b.autoAction, e["auto_action"].get<int>() != 0);
    EXPECT_EQ(b.x, e["x"].get<int>());
    EXPECT_EQ(b.y, e["y"].get<int>());
    EXPECT_EQ(b.neighbors.upper.id, e["upper"].get<int>());
    EXPECT_EQ(b.neighbors.lower.id, e["lower"].get<int>());
    EXPECT_EQ(b.neighbors.left.id, e["left"].get<int>());
    EXPECT_EQ(b.neighbors.right.id, e["right"].get<int>());
    const char* names[3] = {"normal", "selected", "activated"};
    for (int s = 0; s < 3; ++s) {
        std::string n = names[s];
        EXPECT_EQ(b.states[s].start.id, e[n + "_start"].get<int>()) << n;
        EXPECT_EQ(b.states[s].end.id, e[n + "_end"].get<int>()) << n;
        if (e.contains(n + "_repeat")) {
            EXPECT_EQ(b.states[s].repeat, e[n + "_repeat"].get<int>() != 0) << n;
        }
        if (e.contains(n + "_sound")) {
            EXPECT_EQ(b.states[s].soundId, e[n + "_sound"].get<int>()) << n;
        }
    }
    ASSERT_EQ(b.commands.GetSize(), static_cast<int>(e["commands"].size()));
    for (int i = 0; i < b.commands.GetSize(); ++i) {
        const CNavCmd& c = b.commands.records[static_cast<size_t>(i)];
        EXPECT_EQ(Hex(c.bytes, 12), e["commands"][static_cast<size_t>(i)].get<std::string>());
        EXPECT_EQ("0x" + Hex(c.bytes, 12), [&] {
            std::string h = HexCommand(c);
            for (auto& ch : h)
                if (ch >= 'A' && ch <= 'F') ch = static_cast<char>(ch - 'A' + 'a');
            return h;
        }());
    }
}

void ExpectSequence(const CEffectSequenceObject& seq, const json& e) {
    ASSERT_EQ(seq.windows.GetSize(), static_cast<int>(e["windows"].size()));
    ASSERT_EQ(seq.GetSize(), static_cast<int>(e["effects"].size()));
}

void ExpectComposition(const CIcData& ic, const json& e) {
    EXPECT_EQ(ic.streamModel, e["stream_model"].get<int>());
    EXPECT_EQ(ic.uiModel, e["ui_model"].get<int>());
    EXPECT_EQ(ic.userTimeOutDuration, e["user_timeout_duration"].get<uint32_t>());
    if (!e["composition_timeout_pts"].is_null()) {
        EXPECT_EQ(ic.compositionTimeOutPts, e["composition_timeout_pts"].get<uint64_t>());
    }
    if (!e["selection_timeout_pts"].is_null()) {
        EXPECT_EQ(ic.selectionTimeOutPts, e["selection_timeout_pts"].get<uint64_t>());
    }
    ASSERT_EQ(ic.GetSize(), e["num_pages"].get<int>());
    for (int p = 0; p < ic.GetSize(); ++p) {
        const CPage& page = *ic.GetAt(p);
        const json& ep = e["pages"][static_cast<size_t>(p)];
        SCOPED_TRACE(page.name);
        EXPECT_EQ(page.name, NumberedName("Page", p + 1));
        EXPECT_EQ(page.id, ep["id"].get<int>());
        EXPECT_EQ(page.version, ep["version"].get<int>());
        EXPECT_EQ(Hex(page.uoMask, 8), ep["uo_mask"].get<std::string>());
        EXPECT_EQ(page.frameRateCode, ep["animation_frame_rate_code"].get<int>());
        EXPECT_EQ(page.defaultSelected.id, ep["default_selected_button_id_ref"].get<int>());
        EXPECT_EQ(page.defaultActivated.id, ep["default_activated_button_id_ref"].get<int>());
        EXPECT_EQ(page.palette.id, ep["palette_id_ref"].get<int>());
        ExpectSequence(page.inEffects, ep["in_effects"]);
        ExpectSequence(page.outEffects, ep["out_effects"]);
        ASSERT_EQ(page.GetSize(), static_cast<int>(ep["bogs"].size()));
        for (int g = 0; g < page.GetSize(); ++g) {
            const CBog& bog = *page.GetAt(g);
            const json& eg = ep["bogs"][static_cast<size_t>(g)];
            EXPECT_EQ(bog.name, NumberedName("Bog", g + 1));
            EXPECT_EQ(bog.defaultValid.id, eg["default_valid_button_id_ref"].get<int>());
            ASSERT_EQ(bog.GetSize(), static_cast<int>(eg["buttons"].size()));
            for (int b = 0; b < bog.GetSize(); ++b)
                ExpectButton(*bog.GetAt(b), eg["buttons"][static_cast<size_t>(b)]);
        }
    }
}

// Graphic objects for every id the page's buttons name, sized by id so that
// states stay consistent.
std::vector<std::unique_ptr<CGraphicObject>> ObjectsFor(const CIcData& ic) {
    std::vector<std::unique_ptr<CGraphicObject>> objects;
    int32_t maxId = -1;
    for (const auto& page : ic)
        for (const auto* b : page->AllButtons())
            for (const auto& s : b->states)
                maxId = std::max({maxId, s.start.id == 0xFFFF ? -1 : s.start.id,
                                  s.end.id == 0xFFFF ? -1 : s.end.id});
    for (int32_t i = 0; i <= maxId; ++i) {
        auto o = std::make_unique<CGraphicObject>();
        o->id = i;
        o->width = 100;
        o->height = 50;
        objects.push_back(std::move(o));
    }
    return objects;
}

// The seven corpus compositions, each parsed from its body and checked by a
// test, with graphic objects for its references.
class IcsCorpus : public ::testing::Test {
protected:
    struct SComposition {
        const json& expected;
        const std::vector<uint8_t>& body;
        CIcData& ic;
        int consumed;  // by the parse
        CGraphicObjectList& objects;
    };

    void SetUp() override {
        TESSEL_REQUIRE_CORPUS();
        expected_ = test::CorpusExpected("ics.json");
        ASSERT_EQ(expected_.size(), 7u);
    }
    void ForEach(const std::function<void(SComposition&)>& check) {
        for (const auto& [key, e] : expected_.items()) {
            SCOPED_TRACE(key);
            const auto body = Body(key);
            CIcData ic;
            const int consumed = ic.Parse(body, 0);
            ASSERT_GT(consumed, 0);
            auto owned = ObjectsFor(ic);
            CGraphicObjectList list;
            for (auto& o : owned) list.push_back(o.get());
            SComposition c{e, body, ic, consumed, list};
            check(c);
        }
    }

    json expected_;
};

TEST_F(IcsCorpus, BodiesParseAndAgreeWithIndependentReading) {
    ForEach([](SComposition& c) {
        ASSERT_EQ(c.consumed, static_cast<int>(c.body.size()));
        EXPECT_EQ(c.consumed + kBodyOffset, c.expected["bytes_consumed"].get<size_t>());
        EXPECT_EQ(c.ic.compositionLength + 3, c.body.size());
        ExpectComposition(c.ic, c.expected);
    });
}

TEST_F(IcsCorpus, WriteGivesTheSameBytes) {
    ForEach([](SComposition& c) {
        CIcData& ic = c.ic;
        const auto& body = c.body;
        int size = ic.Write(nullptr, 0);
        ASSERT_EQ(size, static_cast<int>(body.size()));
        std::vector<uint8_t> out(static_cast<size_t>(size));
        EXPECT_EQ(ic.Write(out.data(), 0), size);
        EXPECT_EQ(out, body);

        // Resolving against objects and refreshing the ids changes nothing.
        ASSERT_TRUE(ic.ResolveRefs(c.objects, {}));
        for (const auto& page : ic) {
            // Buttons pointed to are the page's own.
            auto all = page->AllButtons();
            for (auto* b : all)
                for (auto* n : b->neighbors.refs())
                    if (n->ptr) {
                        EXPECT_NE(std::find(all.begin(), all.end(), n->ptr), all.end());
                    }
        }
    });
}

TEST_F(IcsCorpus, CopiedPagesResolveToEqualPages) {
    ForEach([](SComposition& c) {
        CIcData& ic = c.ic;
        const CGraphicObjectList& list = c.objects;
        ASSERT_TRUE(ic.ResolveRefs(list, {}));
        for (const auto& page : ic) {
            CPage copy;
            copy.CopyFrom(*page);
            // Before resolving, references still point into the source page.
            auto srcButtons = page->AllButtons();
            if (copy.defaultSelected.ptr) {
                EXPECT_EQ(copy.defaultSelected.ptr, page->defaultSelected.ptr);
            }
            ASSERT_TRUE(copy.ResolveRefs(list, {}));
            auto buttons = copy.AllButtons();
            ASSERT_EQ(buttons.size(), srcButtons.size());
            for (size_t i = 0; i < buttons.size(); ++i) {
                EXPECT_NE(buttons[i], srcButtons[i]);
                EXPECT_EQ(buttons[i]->name, srcButtons[i]->name);
                EXPECT_EQ(buttons[i]->parent, copy.GetAt(page->IndexOf(srcButtons[i]->parent)));
                auto targets = buttons[i]->neighbors.refs();
                auto srcTargets = srcButtons[i]->neighbors.refs();
                for (int k = 0; k < 4; ++k) {
                    if (!srcTargets[k]->ptr) {
                        EXPECT_EQ(targets[k]->ptr, nullptr);
                        continue;
                    }
                    auto at = std::find(srcButtons.begin(), srcButtons.end(), srcTargets[k]->ptr) -
                              srcButtons.begin();
                    EXPECT_EQ(targets[k]->ptr, buttons[static_cast<size_t>(at)]);
                }
                for (int s = 0; s < 3; ++s) {
                    EXPECT_EQ(buttons[i]->states[s].start.ptr, srcButtons[i]->states[s].start.ptr);
                    EXPECT_EQ(buttons[i]->states[s].end.ptr, srcButtons[i]->states[s].end.ptr);
                }
            }
            for (int g = 0; g < copy.GetSize(); ++g) {
                const CBog* src = page->GetAt(g);
                const CBog* dst = copy.GetAt(g);
                EXPECT_EQ(dst->parent, &copy);
                EXPECT_EQ(dst->IndexOf(dst->defaultValid.ptr), src->IndexOf(src->defaultValid.ptr));
            }
            if (page->defaultSelected.ptr) {
                auto at =
                    std::find(srcButtons.begin(), srcButtons.end(), page->defaultSelected.ptr) -
                    srcButtons.begin();
                EXPECT_EQ(copy.defaultSelected.ptr, buttons[static_cast<size_t>(at)]);
            }
            EXPECT_EQ(copy.inEffects.parent, &copy);
            EXPECT_EQ(copy.outEffects.parent, &copy);
            // Same bytes and the same objects in the same order.
            std::vector<uint8_t> a(static_cast<size_t>(page->Write(nullptr, 0)));
            std::vector<uint8_t> b(static_cast<size_t>(copy.Write(nullptr, 0)));
            page->Write(a.data(), 0);
            copy.Write(b.data(), 0);
            EXPECT_EQ(a, b);
            int splitA = 0, splitB = 0;
            EXPECT_EQ(page->UsedObjects(list, &splitA), copy.UsedObjects(list, &splitB));
            EXPECT_EQ(splitA, splitB);
        }
    });
}

TEST_F(IcsCorpus, ArchiveRoundTrip) {
    ForEach([](SComposition& c) {
        CIcData& ic = c.ic;
        // The archive keeps references as ids refreshed from their pointers,
        // so resolve them first against objects and palettes.
        std::vector<std::unique_ptr<CNamedObject>> palettes;
        CPaletteList paletteList;
        for (int i = 0; i < 8; ++i) {
            palettes.push_back(std::make_unique<CNamedObject>());
            palettes.back()->id = i;
            paletteList.push_back(palettes.back().get());
        }
        ASSERT_TRUE(ic.ResolveRefs(c.objects, paletteList));
        CArchive store;
        ic.Serialize(store);
        CArchive load(store.Buffer());
        CIcData back;
        back.Serialize(load);
        EXPECT_TRUE(load.AtEnd());
        std::vector<uint8_t> out(static_cast<size_t>(back.Write(nullptr, 0)));
        back.Write(out.data(), 0);
        EXPECT_EQ(out, c.body);
        for (int p = 0; p < ic.GetSize(); ++p) {
            EXPECT_EQ(back.GetAt(p)->name, ic.GetAt(p)->name);
            EXPECT_EQ(back.GetAt(p)->parent, &back);
            auto a = ic.GetAt(p)->AllButtons(), b = back.GetAt(p)->AllButtons();
            ASSERT_EQ(a.size(), b.size());
            for (size_t i = 0; i < a.size(); ++i) {
                EXPECT_EQ(a[i]->name, b[i]->name);
                EXPECT_EQ(a[i]->buttonType, b[i]->buttonType);
            }
        }
    });
}

}  // namespace
}  // namespace tessel
