#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "authoring/m2ts_muxer.h"
#include "ts/esi.h"
#include "ts/packet.h"
#include "ts/pes.h"

namespace tessel {
namespace {

using authoring::CTsMuxer;

std::vector<uint8_t> TsOf(const CTsMuxer& mux, size_t index = 0) {
    auto first = mux.data.begin() + static_cast<std::ptrdiff_t>(index * 192 + 4);
    return {first, first + 188};
}

TEST(TsPacket, InitialState) {
    STsPacket p;
    EXPECT_EQ(p.syncByte, 0x47);
    EXPECT_EQ(p.pid, 0x1FFF);
    EXPECT_TRUE(p.payloadUnitStart);
    EXPECT_FALSE(p.transportPriority);
    EXPECT_FALSE(p.adaptation);
    EXPECT_FALSE(p.pes);
    EXPECT_FALSE(p.pmt);
}

TEST(TsPacket, HeaderFields) {
    std::array<uint8_t, 188> ts{};
    ts.fill(0xFF);
    ts[0] = 0x47;
    ts[1] = 0xA0 | 0x0F;  // error, priority, PID high bits
    ts[2] = 0xAB;
    ts[3] = 0xD7;  // scrambling 3, payload only, cc 7
    STsPacket p;
    EXPECT_EQ(p.ParsePacket(ts), 4);
    EXPECT_TRUE(p.transportError);
    EXPECT_FALSE(p.payloadUnitStart);
    EXPECT_TRUE(p.transportPriority);
    EXPECT_EQ(p.pid, 0x0FAB);
    EXPECT_EQ(p.scramblingControl, 3);
    EXPECT_EQ(p.adaptationFieldControl, 1);
    EXPECT_EQ(p.continuityCounter, 7);
}

TEST(TsPacket, BadSyncAndShortPacketYieldNothing) {
    std::array<uint8_t, 188> ts{};
    ts[0] = 0x48;
    STsPacket p;
    EXPECT_EQ(p.ParsePacket(ts), 0);
    ts[0] = 0x47;
    EXPECT_EQ(p.ParsePacket(std::span(ts).first(100)), 0);
}

TEST(TsPacket, PidClasses) {
    struct {
        uint16_t pid;
        EPidClass cls;
        bool elementary;
        bool graphics;
    } rows[] = {
        {0x1011, EPidClass::PrimaryVideo, true, false},
        {0x1012, EPidClass::DependentVideo, false, false},
        {0x1100, EPidClass::PrimaryAudio, true, false},
        {0x111F, EPidClass::PrimaryAudio, true, false},
        {0x1120, EPidClass::Other, false, false},
        {0x1200, EPidClass::PresentationGraphics, true, true},
        {0x12FF, EPidClass::PresentationGraphics, true, true},
        {0x1400, EPidClass::InteractiveGraphics, true, true},
        {0x141F, EPidClass::InteractiveGraphics, true, true},
        {0x1420, EPidClass::Other, false, false},
        {0x1800, EPidClass::TextSubtitle, true, true},
        {0x1A00, EPidClass::SecondaryAudio, true, false},
        {0x1B1F, EPidClass::SecondaryVideo, true, false},
        {0x1001, EPidClass::Other, false, false},
        {0x0100, EPidClass::Other, false, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.pid);
        EXPECT_EQ(ClassifyPid(r.pid), r.cls);
        EXPECT_EQ(IsElementaryPid(r.pid), r.elementary);
        EXPECT_EQ(IsGraphicsPid(r.pid), r.graphics);
    }
}

TEST(TimeStamp, ThirtyThreeBitValues) {
    for (uint64_t v : {0ull, 1ull, 90000ull, 0x7FFFull, 0x8000ull, 0xFFFFFFFFull, 0x100000000ull,
                       0x1FFFFFFFFull, 0x123456789ull}) {
        auto bytes = authoring::TimeStampBytes(3, v);
        CByteReader r(bytes);
        STimeStamp t;
        t.Read(r);
        EXPECT_EQ(t.value, v);
        EXPECT_EQ(t.prefix, 3);
        EXPECT_FALSE(r.Failed());
    }
}

TEST(Pcr, BaseExtensionAndValue) {
    for (auto [base, ext] :
         {std::pair<uint64_t, uint16_t>{0, 0}, {1, 299}, {0x1FFFFFFFF, 0x1FF}, {54000000, 17}}) {
        auto bytes = authoring::PcrBytes(base, ext);
        CByteReader r(bytes);
        SPcr pcr;
        pcr.Read(r);
        EXPECT_EQ(pcr.base, base);
        EXPECT_EQ(pcr.extension, ext);
        EXPECT_EQ(pcr.Value(), base * 300 + ext);
    }
}

TEST(AdaptationField, PcrPacketHasNoPayload) {
    CTsMuxer mux;
    mux.AddPcr(123456789, 42);
    STsPacket p;
    EXPECT_EQ(p.ParsePacket(TsOf(mux)), 188);
    ASSERT_TRUE(p.adaptation);
    EXPECT_TRUE(p.adaptation->pcrFlag);
    EXPECT_EQ(p.adaptation->pcr.base, 123456789u);
    EXPECT_EQ(p.adaptation->pcr.extension, 42);
    EXPECT_EQ(p.adaptation->length, 183);
    EXPECT_EQ(p.adaptation->stuffingBytes, 183 - 7);
}

TEST(AdaptationField, AllOptionalParts) {
    std::vector<uint8_t> af = {0xFF};  // every flag
    auto pcr = authoring::PcrBytes(1000, 1), opcr = authoring::PcrBytes(2000, 2);
    af.insert(af.end(), pcr.begin(), pcr.end());
    af.insert(af.end(), opcr.begin(), opcr.end());
    af.push_back(0xFE);                       // splice countdown
    af.insert(af.end(), {3, 'a', 'b', 'c'});  // private data
    // extension: length, flags ltw/piecewise/seamless, ltw, piecewise, splice + DTS, 2 more bytes
    auto dts = authoring::TimeStampBytes(5, 0x1ABCDEF01);
    std::vector<uint8_t> ext = {0xE0, 0x80 | 0x12, 0x34, 0xC0 | 0x3F, 0xFF, 0xFF};
    ext.insert(ext.end(), dts.begin(), dts.end());
    ext.push_back(0x11);
    ext.push_back(0x22);
    af.push_back(static_cast<uint8_t>(ext.size()));
    af.insert(af.end(), ext.begin(), ext.end());
    CTsMuxer mux;
    const std::vector<uint8_t> payload(100, 0x55);
    mux.AddPacket(0x1400, false, payload, true, false, af);
    STsPacket p;
    EXPECT_EQ(p.ParsePacket(TsOf(mux)), 88);
    ASSERT_TRUE(p.adaptation);
    const auto& a = *p.adaptation;
    EXPECT_TRUE(a.discontinuity && a.randomAccess && a.esPriority && a.pcrFlag && a.opcrFlag &&
                a.splicingPointFlag && a.privateDataFlag && a.extensionFlag);
    EXPECT_EQ(a.pcr.Value(), 300001u);
    EXPECT_EQ(a.opcr.Value(), 600002u);
    EXPECT_EQ(a.spliceCountdown, 0xFE);
    EXPECT_EQ(a.privateData, (std::vector<uint8_t>{'a', 'b', 'c'}));
    EXPECT_EQ(a.extensionLength, ext.size());
    EXPECT_TRUE(a.ltwFlag && a.piecewiseRateFlag && a.seamlessSpliceFlag && a.ltwValid);
    EXPECT_EQ(a.ltwOffset, 0x1234);
    EXPECT_EQ(a.piecewiseRate, 0x3FFFFFu);
    EXPECT_EQ(a.spliceType, 5);
    EXPECT_EQ(a.dtsNextAu.value, 0x1ABCDEF01u);
    EXPECT_EQ(a.extensionRest, (std::vector<uint8_t>{0x11, 0x22}));
    EXPECT_EQ(a.stuffingBytes, 83 - static_cast<int>(af.size()));
}

TEST(AdaptationField, LengthBeyondPacketIsDamaged) {
    CTsMuxer mux;
    mux.AddPacket(0x1400, true, std::vector<uint8_t>(10, 1));
    auto ts = TsOf(mux);
    for (int len : {184, 200, 255}) {
        ts[4] = static_cast<uint8_t>(len);
        STsPacket p;
        EXPECT_EQ(p.ParsePacket(ts), kPacketDamaged) << len;
        EXPECT_FALSE(p.adaptation);
        EXPECT_FALSE(p.pes);
    }
}

TEST(AdaptationField, OverrunningPartsDropTheFieldButKeepThePayload) {
    // Private data length runs past the adaptation field's own length.
    CTsMuxer mux;
    const std::vector<uint8_t> payload(170, 0x55);
    mux.AddPacket(0x1400, false, payload, true, false, {0x02, 50});
    auto ts = TsOf(mux);
    STsPacket p;
    EXPECT_EQ(p.ParsePacket(ts), 18);
    EXPECT_FALSE(p.adaptation);
}

TEST(TsPacket, PayloadStartPlacesThePayloadAsTheParserDoes) {
    // Packets without a PES start: payload only, adaptation field and
    // payload, adaptation field only, reserved control 0, a field longer
    // than the packet, a field whose parts overrun it, no sync byte.
    CTsMuxer mux;
    mux.AddPacket(0x1400, false, std::vector<uint8_t>(184, 1));
    mux.AddPacket(0x1400, false, std::vector<uint8_t>(100, 2), true, false, {0x00});
    mux.AddPacket(0x1400, false, std::vector<uint8_t>(170, 3), true, false, {0x02, 50});
    const struct {
        size_t packet;
        int control;   // -1: as muxed
        int afLength;  // -1: as muxed
        uint8_t sync;
    } cases[] = {{0, -1, -1, 0x47},  {1, -1, -1, 0x47}, {1, 2, -1, 0x47},  {0, 0, -1, 0x47},
                 {1, -1, 184, 0x47}, {1, 2, 200, 0x47}, {2, -1, -1, 0x47}, {0, -1, -1, 0x48}};
    for (const auto& c : cases) {
        auto ts = TsOf(mux, c.packet);
        if (c.control >= 0) ts[3] = static_cast<uint8_t>((ts[3] & 0xCF) | (c.control << 4));
        if (c.afLength >= 0) ts[4] = static_cast<uint8_t>(c.afLength);
        ts[0] = c.sync;
        STsPacket p;
        EXPECT_EQ(PayloadStart(ts.data()), p.ParsePacket(ts)) << c.packet << " " << c.control;
    }
}

TEST(TsPacket, PesHeaderOnlyForElementaryPids) {
    const std::vector<uint8_t> seg = authoring::Segment(0x16, 20);
    for (uint16_t pid : {0x1400, 0x1012, 0x0200, 0x1001}) {
        CTsMuxer mux;
        mux.AddPes(pid, 90000, std::nullopt, seg);
        STsPacket p;
        const int h = p.ParsePacket(TsOf(mux));
        const size_t stuffing = 184 - 14 - seg.size();
        if (IsElementaryPid(pid)) {
            ASSERT_TRUE(p.pes) << pid;
            EXPECT_EQ(h, static_cast<int>(4 + stuffing + 14));
            EXPECT_EQ(p.pes->pts.value, 90000u);
        } else {
            EXPECT_FALSE(p.pes) << pid;
            EXPECT_EQ(h, static_cast<int>(4 + stuffing));
        }
    }
}

TEST(TsPacket, TruncatedPesHeaderIsDamaged) {
    // The PES header data length reaches past the end of the packet.
    CTsMuxer mux;
    std::vector<uint8_t> payload = authoring::PesHeaderBytes(90000, 80000);
    payload.resize(150, 0);
    mux.AddPacket(0x1400, true, payload);
    auto ts = TsOf(mux);
    const size_t pesAt = 188 - 150;
    ts[pesAt + 8] = 200;
    STsPacket p;
    EXPECT_EQ(p.ParsePacket(ts), kPacketDamaged);
    EXPECT_FALSE(p.pes);
    // A PES start cut after its first bytes.
    CTsMuxer cut;
    std::vector<uint8_t> head = authoring::PesHeaderBytes(90000, std::nullopt);
    head.resize(5);
    cut.AddPacket(0x1400, true, head);
    EXPECT_EQ(p.ParsePacket(TsOf(cut)), kPacketDamaged);
}

TEST(TsPacket, CompletePmtIsDiscardedAtTheNextPacket) {
    CTsMuxer mux;
    mux.AddPmt({{0x91, 0x1400, {}}});
    mux.AddFiller(0x1011, 1);
    STsPacket p;
    EXPECT_EQ(p.ParsePacket(TsOf(mux, 0)), 188);
    EXPECT_TRUE(p.HasCompleteProgramMap());
    p.ParsePacket(TsOf(mux, 1));
    EXPECT_FALSE(p.pmt);
}

}  // namespace
}  // namespace tessel
