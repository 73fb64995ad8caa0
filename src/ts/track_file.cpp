#include "ts/track_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <new>
#include <system_error>

#include "platform/files.h"
#include "platform/text.h"
#include "ts/esi.h"
#include "ts/pes.h"

namespace tessel {

bool CMemoryFile::Write(const uint8_t* data, size_t size) {
    data_.Append(data, size);
    return true;
}

CDiskFile::~CDiskFile() {
    Close();
}

CResult CDiskFile::Open(const std::string& path) {
    Close();
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) return CResult::Fail(SystemErrorText(errno), -1, path);
    path_ = path;
    length_ = 0;
    error_ = 0;
    return {};
}

bool CDiskFile::WriteNow(const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int e = n < 0 ? errno : ENOSPC;
            std::lock_guard lock(mutex_);
            if (!error_) error_ = e;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
        std::lock_guard lock(mutex_);
        length_ += n;
    }
    return true;
}

bool CDiskFile::Write(const uint8_t* data, size_t size) {
    if (fd_ < 0 || Error()) return false;  // Error waits for the bytes behind
    return WriteNow(data, size);
}

bool CDiskFile::WriteBehind(const uint8_t* data, size_t size) {
    if (fd_ < 0 || Error()) return false;  // Error waits for the bytes behind
    return behind_.Post(data, size) || WriteNow(data, size);
}

int64_t CDiskFile::Length() const {
    behind_.Wait();
    std::lock_guard lock(mutex_);
    return length_;
}

int CDiskFile::Error() const {
    behind_.Wait();
    std::lock_guard lock(mutex_);
    return error_;
}

void CDiskFile::Close() {
    Finish();
}

bool CDiskFile::Finish() {
    behind_.Stop();
    if (fd_ >= 0 && ::close(fd_) != 0 && !error_) error_ = errno;
    fd_ = -1;
    return error_ == 0;
}

bool CBehindThread::Post(const uint8_t* data, size_t size) {
    Wait();
    if (!thread_.joinable()) {
        try {
            thread_ = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            return false;
        }
    }
    {
        std::lock_guard lock(mutex_);
        pending_ = data;
        pendingSize_ = size;
    }
    changed_.notify_all();
    return true;
}

void CBehindThread::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stop_ || pending_; });
        if (!pending_) return;  // stopped with nothing left
        const uint8_t* data = pending_;
        const size_t size = pendingSize_;
        lock.unlock();
        std::exception_ptr failure;
        try {
            work_(data, size);
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        if (failure && !failure_) failure_ = failure;
        pending_ = nullptr;
        changed_.notify_all();
    }
}

void CBehindThread::Wait() const {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !pending_; });
    if (failure_) {
        std::exception_ptr failure = failure_;
        failure_ = nullptr;
        lock.unlock();
        std::rethrow_exception(failure);
    }
}

void CBehindThread::Stop() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
    stop_ = false;
}

STrackFile::STrackFile(std::unique_ptr<COutputFile> out, size_t cap)
    : capacity(cap), output(std::move(out)) {}

STrackFile::~STrackFile() {
    if (!output) return;
    // Work done behind the track may still hand on a failure (out of memory)
    // that nobody waited for: it ends here, with the track.
    try {
        const bool empty = output->Length() == 0;
        const std::string path = output->Path();
        output->Close();
        if (empty && !path.empty()) DeleteFile(path);
    } catch (const std::exception&) {
        output->Close();
    }
}

void STrackFile::NotePesStart(uint32_t pts, bool /*priority*/) {
    ++pesCount;
    if (firstPts == 0) firstPts = pts;
}

bool STrackFile::NoteContinuity(int cc, bool discontinuity) {
    const int last = lastCc_;
    lastCc_ = cc;
    if (discontinuity || last < 0 || cc == ((last + 1) & 0x0F)) return true;
    if (cc == last) return false;
    LostPackets(StrFormat("the continuity counter jumps from %d to %d (%d packet(s) lost)", last,
                          cc, (cc - last - 1) & 0x0F));
    return true;
}

void STrackFile::WriteOut(const uint8_t* data, size_t size) {
    if (!output) return;
    if (!output->Write(data, size)) writeFailed = true;
}

void STrackFile::Append(std::initializer_list<std::span<const uint8_t>> parts) {
    size_t size = 0;
    for (auto p : parts) size += p.size();
    appended += static_cast<int64_t>(size);
    if (used + size > capacity && used > 0) {
        // A full buffer is written behind while the spare fills, where the
        // output can; the spare is made when first needed.
        if (output && output->WritesBehind() && allocated == capacity && !spare)
            spare = MakeAlignedBytes(capacity);
        if (output && spare) {
            if (!output->WriteBehind(buffer.get(), used)) writeFailed = true;
            std::swap(buffer, spare);
        } else {
            WriteOut(buffer.get(), used);
        }
        used = 0;
    }
    if (size > capacity) {  // larger than the whole buffer: straight through
        for (auto p : parts) WriteOut(p.data(), p.size());
        return;
    }
    if (used + size > allocated) {
        // The buffer grows with what the track holds, so a clip of a few
        // packets never costs a whole buffer per track.
        const size_t want =
            std::min(capacity, std::max({used + size, 2 * allocated, kFirstAllocation}));
        AlignedBytes grown = MakeAlignedBytes(want);
        if (!grown) throw std::bad_alloc();
        if (used) std::memcpy(grown.get(), buffer.get(), used);
        buffer = std::move(grown);
        allocated = want;
    }
    for (auto p : parts) {
        if (!p.empty()) std::memcpy(buffer.get() + used, p.data(), p.size());
        used += p.size();
    }
}

void STrackFile::WritePayload(const uint8_t* data, size_t size, const SPesHeader* header,
                              int64_t /*referenceTime*/, int64_t /*mapOffset*/) {
    if (header) pesOpen = true;
    Append({{data, size}});
}

void STrackFile::WritePayloadWithPrefix(const uint8_t* data, size_t size, const uint8_t* prefix,
                                        size_t prefixSize) {
    Append({{prefix, prefixSize}, {data, size}});
}

void STrackFile::Flush() {
    if (used > 0 && output) {
        WriteOut(buffer.get(), used);
        used = 0;
    }
}

namespace {
void PutU32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}
uint32_t Low32(int64_t v) {
    return static_cast<uint32_t>(static_cast<uint64_t>(v));
}
}  // namespace

void SGsTrackFile::WritePayload(const uint8_t* data, size_t size, const SPesHeader* header,
                                int64_t referenceTime, int64_t mapOffset) {
    if (!header) {
        // A continuation belongs to the open record; without one (the stream
        // began inside a PES packet, its start was lost or damaged, or the PES
        // packet is complete) it is dropped.
        if (pesOpen) {
            AppendPesBytes(data, size);
        } else if (!lost_.empty()) {
            Damage(lost_ + "; payload whose PES start is lost is left out", packetOffset);
            lost_.clear();
        }
        return;
    }
    if (pesOpen) {
        if (pesLeft_ > 0)
            Damage(StrFormat("a PES packet ends %lld bytes before its length (a packet is lost)",
                             static_cast<long long>(pesLeft_)),
                   packetOffset);
        else
            EndRecord();  // its length was not given: it ends here
    } else if (!lost_.empty()) {
        Damage(lost_ + " (a whole PES packet may be lost)", packetOffset);
    }
    lost_.clear();
    pesOpen = true;
    recordStart_ = packetOffset;
    pesLeft_ = header->packetLength != 0 && header->packetLength + 6 >= header->headerLength
                   ? header->packetLength + 6 - header->headerLength
                   : -1;
    // A header without PTS repeats the previous record's time (the reference
    // time before any record).
    const uint64_t pts = header->HasPts()
                             ? header->pts.value
                             : (haveLastPts_ ? lastPts_ : static_cast<uint64_t>(referenceTime));
    lastPts_ = pts;
    haveLastPts_ = true;
    // Times are rebased to the map's offset unless the clip's own are kept.
    const int64_t base = keepTime ? 0 : mapOffset - referenceTime;
    if (firstRecord && !keepTime) {
        const uint64_t first = header->HasDts() ? header->dts.value : pts;
        const int64_t t = static_cast<int64_t>(first) + base;
        timeShift = t < kMinFirstTime ? kMinFirstTime - t : 0;
        firstRecord = false;
    }
    const int64_t ptsOut = static_cast<int64_t>(pts) + base + timeShift;
    const int64_t dtsOut =
        header->HasDts() ? static_cast<int64_t>(header->dts.value) + base + timeShift : 0;
    for (size_t i = 0; i < 2; ++i)
        recordHead[i] = i < tag.size() ? static_cast<uint8_t>(tag[i]) : 0;
    PutU32(recordHead + 2, Low32(ptsOut));
    PutU32(recordHead + 6, Low32(dtsOut));
    record_.assign(recordHead, recordHead + kRecordHeadSize);
    AppendPesBytes(data, size);
}

void SGsTrackFile::AppendPesBytes(const uint8_t* data, size_t size) {
    // Bytes past the end of the PES packet are not part of it.
    if (pesLeft_ >= 0 && size > static_cast<uint64_t>(pesLeft_))
        size = static_cast<size_t>(pesLeft_);
    record_.insert(record_.end(), data, data + size);
    if (pesLeft_ >= 0) {
        pesLeft_ -= static_cast<int64_t>(size);
        if (pesLeft_ == 0) EndRecord();
    }
}

void SGsTrackFile::EndRecord() {
    pesOpen = false;
    const uint8_t* segment = record_.data() + kRecordHeadSize;
    const size_t payload = record_.size() - kRecordHeadSize;
    const size_t segmentSize = payload >= 3 ? 3 + (size_t{segment[1]} << 8 | segment[2]) : 0;
    if (payload >= 3 && segmentSize > payload) {
        Damage(StrFormat("a segment of %zu bytes is cut short to %zu by the end of its PES packet",
                         segmentSize, payload),
               recordStart_);
        return;
    }
    if (payload >= 1 && segment[0] == 0x80) ++endSegments_;
    recordOffset = appended;
    origins_.starts.emplace_back(appended, recordStart_);
    Append({{record_.data(), record_.size()}});
    record_.clear();
}

int64_t SRecordOrigins::FileOffsetOf(int64_t offset) const {
    auto it = std::upper_bound(starts.begin(), starts.end(), std::make_pair(offset, INT64_MAX));
    return it == starts.begin() ? 0 : std::prev(it)->second;
}

void SGsTrackFile::Damage(const std::string& reason, int64_t offset) {
    SPesDamage d;
    d.offset = offset;
    d.reason = reason;
    d.displaySet = endSegments_;
    if (record_.size() > kRecordHeadSize) {  // the record it takes away
        const uint8_t* segment = record_.data() + kRecordHeadSize;
        d.segmentType = segment[0];
        if (d.segmentType == 0x15 && record_.size() >= kRecordHeadSize + 5)
            d.objectId = segment[3] << 8 | segment[4];
    }
    damages.push_back(std::move(d));
    record_.clear();
    pesOpen = false;
}

void SGsTrackFile::AbandonPes() {
    if (pesOpen && pesLeft_ > 0)
        Damage(StrFormat("a PES packet ends %lld bytes before its length",
                         static_cast<long long>(pesLeft_)),
               packetOffset);
    else if (pesOpen)
        EndRecord();
    Damage("a PES header is damaged; its PES packet is left out", packetOffset);
}

void SGsTrackFile::LostPackets(const std::string& reason) {
    if (pesOpen)
        Damage(reason, packetOffset);
    else
        lost_ = reason;
}

void SGsTrackFile::Flush() {
    if (!record_.empty()) {
        // The clip ends inside the record: it is kept as far as it goes.
        recordOffset = appended;
        origins_.starts.emplace_back(appended, recordStart_);
        Append({{record_.data(), record_.size()}});
        record_.clear();
    }
    if (!lost_.empty()) {
        Damage(lost_ + " (a whole PES packet may be lost)", packetOffset);
        lost_.clear();
    }
    STrackFile::Flush();
}

bool AddTrack(CTrackInfoMap& map, int pid, std::unique_ptr<STrackInfo> info) {
    // Out of memory leaves the map as it was.
    try {
        map.pids.push_back(pid);
        map.tracks.push_back(std::move(info));
    } catch (const std::bad_alloc&) {
        if (map.pids.size() > map.tracks.size()) map.pids.pop_back();
        return false;
    }
    return true;
}

bool AddGraphicsTracks(const CEsiFolder& pmt, uint8_t streamType, CTrackInfoMap& map,
                       const std::function<std::unique_ptr<COutputFile>(int pid)>& open,
                       size_t capacity) {
    for (const ESI& es : pmt.streams) {
        if (es.streamType != streamType) continue;
        std::unique_ptr<COutputFile> output = open(es.elementaryPid);
        if (!output) return false;
        auto info = std::make_unique<STrackInfo>();
        info->streamType = es.streamType;
        auto track = std::make_unique<SGsTrackFile>(std::move(output), capacity);
        track->tag = streamType == kStreamTypePg ? "PG" : "IG";
        info->main = std::move(track);
        AddTrack(map, es.elementaryPid, std::move(info));
    }
    return true;
}

void AddIgTracks(const CEsiFolder& pmt, CTrackInfoMap& map, std::vector<CMemoryFile*>& outputs) {
    AddGraphicsTracks(pmt, kStreamTypeIg, map, [&](int) {
        auto memory = std::make_unique<CMemoryFile>();
        outputs.push_back(memory.get());
        return memory;
    });
}

}  // namespace tessel
