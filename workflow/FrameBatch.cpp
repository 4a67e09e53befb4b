#include "workflow/FrameBatch.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <exception>
#include <mutex>
#include <sys/stat.h>
#include <thread>

#include "engine/Parallel.h"

namespace tintwise {

const char *FrameStatusName(TFrameStatus status) {
  switch (status) {
  case TFrameStatus::Done:
    return "done";
  case TFrameStatus::Skipped:
    return "skipped";
  case TFrameStatus::Failed:
    return "failed";
  }
  return "failed";
}

bool FrameOutputExists(const std::string &fileName) {
  struct stat st {};
  return ::stat(fileName.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

namespace {

void AppendJsonString(std::string &out, const std::string &text) {
  out += '"';
  for (const unsigned char c : text) {
    switch (c) {
    case '"':
      out += "\\\"";
      break;
    case '\\':
      out += "\\\\";
      break;
    case '\n':
      out += "\\n";
      break;
    case '\r':
      out += "\\r";
      break;
    case '\t':
      out += "\\t";
      break;
    default:
      if (c < 0x20 || c == 0x7f) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\u%04x", c);
        out += buf;
      } else {
        out += static_cast<char>(c);
      }
    }
  }
  out += '"';
}

} // namespace

std::string FrameResultJson(const TFrameJob &job, const TFrameResult &result) {
  std::string line = "{\"frame\":";
  line += job.Frame >= 0 ? std::to_string(job.Frame) : std::string("null");
  line += ",\"input\":";
  AppendJsonString(line, job.Input);
  line += ",\"output\":";
  AppendJsonString(line, job.Output);
  line += ",\"status\":\"";
  line += FrameStatusName(result.Status);
  line += "\",\"error\":";
  if (result.Status == TFrameStatus::Failed)
    AppendJsonString(line, result.Error);
  else
    line += "null";
  char ms[32];
  std::snprintf(ms, sizeof ms, "%.1f", result.Milliseconds);
  line += ",\"ms\":";
  line += ms;
  line += '}';
  return line;
}

TFrameBatchSummary RunFrameBatch(const std::vector<TFrameJob> &jobs, const TFrameBatchOptions &options,
                                 const TFrameWork &work, const TFrameReport &report) {
  TFrameBatchSummary summary;
  if (jobs.empty())
    return summary;
  const int threads = options.Threads > 0
                          ? options.Threads
                          : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  const int workers = std::min<int>(threads, static_cast<int>(jobs.size()));
  // The pixels of one frame share what the frame workers leave of the reservation.
  const int previousEngineThreads = EngineThreadCount();
  SetEngineThreadCount(std::max(1, threads / workers));

  std::atomic<std::size_t> next{0};
  std::mutex reportLock;
  auto run = [&] {
    for (;;) {
      const std::size_t i = next.fetch_add(1);
      if (i >= jobs.size())
        return;
      const TFrameJob &job = jobs[i];
      TFrameResult result;
      const auto started = std::chrono::steady_clock::now();
      if (options.SkipExisting &&
          (options.OutputExists ? options.OutputExists(job) : FrameOutputExists(job.Output))) {
        result.Status = TFrameStatus::Skipped;
      } else {
        try {
          work(job);
          result.Status = TFrameStatus::Done;
        } catch (const std::exception &e) {
          result.Status = TFrameStatus::Failed;
          result.Error = e.what();
        } catch (...) {
          result.Status = TFrameStatus::Failed;
          result.Error = "unknown error";
        }
      }
      result.Milliseconds =
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
      std::lock_guard<std::mutex> lock(reportLock);
      switch (result.Status) {
      case TFrameStatus::Done:
        ++summary.Done;
        break;
      case TFrameStatus::Skipped:
        ++summary.Skipped;
        break;
      case TFrameStatus::Failed:
        ++summary.Failed;
        break;
      }
      if (report)
        report(job, result);
    }
  };
  std::vector<std::thread> pool;
  for (int w = 1; w < workers; ++w)
    pool.emplace_back(run);
  run();
  for (std::thread &t : pool)
    t.join();
  SetEngineThreadCount(previousEngineThreads);
  return summary;
}

} // namespace tintwise
