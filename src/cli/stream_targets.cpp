#include "cli/stream_targets.h"

#include <algorithm>
#include <cstdlib>

#include "cli/command.h"
#include "cli/output_rules.h"
#include "cli/terminal_progress.h"
#include "database/bdmv_layout.h"
#include "platform/disc_image.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/text.h"

namespace tessel::cli {

void AddStreamForm(CLI::App& sub, const std::string& path, bool& bare, const char* bareHelp) {
    auto marked = std::make_shared<bool>(false);
    CLI::Option* bareFlag = sub.add_flag("--bare", bare, bareHelp);
    CLI::Option* markedFlag = sub.add_flag("--marked", *marked,
                                           "The stream has record heads (\"PG\"/\"IG\"); the "
                                           "default is to tell from its first bytes");
    bareFlag->excludes(markedFlag);
    sub.parse_complete_callback([&path, &bare, marked] {
        if (!bare && !*marked && !IsFolder(path) && !IsDiscImageName(path))
            bare = StreamFileLooksBare(path);
    });
}

void AddKeepGoing(CLI::App& sub, bool& keepGoing) {
    sub.add_flag("--keep-going", keepGoing,
                 "Leave out a clip of a disc that cannot be read, with its reason, and go on");
}

void AddQuickOption(CLI::App& sub, bool& quick) {
    sub.add_flag("--quick", quick,
                 "Sample each clip of a disc (its start and up to 64 places) instead of reading "
                 "it whole; menus between the places may be missed");
}

void TellCoverage(const CTlDisc& disc) {
    for (const auto& clip : disc.clips)
        if (clip->coverage.quick)
            ShowMessage(StrFormat("%05d.m2ts: %s", clip->id, CoverageText(clip->coverage).c_str()));
}

bool ParsePid(const std::string& text, int& pid) {
    if (text.empty()) return false;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 0);
    if (*end || v < 0 || v > 0x1FFF) return false;
    pid = static_cast<int>(v);
    return true;
}

bool NarrowScan(int clip, const std::string& pidText, SScanOptions& options) {
    options.clip = clip;
    if (pidText.empty() || ParsePid(pidText, options.pid)) return true;
    ShowUsageError(
        StrFormat("--pid %s: not a PID (decimal or 0x hex, 0 to 8191)", pidText.c_str()));
    return false;
}

namespace {

void ShowNoTarget(const std::string& input, int clip, int pid) {
    if (clip >= 0 && pid >= 0)
        ShowMessage(
            StrFormat("%s: clip %05d has no IG stream on PID 0x%04X", input.c_str(), clip, pid));
    else if (clip >= 0)
        ShowMessage(StrFormat("%s: no IG clip %05d", input.c_str(), clip));
    else if (pid >= 0)
        ShowMessage(StrFormat("%s: no IG stream on PID 0x%04X", input.c_str(), pid));
    else
        ShowMessage(StrFormat("%s: no clip with an IG stream", input.c_str()));
}

// The PID asked for (-1 for any) and whether the input is a stream file;
// false after a usage error: a bad PID, or --clip named for a stream file.
bool CheckRequest(const STargetRequest& o, int& pid, bool& streamFile) {
    pid = -1;
    if (!o.pid.empty() && !ParsePid(o.pid, pid)) {
        ShowUsageError(
            StrFormat("--pid %s: not a PID (decimal or 0x hex, 0 to 8191)", o.pid.c_str()));
        return false;
    }
    streamFile = !IsDiscInput(o.input);
    if (!streamFile || o.clip < 0) return true;
    ShowUsageError(StrFormat("%s: --clip needs a BDMV folder", o.input.c_str()));
    return false;
}

// The first IG PID of the request's clips, demultiplexed into memory.
bool DemuxClipStream(const STargetRequest& o, int pid, STargetStream& out, CByteBuffer& marked,
                     int& exitCode) {
    std::string folder;
    std::vector<int> numbers;
    CDiscSource source;
    if (const CResult listed = DiscClipNumbers(o.input, folder, numbers, nullptr, &source);
        !listed) {
        ShowMessage(listed.Message());
        return false;
    }
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    CTerminalProgress progress;
    for (const int n : numbers) {
        if (o.clip >= 0 && n != o.clip) continue;
        std::string m2ts;
        GetM2tsPath(folder, n, m2ts, source);
        std::vector<SIgStream> streams;
        const int result = DemuxIgStreams(m2ts, &progress, streams, source);
        if (result != 0) {
            exitCode = ExitStatus(result);
            if (result != 1 && o.keepGoing && o.clip < 0) continue;  // reported; the next may do
            return false;
        }
        for (SIgStream& s : streams) {
            if (pid >= 0 && s.pid != pid) continue;
            out.name = StrFormat("%s: PID 0x%04X", m2ts.c_str(), s.pid);
            out.clip = n;
            out.pid = s.pid;
            out.origins = std::move(s.origins);
            out.lostPes = s.damages.size();
            for (const SPesDamage& d : s.damages)
                ShowMessage(StrFormat("%s: %s", m2ts.c_str(), DamageText(s.pid, d).c_str()));
            marked = std::move(s.marked);
            return true;
        }
    }
    ShowNoTarget(o.input, o.clip, pid);
    return false;
}

}  // namespace

bool IsDiscInput(const std::string& input) {
    return IsFolder(input) || IsDiscImageName(input);
}

bool ReadTargetStream(const STargetRequest& o, STargetStream& stream, int& exitCode) {
    exitCode = kExitFailed;
    int pid;
    bool streamFile;
    if (!CheckRequest(o, pid, streamFile)) return false;
    if (streamFile) {
        stream.name = o.input;
        stream.bare = o.bare;
        stream.complete = ReadStreamFile(o.input, stream.epochs, o.bare, &stream.info);
        if (!stream.complete && stream.info.error.Offset() < 0) {
            ShowMessage(stream.info.error.Text());
            return false;
        }
        return true;
    }
    CByteBuffer marked;
    if (!DemuxClipStream(o, pid, stream, marked, exitCode)) return false;
    CMemorySource source(marked);
    stream.complete = ReadStream(stream.epochs, source, false, &stream.info);
    return true;
}

void AddDiscTarget(CLI::App& sub, STargetRequest& request) {
    sub.add_option("--clip", request.clip,
                   "Clip number of a disc (default: the first clip with an IG stream)");
    sub.add_option("--pid", request.pid, "IG stream PID, decimal or 0x hex (default: the first)");
    AddKeepGoing(sub, request.keepGoing);
}

bool LoadTargets(const STargetRequest& o, SLoadedTargets& loaded, int& exitCode) {
    exitCode = kExitFailed;
    int pid;
    bool streamFile;
    if (!CheckRequest(o, pid, streamFile)) return false;
    loaded.leftOutReasons = Json::array();
    if (streamFile) {
        std::vector<std::string> notes;
        const CResult read = loaded.stream.LoadStream(o.input, o.bare, &notes);
        for (const std::string& note : notes) ShowMessage(note);
        if (!read) {
            ShowMessage(read.Message());
            return false;
        }
        loaded.targets.push_back({-1, &loaded.stream});
        return true;
    }
    SScanOptions options;
    options.keepGoing = o.keepGoing;
    options.quick = o.quick;
    {
        CTerminalProgress progress;
        exitCode = ScanForCommand(loaded.disc, o.input, options, &progress, loaded.leftOut,
                                  loaded.leftOutReasons);
    }
    if (exitCode != kExitOk) return false;
    exitCode = kExitFailed;
    TellCoverage(loaded.disc);
    for (const auto& clip : loaded.disc.clips) {
        if (o.clip >= 0 && clip->id != o.clip) continue;
        for (const auto& ig : clip->igObjects) {
            if (pid >= 0 && ig->id != pid) continue;
            loaded.targets.push_back({clip->id, ig.get()});
            if (!o.all) return true;
        }
    }
    if (!loaded.targets.empty()) return true;
    ShowNoTarget(o.input, o.clip, pid);
    return false;
}

int ScanForCommand(CTlDisc& disc, const std::string& input, SScanOptions options,
                   CProgressWnd* progress, std::vector<int>& failed, Json& leftOut) {
    options.failed = &failed;
    CLeftOutReasons reasons(failed);
    const int result = ScanDisc(disc, input, progress, options);
    leftOut = reasons.List();
    return ExitStatus(result);
}

int ShowStreamError(const std::string& name, const CResult& error, const SRecordOrigins* origins) {
    if (origins)
        ShowMessage(StrFormat("%s: %s (in the PES packet at byte %lld)", name.c_str(),
                              error.Text().c_str(),
                              static_cast<long long>(origins->FileOffsetOf(error.Offset()))));
    else
        ShowMessage(StrFormat("%s: %s at byte offset %lld", name.c_str(), error.Text().c_str(),
                              static_cast<long long>(error.Offset())));
    return kExitFailed;
}

int LostPesStatus(const STargetStream& stream, const char* what) {
    if (stream.lostPes == 0) return kExitOk;
    ShowMessage(
        StrFormat("%s: %s without the display sets and objects named above, which the "
                  "clip lost",
                  stream.name.c_str(), what));
    return kExitFailed;
}

bool TargetsLostPackets(const SLoadedTargets& loaded) {
    for (const SScanFault& f : loaded.disc.faults)
        for (const SStreamTarget& t : loaded.targets)
            if (f.clip >= 0 && f.clip == t.clip) return true;
    return false;
}

int LeftOutStatus(const std::string& input, const std::vector<int>& leftOut) {
    if (leftOut.empty()) return kExitOk;
    std::string list;
    for (const int n : leftOut) list += StrFormat("%s%05d", list.empty() ? "" : " ", n);
    ShowMessage(StrFormat("%s: %zu clip(s) could not be read and are left out: %s", input.c_str(),
                          leftOut.size(), list.c_str()));
    return kExitFailed;
}

CDisplaySet* FirstMenuDisplaySet(const CIgObject& ig) {
    for (const auto& epoch : ig)
        for (const auto& ds : *epoch)
            if (ds->GetSize() > 0) return ds.get();
    return nullptr;
}

const CDisplaySet* LoadMenu(const STargetRequest& request, SLoadedTargets& loaded, int& exitCode) {
    if (!LoadTargets(request, loaded, exitCode)) return nullptr;
    const CDisplaySet* ds = FirstMenuDisplaySet(*loaded.targets.front().ig);
    if (!ds) {
        ShowMessage(StrFormat("%s: the stream has no page", request.input.c_str()));
        exitCode = kExitFailed;
    }
    return ds;
}

}  // namespace tessel::cli
