// The IG streams a command works on: a BDMV folder scanned for its IG clips
// (narrowed by --clip and --pid), or one graphics stream file.
#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "cli/json_out.h"
#include "codec/display_set.h"
#include "disc/disc_scan.h"
#include "model/ig_object.h"
#include "ts/track_file.h"

namespace tessel::cli {

struct STargetRequest {
    std::string input;       // BDMV folder or stream file
    int clip = -1;           // clip number, -1 for any
    std::string pid;         // decimal or 0x hex, empty for any
    bool bare = false;       // stream file without record heads
    bool all = false;        // every matching stream, else the first
    bool keepGoing = false;  // a clip that cannot be read is left out (reported)
    bool quick = false;      // a BDMV folder is sampled instead of read whole
};

// One IG stream: its clip number (-1 for a stream file) and IG object.
struct SStreamTarget {
    int clip = -1;
    CIgObject* ig = nullptr;
};

// Holds what the targets point into.
struct SLoadedTargets {
    CTlDisc disc;
    CIgObject stream;
    std::vector<SStreamTarget> targets;
    std::vector<int> leftOut;  // clips --keep-going left out
    Json leftOutReasons;       // [{"clip", "reason"}] of each (see CLeftOutReasons)
};

// ScanDisc of a command's disc with its options, on progress: failed gets
// the clips --keep-going left out and leftOut their reasons as
// [{"clip", "reason"}]. The exit status; other than kExitOk after the reason
// was shown.
int ScanForCommand(CTlDisc& disc, const std::string& input, SScanOptions options,
                   CProgressWnd* progress, std::vector<int>& failed, Json& leftOut);

// The status of a command that has written its output: kExitOk, or, after
// naming them, kExitFailed when --keep-going left clips of input out.
int LeftOutStatus(const std::string& input, const std::vector<int>& leftOut);

// Reads the input and picks the streams. False after the reason has been
// shown; exitCode then holds the command's exit status.
bool LoadTargets(const STargetRequest& request, SLoadedTargets& loaded, int& exitCode);
// Whether a chosen clip lost PES packets (each was named when it was read):
// what it shows lacks their display sets and objects.
bool TargetsLostPackets(const SLoadedTargets& loaded);

// A BDMV folder, disc root or disc image rather than a stream file.
bool IsDiscInput(const std::string& input);

// The segments of a command's input as read: what messages name (the stream
// file, or "<m2ts>: PID 0x....") and, for a disc, the clip and PID chosen.
struct STargetStream {
    std::string name;
    int clip = -1;
    int pid = -1;
    bool bare = false;  // the form read; a disc clip's stream is marked
    CEpochList epochs;
    SStreamInfo info;
    bool complete = false;   // ReadStream's result: read to its end
    SRecordOrigins origins;  // a disc's clip: where each record starts in the m2ts file
    size_t lostPes = 0;      // a disc's clip: PES packets left out (each named when read)
    // The origins of a disc clip's records, null for a stream file.
    const SRecordOrigins* Origins() const { return clip >= 0 ? &origins : nullptr; }
};

// A stream's read error, shown once: "<name>: <text> at byte offset N" of a
// stream file; for a disc's clip (the origins of its records given)
// "<name>: <text> (in the PES packet at byte M)", M a byte of the m2ts file.
// Returns kExitFailed.
int ShowStreamError(const std::string& name, const CResult& error, const SRecordOrigins* origins);

// Reads a stream file, or demultiplexes the IG PID of a disc's clip (the
// first clip and PID of the request that has one) and reads that. False only
// when there is no stream to read, after the reason has been shown (exitCode
// then holds the exit status); a stream that breaks gives true with complete
// false and the error in info.
// kExitOk, or kExitFailed after saying that the output (what, e.g. "printed")
// lacks what the clip's lost PES packets held.
int LostPesStatus(const STargetStream& stream, const char* what);

bool ReadTargetStream(const STargetRequest& request, STargetStream& stream, int& exitCode);

// --clip, --pid and --keep-going for a command that reads a disc as well as a
// stream file.
void AddDiscTarget(CLI::App& sub, STargetRequest& request);

// --bare and --marked for a command that reads the stream file at path:
// without either, bare is set from the file's first bytes once the command
// line is parsed. path and bare must outlive the command.
void AddStreamForm(CLI::App& sub, const std::string& path, bool& bare, const char* bareHelp);

// --keep-going for a command that reads the clips of a disc.
void AddKeepGoing(CLI::App& sub, bool& keepGoing);
// --quick for a command that reads a disc: its clips are sampled (each
// sampled clip is told on stderr). One line per command:
// AddQuickOption(sub, o->target.quick).
void AddQuickOption(CLI::App& sub, bool& quick);
// Tells on stderr what a quick scan left unread, clip by clip.
void TellCoverage(const CTlDisc& disc);

// The scan options of --clip and --pid; false after a bad PID was named.
bool NarrowScan(int clip, const std::string& pidText, SScanOptions& options);

// PID text in decimal or 0x hex, 0 to 8191.
bool ParsePid(const std::string& text, int& pid);

// The display set of a stream whose composition a player starts with: the
// first one that holds a page; null for none.
CDisplaySet* FirstMenuDisplaySet(const CIgObject& ig);
// The first stream's menu display set, after LoadTargets; null after the
// reason has been shown (exitCode then holds the exit status).
const CDisplaySet* LoadMenu(const STargetRequest& request, SLoadedTargets& loaded, int& exitCode);

}  // namespace tessel::cli
