#include "convert/Batch.h"

#include <algorithm>

#include "convert/BatchPlan.h"
#include "convert/ConversionJob.h"
#include "engine/PathUtil.h"
#include "flv/CFlvReader.h"
#include "swf/CSwfReader.h"

namespace kelvora {

namespace {

// A thread starts with a copy of its creator's vector registers. The window's thread has run
// the toolkit's AVX code when it starts a batch, and hands on registers whose upper halves are
// in use: every SSE instruction of the encoder then waits on them, and the window's batch ran
// a tenth to a third slower than the command line's. A worker clears them first.
void StartWithCleanVectorRegisters() {
#if defined(__x86_64__) || defined(__i386__)
    if (__builtin_cpu_supports("avx")) {
        __asm__ volatile("vzeroupper" ::: "memory");
    }
#endif
}

}  // namespace

CBatch::CBatch(const std::vector<SourceItem*>& items, bool toMp3, const ConversionOptions& options,
               unsigned jobs, Listener* listener)
    : m_items(items),
      m_toMp3(toMp3),
      m_options(options),
      m_listener(listener),
      m_results(items.size()) {
    std::vector<const SourceItem*> listed;
    std::vector<size_t> indexOf;  // of each listed item
    for (size_t k = 0; k < m_items.size(); ++k) {
        if (m_items[k]) {
            listed.push_back(m_items[k]);
            indexOf.push_back(k);
        } else {
            m_results[k].done = true;
        }
    }
    // One worker needs no plan: it takes the files in order.
    if (jobs > 1) {
        m_groups = PlanConversionGroups(listed, options);
        for (std::vector<size_t>& group : m_groups) {
            for (size_t& i : group) {
                i = indexOf[i];
            }
        }
    } else if (!indexOf.empty()) {
        m_groups.push_back(indexOf);
    }
    m_workerCount = std::min<size_t>(std::max(jobs, 1u), m_groups.size());
}

void CBatch::Start() {
    if (!m_workers.empty()) {
        return;
    }
    m_workersLeft = m_workerCount;  // before any starts: each one counts itself out
    for (size_t i = 0; i < m_workerCount; ++i) {
        m_workers.emplace_back([this] { Work(); });
    }
    if (m_workerCount == 0 && m_listener) {
        m_listener->BatchOver();
    }
}

CBatch::~CBatch() {
    Stop();
    for (std::thread& worker : m_workers) {
        worker.join();
    }
}

bool CBatch::Take(size_t& group, size_t& next, size_t& k) {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (;;) {
        if (m_stopped) {
            return false;
        }
        if (group < m_groups.size() && next < m_groups[group].size()) {
            k = m_groups[group][next++];
            m_results[k].started = true;
            ++m_started;
            return true;
        }
        if (m_nextGroup >= m_groups.size()) {
            return false;
        }
        group = m_nextGroup++;
        next = 0;
    }
}

void CBatch::Work() {
    StartWithCleanVectorRegisters();
    CSwfReader swf;
    CFlvReader flv;
    swf.SetOptions(m_options);
    flv.SetOptions(m_options);
    size_t group = SIZE_MAX;
    size_t next = 0;
    size_t k = 0;
    while (Take(group, next, k)) {
        if (m_listener) {
            m_listener->FileStarted(k);
        }
        SourceItem& item = *m_items[k];
        ConversionReport report;
        bool converted = false;
        SourceKind kind;
        if (SourceKindOf(item.path, m_options.embedded, kind)) {
            converted = ConvertSourceItem(item, m_toMp3, swf, flv, &report);
        } else {
            report.Fail(Failure::NotSwfOrFlv);
        }
        Result result;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_results[k].done = true;
            m_results[k].converted = converted;
            m_results[k].report = std::move(report);
            ++m_finished;
            result = m_results[k];
        }
        m_changed.notify_all();
        if (m_listener) {
            m_listener->FileDone(k, result);
        }
    }
    bool last;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        last = --m_workersLeft == 0;
    }
    m_changed.notify_all();
    if (last && m_listener) {
        m_listener->BatchOver();
    }
}

void CBatch::Stop() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stopped = true;
}

void CBatch::WaitFor(size_t k) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [&] { return m_results[k].done || m_workersLeft == 0; });
}

bool CBatch::WaitFor(size_t k, std::chrono::milliseconds most) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, most,
                              [&] { return m_results[k].done || m_workersLeft == 0; });
}

bool CBatch::Over() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_workersLeft == 0;
}

size_t CBatch::Started() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_started;
}

size_t CBatch::Finished() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_finished;
}

CBatch::Result CBatch::ResultOf(size_t k) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_results[k];
}

}  // namespace kelvora
