#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/ConversionOptions.h"
#include "engine/ConversionReport.h"
#include "engine/Records.h"

namespace kelvora {

// Runs every batch of conversions, the command line's and the window's: each item converted
// with the readers of the worker that takes it, `jobs` workers at once (1: one file after
// another, in list order). With several workers, sources that can claim the same names go to
// one worker in list order (PlanConversionGroups), so the names written are those of one file
// after another. Each file's start and result are told as they come.
class CBatch {
  public:
    struct Result {
        bool started = false;
        bool done = false;
        bool converted = false;
        ConversionReport report;
    };

    // Told on a worker's thread (BatchOver of a batch without workers: on the caller's, from
    // the constructor). It must not destroy the batch.
    class Listener {
      public:
        virtual ~Listener() = default;
        virtual void FileStarted(size_t /*k*/) {}
        virtual void FileDone(size_t /*k*/, const Result& /*result*/) {}
        // Every worker has ended: no file starts or finishes any more.
        virtual void BatchOver() {}
    };

    // Plans the batch. Null items are done from the start and convert nothing; an item whose
    // path names neither a movie nor a video fails.
    CBatch(const std::vector<SourceItem*>& items, bool toMp3, const ConversionOptions& options,
           unsigned jobs, Listener* listener = nullptr);
    // Starts the workers (once).
    void Start();
    // Stops and waits for the files in hand.
    ~CBatch();
    CBatch(const CBatch&) = delete;
    CBatch& operator=(const CBatch&) = delete;

    // No file starts from now on; those in hand finish.
    void Stop();
    // Waits until item `k` is done, or until no worker is left to do it (or none started).
    void WaitFor(size_t k);
    // The same for at most `most`: whether item `k` is done or no worker is left to do it.
    bool WaitFor(size_t k, std::chrono::milliseconds most);
    // Every worker has ended: the results are final.
    bool Over();
    size_t Started();
    size_t Finished();
    // Item `k`'s result; what it says of a file not yet done may change.
    Result ResultOf(size_t k);

  private:
    void Work();
    // The next item of the worker's group, marked started; false when none is to start.
    bool Take(size_t& group, size_t& next, size_t& k);

    std::vector<SourceItem*> m_items;
    bool m_toMp3;
    ConversionOptions m_options;
    Listener* m_listener;
    std::vector<std::vector<size_t>> m_groups;  // indexes of m_items
    std::vector<Result> m_results;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    size_t m_nextGroup = 0;
    bool m_stopped = false;
    size_t m_started = 0;
    size_t m_finished = 0;
    size_t m_workersLeft = 0;
    size_t m_workerCount = 0;
    std::vector<std::thread> m_workers;
};

}  // namespace kelvora
