#include "imaging/PageRecovery.h"

#include "imaging/ImageManager.h"
#include "imaging/PageStoreFolder.h"

#include <QFile>

PageRecovery::PageRecovery(const QString &root) : m_pages(0)
{
    for (const QString &path : PageStoreFolder::folders(root)) {
        std::shared_ptr<PageStoreFolder> folder = PageStoreFolder::claim(path);
        if (!folder)
            continue; // a running console's, or not ours to take
        int pages = 0;
        for (const PageStoreFolder::Entry &entry : folder->entries()) {
            if (entry.state != PageStoreFolder::Empty &&
                QFile::exists(folder->file(entry.number, "page")))
                ++pages;
        }
        if (pages == 0) {
            folder.reset(); // nothing to offer: removed with its object
            continue;
        }
        m_pages += pages;
        m_folders.append(folder);
    }
}

PageRecovery::~PageRecovery()
{
    for (const std::shared_ptr<PageStoreFolder> &folder : m_folders)
        folder->keep();
}

int PageRecovery::restore(ImageManager *store)
{
    int restored = 0;
    for (const std::shared_ptr<PageStoreFolder> &folder : m_folders)
        restored += store->restore(folder);
    discard();
    return restored;
}

void PageRecovery::discard()
{
    // Each folder is removed with its last user.
    m_folders.clear();
    m_pages = 0;
}
