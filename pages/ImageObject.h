#pragma once

#include <QImage>
#include <QSize>
#include <QString>

// One page of the store as the windows see it: its page name (the stem of every file written
// for it and the caption under its thumbnail), its size and its thumbnail. The pixels stay in
// the store (ImageManager::imageAt). The store owns the record; it changes only on the GUI
// thread once the page is in the store (rotation).
struct ImageObject
{
    QString name;
    // The page's pixel size as corrected (and turned); empty for a page without pixels.
    QSize size;
    // At most 200 x 200, made once when the page arrives (and again when it is turned).
    QImage thumbnail;
    // A blank page the run left out of its documents: kept and shown, not saved, until the
    // operator puts it back (ImageManager::setSkipped).
    bool skipped = false;
};
