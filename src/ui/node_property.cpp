#include "ui/node_property.h"

#include "database/clpi.h"
#include "disc/disc_scan.h"
#include "model/ig_object.h"
#include "model/page.h"
#include "platform/text.h"
#include "subtitle/pg_stream.h"
#include "ui/property_text.h"

using namespace tessel;

namespace {

template <class T>
std::string RefName(const CRef<T>& ref) {
    return ref.ptr ? ref.ptr->name : std::string();
}

template <class T>
int32_t RefId(const CRef<T>& ref) {
    return ref.ptr ? ref.ptr->id : ref.id;
}

}  // namespace

void CPropertyList::Add(const std::string& group, const std::string& label,
                        const std::string& value) {
    rows_.push_back({group, label, value, false, false});
}

void CPropertyList::AddNumber(const std::string& group, const std::string& label, long long value) {
    Add(group, label, StrFormat("%lld", value));
}

void CPropertyList::AddCheck(const std::string& group, const std::string& label, bool checked) {
    rows_.push_back({group, label, std::string(), true, checked});
}

std::vector<std::string> CPropertyList::Groups() const {
    std::vector<std::string> groups;
    for (const auto& row : rows_)
        if (groups.empty() || groups.back() != row.group) {
            bool seen = false;
            for (const auto& g : groups) seen = seen || g == row.group;
            if (!seen) groups.push_back(row.group);
        }
    return groups;
}

void CNodeProperty::Fill(CPropertyList& list) const {
    list.Clear();
    list.Add(kBasic, "Name", node_.name);
}

std::unique_ptr<CNodeProperty> CNodeProperty::Create(const CNamedObject* node) {
    if (!node) return nullptr;
    if (auto* disc = dynamic_cast<const CTlDisc*>(node))
        return std::make_unique<CDiscProperty>(*disc);
    if (auto* clip = dynamic_cast<const CTlM2tsObject*>(node))
        return std::make_unique<CM2tsProperty>(*clip);
    if (auto* ig = dynamic_cast<const CIgObject*>(node)) return std::make_unique<CIgProperty>(*ig);
    if (auto* page = dynamic_cast<const CPage*>(node))
        return std::make_unique<CPageProperty>(*page);
    if (auto* bog = dynamic_cast<const CBog*>(node)) return std::make_unique<CBogProperty>(*bog);
    if (auto* button = dynamic_cast<const CBdButton*>(node))
        return std::make_unique<CButtonProperty>(*button);
    if (auto* stream = dynamic_cast<const CPgStreamObject*>(node))
        return std::make_unique<CPgStreamProperty>(*stream);
    if (auto* event = dynamic_cast<const CPgEventObject*>(node))
        return std::make_unique<CPgEventProperty>(*event);
    if (auto* epoch = dynamic_cast<const CEpoch*>(node))
        return std::make_unique<CEpochProperty>(*epoch);
    if (auto* ds = dynamic_cast<const CDisplaySet*>(node))
        return std::make_unique<CDisplaySetProperty>(*ds);
    if (auto* fault = dynamic_cast<const CFaultNode*>(node))
        return std::make_unique<CFaultProperty>(*fault);
    return nullptr;
}

CDiscProperty::CDiscProperty(const CTlDisc& disc) : CNodeProperty(disc), disc_(disc) {}

void CDiscProperty::Fill(CPropertyList& list) const {
    CNodeProperty::Fill(list);
    list.AddNumber(kBasic, "IG M2ts(s)", static_cast<long long>(disc_.clips.size()));
}

CM2tsProperty::CM2tsProperty(const CTlM2tsObject& clip) : CNodeProperty(clip), clip_(clip) {}

void CM2tsProperty::Fill(CPropertyList& list) const {
    CNodeProperty::Fill(list);
    if (clip_.igObjects.size() >= 2)
        list.AddNumber(kBasic, "PID(s)", static_cast<long long>(clip_.igObjects.size()));
    const CClpiObject* info = clip_.clipInfo.get();
    if (!info) return;
    list.Add(kBasic, "Size", ui::SizeText(info->clipInfo.numberOfSourcePackets));
    list.AddNumber(kBasic, "Application Type", info->clipInfo.applicationType);
    list.Add(kBasic, "Recording Rate",
             StrFormat("%lld bit/s", static_cast<long long>(info->clipInfo.tsRecordingRate) * 8));
    if (!info->sequenceInfo.stcSequences.empty()) {
        const SStcSequence& stc = info->sequenceInfo.stcSequences.front();
        const int rate = clip_.igObjects.empty() ? 0 : clip_.igObjects.front()->video.frameRate;
        list.Add(kBasic, "Start PTS", ui::TimeCodeText(stc.startPts, rate));
        list.Add(kBasic, "End PTS", ui::TimeCodeText(stc.endPts, rate));
    }
    list.AddNumber(kBasic, "Track(s)", info->tracks.GetSize());
    // What the scan could not read of it.
    if (clip_.cutPacketAt >= 0)
        list.Add(kFaults, "Cut",
                 StrFormat("the file ends in the middle of the source packet at byte %lld",
                           static_cast<long long>(clip_.cutPacketAt)));
    for (const std::string& loss : clip_.losses) list.Add(kFaults, "Lost", loss);
    // Its one stream has no node of its own.
    if (clip_.igObjects.size() == 1)
        CIgProperty::AddRows(list, *clip_.igObjects.front(), "IG Stream", "IG Stream");
}

CFaultProperty::CFaultProperty(const CFaultNode& fault) : CNodeProperty(fault), fault_(fault) {}

void CFaultProperty::Fill(CPropertyList& list) const {
    CNodeProperty::Fill(list);
    list.Add(kBasic, "File", fault_.path);
    list.Add(kBasic, "Reason", fault_.reason);
}

CIgProperty::CIgProperty(const CIgObject& ig) : CNodeProperty(ig), ig_(ig) {}

void CIgProperty::Fill(CPropertyList& list) const {
    CNodeProperty::Fill(list);
    AddRows(list, ig_, kBasic, "Advanced");
}

void CIgProperty::AddRows(CPropertyList& list, const CIgObject& ig, const std::string& basic,
                          const std::string& advanced) {
    list.Add(basic, "PID", StrFormat("0x%04X", ig.id));
    list.AddNumber(basic, "Epoch(s)", ig.GetSize());
    if (ig.GetSize() != 1 || ig.GetAt(0)->GetSize() != 1) return;
    const CEpoch& epoch = *ig.GetAt(0);
    const CDisplaySet& ds = *epoch.GetAt(0);
    list.Add(advanced, "Video Mode", VideoDescriptorText(ig.video));
    list.AddNumber(advanced, "Page(s)", ds.GetSize());
    list.AddNumber(advanced, "Graphic(s)", epoch.graphics.CountItems());
    list.AddNumber(advanced, "Palette(s)", epoch.palettes.GetSize());
    list.Add(advanced, "User Interface", ui::UiModelText(ds.uiModel));
}

CPageProperty::CPageProperty(const CPage& page) : CNodeProperty(page), page_(page) {}

void CPageProperty::Fill(CPropertyList& list) const {
    CNodeProperty::Fill(list);
    const uint8_t* m = page_.uoMask;
    list.AddNumber(kBasic, "Version", page_.version);
    list.AddNumber(kBasic, "Palette ID", RefId(page_.palette));
    list.Add(kBasic, "Default Selected", RefName(page_.defaultSelected));
    list.Add(kBasic, "Default Activated", RefName(page_.defaultActivated));
    list.Add(kBasic, "UO Mask",
             StrFormat("0x%02x%02x%02x%02x%02x%02x%02x%02x", m[0], m[1], m[2], m[3], m[4], m[5],
                       m[6], m[7]));
    list.AddNumber(kBasic, "Bog(s)", page_.GetSize());
    list.AddNumber(kBasic, "Button(s)", static_cast<long long>(page_.AllButtons().size()));
    list.AddNumber(kBasic, "In Effect(s)", page_.inEffects.GetSize());
    list.AddNumber(kBasic, "Out Effect(s)", page_.outEffects.GetSize());
    list.AddNumber(kBasic, "Animation FrameRate Code", page_.frameRateCode);
}

CBogProperty::CBogProperty(const CBog& bog) : CNodeProperty(bog), bog_(bog) {}

void CBogProperty::Fill(CPropertyList& list) const {
    CNodeProperty::Fill(list);
    list.Add(kBasic, "Default", RefName(bog_.defaultValid));
    list.AddNumber(kBasic, "Button(s)", bog_.GetSize());
}

CButtonProperty::CButtonProperty(const CBdButton& button)
    : CNodeProperty(button), button_(button) {}

void CButtonProperty::Fill(CPropertyList& list) const {
    CNodeProperty::Fill(list);
    const CBdButton& b = button_;
    list.AddNumber(kBasic, "ID", b.id);
    list.AddCheck(kBasic, "AutoAction", b.autoAction);
    int left, top, right, bottom;
    b.GetRect(left, top, right, bottom);
    list.Add(kBasic, "Rect", StrFormat("(%d, %d), (%d, %d)", left, top, right, bottom));
    list.AddNumber(kBasic, "Commands", b.commands.GetSize());
    const char* neighbor = "Neighbor";
    list.Add(neighbor, "Up", RefName(b.neighbors.upper));
    list.Add(neighbor, "Down", RefName(b.neighbors.lower));
    list.Add(neighbor, "Left", RefName(b.neighbors.left));
    list.Add(neighbor, "Right", RefName(b.neighbors.right));
    static const char* const kStates[3] = {"Normal", "Selected", "Activated"};
    for (int s = 0; s < 3; ++s) {
        const CButtonStateInfo& state = b.states[s];
        list.Add(kStates[s], "Graphics",
                 StrFormat("(%d, %d)", ui::ShownObjectId(RefId(state.start)),
                           ui::ShownObjectId(RefId(state.end))));
        if (s != CBdButton::kActivated) {
            list.AddCheck(kStates[s], "Repeat", state.repeat);
            list.AddCheck(kStates[s], "Complete", state.complete);
        }
        if (s != CBdButton::kNormal)
            list.AddNumber(kStates[s], "Sound", ui::ShownSoundId(state.soundId));
    }
}

CEpochProperty::CEpochProperty(const CEpoch& epoch) : CNodeProperty(epoch), epoch_(epoch) {}

void CEpochProperty::Fill(CPropertyList& list) const {
    CNodeProperty::Fill(list);
    list.AddNumber(kBasic, "Display Set(s)", epoch_.GetSize());
    list.AddNumber(kBasic, "Graphic(s)", epoch_.graphics.CountItems());
    list.AddNumber(kBasic, "Palette(s)", epoch_.palettes.GetSize());
}

CDisplaySetProperty::CDisplaySetProperty(const CDisplaySet& ds) : CNodeProperty(ds), ds_(ds) {}

void CDisplaySetProperty::Fill(CPropertyList& list) const {
    CNodeProperty::Fill(list);
    list.AddNumber(kBasic, "Frame", ds_.frameNumber);
    if (ds_.streamPts >= 0)
        list.Add(kBasic, "PTS",
                 StrFormat("%s (%lld)", ClockTime(static_cast<uint64_t>(ds_.streamPts)).c_str(),
                           static_cast<long long>(ds_.streamPts)));
    list.Add(kBasic, "Composition State", ui::CompositionStateText(ds_.compositionState));
    list.Add(kBasic, "User Interface", ui::UiModelText(ds_.uiModel));
    list.AddNumber(kBasic, "Page(s)", ds_.GetSize());
}

CPgStreamProperty::CPgStreamProperty(const CPgStreamObject& stream)
    : CNodeProperty(stream), stream_(stream) {}

void CPgStreamProperty::Fill(CPropertyList& list) const {
    CNodeProperty::Fill(list);
    list.Add(kBasic, "PID", StrFormat("0x%04X", stream_.pid));
    list.Add(kBasic, "Video Mode", VideoDescriptorText(stream_.events.video));
    list.AddNumber(kBasic, "Event(s)", stream_.GetSize());
    for (const std::string& note : stream_.events.notes) list.Add("Notes", "Note", note);
}

CPgEventProperty::CPgEventProperty(const CPgEventObject& event)
    : CNodeProperty(event), event_(event) {}

void CPgEventProperty::Fill(CPropertyList& list) const {
    CNodeProperty::Fill(list);
    const SPgEvent& e = event_.Event();
    auto time = [](uint64_t pts) {
        return StrFormat("%s (%llu)", ClockTime(pts).c_str(), static_cast<unsigned long long>(pts));
    };
    list.Add(kBasic, "Start PTS", time(e.startPts));
    list.Add(kBasic, "End PTS", time(e.endPts));
    list.AddCheck(kBasic, "End Given", e.endGiven);
    list.AddCheck(kBasic, "Forced", e.forced);
    list.AddCheck(kBasic, "Palette Update", e.paletteUpdate);
    list.Add(kBasic, "Size", StrFormat("%d x %d", e.picture.Width(), e.picture.Height()));
    list.Add(kBasic, "Position", StrFormat("(%d, %d)", e.x, e.y));
    list.AddNumber(kBasic, "Display Set", e.displaySet);
    list.AddNumber(kBasic, "Composition Number", e.compositionNumber);
}
