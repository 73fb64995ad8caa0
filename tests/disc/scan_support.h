// Helpers of the disc scan and rip tests: generated discs and comparison of
// scanned menu trees with the authored ones.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "authoring/sample_disc.h"
#include "model/ig_object.h"
#include "platform/files.h"
#include "platform/progress.h"
#include "support/authored_menu.h"
#include "support/recorders.h"

namespace tessel::test {

template <class T>
int RefId(const CRef<T>& ref) {
    return ref.ptr ? ref.ptr->id : ref.id;
}

inline authoring::SClipSpec Clip(int number, uint8_t type, std::vector<uint16_t> pids,
                                 bool viaSubPath = false) {
    authoring::SClipSpec c;
    c.number = number;
    c.applicationType = type;
    c.igPids = std::move(pids);
    c.viaSubPath = viaSubPath;
    c.presentationGraphicsOnly = c.igPids.empty();
    c.menu = SmallMenu();
    return c;
}

// Writes root/BDMV; returns the BDMV folder.
inline std::string Generate(const std::filesystem::path& root, const authoring::SDiscOptions& o,
                            std::vector<authoring::SAuthoredClip>* authored = nullptr) {
    EXPECT_EQ(authoring::WriteSampleDisc(root.string(), o, authored).Message(), "");
    return (root / "BDMV").string();
}

// The scanned tree carries what was authored: epochs, display sets, pages,
// groups, buttons (ids, positions, neighbours, commands, state objects) and
// the graphic objects' ids and sizes.
inline void ExpectSameTree(const CIgObject& authored, const CIgObject& scanned) {
    EXPECT_EQ(scanned.video.width, authored.video.width);
    EXPECT_EQ(scanned.video.height, authored.video.height);
    EXPECT_EQ(scanned.video.frameRate, authored.video.frameRate);
    ASSERT_EQ(scanned.GetSize(), authored.GetSize());
    for (int e = 0; e < authored.GetSize(); ++e) {
        const CEpoch& ae = *authored.GetAt(e);
        const CEpoch& se = *scanned.GetAt(e);
        SCOPED_TRACE(ae.name);
        EXPECT_EQ(se.name, ae.name);
        // The stream carries the objects in the order the pages use them.
        std::map<int, std::pair<int, int>> authoredSizes, scannedSizes;
        for (const auto& go : ae.graphics.items) authoredSizes[go->id] = {go->width, go->height};
        for (const auto& go : se.graphics.items) scannedSizes[go->id] = {go->width, go->height};
        EXPECT_EQ(se.graphics.items.size(), ae.graphics.items.size());
        EXPECT_EQ(scannedSizes, authoredSizes);
        ASSERT_EQ(se.GetSize(), ae.GetSize());
        for (int d = 0; d < ae.GetSize(); ++d) {
            const CDisplaySet& ads = *ae.GetAt(d);
            const CDisplaySet& sds = *se.GetAt(d);
            EXPECT_EQ(sds.compositionState, ads.compositionState);
            ASSERT_EQ(sds.GetSize(), ads.GetSize());
            for (int p = 0; p < ads.GetSize(); ++p) {
                const CPage& ap = *ads.GetAt(p);
                const CPage& sp = *sds.GetAt(p);
                SCOPED_TRACE("page " + std::to_string(p));
                EXPECT_EQ(sp.id, ap.id);
                EXPECT_EQ(RefId(sp.defaultSelected), RefId(ap.defaultSelected));
                EXPECT_EQ(RefId(sp.palette), RefId(ap.palette));
                ASSERT_EQ(sp.GetSize(), ap.GetSize());
                for (int g = 0; g < ap.GetSize(); ++g) {
                    const CBog& ag = *ap.GetAt(g);
                    const CBog& sg = *sp.GetAt(g);
                    EXPECT_EQ(RefId(sg.defaultValid), RefId(ag.defaultValid));
                    ASSERT_EQ(sg.GetSize(), ag.GetSize());
                    for (int b = 0; b < ag.GetSize(); ++b) {
                        const CBdButton& ab = *ag.GetAt(b);
                        const CBdButton& sb = *sg.GetAt(b);
                        SCOPED_TRACE("button " + std::to_string(ab.id));
                        EXPECT_EQ(sb.id, ab.id);
                        EXPECT_EQ(sb.x, ab.x);
                        EXPECT_EQ(sb.y, ab.y);
                        EXPECT_EQ(sb.numericSelectValue, ab.numericSelectValue);
                        EXPECT_EQ(RefId(sb.neighbors.upper), RefId(ab.neighbors.upper));
                        EXPECT_EQ(RefId(sb.neighbors.lower), RefId(ab.neighbors.lower));
                        EXPECT_EQ(RefId(sb.neighbors.left), RefId(ab.neighbors.left));
                        EXPECT_EQ(RefId(sb.neighbors.right), RefId(ab.neighbors.right));
                        for (int s = 0; s < 3; ++s) {
                            EXPECT_EQ(RefId(sb.states[s].start), RefId(ab.states[s].start));
                            EXPECT_EQ(RefId(sb.states[s].end), RefId(ab.states[s].end));
                            // The scanned state resolves to a graphic object of its epoch.
                            EXPECT_NE(sb.states[s].start.ptr, nullptr);
                        }
                        ASSERT_EQ(sb.commands.records.size(), ab.commands.records.size());
                        for (size_t c = 0; c < ab.commands.records.size(); ++c)
                            EXPECT_TRUE(sb.commands.records[c] == ab.commands.records[c]);
                    }
                }
            }
        }
    }
}

// Cancels at its first event pump.
class CCancellingProgress : public CProgressWnd {
protected:
    void Pump() override { Cancel(); }
};

}  // namespace tessel::test
