// One clip of a disc that carries an Interactive Graphics menu: its IG
// streams decoded into menu trees, and the rip of their pictures.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "model/ig_object.h"
#include "platform/byte_buffer.h"
#include "platform/disc_source.h"
#include "subtitle/pg_stream.h"
#include "ts/track_file.h"

namespace tessel {

class CClpiObject;
class CProgressWnd;

// One graphics PID of a clip's transport stream, demultiplexed into the marked form.
struct SIgStream {
    int pid = 0;
    uint32_t pesCount = 0;
    CByteBuffer marked;
    std::vector<SPesDamage> damages;  // PES packets left out of marked
    SRecordOrigins origins;           // where each record of marked starts in the clip file
};

// What a damaged PES packet takes away and where it shows, for a message
// after "<clip>: ": "PID 0x1400: <reason> at byte N of the clip; the ODS of
// object 3 in display set 2 of the stream is missing".
std::string DamageText(int pid, const SPesDamage& damage);

// The clip functions read the clip at path from disc; from the file system,
// a path below a disc image file is read from inside that image.

// The IG track pass over a clip's transport stream: finds the IG PIDs of its
// program map and demultiplexes each into memory, in PMT order. Returns 0,
// 1 when cancelled, or 2 after the failure has been shown.
int DemuxIgStreams(const std::string& path, CProgressWnd* progress, std::vector<SIgStream>& streams,
                   const CDiscSource& disc = {});

// The same pass over the PIDs of another graphics stream type (0x90 for
// presentation graphics: the streams come out in the .sup form, records
// tagged "PG"). fullPath receives the file's full path when given.
int DemuxGraphicsStreams(const std::string& path, uint8_t streamType, CProgressWnd* progress,
                         std::vector<SIgStream>& streams, std::string* fullPath = nullptr,
                         const CDiscSource& disc = {});

// One IG PID demultiplexed into a file of its own.
struct SIgStreamFile {
    int pid = 0;
    uint32_t pesCount = 0;
    int64_t bytes = 0;
    std::string path;  // empty when the PID carried nothing (no file is left)
    // The clip ends inside the last PES packet: the bytes it lacks, and where
    // its record starts in the file.
    int64_t cutBytes = 0;
    int64_t cutRecordOffset = 0;
    std::vector<SPesDamage> damages;  // PES packets left out of the file
};

// The same pass writing each IG PID straight into folder (with its
// separator) as "<pid>.ig", without holding the streams in memory. The folder
// must exist. On failure or cancel the files of this pass are removed.
int DemuxIgStreamsToFolder(const std::string& path, const std::string& folder,
                           CProgressWnd* progress, std::vector<SIgStreamFile>& files,
                           const CDiscSource& disc = {});

// Which graphics PIDs a demux into files writes, and their times.
struct SDemuxChoice {
    bool ig = true;
    bool pg = false;  // PG PIDs as "<pid>.sup" (marked form, records tagged "PG")
    // Records carry the clip's own PTS and DTS; by default they are rebased
    // so that the first record's time is the map's offset (at least
    // SGsTrackFile::kMinFirstTime).
    bool keepTime = false;
};
int DemuxGraphicsToFolder(const std::string& path, const std::string& folder,
                          const SDemuxChoice& choice, CProgressWnd* progress,
                          std::vector<SIgStreamFile>& files, const CDiscSource& disc = {});

// Every PG PID of a clip (only wanted when it is >= 0) demultiplexed and read
// into events, in PMT order, each stream named "PG <pid>". 0, 1 when
// cancelled, or 2 after the failure has been shown (the file, the PID and the
// byte offset named); a wanted PID the clip lacks is a failure.
int ReadClipSubtitles(const std::string& path, int wanted, CProgressWnd* progress,
                      std::vector<std::unique_ptr<CPgStreamObject>>& streams,
                      const CDiscSource& disc = {});

// What a scan read of a clip. A full scan reads every byte; a quick one the
// start and a few sampled places (see disc/quick_scan.h).
struct SScanCoverage {
    bool quick = false;
    int64_t bytesRead = 0;
    int64_t bytesTotal = 0;
    int samples = 0;               // places sampled after the start
    std::vector<int64_t> skipped;  // sampled places that could not be read
    // A quick scan's display sets of one IG PID, in tree order: how often
    // each composition was seen and the stream time of its last sighting.
    struct SSeen {
        int pid = 0;
        int count = 1;
        int64_t lastPts = 0;
    };
    std::vector<SSeen> seen;
};

class CTlM2tsObject : public CNamedObject {
public:
    CTlM2tsObject();
    ~CTlM2tsObject() override;

    // Destroys the IG objects, PG streams and the clip information; id and
    // name stay.
    void Clear() override;

    // Demuxes every IG PID of the clip's PMT and builds one IG object per PID.
    // 0 success, 1 cancelled, 2 failure (the user has been told why).
    int ParseClip(const std::string& path, CProgressWnd* progress, const CDiscSource& disc = {});
    // Writes every epoch's pictures below the clip folder, reporting a
    // position (per cent of this clip's pictures) after each picture. Fails
    // when a folder could not be made ("<folder>: Failed to create the
    // folder (<reason>)", shown at once), or is cancelled when the user
    // cancelled through progress. Pictures written before either stay on
    // disk.
    CResult RipImages(std::string clipFolder, CProgressWnd* progress = nullptr);
    // The same as one part of a larger rip: done counts the pictures written
    // so far (it grows by one per picture) and positions are per cent of
    // total.
    CResult RipImages(std::string clipFolder, CProgressWnd* progress, int& done, int total);
    // The pictures RipImages writes: every object with a decoded bitmap held
    // directly in an epoch's graphics folder.
    int CountPictures() const;
    // Reads the clip's PG streams into pgStreams (see ReadClipSubtitles);
    // their parent is the clip.
    int ReadSubtitles(const std::string& path, CProgressWnd* progress,
                      const CDiscSource& disc = {});

    std::unique_ptr<CClpiObject> clipInfo;
    std::vector<std::unique_ptr<CIgObject>> igObjects;
    // The messages ParseClip showed about PES packets lost or damaged in the
    // clip (each names the display set and object it takes away): the trees
    // lack them.
    std::vector<std::string> losses;
    // Where the source packet the end of the file cuts off starts (ParseClip
    // leaves it out); -1 when the file holds whole packets.
    int64_t cutPacketAt = -1;
    std::vector<std::unique_ptr<CPgStreamObject>> pgStreams;
    SScanCoverage coverage;
};

}  // namespace tessel
