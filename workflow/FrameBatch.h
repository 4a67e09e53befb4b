// Runs one piece of work per frame on a pool of threads, the unit a render farm hands out: frames
// in parallel (not only the pixels of one frame), each frame's output written in one step, frames
// whose output exists skipped on request so a killed run resumes by running it again, and one
// report per frame as soon as it ends.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tintwise {

struct TFrameJob {
  std::int64_t Frame = -1; // -1 when the input is not part of a numbered sequence
  std::string Input;
  std::string Output;
};

enum class TFrameStatus { Done, Skipped, Failed };

const char *FrameStatusName(TFrameStatus status); // "done", "skipped", "failed"

struct TFrameResult {
  TFrameStatus Status = TFrameStatus::Done;
  std::string Error; // the message of a failed frame
  double Milliseconds = 0;
};

struct TFrameBatchSummary {
  int Done = 0, Skipped = 0, Failed = 0;
};

struct TFrameBatchOptions {
  int Threads = 0;           // 0: every core
  bool SkipExisting = false; // a job whose output exists is skipped, not redone
  // Whether a job's output exists, for SkipExisting; FrameOutputExists(job.Output) unless given. A
  // job that writes several outputs (a movie's frames) answers for all of them, and its work skips
  // those that exist itself.
  std::function<bool(const TFrameJob &job)> OutputExists;
};

// Whether the file exists as a regular file.
bool FrameOutputExists(const std::string &fileName);

// The work for one frame; it reads job.Input and writes job.Output, raising on failure.
using TFrameWork = std::function<void(const TFrameJob &job)>;
// Called once per job, from one thread at a time, in the order the jobs end.
using TFrameReport = std::function<void(const TFrameJob &job, const TFrameResult &result)>;

// Runs work over every job with up to Threads jobs at a time; the engine's own pixel threads are
// set so the total stays within Threads. Returns the counts; never raises for a failed job.
TFrameBatchSummary RunFrameBatch(const std::vector<TFrameJob> &jobs, const TFrameBatchOptions &options,
                                 const TFrameWork &work, const TFrameReport &report);

// One JSON line describing a finished job, without the line end:
// {"frame":1001,"input":"a.dpx","output":"b.dpx","status":"done","error":null,"ms":12.5}
std::string FrameResultJson(const TFrameJob &job, const TFrameResult &result);

} // namespace tintwise
