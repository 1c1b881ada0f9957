#include "imaging/PageStoreFolder.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QHash>
#include <QMutexLocker>
#include <QStandardPaths>
#include <QUrl>

#include <cstdio>
#include <unistd.h>

namespace {

const char IndexName[] = "index";
const char LockName[] = "lock";
const char *const StateNames[] = {"taken", "page", "empty", "skipped"};

std::unique_ptr<QLockFile> lockFolder(const QString &path)
{
    auto lock = std::make_unique<QLockFile>(path + QLatin1Char('/') + QLatin1String(LockName));
    // Only a dead owner makes a lock stale, however old it is: a console may run for weeks.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return nullptr;
    return lock;
}

} // namespace

QString PageStoreFolder::defaultRoot()
{
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) +
           QStringLiteral("/pages");
}

std::shared_ptr<PageStoreFolder> PageStoreFolder::create(const QString &root)
{
    if (!QDir().mkpath(root))
        return nullptr;
    QFile::setPermissions(root, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // Named after the moment it is made, so that the folders sort by age, and this process.
    static std::atomic<int> serial(0);
    const QString name =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmsszzz")) +
        QStringLiteral("-%1-%2").arg(QCoreApplication::applicationPid()).arg(serial++);
    const QString path = root + QLatin1Char('/') + name;
    if (!QDir().mkdir(path))
        return nullptr;
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    std::unique_ptr<QLockFile> lock = lockFolder(path);
    if (!lock) {
        QDir(path).removeRecursively();
        return nullptr;
    }
    std::shared_ptr<PageStoreFolder> folder(new PageStoreFolder(path, std::move(lock)));
    if (!folder->m_index.open(QIODevice::WriteOnly | QIODevice::Append))
        return nullptr; // the destructor removes the folder again
    return folder;
}

std::shared_ptr<PageStoreFolder> PageStoreFolder::claim(const QString &path)
{
    if (!QFileInfo(path).isDir() || QFileInfo(path).isSymLink())
        return nullptr;
    std::unique_ptr<QLockFile> lock = lockFolder(path);
    if (!lock)
        return nullptr;
    std::shared_ptr<PageStoreFolder> folder(new PageStoreFolder(path, std::move(lock)));
    // Numbers go on after the highest one there.
    int highest = 0;
    for (const Entry &entry : folder->entries())
        highest = qMax(highest, entry.number);
    folder->m_nextNumber = highest + 1;
    folder->m_index.open(QIODevice::WriteOnly | QIODevice::Append);
    return folder;
}

QStringList PageStoreFolder::folders(const QString &root)
{
    QStringList paths;
    const QDir dir(root);
    for (const QString &name :
         dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name))
        paths << dir.filePath(name);
    return paths;
}

PageStoreFolder::PageStoreFolder(const QString &path, std::unique_ptr<QLockFile> lock)
    : m_path(path), m_lock(std::move(lock)), m_nextNumber(1),
      m_index(path + QLatin1Char('/') + QLatin1String(IndexName))
{
}

PageStoreFolder::~PageStoreFolder()
{
    m_index.close();
    if (m_keep) {
        m_lock->unlock();
        return;
    }
    // The lock goes last: until the folder is gone nobody else may take it for theirs.
    QDir dir(m_path);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (name != QLatin1String(LockName))
            dir.remove(name);
    }
    m_lock->unlock();
    if (!dir.removeRecursively())
        qDebug() << "PageStoreFolder: could not remove" << m_path;
}

int PageStoreFolder::newNumber()
{
    return m_nextNumber++;
}

QString PageStoreFolder::file(int number, const char *kind) const
{
    return m_path + QStringLiteral("/%1.").arg(number, 6, 10, QLatin1Char('0')) +
           QLatin1String(kind);
}

bool PageStoreFolder::write(const QString &target, const std::function<bool(QIODevice *)> &fill)
{
    // Renamed into place when complete: a version is there whole or not at all. Crash safety
    // needs no flush to the disk here (the console, not the machine, is what may fail).
    const QString part = target + QStringLiteral(".part");
    QFile file(part);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    const bool written = fill(&file) && file.flush();
    file.close();
    if (!written || file.error() != QFileDevice::NoError ||
        std::rename(QFile::encodeName(part).constData(), QFile::encodeName(target).constData()) !=
            0) {
        QFile::remove(part);
        return false;
    }
    return true;
}

bool PageStoreFolder::write(const QString &target, const QByteArray &bytes)
{
    return write(target, [&bytes](QIODevice *device) {
        return !bytes.isEmpty() && device->write(bytes) == bytes.size();
    });
}

bool PageStoreFolder::record(int slot, int number, State state, const QString &name)
{
    // Names may hold any character; percent-encoded they hold no blank and no line break.
    const QByteArray line = QByteArray::number(slot) + ' ' + QByteArray::number(number) + ' ' +
                            StateNames[state] + ' ' + QUrl::toPercentEncoding(name) + '\n';
    QMutexLocker lock(&m_indexMutex);
    return m_index.isOpen() && m_index.write(line) == line.size() && m_index.flush();
}

QString PageStoreFolder::settingsFile() const
{
    return m_path + QStringLiteral("/run.ini");
}

QList<PageStoreFolder::Entry> PageStoreFolder::index(const QString &path)
{
    QList<Entry> pages;
    QFile index(path + QLatin1Char('/') + QLatin1String(IndexName));
    if (!index.open(QIODevice::ReadOnly))
        return pages;
    QHash<int, int> bySlot; // slot -> position in `pages`
    // A line cut off by the end of a console is incomplete: it has no line break.
    const QList<QByteArray> lines = index.readAll().split('\n');
    for (int i = 0; i + 1 < lines.size(); ++i) {
        const QList<QByteArray> fields = lines.at(i).split(' ');
        bool slotOk = false, numberOk = false;
        const int slot = fields.value(0).toInt(&slotOk);
        const int number = fields.value(1).toInt(&numberOk);
        int state = 0;
        while (state <= Skipped && fields.value(2) != StateNames[state])
            ++state;
        if (fields.size() != 4 || !slotOk || !numberOk || number <= 0 || state > Skipped)
            continue;
        const Entry entry{slot, number, State(state), QUrl::fromPercentEncoding(fields.at(3))};
        if (bySlot.contains(slot)) {
            pages[bySlot.value(slot)] = entry;
        } else {
            bySlot.insert(slot, pages.size());
            pages.append(entry);
        }
    }
    return pages;
}
