#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>
#include <tuple>

#include "workflow/FrameBatch.h"
#include "workflow/FrameSequence.h"

namespace tintwise {
namespace {

using Frames = std::vector<std::int64_t>;

TEST(FrameList, ReadsTheFarmNotationsAndRefusesWhatAJobDescriptionWouldNotMean) {
  const struct { const char *spec; Frames frames; } cases[] = {
      {"7", {7}},
      {"0", {0}},
      {"1001-1004", {1001, 1002, 1003, 1004}},
      {"1001-1008x2", {1001, 1003, 1005, 1007}},
      {"1001-1007x3", {1001, 1004, 1007}},
      {"7-20:5", {7, 12, 17}},
      {"1,5,9,20-30x5", {1, 5, 9, 20, 25, 30}},
      {"10-10", {10}},
      {" 3 , 1-2 ", {3, 1, 2}},      // blanks around items, the list's order kept
      {"1-3,2-5", {1, 2, 3, 4, 5}}, // a frame named twice is done once
      {"5-6x100", {5}},
  };
  for (const auto &c : cases)
    EXPECT_EQ(ParseFrameList(c.spec), c.frames) << c.spec;
  for (const char *spec : {"", " ", "1,,2", "1,", "a", "1-", "-5", "5-1", "1-10x0", "1-10x", "1.5", "1-2-3", "1x2",
                           "0x10-20", "99999999999", "1-10y2", "0-999999999" /* more frames than any list may name */})
    EXPECT_THROW(ParseFrameList(spec), EFrameSpecError) << spec;
}

TEST(FramePattern, ExpandsPrintfAndHashPadding) {
  const struct { const char *pattern; std::int64_t frame; const char *name; } cases[] = {
      {"shot.%04d.dpx", 1001, "shot.1001.dpx"},
      {"shot.%04d.dpx", 7, "shot.0007.dpx"},
      {"shot.%04d.dpx", 123456, "shot.123456.dpx"}, // wider than the padding: written in full
      {"shot.%d.exr", 7, "shot.7.exr"},
      {"shot.####.exr", 42, "shot.0042.exr"},
      {"a/b#.png", 3, "a/b3.png"},
      {"%06d", 12, "000012"},
      {"100%.#.png", 5, "100%.5.png"}, // a lone % is text
  };
  for (const auto &c : cases)
    EXPECT_EQ(TFramePattern(c.pattern).NameOf(c.frame), c.name) << c.pattern;
  for (const char *bad : {"shot.dpx", "shot.%04d.%04d.dpx", "a#b#.png", "%4x"})
    EXPECT_THROW(TFramePattern{bad}, EFrameSpecError) << bad;
  EXPECT_TRUE(TFramePattern::IsPattern("s.####.dpx"));
  EXPECT_FALSE(TFramePattern::IsPattern("s.dpx"));
}

TEST(FrameBatch, RunsEveryJobOnceAndReportsEach) {
  // Frame 40's output is a file that exists, so it is skipped; frame 41's is a folder, which is no
  // finished output.
  std::vector<TFrameJob> jobs;
  for (int f = 0; f < 40; ++f)
    jobs.push_back({f, "in" + std::to_string(f), "/nonexistent/out" + std::to_string(f)});
  jobs.push_back({40, "in40", TINTWISE_SOURCE_DIR "/samples/coffee.png"});
  jobs.push_back({41, "in41", TINTWISE_SOURCE_DIR "/samples"});
  for (int threads : {1, 2, 5}) {
    std::mutex lock;
    std::multiset<std::int64_t> worked, reported;
    std::atomic<int> running{0}, peak{0};
    TFrameBatchOptions options;
    options.Threads = threads;
    options.SkipExisting = true;
    const TFrameBatchSummary summary = RunFrameBatch(
        jobs, options,
        [&](const TFrameJob &job) {
          const int now = ++running;
          int seen = peak.load();
          while (now > seen && !peak.compare_exchange_weak(seen, now)) {
          }
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
          {
            std::lock_guard<std::mutex> g(lock);
            worked.insert(job.Frame);
          }
          --running;
          if (job.Frame == 13)
            throw 13; // not even an exception class
          if (job.Frame % 10 == 3)
            throw std::runtime_error("frame " + std::to_string(job.Frame) + " is damaged");
        },
        [&](const TFrameJob &job, const TFrameResult &result) {
          reported.insert(job.Frame);
          EXPECT_EQ(result.Status == TFrameStatus::Failed, job.Frame % 10 == 3);
          EXPECT_EQ(result.Status == TFrameStatus::Skipped, job.Frame == 40);
          if (result.Status == TFrameStatus::Failed) {
            EXPECT_EQ(result.Error,
                      job.Frame == 13 ? "unknown error" : "frame " + std::to_string(job.Frame) + " is damaged");
          }
        });
    EXPECT_EQ(std::tuple(summary.Done, summary.Failed, summary.Skipped), std::tuple(37, 4, 1));
    EXPECT_EQ(worked.size(), 41u);
    EXPECT_EQ(std::set<std::int64_t>(worked.begin(), worked.end()).size(), 41u);
    worked.insert(40);
    EXPECT_EQ(reported, worked);
    EXPECT_LE(peak.load(), threads);
  }
}

TEST(FrameBatch, JsonLinesAreValidAndEscaped) {
  TFrameResult failed;
  failed.Status = TFrameStatus::Failed;
  failed.Error = "bad \"frame\"\n\r\t\x01\x7f";
  failed.Milliseconds = 12.25;
  EXPECT_EQ(FrameResultJson({1001, "in/a\\b.dpx", "out/a.dpx"}, failed),
            R"({"frame":1001,"input":"in/a\\b.dpx","output":"out/a.dpx","status":"failed",)"
            R"("error":"bad \"frame\"\n\r\t\u0001\u007f","ms":12.2})");
  TFrameResult skipped;
  skipped.Status = TFrameStatus::Skipped;
  EXPECT_EQ(FrameResultJson({-1, "a.png", "b.png"}, skipped),
            R"({"frame":null,"input":"a.png","output":"b.png","status":"skipped","error":null,"ms":0.0})");
}

} // namespace
} // namespace tintwise
