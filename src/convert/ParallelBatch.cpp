#include "convert/ParallelBatch.h"

#include <algorithm>

#include "convert/BatchPlan.h"
#include "convert/ConversionJob.h"
#include "engine/PathUtil.h"
#include "flv/CFlvReader.h"
#include "swf/CSwfReader.h"

namespace kelvora {

CParallelBatch::CParallelBatch(const std::vector<SourceItem*>& items, bool toMp3,
                               const ConversionOptions& options, unsigned jobs, bool stopped)
    : m_items(items),
      m_toMp3(toMp3),
      m_options(options),
      m_results(items.size()),
      m_stopped(stopped) {
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
        m_groups = PlanConversionGroups(listed);
        for (std::vector<size_t>& group : m_groups) {
            for (size_t& i : group) {
                i = indexOf[i];
            }
        }
    } else if (!indexOf.empty()) {
        m_groups.push_back(indexOf);
    }
    const size_t workers = std::min<size_t>(std::max(jobs, 1u), m_groups.size());
    m_workersLeft = workers;  // before any starts: each one counts itself out
    for (size_t i = 0; i < workers; ++i) {
        m_workers.emplace_back([this] { Work(); });
    }
}

CParallelBatch::~CParallelBatch() {
    Stop();
    for (std::thread& worker : m_workers) {
        worker.join();
    }
}

void CParallelBatch::Work() {
    CSwfReader swf;
    CFlvReader flv;
    swf.SetOptions(m_options);
    flv.SetOptions(m_options);
    for (;;) {
        size_t g;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stopped || m_nextGroup >= m_groups.size()) {
                break;
            }
            g = m_nextGroup++;
        }
        for (const size_t k : m_groups[g]) {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (m_stopped) {
                    break;
                }
            }
            SourceItem& item = *m_items[k];
            ConversionReport report;
            bool converted = false;
            if (HasExtension(item.path, ".swf") || HasExtension(item.path, ".flv")) {
                converted = ConvertSourceItem(item, m_toMp3, swf, flv, &report);
            } else {
                report.Fail(Failure::NotSwfOrFlv);
            }
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_results[k] = {true, converted, std::move(report)};
                ++m_finished;
                m_news = true;
            }
            m_changed.notify_all();
        }
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        --m_workersLeft;
        m_news = true;
    }
    m_changed.notify_all();
}

void CParallelBatch::Stop() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stopped = true;
}

void CParallelBatch::WaitFor(size_t k) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [&] { return m_results[k].done || m_workersLeft == 0; });
}

bool CParallelBatch::TakeNews() {
    std::lock_guard<std::mutex> lock(m_mutex);
    const bool news = m_news;
    m_news = false;
    return news;
}

bool CParallelBatch::Over() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_workersLeft == 0;
}

size_t CParallelBatch::Finished() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_finished;
}

CParallelBatch::Result CParallelBatch::ResultOf(size_t k) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_results[k];
}

}  // namespace kelvora
