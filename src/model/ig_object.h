// The menu tree of one interactive graphics stream, its archive relatives,
// and the reading and saving of stream files.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "codec/display_set.h"
#include "model/epoch.h"
#include "platform/progress.h"
#include "platform/result.h"

namespace tessel {

// One graphics stream as read: its epochs of segments, video descriptor and
// whether the first epoch holds an interactive composition.
struct CGsData {
    CEpochList epochs;
    SVideoDescriptor video;
    bool interactive = false;

    // Reads a whole stream; the reader's error on failure.
    CResult Read(IByteSource& source, bool bare);
};

class CIgObject : public CNamedPtrArray<CEpoch> {
public:
    void CopyFrom(const CNamedObject& other) override { CopyAll(other); }
    virtual void CopyAll(const CNamedObject& other);
    // Base, a zero byte, next epoch number, video descriptor, flag, epochs.
    void Serialize(CArchive& ar) override;

    // Epoch#n with id = next epoch number, which then grows by one.
    CEpoch* AddNewEpoch();
    // Rebuilds the epochs from a stream as read; returns the epoch count.
    // The decoded objects of each epoch stay within its object buffer, and
    // those of the whole stream within kIgObjectBufferBytes plus
    // kObjectPixelsPerStreamByte per byte of its segments; the first graphic
    // object left out (see BuildDisplaySet) is described in dropped when
    // given.
    // An object sent again with the same bytes shares its first picture.
    int BuildFromStream(const CGsData& data, CResult* dropped = nullptr);
    // The same from a whole stream held in memory, read and built one display
    // set at a time (each one's segments let go once built), so that the
    // memory grows with the tree and not with the stream's repetitions. The
    // reader's error where the stream breaks or is cut off; the tree keeps
    // the display sets read before it.
    CResult BuildFromBytes(std::span<const uint8_t> stream, bool bare, CResult* dropped = nullptr);
    // Moves every epoch of other here; other ends empty.
    void TakeEpochs(CIgObject& other);

    // Reads a stream file (marked form, or bare when asked) and builds the
    // tree; nothing is shown. Fails on a file error, or a stream error before
    // the first display set. What the user must still learn goes to notes
    // (when given), in order: a stream error after some display sets (they
    // are kept), then the first graphic object left out (the tree is built
    // without it).
    CResult LoadStream(const std::string& path, bool bare = false,
                       std::vector<std::string>* notes = nullptr);
    // Writes the stream file and, when asked, its ".mui" companion. The
    // value tells whether they were written: false when a check failed
    // (nothing is written; the checks and "<path>: the stream was not saved"
    // went to log, or were shown without one). Fails when a file cannot be
    // written (nothing shown); neither file is left behind.
    CResultOf<bool> SaveStream(const std::string& path, bool companion, ILogSink* log = nullptr,
                               bool bare = false);
    // Checks and writes every epoch; the companion gets its header, one
    // index record per segment and its trailer.
    bool WriteStream(IByteSink& stream, IByteSink* companion, ILogSink* log, bool bare = false);
    // True when every epoch passes its checks (nothing is written).
    virtual bool CheckAll(ILogSink* log);
    // Automatic neighbours over every page; true when anything changed.
    bool AutoNeighbours(int mode);

    uint16_t nextEpoch = 0;
    SVideoDescriptor video;
    bool flag = false;
};

// An IG object of a saved project, with the stream file it came from.
class CStoryIgObject : public CIgObject {
public:
    void CopyAll(const CNamedObject& other) override;
    void Serialize(CArchive& ar) override;
    // Only an object without a source stream checks as a whole.
    bool CheckAll(ILogSink* log) override;

    bool storyFlag = true;
    std::string sourcePath;
    std::string secondPath;
    uint8_t extra = 0;
};

class CIgSet : public CNamedPtrArray<CStoryIgObject> {
public:
    CIgSet() { name = "Root"; }
};

// Writes every graphic object held directly in the epoch's graphics folder
// as "%04d.png" of object id + 1 into the folder (with its separator).
// Objects without a bitmap are skipped; a failed write is kept in the
// object's saveStatus and the loop goes on. Returns the files written.
int SaveEpochImages(CEpoch& epoch, const std::string& folder);
// One folder per epoch below folder (made when missing), each with the
// epoch's images. Fails when a folder could not be made (not shown), and is
// cancelled when progress is: the unfinished epoch's files written by this
// call are removed again (its folder too when that leaves it empty).
// written (when given) receives the files written and kept, finished the
// names of the epochs written whole.
CResult SaveIgImages(CIgObject& ig, std::string folder, int* written = nullptr,
                     CProgressWnd* progress = nullptr,
                     std::vector<std::string>* finished = nullptr);

// Pages in display order: the first display set's pages first, then those
// of later display sets and epochs. FindPage gives the first page with the
// id; PagesById every page id once, at its first occurrence.
CPage* FirstPage(const CIgObject& ig);
CPage* FindPage(const CIgObject& ig, int pageId);
std::vector<CPage*> PagesById(const CIgObject& ig);

// Builds an IG object's tree from its stream as the bytes arrive (a demux
// handing over the stream piece by piece): each display set is built once
// its END segment is in and its bytes are let go, so that only an unfinished
// display set is ever held. The same tree and errors as BuildFromBytes.
class CIgStreamBuilder {
public:
    // Clears target. With the segment bytes of the whole stream (known when
    // it is held in memory) the object budget is BuildFromBytes'; without
    // (-1), it grows by kObjectPixelsPerStreamByte for each byte read.
    CIgStreamBuilder(CIgObject& target, bool bare, int64_t streamSegmentBytes = -1);
    ~CIgStreamBuilder();
    CIgStreamBuilder(const CIgStreamBuilder&) = delete;
    CIgStreamBuilder& operator=(const CIgStreamBuilder&) = delete;

    // Builds the display sets the bytes complete; false once the stream has
    // broken (Error() says where), after which bytes are ignored.
    bool Feed(std::span<const uint8_t> bytes);
    // Builds the rest (with last, the stream's final bytes, read in place):
    // a display set without END is an error. Closes the last epoch. False
    // with Error() when the stream broke anywhere.
    bool Finish(std::span<const uint8_t> last = {});

    int64_t BytesFed() const { return fed_; }
    const CResult& Error() const { return error_; }
    // The first graphic object left out (offset -1 when none was).
    const CResult& Dropped() const { return dropped_; }

private:
    void Build(std::span<const uint8_t> bytes);
    void BuildOne(const CDsData& ds);
    void FlushWaiting();

    CIgObject& ig_;
    bool bare_;
    bool growBudget_;
    int64_t budget_;
    CDecodedObjects decoded_;
    CMemorySource source_;
    CDisplaySetReader reader_;
    std::vector<uint8_t> pending_;  // bytes after the last whole display set
    size_t scanned_ = 0;            // headers of pending_ read up to here
    int64_t base_ = 0;              // stream offset of pending_'s first byte
    int64_t fed_ = 0;
    // The first epoch's display sets wait until one of them gives the video
    // descriptor (its frame rate numbers their frames), as a whole read would.
    std::vector<std::unique_ptr<CDsData>> waiting_;
    bool haveVideo_ = false, firstEpoch_ = true, ok_ = true, finished_ = false;
    CEpoch* epoch_ = nullptr;
    CResult error_, dropped_;
};

}  // namespace tessel
