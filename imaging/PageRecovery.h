#pragma once

#include <QList>
#include <QString>

#include <memory>

class ImageManager;
class PageStoreFolder;

// The pages consoles that ended abnormally (a crash, a kill, a power cut of the session) left in
// their page folders. Finding them claims those folders for this process: a console still
// running keeps its folder, and a second console starting at the same time cannot offer the same
// pages again. Folders without a page are removed at once.
class PageRecovery
{
public:
    explicit PageRecovery(const QString &root);
    ~PageRecovery(); // folders neither restored nor discarded stay for the next start
    PageRecovery(const PageRecovery &) = delete;
    PageRecovery &operator=(const PageRecovery &) = delete;

    // The pages found, in all folders.
    int pageCount() const { return m_pages; }
    // Puts them into `store`, oldest folder first, each in its order and with its name; their
    // folders are removed. Returns the number of pages added.
    int restore(ImageManager *store);
    // Deletes them with their folders.
    void discard();

private:
    QList<std::shared_ptr<PageStoreFolder>> m_folders;
    int m_pages;
};
