#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/ConversionOptions.h"
#include "engine/ConversionReport.h"
#include "engine/Records.h"

namespace kelvora {

// Converts a batch's items on several workers at once, each with readers of its own. Sources
// that can claim the same names go to one worker in list order (PlanConversionGroups), so the
// names written are those of one file after another; the caller takes the results as they come.
class CParallelBatch {
  public:
    struct Result {
        bool done = false;
        bool converted = false;
        ConversionReport report;
    };

    // Starts the workers; with `stopped`, none starts a file. Null items are done from the start
    // and convert nothing; an item whose path names neither a movie nor a video fails.
    CParallelBatch(const std::vector<SourceItem*>& items, bool toMp3,
                   const ConversionOptions& options, unsigned jobs, bool stopped = false);
    // Stops and waits for the files in hand.
    ~CParallelBatch();
    CParallelBatch(const CParallelBatch&) = delete;
    CParallelBatch& operator=(const CParallelBatch&) = delete;

    // No file starts from now on; those in hand finish.
    void Stop();
    // Waits until item `k` is done, or until no worker is left to do it.
    void WaitFor(size_t k);
    // True once a file finished, or the last worker ended, since it was last asked.
    bool TakeNews();
    // Every worker has ended: the results are final.
    bool Over();
    size_t Finished();
    // Item `k`'s result; what it says of a file not yet done may change.
    Result ResultOf(size_t k);

  private:
    void Work();

    std::vector<SourceItem*> m_items;
    bool m_toMp3;
    ConversionOptions m_options;
    std::vector<std::vector<size_t>> m_groups;  // indexes of m_items
    std::vector<Result> m_results;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    size_t m_nextGroup = 0;
    bool m_stopped;
    bool m_news = false;
    size_t m_finished = 0;
    size_t m_workersLeft = 0;
    std::vector<std::thread> m_workers;
};

}  // namespace kelvora
