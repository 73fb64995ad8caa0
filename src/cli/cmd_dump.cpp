// `tessel dump <stream> [--bare] [--json]`: the segments of a graphics stream
// as text or JSON, epoch by epoch and display set by display set.
#include <memory>

#include "cli/command.h"
#include "cli/json_out.h"
#include "cli/output_rules.h"
#include "cli/stream_targets.h"
#include "codec/display_set.h"
#include "codec/ods.h"
#include "codec/pcs_wds.h"
#include "codec/pds.h"
#include "platform/messages.h"
#include "platform/text.h"

namespace tessel::cli {
namespace {

// The decoded fields of a segment by its type.
Json SegmentFields(const CSegmentBase& s) {
    Json f = Json::object();
    if (const auto* ics = dynamic_cast<const CIcs*>(&s)) {
        f["video"] = VideoJson(ics->video);
        f["composition_number"] = ics->compositionNumber;
        PutNamed(f, "composition_state", ics->compositionState,
                 CompositionStateName(ics->compositionState));
        f["first_in_sequence"] = ics->firstInSequence;
        f["last_in_sequence"] = ics->lastInSequence;
        f["fragment_size"] = ics->FragmentSize();
    } else if (const auto* pcs = dynamic_cast<const CPcs*>(&s)) {
        f["video"] = VideoJson(pcs->video);
        f["composition_number"] = pcs->compositionNumber;
        PutNamed(f, "composition_state", pcs->compositionState,
                 CompositionStateName(pcs->compositionState));
        f["palette_update"] = pcs->paletteUpdate;
        f["palette_id"] = pcs->paletteIdRef;
        Json objects = Json::array();
        for (const SCompositionObject& o : pcs->objects) {
            Json j = {{"object_id", o.objectIdRef},
                      {"window_id", o.windowIdRef},
                      {"cropped", o.cropped},
                      {"forced_on", o.forcedOn},
                      {"x", o.x},
                      {"y", o.y}};
            j["crop"] = o.cropped ? Json{{"x", o.crop.x},
                                         {"y", o.crop.y},
                                         {"width", o.crop.width},
                                         {"height", o.crop.height}}
                                  : Json(nullptr);
            objects.push_back(std::move(j));
        }
        f["objects"] = std::move(objects);
    } else if (const auto* wds = dynamic_cast<const CWds*>(&s)) {
        Json windows = Json::array();
        for (const SWindow& w : wds->windows)
            windows.push_back(
                {{"id", w.id}, {"x", w.x}, {"y", w.y}, {"width", w.width}, {"height", w.height}});
        f["windows"] = std::move(windows);
    } else if (const auto* pds = dynamic_cast<const CPds*>(&s)) {
        f["palette_id"] = pds->paletteId;
        f["palette_version"] = pds->paletteVersion;
        Json entries = Json::array();
        for (const SPaletteEntry& e : pds->entries)
            entries.push_back({{"id", e.id}, {"y", e.y}, {"cr", e.cr}, {"cb", e.cb}, {"t", e.t}});
        f["entries"] = std::move(entries);
    } else if (const auto* ods = dynamic_cast<const COds*>(&s)) {
        f["object_id"] = ods->objectId;
        f["object_version"] = ods->objectVersion;
        f["first_in_sequence"] = ods->firstInSequence;
        f["last_in_sequence"] = ods->lastInSequence;
        f["fragment_size"] = ods->FragmentSize();
        CByteReader r(ods->fragment);
        if (ods->firstInSequence && ods->fragment.size() >= kObjectHeadSize) {
            f["object_data_length"] = r.U24();
            f["width"] = r.U16();
            f["height"] = r.U16();
        }
    }
    return f;
}

// A bare stream has no time stamps: they are null. A disc clip's segments
// (origins given) tell where their PES packet starts in the m2ts file.
Json DisplaySetJson(const CDsData& ds, int number, bool bare, const SRecordOrigins* origins) {
    Json segments = Json::array();
    for (const CSegmentBase* s : ds.StreamOrder()) {
        Json j = {{"offset", s->sourcePosition}};
        if (origins) j["m2ts_offset"] = origins->FileOffsetOf(s->sourcePosition);
        j.update({{"type", s->segmentType},
                  {"type_name", SegmentTypeName(s->segmentType)},
                  {"size", kSegmentHeaderSize + s->segmentLength},
                  {"segment_length", s->segmentLength},
                  {"pts_90khz", bare ? Json(nullptr) : Json(s->pts)},
                  {"dts_90khz", bare ? Json(nullptr) : Json(s->dts)},
                  {"fields", SegmentFields(*s)}});
        segments.push_back(std::move(j));
    }
    // The composition segment's time stamps stand for the display set's.
    const CSegmentBase* head = ds.pcs.get();
    if (!head && ds.icsList && !ds.icsList->IsEmpty()) head = ds.icsList->GetAt(0);
    if (bare) head = nullptr;
    Json j = {{"display_set", number}};
    j["pts_90khz"] = head ? Json(head->pts) : Json(nullptr);
    j["dts_90khz"] = head ? Json(head->dts) : Json(nullptr);
    j["complete"] = ds.end != nullptr;
    j["segments"] = std::move(segments);
    return j;
}

Json EpochJson(const CEpochData& epoch, int number, bool bare, const SRecordOrigins* origins) {
    Json sets = Json::array();
    for (int i = 0; i < epoch.GetSize(); ++i)
        sets.push_back(DisplaySetJson(*epoch.GetAt(i), i + 1, bare, origins));
    return {{"epoch", number}, {"display_sets", sets}};
}

void PrintDisplaySet(const CDsData& ds, int number) {
    Out(StrFormat("DisplaySet#%d", number));
    for (const CSegmentBase* s : ds.StreamOrder()) {
        std::string text;
        s->Dump(text, " ");
        if (!text.empty() && text.back() == '\n') text.pop_back();
        Out(text);
    }
}

void PrintEpoch(const CEpochData& epoch, int number) {
    Out(StrFormat("Epoch#%d", number));
    for (int i = 0; i < epoch.GetSize(); ++i) PrintDisplaySet(*epoch.GetAt(i), i + 1);
}

int Run(const STargetRequest& request, bool json) {
    STargetStream stream;
    int exitCode;
    if (!ReadTargetStream(request, stream, exitCode)) return exitCode;
    const bool ok = stream.complete, bare = stream.bare;
    const SStreamInfo& info = stream.info;
    const SRecordOrigins* origins = stream.Origins();
    int number = 0;
    Json epochList = Json::array();
    for (const auto& e : stream.epochs) {
        ++number;
        if (json)
            epochList.push_back(EpochJson(*e, number, bare, origins));
        else
            PrintEpoch(*e, number);
    }
    if (!ok && info.failedEpoch) {
        // What was read of the epoch that broke, then its unfinished display set.
        ++number;
        const CEpochData& failed = *info.failedEpoch;
        const bool partial = info.failedDisplaySet && info.failedDisplaySet->SegmentCount() > 0;
        if (json) {
            Json e = EpochJson(failed, number, bare, origins);
            if (partial)
                e["display_sets"].push_back(
                    DisplaySetJson(*info.failedDisplaySet, failed.GetSize() + 1, bare, origins));
            epochList.push_back(std::move(e));
        } else {
            PrintEpoch(failed, number);
            if (partial) PrintDisplaySet(*info.failedDisplaySet, failed.GetSize() + 1);
        }
    }
    const char* name = stream.name.c_str();
    if (json) {
        Json out = {{"file", request.input}, {"form", bare ? "bare" : "marked"}};
        PutClipAndPid(out, stream.clip, stream.pid);
        out["complete"] = ok && !stream.epochs.empty() && stream.lostPes == 0;
        Json error = {{"text", info.error.Text()}, {"offset", info.error.Offset()}};
        if (origins) error["m2ts_offset"] = origins->FileOffsetOf(info.error.Offset());
        out["error"] = ok ? Json(nullptr) : std::move(error);
        out["epochs"] = std::move(epochList);
        PrintJson(out);
    }
    if (ok && stream.epochs.empty()) return ShowFailure(name, "no display set in the stream");
    if (ok) return LostPesStatus(stream, "printed");
    return ShowStreamError(name, info.error, origins);
}

const CommandRegistration kDumpCommand(
    "dump", "Print the segments of an IG or PG stream file",
    [](CLI::App& sub) -> std::function<int()> {
        auto request = std::make_shared<STargetRequest>();
        auto json = std::make_shared<bool>(false);
        sub.add_option("stream", request->input,
                       "Stream file (.sup, .ig, .pg; - for standard input), or a BDMV folder or "
                       "disc image")
            ->required();
        sub.add_flag("--json", *json,
                     "Print JSON: each segment's offset, type, size, time stamps and fields");
        AddDiscTarget(sub, *request);
        AddStreamForm(sub, request->input, request->bare,
                      "The file holds segments without record heads");
        return [request, json] { return Run(*request, *json); };
    });

}  // namespace
}  // namespace tessel::cli
