#pragma once

#include <algorithm>
#include <memory>
#include <vector>

// The console's runs (ScanRun): the one under way, whose scan holds the scan controls, and the
// earlier ones whose text recognition outlasted their scan, oldest first. It routes cancel between
// them and says which commands they leave enabled; the window only shows what it says.
//
// A template over the run so the routing can be checked with plain stand-ins for runs.
template <class Run> class RunList
{
public:
    struct TextProgress
    {
        int done = 0;
        int total = 0;
        bool any = false; // some run still recognises text
    };

    // The run under way, null when none is.
    Run *current() const { return m_current.get(); }
    // Runs whose text is still being recognised after their scan.
    int finishingCount() const { return int(m_finishing.size()); }
    // Nothing under way: no scan and no text recognition.
    bool isIdle() const { return !m_current && m_finishing.empty(); }
    // Scan and preview: one run at a time.
    bool canStart() const { return !m_current; }

    // Makes `run` the run under way; refused (false) while another one is.
    bool start(std::unique_ptr<Run> run)
    {
        if (m_current)
            return false;
        m_current = std::move(run);
        return true;
    }

    // The run under way once its collector has ended (null before): it is no longer current.
    // One whose text recognition goes on is to be given back through keepFinishing().
    std::unique_ptr<Run> takeCollected()
    {
        if (!m_current || !m_current->isCollected())
            return nullptr;
        return std::move(m_current);
    }

    void keepFinishing(std::unique_ptr<Run> run) { m_finishing.push_back(std::move(run)); }

    // A run still finishing, once it is over (null for any other run).
    std::unique_ptr<Run> takeFinished(const void *run)
    {
        const auto found =
            std::find_if(m_finishing.begin(), m_finishing.end(),
                         [run](const std::unique_ptr<Run> &r) { return r.get() == run; });
        if (found == m_finishing.end())
            return nullptr;
        std::unique_ptr<Run> taken = std::move(*found);
        m_finishing.erase(found);
        return taken;
    }

    // The cancel command: the run under way first (its scan program, then, once that has ended,
    // its text recognition); with nothing of it left to stop, the recognition of the earlier
    // runs. True when the scan program of the run under way is being stopped now.
    bool cancel()
    {
        if (m_current && m_current->canCancel()) {
            const bool scanning = !m_current->scanEnded();
            m_current->cancel();
            return scanning;
        }
        for (const std::unique_ptr<Run> &run : m_finishing)
            run->cancel();
        return false;
    }

    // Quit or close: every run stops everything. True as cancel().
    bool cancelAll()
    {
        bool scanning = false;
        if (m_current) {
            scanning = !m_current->scanEnded() && !m_current->isCancelled();
            m_current->cancelAll();
        }
        for (const std::unique_ptr<Run> &run : m_finishing)
            run->cancelAll();
        return scanning;
    }

    // Whether the cancel command would stop something.
    bool canCancel() const
    {
        if (m_current && m_current->canCancel())
            return true;
        return std::any_of(m_finishing.begin(), m_finishing.end(),
                           [](const std::unique_ptr<Run> &run) { return run->canCancel(); });
    }

    // Pages recognised and pages handed over, summed over every run still recognising text.
    TextProgress textProgress() const
    {
        TextProgress progress;
        const auto add = [&progress](const Run *run) {
            if (!run || !run->recognisesText() || run->textEnded())
                return;
            progress.any = true;
            progress.done += run->textDone();
            progress.total += run->textTotal();
        };
        add(m_current.get());
        for (const std::unique_ptr<Run> &run : m_finishing)
            add(run.get());
        return progress;
    }

    // The console is going: the run under way first, as it always went.
    void clear()
    {
        m_current.reset();
        m_finishing.clear();
    }

private:
    std::unique_ptr<Run> m_current;
    std::vector<std::unique_ptr<Run>> m_finishing;
};
