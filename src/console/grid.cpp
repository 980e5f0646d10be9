#include "grid.h"

#include <algorithm>

namespace dialkite {

Grid::Grid(QString name, int rows, int columns, GridLayout layout, QObject *parent)
    : QAbstractTableModel(parent)
    , m_name(std::move(name))
    , m_rows(rows)
    , m_columns(columns)
    , m_layout(std::move(layout))
{}

namespace {

// Room for `size` cells, growing by half again so that rows written one after another
// cost amortised constant time.
template <typename List, typename Fill> void growTo(List &list, qsizetype size, Fill fill)
{
    if (size > list.capacity())
        list.reserve(std::max(size, list.capacity() + list.capacity() / 2));
    list.resize(size, fill);
}

} // namespace

bool Grid::contains(int row, int column) const
{
    return row >= 0 && row < m_rows && column >= 0 && column < m_columns;
}

QString Grid::text(int row, int column) const
{
    return contains(row, column) && row < m_textRows ? m_texts[cell(row, column)] : QString();
}

void Grid::setText(int row, int column, const QString &text)
{
    if (!contains(row, column))
        return;
    if (row >= m_textRows) {
        if (text.isEmpty())
            return; // it reads empty already
        m_textRows = row + 1;
        growTo(m_texts, cell(m_textRows, 0), QString());
    }
    m_texts[cell(row, column)] = text;
    if (row == 0) {
        Q_EMIT headerDataChanged(Qt::Horizontal, column, column);
    } else {
        const QModelIndex i = index(row - 1, column);
        Q_EMIT dataChanged(i, i, {Qt::DisplayRole});
    }
}

CellColour Grid::colour(int row, int column) const
{
    return contains(row, column) && row < m_colourRows ? m_colours[cell(row, column)]
                                                       : CellColour::Default;
}

void Grid::setColour(int row, int column, CellColour colour)
{
    if (!contains(row, column) || this->colour(row, column) == colour)
        return;
    if (row >= m_colourRows) {
        m_colourRows = row + 1;
        growTo(m_colours, cell(m_colourRows, 0), CellColour::Default);
    }
    m_colours[cell(row, column)] = colour;
    if (row > 0) {
        const QModelIndex i = index(row - 1, column);
        Q_EMIT dataChanged(i, i, {ColourRole});
    }
}

void Grid::setTopRow(int row)
{
    if (row == m_topRow)
        return;
    m_topRow = row;
    Q_EMIT topRowChanged(row);
}

void Grid::clearTexts()
{
    beginResetModel();
    m_texts = {};
    m_textRows = 0;
    endResetModel();
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, m_columns - 1);
}

void Grid::clearAll()
{
    m_colours = {};
    m_colourRows = 0;
    clearTexts();
}

void Grid::applyLayout()
{
    m_layoutApplied = true;
    Q_EMIT layoutReady();
    Q_EMIT dataChanged(index(0, 0), index(m_rows - 2, m_columns - 1), {Qt::TextAlignmentRole});
}

void Grid::writeHeaders()
{
    for (int column = 0; column < m_layout.headers.size() && column < m_columns; ++column)
        setText(0, column, m_layout.headers[column]);
}

int Grid::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows - 1;
}

int Grid::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

QVariant Grid::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const int row = index.row() + 1;
    switch (role) {
    case Qt::DisplayRole:
        return text(row, index.column());
    case ColourRole:
        return int(colour(row, index.column()));
    case Qt::TextAlignmentRole:
        return m_layoutApplied ? QVariant(int(Qt::AlignCenter)) : QVariant();
    default:
        return {};
    }
}

QVariant Grid::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical)
        return role == Qt::DisplayRole ? QVariant(section + 1) : QVariant();
    if (role == Qt::DisplayRole)
        return text(0, section);
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    return {};
}

} // namespace dialkite
