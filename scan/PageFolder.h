#pragma once

#include "pages/PageDecoder.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

// A folder the scan program leaves its page files in: the page folder ("/tmp/tempimages"),
// inside which each run gets a folder of its own (RunFolder). Every process on the machine can
// reach that path, so a folder is used only while it is ours: a real directory (not a symbolic
// link) owned by this process's user that nobody else may write to. Page files are opened
// without following links and without blocking and are checked on the open descriptor, so
// nothing but our own regular files is ever read, and only the very file that was read is ever
// deleted.
class PageFolder
{
public:
    static const char *const DefaultPath;

    // Makes the folder (mode 0700, parents as needed) when it is missing and takes group and
    // others' access from a folder of ours. True when the folder can be used.
    static bool prepare(const QString &path);
    // The page folder for a run of this user: `preferred` when it can be made ours, otherwise
    // (another operator of the machine owns it) a private "tempimages" folder in this user's
    // runtime folder. The scan program is told the folder, so each operator scans into their
    // own. `preferred` when neither can be used: the run then reports the folder's failure.
    static QString forRun(const QString &preferred = QString::fromLatin1(DefaultPath));

    // Opens the folder for one sweep; isUsable() is false when it is missing or not ours.
    explicit PageFolder(const QString &path);
    ~PageFolder();
    PageFolder(const PageFolder &) = delete;
    PageFolder &operator=(const PageFolder &) = delete;

    bool isUsable() const { return m_fd >= 0; }
    // The regular "*.jpg" entries (suffix in any letter case), by name ignoring case.
    QStringList pageNames() const;

    // Page files larger than this are not read (PageDecoder's bound).
    static constexpr qint64 MaxPageBytes = PageDecoder::MaxPageBytes;

    struct Page
    {
        enum State
        {
            NoPage, // gone, a link, a pipe, a folder, someone else's file: left alone
            Known,  // a file taken before and left in place: not taken again
            Taken,  // read and deleted
            Kept    // read and left in place (it could not be deleted, or the page is not safe
                    // anywhere else): taken this once
        };
        State state = NoPage;
        QByteArray bytes;
        // False for a file that could not be read whole, and for a JPEG without its
        // end-of-image marker even after the wait: cut off.
        bool complete = false;
        // Larger than MaxPageBytes: taken away unread.
        bool oversized = false;
    };
    // Takes the page file `name`: reads it whole (a file that looks cut off is waited for up to
    // `waitMs`, as the scan program may still be writing it), hands what it read to `keep`
    // (which puts it somewhere safe: once the file is deleted, the bytes are all there is) and
    // deletes it, but only when `keep` says the page is safe elsewhere (true; a file too large
    // to be a page is taken away all the same). `kept` remembers the files left in place, so
    // that each is taken once only.
    Page take(const QString &name, QSet<QByteArray> &kept,
              const std::function<bool(const Page &)> &keep = {}, int waitMs = 5000) const;

    // True when `bytes` can be a whole page file: not empty, and a JPEG ends with its
    // end-of-image marker. Other formats are judged by their decoder.
    static bool looksComplete(const QByteArray &bytes);

private:
    int m_fd;
};
