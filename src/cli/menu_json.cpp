#include "cli/menu_json.h"

#include "cli/command.h"
#include "cli/json_out.h"
#include "navcmd/navcmd.h"
#include "platform/text.h"

namespace tessel::cli {

using nlohmann::ordered_json;

namespace {

std::string HexBytes(const uint8_t* b, size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s += StrFormat("%02X", b[i]);
    return s;
}

// "HH:MM:SS.mmm (ticks)" of a 90 kHz value.
std::string Clock(uint64_t ticks) {
    return StrFormat("%s (%llu)", ClockTime(ticks).c_str(), static_cast<unsigned long long>(ticks));
}

// ---- JSON

ordered_json WindowJson(const CWindowObject& w) {
    return {{"id", w.id},
            {"x", w.left},
            {"y", w.top},
            {"width", w.right - w.left},
            {"height", w.bottom - w.top}};
}

ordered_json ObjectJson(const CCompositionObject& o) {
    ordered_json crop = nullptr;
    if (o.cropped)
        crop = {{"x", o.cropLeft},
                {"y", o.cropTop},
                {"width", o.cropRight - o.cropLeft},
                {"height", o.cropBottom - o.cropTop}};
    return {{"object", o.object.id},
            {"window", o.window.id},
            {"cropped", o.cropped != 0},
            {"forced_on", o.forcedOn != 0},
            {"x", o.x},
            {"y", o.y},
            {"crop", crop}};
}

ordered_json SequenceJson(const CEffectSequenceObject& seq) {
    ordered_json windows = ordered_json::array(), effects = ordered_json::array();
    for (const auto& w : seq.windows) windows.push_back(WindowJson(*w));
    for (const auto& e : seq) {
        ordered_json objects = ordered_json::array();
        for (const auto& o : *e) objects.push_back(ObjectJson(*o));
        effects.push_back({{"duration", e->duration},
                           {"duration_90khz", e->duration},
                           {"palette", e->palette.id},
                           {"objects", objects}});
    }
    return {{"windows", windows}, {"effects", effects}};
}

ordered_json ButtonJson(const CBdButton& b) {
    ordered_json commands = ordered_json::array();
    for (const auto& c : b.commands.records) {
        std::string text;
        DecodeCommand(c, text);
        commands.push_back({{"hex", HexCommand(c)}, {"text", text}});
    }
    const CButtonStateInfo* s = b.states;
    // The size of the first state object (the Normal state's, as a rule);
    // zero when the button has none.
    int left, top, right, bottom;
    const bool sized = b.GetRect(left, top, right, bottom);
    if (!sized) left = right = b.x, top = bottom = b.y;
    return {
        {"id", b.id},
        {"label", b.name},
        {"numeric_select_value", b.numericSelectValue},
        {"auto_action", b.autoAction},
        {"x", b.x},
        {"y", b.y},
        {"width", right - left},
        {"height", bottom - top},
        {"rect", {{"left", left}, {"top", top}, {"right", right}, {"bottom", bottom}}},
        {"sized", sized},
        {"neighbors",
         {{"upper", b.neighbors.upper.id},
          {"lower", b.neighbors.lower.id},
          {"left", b.neighbors.left.id},
          {"right", b.neighbors.right.id}}},
        {"normal",
         {{"start", s[0].start.id},
          {"end", s[0].end.id},
          {"repeat", s[0].repeat},
          {"complete", s[0].complete}}},
        {"selected",
         {{"start", s[1].start.id},
          {"end", s[1].end.id},
          {"repeat", s[1].repeat},
          {"complete", s[1].complete},
          {"sound", s[1].soundId}}},
        {"activated", {{"start", s[2].start.id}, {"end", s[2].end.id}, {"sound", s[2].soundId}}},
        {"button_type", b.buttonType},
        {"commands", commands}};
}

ordered_json PageJson(const CPage& page) {
    ordered_json bogs = ordered_json::array();
    for (const auto& g : page) {
        ordered_json buttons = ordered_json::array();
        for (const auto& b : *g) buttons.push_back(ButtonJson(*b));
        bogs.push_back({{"default_valid_button", g->defaultValid.id}, {"buttons", buttons}});
    }
    return {{"id", page.id},
            {"version", page.version},
            {"uo_mask", HexBytes(page.uoMask, 8)},
            {"animation_frame_rate_code", page.frameRateCode},
            {"default_selected_button", page.defaultSelected.id},
            {"default_activated_button", page.defaultActivated.id},
            {"palette", page.palette.id},
            {"in_effects", SequenceJson(page.inEffects)},
            {"out_effects", SequenceJson(page.outEffects)},
            {"bogs", bogs}};
}

void PrintSequence(const CEffectSequenceObject& seq, const std::string& in) {
    Out(StrFormat("%s%s: %d window(s), %d effect(s)", in.c_str(), seq.name.c_str(),
                  seq.windows.GetSize(), seq.GetSize()));
    for (const auto& w : seq.windows)
        Out(StrFormat("%s %s: id %d at %d,%d size %dx%d", in.c_str(), w->name.c_str(), w->id,
                      w->left, w->top, w->right - w->left, w->bottom - w->top));
    for (const auto& e : seq) {
        Out(StrFormat("%s %s: duration %s palette %d", in.c_str(), e->name.c_str(),
                      Clock(e->duration).c_str(), e->palette.id));
        for (const auto& o : *e) {
            std::string line = StrFormat("%s  %s: object %d window %d at %d,%d", in.c_str(),
                                         o->name.c_str(), o->object.id, o->window.id, o->x, o->y);
            if (o->cropped)
                line += StrFormat(" crop %d,%d %dx%d", o->cropLeft, o->cropTop,
                                  o->cropRight - o->cropLeft, o->cropBottom - o->cropTop);
            if (o->forcedOn) line += " forced on";
            Out(line);
        }
    }
}

// A button reference as its id and, when it resolves, its label.
std::string ButtonRef(const CRef<CBdButton>& ref) {
    if (ref.ptr) return StrFormat("%d (%s)", ref.id, ref.ptr->name.c_str());
    return StrFormat("%d", ref.id);
}

void PrintButton(const CBdButton& b, const std::string& in) {
    Out(StrFormat("%s%s: id %d at %d,%d numeric select %d auto action %d", in.c_str(),
                  b.name.c_str(), b.id, b.x, b.y, b.numericSelectValue, b.autoAction ? 1 : 0));
    Out(StrFormat("%s Neighbors: upper %s lower %s left %s right %s", in.c_str(),
                  ButtonRef(b.neighbors.upper).c_str(), ButtonRef(b.neighbors.lower).c_str(),
                  ButtonRef(b.neighbors.left).c_str(), ButtonRef(b.neighbors.right).c_str()));
    const CButtonStateInfo* s = b.states;
    Out(StrFormat("%s Normal: objects %d-%d repeat %d complete %d", in.c_str(), s[0].start.id,
                  s[0].end.id, s[0].repeat ? 1 : 0, s[0].complete ? 1 : 0));
    Out(StrFormat("%s Selected: objects %d-%d repeat %d complete %d sound %d", in.c_str(),
                  s[1].start.id, s[1].end.id, s[1].repeat ? 1 : 0, s[1].complete ? 1 : 0,
                  s[1].soundId));
    Out(StrFormat("%s Activated: objects %d-%d sound %d", in.c_str(), s[2].start.id, s[2].end.id,
                  s[2].soundId));
    if (b.buttonType) Out(StrFormat("%s Type: %d", in.c_str(), b.buttonType));
    Out(StrFormat("%s Commands: %d", in.c_str(), b.commands.GetSize()));
    int n = 0;
    for (const auto& c : b.commands.records)
        Out(StrFormat("%s  %s", in.c_str(), CommandPaneLine(++n, c).c_str()));
}

}  // namespace

ordered_json CompositionJson(int epoch, int displaySet, const SCompositionHead& head,
                             const CIcData& ic) {
    ordered_json pages = ordered_json::array();
    for (const auto& p : ic) pages.push_back(PageJson(*p));
    ordered_json j = {
        {"epoch", epoch}, {"display_set", displaySet}, {"video", VideoJson(head.video)}};
    j["pts_90khz"] = head.pts >= 0 ? ordered_json(head.pts) : ordered_json(nullptr);
    j["dts_90khz"] = head.dts >= 0 ? ordered_json(head.dts) : ordered_json(nullptr);
    j["composition_number"] = head.compositionNumber;
    PutNamed(j, "composition_state", head.compositionState,
             CompositionStateName(head.compositionState));
    PutNamed(j, "stream_model", ic.streamModel, StreamModelName(ic.streamModel));
    PutNamed(j, "ui_model", ic.uiModel, UiModelName(ic.uiModel));
    j["composition_time_out_pts"] = ic.compositionTimeOutPts;
    j["composition_time_out_90khz"] = ic.compositionTimeOutPts;
    j["selection_time_out_pts"] = ic.selectionTimeOutPts;
    j["selection_time_out_90khz"] = ic.selectionTimeOutPts;
    j["user_time_out_duration"] = ic.userTimeOutDuration;
    j["user_time_out_duration_90khz"] = ic.userTimeOutDuration;
    j["pages"] = std::move(pages);
    return j;
}

void PrintComposition(int epoch, int displaySet, const SCompositionHead& head, const CIcData& ic) {
    Out(StrFormat("Epoch#%d DisplaySet#%d: %s, composition %d, %s", epoch, displaySet,
                  VideoDescriptorText(head.video).c_str(), head.compositionNumber,
                  CompositionStateName(head.compositionState)));
    Out(
        StrFormat(" StreamModel: %d UIModel: %d CompositionTimeOut: %s SelectionTimeOut: %s "
                  "UserTimeOut: %s",
                  ic.streamModel, ic.uiModel, Clock(ic.compositionTimeOutPts).c_str(),
                  Clock(ic.selectionTimeOutPts).c_str(), Clock(ic.userTimeOutDuration).c_str()));
    for (const auto& p : ic) {
        Out(StrFormat(" %s: id %d version %d uo mask %s frame rate code %d", p->name.c_str(), p->id,
                      p->version, HexBytes(p->uoMask, 8).c_str(), p->frameRateCode));
        Out(StrFormat("  Default selected %s, default activated %s, palette %d",
                      ButtonRef(p->defaultSelected).c_str(), ButtonRef(p->defaultActivated).c_str(),
                      p->palette.id));
        PrintSequence(p->inEffects, "  ");
        PrintSequence(p->outEffects, "  ");
        for (const auto& g : *p) {
            Out(StrFormat("  %s: default valid button %s, %d button(s)", g->name.c_str(),
                          ButtonRef(g->defaultValid).c_str(), g->GetSize()));
            for (const auto& b : *g) PrintButton(*b, "   ");
        }
    }
}

ordered_json EpochGraphicsJson(const CEpoch& epoch) {
    ordered_json out = ordered_json::array();
    for (const CGraphicObject* o : epoch.graphics.List())
        out.push_back({{"id", o->id}, {"width", o->width}, {"height", o->height}});
    return out;
}

ordered_json EpochPalettesJson(const CEpoch& epoch) {
    ordered_json out = ordered_json::array();
    for (const auto& p : epoch.palettes) out.push_back({{"id", p->id}, {"entries", p->GetSize()}});
    return out;
}

}  // namespace tessel::cli
