#include "grid.h"

#include <algorithm>

namespace dialkite {

Grid::Grid(QString name, int rows, int columns, GridLayout layout, QObject *parent)
    : QAbstractTableModel(parent)
    , m_name(std::move(name))
    , m_rows(rows)
    , m_columns(columns)
    , m_layout(std::move(layout))
    , m_texts(qsizetype(rows) * columns)
    , m_colours(qsizetype(rows) * columns, CellColour::Default)
{}

bool Grid::contains(int row, int column) const
{
    return row >= 0 && row < m_rows && column >= 0 && column < m_columns;
}

QString Grid::text(int row, int column) const
{
    return contains(row, column) ? m_texts[cell(row, column)] : QString();
}

void Grid::setText(int row, int column, const QString &text)
{
    if (!contains(row, column))
        return;
    m_texts[cell(row, column)] = text;
    m_textRows = std::max(m_textRows, row + 1);
    if (row == 0) {
        Q_EMIT headerDataChanged(Qt::Horizontal, column, column);
    } else {
        const QModelIndex i = index(row - 1, column);
        Q_EMIT dataChanged(i, i, {Qt::DisplayRole});
    }
}

CellColour Grid::colour(int row, int column) const
{
    return contains(row, column) ? m_colours[cell(row, column)] : CellColour::Default;
}

void Grid::setColour(int row, int column, CellColour colour)
{
    if (!contains(row, column) || m_colours[cell(row, column)] == colour)
        return;
    m_colours[cell(row, column)] = colour;
    m_colourRows = std::max(m_colourRows, row + 1);
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
    std::fill(m_texts.begin(), m_texts.begin() + cell(m_textRows, 0), QString());
    m_textRows = 0;
    endResetModel();
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, m_columns - 1);
}

void Grid::clearAll()
{
    std::fill(m_colours.begin(), m_colours.begin() + cell(m_colourRows, 0), CellColour::Default);
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
