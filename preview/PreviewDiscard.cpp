#include "preview/PreviewDiscard.h"

#include "pages/ImageManager.h"
#include "preview/PreviewWindow.h"

#include <QMessageBox>

int PreviewDiscard::unsavedPages(const QList<int> &order)
{
    ImageManager *store = ImageManager::Instance();
    const QList<bool> saved = store->savedMarks();
    int unsaved = 0;
    for (int index : order) {
        const ImageObject *page = store->at(index);
        if (page && !page->skipped && !saved.value(index))
            ++unsaved;
    }
    return unsaved;
}

bool PreviewDiscard::confirm(const PreviewWindow *preview)
{
    const int unsaved = preview->pagesBeingWritten() ? 0 : unsavedPages(preview->pageOrder());
    return unsaved == 0 ||
           QMessageBox::question(
               nullptr, tr("Information"),
               tr("%1 page(s) in the preview have not been saved. Discard them?").arg(unsaved),
               QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}
