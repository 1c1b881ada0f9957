#pragma once

#include <QMutex>
#include <QString>

#include <memory>
#include <vector>

class TextRecogniser;

// Recognition engines kept for the next run. Starting an engine reads its language data (about
// half a CPU-second for Chinese and English); a run's workers take engines from here and give
// them back when the run ends, so the next run starts recognising at once. At most `keep`
// engines are kept idle (one per worker of a run); engines for other languages than the ones
// asked for are dropped first. Any thread may take and give back.
class TextRecogniserPool
{
public:
    explicit TextRecogniserPool(int keep);
    ~TextRecogniserPool();

    // The console's pool: as many idle engines as a run has workers (one per core).
    static TextRecogniserPool &shared();

    // An idle engine for `languages`, or a new one.
    std::unique_ptr<TextRecogniser> take(const QString &languages);
    // Keeps `recogniser` for the next take(), when it is ready and there is room.
    void giveBack(std::unique_ptr<TextRecogniser> recogniser);
    int idleCount() const;
    // Ends every idle engine; engines given back from then on end at once (the application is
    // ending).
    void clear();

private:
    const int m_keep;
    mutable QMutex m_mutex;
    std::vector<std::unique_ptr<TextRecogniser>> m_idle; // oldest first
    bool m_closed = false;
};
