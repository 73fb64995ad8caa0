#include "ts/packet.h"

#include "platform/read_file.h"
#include "ts/esi.h"
#include "ts/pes.h"

namespace tessel {

namespace {
constexpr size_t kScanBlock = 100 * kSourcePacketSize;  // 19,200 bytes
}  // namespace

EPidClass ClassifyPid(uint16_t pid) {
    if (pid == 0x1011) return EPidClass::PrimaryVideo;
    if (pid == 0x1012) return EPidClass::DependentVideo;
    if (pid >= 0x1100 && pid <= 0x111F) return EPidClass::PrimaryAudio;
    if (pid >= 0x1200 && pid <= 0x12FF) return EPidClass::PresentationGraphics;
    if (pid >= 0x1400 && pid <= 0x141F) return EPidClass::InteractiveGraphics;
    if (pid == 0x1800) return EPidClass::TextSubtitle;
    if (pid >= 0x1A00 && pid <= 0x1A1F) return EPidClass::SecondaryAudio;
    if (pid >= 0x1B00 && pid <= 0x1B1F) return EPidClass::SecondaryVideo;
    return EPidClass::Other;
}

bool IsElementaryPid(uint16_t pid) {
    const EPidClass c = ClassifyPid(pid);
    return c != EPidClass::Other && c != EPidClass::DependentVideo;
}

bool IsGraphicsPid(uint16_t pid) {
    const EPidClass c = ClassifyPid(pid);
    return c == EPidClass::PresentationGraphics || c == EPidClass::InteractiveGraphics ||
           c == EPidClass::TextSubtitle;
}

bool SAdaptationField::Parse(CByteReader& r) {
    length = r.U8();
    CByteReader f = r.Sub(length);
    if (r.Failed()) return false;
    if (length == 0) return true;
    discontinuity = f.Flag();
    randomAccess = f.Flag();
    esPriority = f.Flag();
    pcrFlag = f.Flag();
    opcrFlag = f.Flag();
    splicingPointFlag = f.Flag();
    privateDataFlag = f.Flag();
    extensionFlag = f.Flag();
    if (pcrFlag) pcr.Read(f);
    if (opcrFlag) opcr.Read(f);
    if (splicingPointFlag) spliceCountdown = f.U8();
    if (privateDataFlag) {
        auto v = f.View(f.U8());
        privateData.assign(v.begin(), v.end());
    }
    if (extensionFlag) {
        extensionLength = f.U8();
        CByteReader x = f.Sub(extensionLength);
        if (extensionLength > 0) {
            ltwFlag = x.Flag();
            piecewiseRateFlag = x.Flag();
            seamlessSpliceFlag = x.Flag();
            x.SkipBits(5);
            if (ltwFlag) {
                ltwValid = x.Flag();
                ltwOffset = static_cast<uint16_t>(x.Bits(15));
            }
            if (piecewiseRateFlag) {
                x.SkipBits(2);
                piecewiseRate = x.Bits(22);
            }
            if (seamlessSpliceFlag) {
                dtsNextAu.Read(x);
                spliceType = dtsNextAu.prefix;
            }
            auto rest = x.View(x.Remaining());
            extensionRest.assign(rest.begin(), rest.end());
        }
        if (x.Failed()) return false;
    }
    if (f.Failed()) return false;
    // Bytes left of length + 1, the length byte counted as consumed.
    stuffingBytes = static_cast<int>(f.Remaining());
    return true;
}

STsPacket::STsPacket() = default;
STsPacket::~STsPacket() = default;

bool STsPacket::HasCompleteProgramMap() const {
    return pmt && pmt->Complete() && pmt->Valid();
}

std::unique_ptr<CEsiFolder> STsPacket::TakeProgramMap() {
    if (!HasCompleteProgramMap()) return nullptr;
    return std::move(pmt);
}

int STsPacket::ParsePacket(std::span<const uint8_t> packet) {
    adaptation.reset();
    pes.reset();
    if (pmt && pmt->Complete()) pmt.reset();
    if (packet.size() < kTsPacketSize || packet[0] != kSyncByte) return 0;

    CByteReader r(packet.first(kTsPacketSize));
    syncByte = r.U8();
    transportError = r.Flag();
    payloadUnitStart = r.Flag();
    transportPriority = r.Flag();
    pid = static_cast<uint16_t>(r.Bits(13));
    scramblingControl = static_cast<uint8_t>(r.Bits(2));
    adaptationFieldControl = static_cast<uint8_t>(r.Bits(2));
    continuityCounter = static_cast<uint8_t>(r.Bits(4));

    if (adaptationFieldControl & 2) {
        // An adaptation field longer than the packet: no payload can be found.
        if (packet[4] > kTsPacketSize - 5) return kPacketDamaged;
        SAdaptationField af;
        CByteReader ar = r.Sub(packet[4] + 1u);
        // A field whose own parts overrun it is dropped; its length still
        // places the payload.
        if (af.Parse(ar)) adaptation = std::move(af);
    }
    // Without a payload (control 2, or the reserved value 0) nothing follows.
    if (!(adaptationFieldControl & 1)) return static_cast<int>(kTsPacketSize);

    const int payloadStart = static_cast<int>(r.Pos());
    if (pid == kPmtPid) {
        ParsePmtPayload(r);
        return static_cast<int>(kTsPacketSize);
    }
    if (payloadUnitStart && IsElementaryPid(pid) && !r.AtEnd()) {
        auto header = std::make_unique<SPesHeader>();
        const int len = header->Parse(r);
        if (len < 0 || payloadStart + len > static_cast<int>(kTsPacketSize)) return kPacketDamaged;
        pes = std::move(header);
        return payloadStart + len;
    }
    return payloadStart;
}

void STsPacket::ParsePmtPayload(CByteReader& r) {
    if (payloadUnitStart) {
        const uint8_t pointer = r.U8();
        r.Skip(pointer);
        auto folder = std::make_unique<CEsiFolder>();
        // A start that is not a PMT section drops any section in progress.
        pmt.reset();
        if (r.Failed() || !folder->StartSection(r)) return;
        pmt = std::move(folder);
    } else if (!pmt || !pmt->Started()) {
        return;  // a continuation before any section start
    }
    pmt->AppendSection(r);
}

std::unique_ptr<CEsiFolder> ReadProgramMap(CReadFile& file) {
    const int64_t saved = file.Position();
    std::unique_ptr<CEsiFolder> result;
    if (file.Seek(0)) {
        std::vector<uint8_t> block(kScanBlock);
        STsPacket packet;
        size_t got;
        while (!result && (got = file.Read(block.data(), block.size())) > 0) {
            for (size_t off = 0; off + kSourcePacketSize <= got; off += kSourcePacketSize) {
                const uint8_t* ts = block.data() + off + 4;
                if (PacketPid(ts) != kPmtPid) continue;
                packet.ParsePacket({ts, kTsPacketSize});
                if ((result = packet.TakeProgramMap())) break;
            }
        }
    }
    file.Seek(saved);
    return result;
}

std::optional<SFirstPts> FindFirstPts(std::span<const uint8_t> block) {
    STsPacket packet;
    for (size_t off = 0; off + kSourcePacketSize <= block.size(); off += kSourcePacketSize) {
        const uint8_t* ts = block.data() + off + 4;
        const int pid = PacketPid(ts);
        if (pid < 0 || !IsElementaryPid(static_cast<uint16_t>(pid)) || !(ts[1] & 0x40)) continue;
        packet.ParsePacket({ts, kTsPacketSize});
        if (packet.pes && packet.pes->HasPts()) return SFirstPts{packet.pes->pts.value, packet.pid};
    }
    return std::nullopt;
}

std::optional<SFirstPcr> FindFirstPcr(std::span<const uint8_t> block) {
    if (block.size() < kSourcePacketSize) return std::nullopt;
    const uint32_t firstAts = ArrivalTimeStamp(block.data());
    STsPacket packet;
    for (size_t off = 0; off + kSourcePacketSize <= block.size(); off += kSourcePacketSize) {
        const uint8_t* sp = block.data() + off;
        if (PacketPid(sp + 4) != kPcrPid) continue;
        packet.ParsePacket({sp + 4, kTsPacketSize});
        if (packet.adaptation && packet.adaptation->pcrFlag)
            return SFirstPcr{packet.adaptation->pcr.Value(), ArrivalTimeStamp(sp), firstAts};
    }
    return std::nullopt;
}

}  // namespace tessel
