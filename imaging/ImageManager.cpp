#include "imaging/ImageManager.h"

#include "settings/ParamSetting.h"

#include <QDateTime>
#include <QMutexLocker>

ImageManager *ImageManager::m_pInstance = nullptr;

ImageManager *ImageManager::Instance()
{
    // The collector thread and the GUI thread may both be first.
    static QMutex creation;
    QMutexLocker lock(&creation);
    if (!m_pInstance)
        m_pInstance = new ImageManager();
    return m_pInstance;
}

ImageManager::ImageManager() : m_curIndex(-1), m_nameCounter(1) {}

ImageManager::~ImageManager()
{
    ClearImages();
}

ImageObject *ImageManager::AddImage(QImage *image)
{
    return AddImage(image, ParamSetting::instance.name);
}

ImageObject *ImageManager::AddImage(QImage *image, const QString &document)
{
    auto *record = new ImageObject;
    record->image = image;
    const QString stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("-yyyy-MM-dd-hh-mm-ss"));

    QMutexLocker lock(&m_mutex);
    // The first page of the program's life carries no number; the counter then runs on across
    // clears, so page names never repeat while the document name stays.
    if (m_nameCounter == 1)
        record->name = document + stamp;
    else
        record->name = document + QString::number(m_nameCounter) + stamp;
    ++m_nameCounter;
    m_images.append(record);
    return record;
}

void ImageManager::ClearImages()
{
    QList<ImageObject *> old;
    {
        QMutexLocker lock(&m_mutex);
        old.swap(m_images);
        m_curIndex = -1;
    }
    for (ImageObject *record : old) {
        delete record->image;
        delete record;
    }
}

ImageObject *ImageManager::getCurImage() const
{
    QMutexLocker lock(&m_mutex);
    return m_curIndex >= 0 && m_curIndex < m_images.size() ? m_images.at(m_curIndex) : nullptr;
}

ImageObject *ImageManager::getBackImage() const
{
    QMutexLocker lock(&m_mutex);
    return m_images.isEmpty() ? nullptr : m_images.last();
}

int ImageManager::count() const
{
    QMutexLocker lock(&m_mutex);
    return m_images.size();
}

ImageObject *ImageManager::at(int index) const
{
    QMutexLocker lock(&m_mutex);
    return index >= 0 && index < m_images.size() ? m_images.at(index) : nullptr;
}

int ImageManager::curIndex() const
{
    QMutexLocker lock(&m_mutex);
    return m_curIndex;
}

void ImageManager::setCurIndex(int index)
{
    QMutexLocker lock(&m_mutex);
    m_curIndex = index >= 0 && index < m_images.size() ? index : -1;
}

QImage ImageManager::imageAt(int index) const
{
    QMutexLocker lock(&m_mutex);
    if (index < 0 || index >= m_images.size() || !m_images.at(index)->image)
        return QImage();
    return *m_images.at(index)->image;
}

QList<QImage> ImageManager::images() const
{
    QMutexLocker lock(&m_mutex);
    QList<QImage> copies;
    copies.reserve(m_images.size());
    for (const ImageObject *record : m_images)
        copies.append(record->image ? *record->image : QImage());
    return copies;
}

void ImageManager::replaceImage(int index, const QImage &image)
{
    QMutexLocker lock(&m_mutex);
    if (index >= 0 && index < m_images.size() && m_images.at(index)->image)
        *m_images.at(index)->image = image;
}
