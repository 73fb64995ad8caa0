#include "model/ig_object.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include <cstdio>

#include "model/auto_neighbors.h"
#include "platform/files.h"
#include "platform/image_io.h"
#include "platform/text.h"

namespace tessel {

namespace {

// Counts bytes without keeping them.
class CNullSink : public IByteSink {
public:
    void Write(const void*, size_t n) override { pos_ += static_cast<int64_t>(n); }
    int64_t Position() const override { return pos_; }

private:
    int64_t pos_ = 0;
};

}  // namespace

CResult CGsData::Read(IByteSource& source, bool bare) {
    epochs.clear();
    SStreamInfo info;
    if (!ReadStream(epochs, source, bare, &info)) {
        epochs.clear();
        return info.error;
    }
    interactive = info.interactive;
    if (info.hasVideo) video = info.video;
    return {};
}

void CIgObject::CopyAll(const CNamedObject& other) {
    CopyItems(other);
    auto* o = dynamic_cast<const CIgObject*>(&other);
    if (!o) return;
    nextEpoch = o->nextEpoch;
    video = o->video;
    flag = o->flag;
}

void CIgObject::Serialize(CArchive& ar) {
    CNamedObject::Serialize(ar);
    uint8_t zero = 0;
    ar.Io(zero);
    ar.Io(nextEpoch);
    video.Serialize(ar);
    ar.Io(flag);
    int32_t n = GetSize();
    ar.Io(n);
    if (ar.IsStoring()) {
        for (auto& e : items) e->Serialize(ar);
        return;
    }
    if (n < 0) {
        ar.Fail("negative epoch count");
        return;
    }
    if (!ar.CheckCount(static_cast<uint64_t>(n), kMinArchivedObject, "epoch")) return;
    Clear();
    for (int32_t i = 0; i < n && !ar.Failed(); ++i) {
        auto e = std::make_unique<CEpoch>();
        e->Serialize(ar);
        Append(std::move(e));
    }
}

CEpoch* CIgObject::AddNewEpoch() {
    auto e = std::make_unique<CEpoch>();
    e->id = nextEpoch;
    e->name = NumberedName("Epoch", nextEpoch + 1);
    ++nextEpoch;
    return Append(std::move(e));
}

int CIgObject::BuildFromStream(const CGsData& data, CResult* dropped) {
    video = data.video;
    Clear();
    nextEpoch = 0;
    int64_t segmentBytes = 0;
    for (const auto& record : data.epochs)
        for (const auto& ds : record->items)
            for (const CSegmentBase* s : ds->StreamOrder())
                segmentBytes += kSegmentHeaderSize + s->segmentLength;
    int64_t budget = kIgObjectBufferBytes + kObjectPixelsPerStreamByte * segmentBytes;
    CDecodedObjects decoded;
    for (const auto& record : data.epochs) {
        CEpoch* epoch = AddNewEpoch();
        epoch->Clear();
        for (const auto& ds : record->items)
            BuildDisplaySet(*AddDisplaySet(*epoch), *ds, video.frameRate, dropped, &budget,
                            &decoded);
        epoch->ResolveRefs();
    }
    return GetSize();
}

CResult CIgObject::BuildFromBytes(std::span<const uint8_t> stream, bool bare, CResult* dropped) {
    CIgStreamBuilder builder(*this, bare, StreamSegmentBytes(stream, bare));
    const bool ok = builder.Finish(stream);
    if (dropped && builder.Dropped().Offset() >= 0) *dropped = builder.Dropped();
    return ok ? CResult() : builder.Error();
}

CIgStreamBuilder::CIgStreamBuilder(CIgObject& target, bool bare, int64_t streamSegmentBytes)
    : ig_(target),
      bare_(bare),
      growBudget_(streamSegmentBytes < 0),
      budget_(kIgObjectBufferBytes +
              kObjectPixelsPerStreamByte * std::max<int64_t>(streamSegmentBytes, 0)),
      source_({}),
      reader_(source_, bare) {
    ig_.Clear();
    ig_.nextEpoch = 0;
    ig_.video = SVideoDescriptor();
}

CIgStreamBuilder::~CIgStreamBuilder() = default;

void CIgStreamBuilder::BuildOne(const CDsData& ds) {
    BuildDisplaySet(*AddDisplaySet(*epoch_), ds, ig_.video.frameRate, &dropped_, &budget_,
                    &decoded_);
}

void CIgStreamBuilder::FlushWaiting() {
    for (const auto& ds : waiting_) BuildOne(*ds);
    waiting_.clear();
}

// Reads and builds the display sets of bytes, which begin at base_.
void CIgStreamBuilder::Build(std::span<const uint8_t> bytes) {
    if (growBudget_) budget_ += kObjectPixelsPerStreamByte * StreamSegmentBytes(bytes, bare_);
    source_.Reset(bytes, base_);
    while (ok_) {
        std::unique_ptr<CDsData> ds;
        bool newEpoch = false;
        const int result = reader_.Next(ds, newEpoch, &error_);
        if (result == kReadEndOfStream) break;
        if (result == kReadError) {
            // The display sets read before the break are kept.
            ok_ = false;
            break;
        }
        if (newEpoch) {
            if (epoch_) {
                firstEpoch_ = false;
                FlushWaiting();
                epoch_->ResolveRefs();
            }
            epoch_ = ig_.AddNewEpoch();
            epoch_->Clear();
        }
        if (firstEpoch_ && !haveVideo_) {
            waiting_.push_back(std::move(ds));
            haveVideo_ = StreamVideoDescriptor(waiting_, ig_.video);
            if (haveVideo_) FlushWaiting();
            continue;
        }
        BuildOne(*ds);
    }
    base_ += static_cast<int64_t>(bytes.size());
}

bool CIgStreamBuilder::Feed(std::span<const uint8_t> bytes) {
    if (!ok_ || finished_) return ok_;
    fed_ += static_cast<int64_t>(bytes.size());
    // A display set begun in an earlier piece is completed a segment at a
    // time, so that only its own bytes are copied.
    while (!pending_.empty() && !bytes.empty()) {
        size_t want = SegmentBytesMissing(pending_, bare_, scanned_);
        if (want == 0 || want > bytes.size()) want = bytes.size();  // no record: kept whole
        pending_.insert(pending_.end(), bytes.begin(),
                        bytes.begin() + static_cast<ptrdiff_t>(want));
        bytes = bytes.subspan(want);
        const size_t whole = WholeDisplaySetBytes(pending_, bare_, scanned_);
        if (whole) {
            Build(std::span<const uint8_t>(pending_).first(whole));
            pending_.erase(pending_.begin(), pending_.begin() + static_cast<ptrdiff_t>(whole));
            scanned_ -= whole;
        }
    }
    if (bytes.empty()) return ok_;
    // Whole display sets are read where they lie; only the rest is kept.
    size_t scanned = 0;
    const size_t whole = WholeDisplaySetBytes(bytes, bare_, scanned);
    if (whole) Build(bytes.first(whole));
    pending_.assign(bytes.begin() + static_cast<ptrdiff_t>(whole), bytes.end());
    scanned_ = scanned - whole;
    return ok_;
}

bool CIgStreamBuilder::Finish(std::span<const uint8_t> last) {
    if (finished_) return ok_;
    finished_ = true;
    if (ok_) {
        fed_ += static_cast<int64_t>(last.size());
        if (pending_.empty()) {
            Build(last);
        } else {
            pending_.insert(pending_.end(), last.begin(), last.end());
            Build(pending_);
        }
    }
    pending_ = {};
    if (epoch_) {
        FlushWaiting();
        epoch_->ResolveRefs();
        if (epoch_->IsEmpty()) ig_.RemoveAt(ig_.GetSize() - 1);
    }
    return ok_;
}

void CIgObject::TakeEpochs(CIgObject& other) {
    nextEpoch = other.nextEpoch;
    video = other.video;
    flag = other.flag;
    Clear();
    for (auto& e : other.items) Append(std::move(e));
    other.items.clear();
}

CResult CIgObject::LoadStream(const std::string& path, bool bare, std::vector<std::string>* notes) {
    std::vector<uint8_t> bytes;
    if (const CResult read = ReadWholeFile(path, bytes); !read)
        return CResult::FailIn(path, read.Text());
    auto note = [&](std::string text) {
        if (notes) notes->push_back(std::move(text));
    };
    CResult dropped;
    if (const CResult built = BuildFromBytes(bytes, bare, &dropped); !built) {
        // A stream that breaks after some display sets keeps them.
        if (IsEmpty()) return CResult::FailIn(path, built.Text(), built.Offset());
        note(StrFormat("%s: %s (at byte %lld); the display sets before it are kept", path.c_str(),
                       built.Text().c_str(), static_cast<long long>(built.Offset())));
    } else if (IsEmpty()) {
        return CResult::FailIn(path, "no display set in the stream");
    }
    if (dropped.Offset() >= 0)
        note(CResult::FailIn(path, dropped.Text(), dropped.Offset()).Message());
    return {};
}

bool CIgObject::WriteStream(IByteSink& stream, IByteSink* companion, ILogSink* log, bool bare) {
    if (companion) {
        const uint8_t head[4] = {0, 0, 0, 3};
        companion->Write(head, sizeof head);
    }
    for (const auto& epoch : items)
        if (!WriteEpoch(*epoch, video, stream, companion, bare, log)) return false;
    if (companion) {
        uint8_t trailer[kIndexRecordSize] = {0xFF};
        companion->Write(trailer, sizeof trailer);
    }
    return true;
}

CResultOf<bool> CIgObject::SaveStream(const std::string& path, bool companion, ILogSink* log,
                                      bool bare) {
    CMemorySink stream, index;
    if (!WriteStream(stream, companion ? &index : nullptr, log, bare)) {
        // Nothing is written: a file of that name from before stays as it was.
        LogOrShow(log, StrFormat("%s: %s", path.c_str(), "the stream was not saved"));
        return false;
    }
    if (const CResult written = WriteWholeFile(path, stream.data.data(), stream.data.size());
        !written)
        return CResult::FailIn(path, written.Text());
    if (companion) {
        const std::string mui = path + ".mui";
        if (const CResult written = WriteWholeFile(mui, index.data.data(), index.data.size());
            !written) {
            DeleteFile(path);
            return CResult::FailIn(mui, written.Text());
        }
    }
    return true;
}

bool CIgObject::CheckAll(ILogSink* log) {
    CNullSink sink;
    for (const auto& epoch : items)
        if (!WriteEpoch(*epoch, video, sink, nullptr, false, log)) return false;
    return true;
}

bool CIgObject::AutoNeighbours(int mode) {
    bool changed = false;
    for (const auto& epoch : items)
        for (const auto& ds : epoch->items)
            for (const auto& page : ds->items)
                if (AutoNeighbors(*page, mode)) changed = true;
    return changed;
}

void CStoryIgObject::CopyAll(const CNamedObject& other) {
    CIgObject::CopyAll(other);
    auto* o = dynamic_cast<const CStoryIgObject*>(&other);
    if (!o) return;
    storyFlag = o->storyFlag;
    sourcePath = o->sourcePath;
    secondPath = o->secondPath;
    extra = o->extra;
}

void CStoryIgObject::Serialize(CArchive& ar) {
    ar.Io(storyFlag);
    std::string source = RelativeToArchive(ar, sourcePath);
    ar.Io(source);
    if (ar.IsLoading()) sourcePath = ResolveFromArchive(ar, source);
    if (storyFlag) {
        ar.Io(extra);
        std::string second = RelativeToArchive(ar, secondPath);
        ar.Io(second);
        if (ar.IsLoading()) secondPath = ResolveFromArchive(ar, second);
    }
    CIgObject::Serialize(ar);
}

bool CStoryIgObject::CheckAll(ILogSink* log) {
    if (!sourcePath.empty()) return false;
    return CIgObject::CheckAll(log);
}

int SaveEpochImages(CEpoch& epoch, const std::string& folder) {
    int written = 0;
    for (const auto& o : epoch.graphics.items) written += o->SavePicture(folder);
    return written;
}

CResult SaveIgImages(CIgObject& ig, std::string folder, int* written, CProgressWnd* progress,
                     std::vector<std::string>* finished) {
    NormalizeFolder(folder);
    int files = 0, total = 0, done = 0;
    for (const auto& epoch : ig.items)
        for (const auto& o : epoch->graphics.items) total += o->HasPicture();
    SProgressReport position;
    position.kind = SProgressReport::kPosition;
    for (const auto& epoch : ig.items) {
        const std::string epochFolder = folder + epoch->name + kPathSeparator;
        if (CResult made = MakeFolder(epochFolder); !made) return made;
        std::vector<std::string> made;  // files of this epoch written so far
        for (const auto& o : epoch->graphics.items) {
            if (progress && progress->Cancelled()) {
                std::error_code ec;
                for (const std::string& file : made) std::filesystem::remove(file, ec);
                std::filesystem::remove(epochFolder, ec);  // only when empty
                if (written) *written = files;
                return CResult::Cancel();
            }
            if (!o->HasPicture()) continue;
            if (o->SavePicture(epochFolder)) made.push_back(epochFolder + o->PictureFileName());
            ++done;
            position.position = static_cast<int>(done * int64_t{100} / std::max(total, 1));
            ReportProgress(progress, position);
        }
        files += static_cast<int>(made.size());
        if (finished) finished->push_back(epoch->name);
    }
    if (written) *written = files;
    return {};  // cancelled after the last picture: everything is whole
}

std::vector<CPage*> PagesById(const CIgObject& ig) {
    std::vector<CPage*> pages;
    std::set<int32_t> seen;
    for (const auto& epoch : ig)
        for (const auto& ds : *epoch)
            for (const auto& page : *ds)
                if (seen.insert(page->id).second) pages.push_back(page.get());
    return pages;
}

CPage* FirstPage(const CIgObject& ig) {
    for (const auto& epoch : ig)
        for (const auto& ds : *epoch)
            if (ds->GetSize() > 0) return ds->GetAt(0);
    return nullptr;
}

CPage* FindPage(const CIgObject& ig, int pageId) {
    for (const auto& epoch : ig)
        for (const auto& ds : *epoch)
            if (CPage* page = ds->FindById(pageId)) return page;
    return nullptr;
}

}  // namespace tessel
