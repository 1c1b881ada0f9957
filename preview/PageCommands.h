#pragma once

#include <QList>

// The document the operator shapes in the preview window before exporting it: the pages in the
// order they are to be written, as indexes into the page store, and the one step that 撤销
// (undo) takes back. Deleting a page takes it out of this order only: the page stays in the
// store (and in any file already written), so undo can bring it back. New pages of a running
// scan are appended at the end; they survive an undo of a command given before they came.
class PageCommands
{
public:
    // No pages, nothing to undo.
    void clear();
    // Appends the store's next page (pages arrive in store order) and returns its store index.
    int append();

    // The commands, each on the page in row `row` (`to`: the row the page takes). They return
    // false, and change nothing, where there is nothing to do (a row out of range, the first
    // page up, the last down, a page dropped where it is).
    bool remove(int row);
    bool moveUp(int row);
    bool moveDown(int row);
    bool move(int from, int to);
    // Takes back the last command; one step, no redo.
    bool undo();
    bool canUndo() const { return m_canUndo; }

    // The row to show after the last command or undo: the page it concerns, or the row a
    // deleted page leaves (-1 when no page is left).
    int row() const { return m_row; }

    // How many of the store's pages have been appended (deleted ones included).
    int received() const { return m_added; }
    // Store indexes in document order.
    const QList<int> &order() const { return m_order; }
    int count() const { return m_order.size(); }
    // The store index in row `row`, or -1.
    int storeIndex(int row) const { return m_order.value(row, -1); }
    // The row of store page `index`, or -1 when it is deleted (or not there).
    int rowOf(int index) const { return m_order.indexOf(index); }

private:
    bool changed(int page);

    QList<int> m_order;
    QList<int> m_before; // the order before the last command
    int m_page = -1;     // the store page the last command concerned
    int m_added = 0;
    int m_row = -1;
    bool m_canUndo = false;
};
