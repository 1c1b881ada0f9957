#pragma once

#include <QByteArray>
#include <QList>
#include <QPointF>
#include <QSize>
#include <QString>

// Reading back the files the console saves, whatever their format: the entries of a zip package
// (the OFD), and every page's pixels and resolution as a reader of the file finds them.
namespace SavedFiles {

struct Entry
{
    QString name;
    QByteArray bytes;
    bool stored; // kept as it is, not deflated
};
// Every entry of a zip file, in the archive's order; empty when it is no zip file.
QList<Entry> unzip(const QString &path);
// The bytes of the entry `name`, empty when it is missing.
QByteArray entry(const QString &path, const QString &name);

struct Page
{
    QSize pixels;
    QPointF dpi; // the pixels against the page's physical size
};
// The pages of a saved file, by its suffix: a PDF's images and media boxes, an OFD's images and
// physical boxes, any other file as the one image it holds with the resolution it states. Empty
// when the file cannot be read.
QList<Page> pages(const QString &file);

} // namespace SavedFiles
