#pragma once

#include <QString>

class QImage;

// One page of the store: the processed image (owned by the store) and its page name, the stem
// of every file written for it and the caption under its thumbnail.
struct ImageObject
{
    QImage *image = nullptr;
    QString name;
};
