// Track files: outputs without bytes removed, buffers and work written
// behind in order, failures handed on.
#include <sys/resource.h>

#include <cerrno>
#include <csignal>

#include "ts/demux_support.h"

namespace tessel {
namespace {

using test::CTempDir;

TEST(TrackFile, DiskOutputWithoutBytesIsDeleted) {
    CTempDir dir;
    const std::string empty = dir.Str() + "/empty.ig", full = dir.Str() + "/full.ig";
    {
        auto a = std::make_unique<CDiskFile>();
        ASSERT_TRUE(a->Open(empty));
        SIgTrackFile track(std::move(a));
        EXPECT_TRUE(PathExists(empty));
    }
    EXPECT_FALSE(PathExists(empty));
    {
        auto b = std::make_unique<CDiskFile>();
        ASSERT_TRUE(b->Open(full));
        SIgTrackFile track(std::move(b));
        const uint8_t bytes[3] = {1, 2, 3};
        track.WritePayloadWithPrefix(bytes, 3, bytes, 2);
        track.Flush();
        EXPECT_FALSE(track.WriteFailed());
    }
    EXPECT_EQ(FileLength(full), 5);
    auto c = std::make_unique<CDiskFile>();
    const CResult opened = c->Open(dir.Str() + "/no/such/folder.ig");
    EXPECT_TRUE(opened.Failed());
    EXPECT_EQ(opened.Message(), dir.Str() + "/no/such/folder.ig: " + SystemErrorText(ENOENT));
}

// A disk track writes full buffers behind while the other fills: the file
// holds every byte in order whatever the sizes of the pieces, and a write
// that fails (past a file size limit) is reported by the track, not lost.
TEST(TrackFile, BuffersWrittenBehindKeepOrderAndFailures) {
    CTempDir dir;
    const std::string path = dir.Str() + "/behind.ig";
    std::vector<uint8_t> expected;
    {
        auto out = std::make_unique<CDiskFile>();
        ASSERT_TRUE(out->Open(path));
        STrackFile track(std::move(out), 1000);
        uint8_t next = 0;
        for (size_t n = 1; expected.size() < 100000; n = n % 1500 + 37) {
            std::vector<uint8_t> piece(n);
            for (uint8_t& b : piece) b = next++;
            track.WritePayload(piece.data(), piece.size(), nullptr, 0, 0);
            expected.insert(expected.end(), piece.begin(), piece.end());
        }
        track.Flush();
        EXPECT_FALSE(track.WriteFailed());
        EXPECT_EQ(track.Output()->Length(), static_cast<int64_t>(expected.size()));
    }
    std::vector<uint8_t> written;
    ASSERT_EQ(ReadWholeFile(path, written).Message(), "");
    EXPECT_EQ(written, expected);

    // A file size limit makes the writes past 2000 bytes fail (EFBIG).
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 2000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool failed = false;
    {
        auto limited = std::make_unique<CDiskFile>();
        ASSERT_TRUE(limited->Open(dir.Str() + "/limited.ig"));
        STrackFile track(std::move(limited), 1000);
        const std::vector<uint8_t> piece(700, 1);
        for (int i = 0; i < 8; ++i) track.WritePayload(piece.data(), piece.size(), nullptr, 0, 0);
        track.Flush();
        failed = track.WriteFailed();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);
    EXPECT_TRUE(failed);
}

// The thread behind a track does the pieces in order, one at a time, and an
// exception of its work comes out of the caller's next wait, once.
TEST(TrackFile, WorkBehindKeepsOrderAndHandsOnItsFailure) {
    std::vector<uint8_t> seen;
    CBehindThread behind([&seen](const uint8_t* data, size_t size) {
        if (size == 0) throw std::bad_alloc();
        seen.insert(seen.end(), data, data + size);
    });
    const std::vector<uint8_t> a{1, 2, 3}, b{4, 5};
    ASSERT_TRUE(behind.Post(a.data(), a.size()));
    ASSERT_TRUE(behind.Post(b.data(), b.size()));
    behind.Wait();
    EXPECT_EQ(seen, (std::vector<uint8_t>{1, 2, 3, 4, 5}));
    ASSERT_TRUE(behind.Post(a.data(), 0));
    EXPECT_THROW(behind.Wait(), std::bad_alloc);
    EXPECT_NO_THROW(behind.Wait());
    behind.Stop();
}

// A track whose output fails behind it (out of memory in the work) and is
// destroyed before anyone waited: the failure ends with the track.
TEST(TrackFile, FailureBehindUnwaitedEndsWithTheTrack) {
    class CFailingOutput : public COutputFile {
    public:
        bool Write(const uint8_t*, size_t) override { return true; }
        bool WritesBehind() const override { return true; }
        bool WriteBehind(const uint8_t* data, size_t size) override {
            return behind_.Post(data, size);
        }
        int64_t Length() const override {
            behind_.Wait();
            return 1;
        }

    private:
        CBehindThread behind_{[](const uint8_t*, size_t) { throw std::bad_alloc(); }};
    };
    const std::vector<uint8_t> piece(60, 1);
    {
        STrackFile track(std::make_unique<CFailingOutput>(), 100);
        // the second piece sends the first behind, where it fails
        for (int i = 0; i < 2; ++i) track.WritePayload(piece.data(), piece.size(), nullptr, 0, 0);
    }
    STrackFile track(std::make_unique<CFailingOutput>(), 100);
    for (int i = 0; i < 2; ++i) track.WritePayload(piece.data(), piece.size(), nullptr, 0, 0);
    // the next hand-over hears of it
    EXPECT_THROW(track.WritePayload(piece.data(), piece.size(), nullptr, 0, 0), std::bad_alloc);
}

TEST(TrackFile, UnflushedBytesAreLostAndFirstPtsSkipsZero) {
    auto mem = std::make_unique<CMemoryFile>();
    CMemoryFile* out = mem.get();
    STrackFile track(std::move(mem));
    const uint8_t b[4] = {1, 2, 3, 4};
    track.WritePayload(b, 4, nullptr, 0, 0);
    EXPECT_EQ(out->Length(), 0);
    track.NotePesStart(0, true);
    track.NotePesStart(77, true);
    track.NotePesStart(88, false);
    EXPECT_EQ(track.pesCount, 3u);
    EXPECT_EQ(track.firstPts, 77u);
    track.Flush();
    EXPECT_EQ(out->Length(), 4);
}

}  // namespace
}  // namespace tessel
