#pragma once

#include <QCoreApplication>
#include <QList>

class PreviewWindow;

// Before a new scan or preview empties the preview window: the pages of its document that were
// never written anywhere (not by their scan, nor by an export or Save As), and the operator's
// word on dropping them. A skipped blank page is not asked about, nor a page the operator
// deleted from the document, nor the pages of a run that is still writing them.
class PreviewDiscard
{
    Q_DECLARE_TR_FUNCTIONS(PreviewDiscard)

public:
    // How many of the store pages `order` (store indexes) are neither saved nor skipped.
    static int unsavedPages(const QList<int> &order);
    // True when `preview` may be emptied: nothing unsaved in it, or the operator answers Yes
    // to "预览中有 N 页尚未保存，是否丢弃？" (No, the default, keeps them).
    static bool confirm(const PreviewWindow *preview);
};
