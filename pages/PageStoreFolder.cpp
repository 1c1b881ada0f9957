#include "pages/PageStoreFolder.h"

#include "pages/FileCommit.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QHash>
#include <QMutexLocker>
#include <QStandardPaths>
#include <QUrl>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char IndexName[] = "index";
const char LockName[] = "lock";
const char RunName[] = "run";
const char *const StateNames[] = {"taken", "page", "empty", "skipped", "left"};
const char SavedName[] = "saved";

std::unique_ptr<QLockFile> lockFolder(const QString &path)
{
    auto lock = std::make_unique<QLockFile>(path + QLatin1Char('/') + QLatin1String(LockName));
    // Only a dead owner makes a lock stale, however old it is: a console may run for weeks.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return nullptr;
    return lock;
}

// A folder of ours that nobody else may write to, not a link; its lock file, if there is one,
// a small regular file of ours (reading a pipe there would block, a huge one fill the memory).
bool isOurFolder(const QString &path)
{
    const QByteArray encoded = QFile::encodeName(path);
    const int fd = ::open(encoded.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    bool ours = fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
                (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
    struct stat lock;
    if (ours && fstatat(fd, LockName, &lock, AT_SYMLINK_NOFOLLOW) == 0)
        ours = S_ISREG(lock.st_mode) && lock.st_uid == geteuid() && lock.st_size < 4096;
    ::close(fd);
    return ours;
}

QByteArray encoded(const QString &text)
{
    // Any character may appear; percent-encoded, a field holds no blank and no line break.
    return text.isEmpty() ? QByteArray("-") : QUrl::toPercentEncoding(text);
}

QString decoded(const QByteArray &field)
{
    return field == "-" ? QString() : QUrl::fromPercentEncoding(field);
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
    if (::mkdir(QFile::encodeName(path).constData(), 0700) != 0)
        return nullptr;
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
    if (!isOurFolder(path))
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
    // Appending to whatever the index is would not read it: an index that is no file of ours
    // simply takes no more lines.
    struct stat st;
    const QByteArray index = QFile::encodeName(path + QLatin1Char('/') + QLatin1String(IndexName));
    if (lstat(index.constData(), &st) != 0 || S_ISREG(st.st_mode))
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

bool PageStoreFolder::record(int slot, int number, State state, const QString &name,
                             const QString &origin)
{
    const QByteArray line = QByteArray::number(slot) + ' ' + QByteArray::number(number) + ' ' +
                            StateNames[state] + ' ' + encoded(name) + ' ' + encoded(origin) + '\n';
    QMutexLocker lock(&m_indexMutex);
    return m_index.isOpen() && m_index.write(line) == line.size() && m_index.flush();
}

bool PageStoreFolder::recordSaved(int number)
{
    if (number <= 0)
        return false;
    const QByteArray line = "0 " + QByteArray::number(number) + ' ' + SavedName + " - -\n";
    QMutexLocker lock(&m_indexMutex);
    return m_index.isOpen() && m_index.write(line) == line.size() && m_index.flush();
}

QString PageStoreFolder::settingsFile() const
{
    return m_path + QStringLiteral("/run.ini");
}

bool PageStoreFolder::recordRunFolder(const QString &runFolder)
{
    return write(m_path + QLatin1Char('/') + QLatin1String(RunName), QFile::encodeName(runFolder));
}

QString PageStoreFolder::runFolder() const
{
    QByteArray bytes;
    readOwnFile(m_path + QLatin1Char('/') + QLatin1String(RunName), MaxSmallFileBytes, &bytes);
    return QFile::decodeName(bytes);
}

bool PageStoreFolder::readOwnFile(const QString &path, qint64 maxBytes, QByteArray *bytes,
                                  struct stat *info)
{
    struct stat st;
    if (FileCommit::readRegularFile(path, maxBytes, bytes, &st) == FileCommit::Read &&
        st.st_uid == geteuid()) {
        if (info)
            *info = st;
        return true;
    }
    bytes->clear();
    return false;
}

QList<PageStoreFolder::Entry> PageStoreFolder::index(const QString &path)
{
    QList<Entry> entries;
    readIndex(path, &entries);
    return entries;
}

bool PageStoreFolder::readIndex(const QString &path, QList<Entry> *entries)
{
    entries->clear();
    QByteArray bytes;
    const QString file = path + QLatin1Char('/') + QLatin1String(IndexName);
    if (!readOwnFile(file, MaxIndexBytes, &bytes)) {
        struct stat st; // no index yet is no page yet; anything else is no index to read
        return lstat(QFile::encodeName(file).constData(), &st) != 0 && errno == ENOENT;
    }
    QHash<int, int> bySlot;   // slot -> position in `entries`
    QHash<int, int> ofNumber; // version number -> slot
    QList<int> savedSlots;
    // A line cut off by the end of a console is incomplete: it has no line break.
    for (int start = 0, end; (end = bytes.indexOf('\n', start)) >= 0; start = end + 1) {
        const QList<QByteArray> fields = bytes.mid(start, end - start).split(' ');
        bool slotOk = false, numberOk = false;
        const int slot = fields.value(0).toInt(&slotOk);
        const int number = fields.value(1).toInt(&numberOk);
        // Indexes of earlier versions have no origin field.
        if (fields.size() < 4 || fields.size() > 5 || !slotOk || !numberOk || number < 0)
            continue;
        if (fields.at(2) == SavedName) {
            savedSlots << ofNumber.value(number, 0);
            continue;
        }
        int state = 0;
        while (state <= Left && fields.at(2) != StateNames[state])
            ++state;
        if (state > Left || (number == 0) != (state == Left) || slot <= 0)
            continue;
        Entry entry;
        entry.slot = slot;
        entry.number = number;
        entry.state = State(state);
        entry.name = decoded(fields.at(3));
        entry.origin = decoded(fields.value(4, "-"));
        if (number > 0)
            ofNumber.insert(number, slot);
        if (bySlot.contains(slot)) {
            Entry &last = (*entries)[bySlot.value(slot)];
            if (entry.origin.isEmpty())
                entry.origin = last.origin; // a new version of the same page
            last = entry;
        } else {
            bySlot.insert(slot, entries->size());
            entries->append(entry);
        }
    }
    for (int slot : savedSlots) {
        if (bySlot.contains(slot))
            (*entries)[bySlot.value(slot)].saved = true;
    }
    return true;
}
