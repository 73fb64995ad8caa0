#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/progress.h"
#include "platform/text.h"

namespace tessel {
namespace {

class CFakeProgress : public CProgressWnd {
public:
    int64_t now = 0;
    int slept = 0;
    int pumps = 0;
    bool cancelOnPump = false;

protected:
    void Pump() override {
        ++pumps;
        if (cancelOnPump) Cancel();
    }
    int64_t NowMs() const override { return now; }
    void SleepMs(int ms) override { slept += ms; }
};

SProgressReport Report(int kind, int position, const char* caption) {
    SProgressReport r;
    r.kind = kind;
    r.position = position;
    r.caption = caption;
    return r;
}

SProgressReport Caption(const char* c) {
    return Report(SProgressReport::kCaption, 0, c);
}

SProgressReport Pos(int p) {
    return Report(SProgressReport::kPosition, p, "");
}

TEST(Progress, TitleCarriesCaptionAndPercent) {
    CFakeProgress w;
    EXPECT_TRUE(ReportProgress(&w, Caption("Parsing m2ts")));
    EXPECT_TRUE(ReportProgress(&w, Pos(50)));
    EXPECT_EQ(w.Title(), "Parsing m2ts [50%]");
    EXPECT_EQ(w.slept, 0);
    ReportProgress(&w, Pos(100));
    EXPECT_EQ(w.slept, 50);  // the last step waits before the bar moves
    EXPECT_EQ(w.Title(), "Parsing m2ts [100%]");
}

TEST(Progress, TimeLeftEstimate) {
    EXPECT_EQ(CProgressWnd::FormatTimeLeft(30000, 100, 25, 25),
              "Estimated time left:  1 min 30 sec");
    EXPECT_EQ(CProgressWnd::FormatTimeLeft(1000, 100, 100, 100), "Estimated time left:  0 sec");
    EXPECT_EQ(CProgressWnd::FormatTimeLeft(100, 100, 99, 99), "Estimated time left:  1 sec");
    EXPECT_EQ(CProgressWnd::FormatTimeLeft(3601000, 100, 50, 50),
              "Estimated time left:  1 hour 0 min");
    EXPECT_EQ(CProgressWnd::FormatTimeLeft(60000, 100, 50, 50), "Estimated time left:  60 sec");
    EXPECT_EQ(CProgressWnd::FormatTimeLeft(5000, 100, 0, 0), "");
}

TEST(Progress, CancelSticksAndTextIgnoresCase) {
    CFakeProgress w;
    SProgressReport text;
    text.kind = SProgressReport::kText;
    text.text = "Demuxing";
    EXPECT_TRUE(ReportProgress(&w, text));
    const int pumps = w.pumps;
    text.text = "DEMUXING";
    ReportProgress(&w, text);
    EXPECT_EQ(w.Text(), "Demuxing");
    EXPECT_EQ(w.pumps, pumps);
    w.cancelOnPump = true;
    EXPECT_FALSE(ReportProgress(&w, Pos(10)));
    w.cancelOnPump = false;
    EXPECT_FALSE(ReportProgress(&w, Pos(20)));
    EXPECT_TRUE(ReportProgress(nullptr, Pos(20)));
}

// A window's thread cancels while a worker reports: the worker's next report
// returns false, and the worker's window is pumped no more.
TEST(Progress, CancelFromAnotherThreadStopsTheWorker) {
    CFakeProgress w;
    std::atomic<bool> reporting{false};
    bool stopped = false;
    int pumpsAtStop = 0;
    std::thread worker([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        for (int i = 0; std::chrono::steady_clock::now() < deadline; ++i) {
            if (!ReportProgress(&w, Pos(i % 100))) {
                stopped = true;
                break;
            }
            reporting = true;
        }
        pumpsAtStop = w.pumps;
        // Reports after the cancel keep failing and do not pump.
        if (ReportProgress(&w, Pos(1))) stopped = false;
    });
    while (!reporting) std::this_thread::yield();
    w.Cancel();
    worker.join();
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(w.Cancelled());
    EXPECT_EQ(w.pumps, pumpsAtStop);
    EXPECT_GT(pumpsAtStop, 0);
}

TEST(ProgressBytes, SizesRateAndTimeLeftOfTheFileRead) {
    const std::pair<int64_t, const char*> sizes[] = {
        {512, "512 bytes"}, {1500000, "1.5 MB"}, {41000000, "41 MB"}, {31200000000, "31.2 GB"}};
    for (const auto& [bytes, text] : sizes) EXPECT_EQ(ByteSizeText(bytes), text);
    CFakeProgress p;
    EXPECT_EQ(p.BytesText(), "");
    SProgressReport r;
    r.kind = SProgressReport::kBytes;
    r.bytesTotal = 4300000000;
    r.bytesDone = 0;
    ASSERT_TRUE(ReportProgress(&p, r));
    p.now = 10000;  // 10 s for 1.8 GB: 180 MB/s, 2.5 GB to go
    r.bytesDone = 1800000000;
    ASSERT_TRUE(ReportProgress(&p, r));
    EXPECT_EQ(p.BytesText(), "1.8 GB of 4.3 GB, 180 MB/s, 14 sec left");
    // A new step starts without the old file's bytes.
    ReportProgress(&p, Caption("Ripping"));
    EXPECT_EQ(p.BytesText(), "");
    // Sampled reads: the time left follows the places done, not the bytes.
    r.sampled = true;
    r.bytesTotal = 31200000000;
    r.bytesDone = 0;
    ASSERT_TRUE(ReportProgress(&p, r));
    p.now = 20000;  // 10 s for 41 MB and a quarter of the places
    ReportProgress(&p, Pos(25));
    r.bytesDone = 41000000;
    ASSERT_TRUE(ReportProgress(&p, r));
    EXPECT_EQ(p.BytesText(), "41 MB read of 31.2 GB, 4.1 MB/s, 30 sec left");
}

}  // namespace
}  // namespace tessel
