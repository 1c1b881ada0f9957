#include "preview/PageCommands.h"

void PageCommands::clear()
{
    m_order.clear();
    m_before.clear();
    m_page = -1;
    m_added = 0;
    m_row = -1;
    m_canUndo = false;
}

int PageCommands::append()
{
    m_order.append(m_added);
    return m_added++;
}

bool PageCommands::changed(int page)
{
    m_page = page;
    m_canUndo = true;
    return true;
}

bool PageCommands::remove(int row)
{
    if (row < 0 || row >= m_order.size())
        return false;
    m_before = m_order;
    const int page = m_order.takeAt(row);
    m_row = qMin(row, m_order.size() - 1);
    return changed(page);
}

bool PageCommands::moveUp(int row)
{
    return move(row, row - 1);
}

bool PageCommands::moveDown(int row)
{
    return move(row, row + 1);
}

bool PageCommands::move(int from, int to)
{
    const int n = m_order.size();
    if (from < 0 || from >= n || to < 0 || to >= n || from == to)
        return false;
    m_before = m_order;
    m_order.move(from, to);
    m_row = to;
    return changed(m_order.at(to));
}

bool PageCommands::undo()
{
    if (!m_canUndo)
        return false;
    // The order before the command, and after it the pages that arrived since.
    QList<int> order = m_before;
    for (int page : m_order) {
        if (!order.contains(page))
            order.append(page);
    }
    m_order = order;
    m_row = m_order.indexOf(m_page);
    m_canUndo = false;
    return true;
}
