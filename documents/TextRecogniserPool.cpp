#include "documents/TextRecogniserPool.h"

#include "documents/TextRecogniser.h"

#include <QCoreApplication>
#include <QThread>

TextRecogniserPool::TextRecogniserPool(int keep) : m_keep(qMax(0, keep)) {}

TextRecogniserPool::~TextRecogniserPool() = default;

TextRecogniserPool &TextRecogniserPool::shared()
{
    static TextRecogniserPool pool(QThread::idealThreadCount());
    // The idle engines end with the application object, while Tesseract's own caches (made after
    // this pool, so gone before it) are still there to take their dictionaries back.
    static const bool ending = [] {
        qAddPostRoutine([] { TextRecogniserPool::shared().clear(); });
        return true;
    }();
    Q_UNUSED(ending)
    return pool;
}

std::unique_ptr<TextRecogniser> TextRecogniserPool::take(const QString &languages)
{
    {
        QMutexLocker lock(&m_mutex);
        for (auto it = m_idle.rbegin(); it != m_idle.rend(); ++it) {
            if ((*it)->languages() == languages) {
                std::unique_ptr<TextRecogniser> found = std::move(*it);
                m_idle.erase(std::next(it).base());
                return found;
            }
        }
    }
    // Made outside the lock: other workers take and give back meanwhile.
    return std::make_unique<TextRecogniser>(languages);
}

void TextRecogniserPool::giveBack(std::unique_ptr<TextRecogniser> recogniser)
{
    if (!recogniser || !recogniser->isReady())
        return;
    recogniser->clear();
    std::unique_ptr<TextRecogniser> dropped; // freed outside the lock
    QMutexLocker lock(&m_mutex);
    if (m_closed)
        return;
    if (int(m_idle.size()) >= m_keep) {
        if (m_keep == 0)
            return;
        // Room is made by the oldest engine of other languages, else by the oldest one.
        auto oldest = m_idle.begin();
        for (auto it = m_idle.begin(); it != m_idle.end(); ++it) {
            if ((*it)->languages() != recogniser->languages()) {
                oldest = it;
                break;
            }
        }
        dropped = std::move(*oldest);
        m_idle.erase(oldest);
    }
    m_idle.push_back(std::move(recogniser));
    lock.unlock();
}

int TextRecogniserPool::idleCount() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_idle.size());
}

void TextRecogniserPool::clear()
{
    std::vector<std::unique_ptr<TextRecogniser>> idle; // ended outside the lock
    QMutexLocker lock(&m_mutex);
    idle.swap(m_idle);
    m_closed = true;
}
