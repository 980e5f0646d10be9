#include "gridview.h"

#include "console/texts.h"

#include "console/notation.h"
#include "outputs/csv.h"

#include <QApplication>
#include <QBrush>
#include <QClipboard>
#include <QColor>
#include <QDir>
#include <QHeaderView>
#include <QKeyEvent>
#include <QSaveFile>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStringList>

namespace dialkite {

namespace {

// The bytes of a record as hexadecimal, when the text is one (every character a byte).
QString hexBytes(const QString &text)
{
    QStringList bytes;
    for (const QChar c : text) {
        if (c.unicode() > 0xFF)
            return {};
        bytes += QStringLiteral("%1").arg(int(c.unicode()), 2, 16, QLatin1Char('0'));
    }
    return bytes.join(QLatin1Char(' '));
}

} // namespace

GridDisplayModel::GridDisplayModel(bool fixedFirstColumn, QObject *parent)
    : QIdentityProxyModel(parent)
    , m_fixedFirstColumn(fixedFirstColumn)
{}

QVariant GridDisplayModel::data(const QModelIndex &index, int role) const
{
    switch (role) {
    case Qt::DisplayRole:
        // The console's texts in the window's language (a record's bytes match none).
        return visibleControls(texts::shown(QIdentityProxyModel::data(index, role).toString()));
    case Qt::ToolTipRole: {
        // The whole text, and for the records of the logs every byte in hexadecimal.
        const QString text = QIdentityProxyModel::data(index, Qt::DisplayRole).toString();
        if (text.isEmpty())
            return {};
        const QString hex = m_fixedFirstColumn && index.column() > 0 ? hexBytes(text) : QString();
        const QString shown =
            hex.isEmpty() ? visibleControls(text) : visibleControls(text) + QLatin1Char('\n') + hex;
        const QString note = m_notes.value(index.row() + 1);
        return note.isEmpty() ? shown : visibleControls(note) + QLatin1Char('\n') + shown;
    }
    case Qt::ForegroundRole:
        switch (CellColour(QIdentityProxyModel::data(index, Grid::ColourRole).toInt())) {
        case CellColour::Blue:
            return QBrush(QColor(0, 0, 255));
        case CellColour::Red:
            return QBrush(QColor(255, 0, 0));
        case CellColour::Default:
            return {};
        }
        return {};
    case Qt::BackgroundRole:
        if (m_fixedFirstColumn && index.column() == 0)
            return QBrush(QColor(0xEE, 0xEE, 0xEE));
        return {};
    default:
        return QIdentityProxyModel::data(index, role);
    }
}

GridView::GridView(Grid &grid, bool fixedFirstColumn, QWidget *parent)
    : QTableView(parent)
    , m_grid(grid)
    , m_display(new GridDisplayModel(fixedFirstColumn, this))
{
    setObjectName(grid.name());
    m_display->setSourceModel(&grid);
    setModel(m_display);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    if (grid.rows() <= 2) {
        // A panel shows; it takes no focus and keeps no selection.
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setFocusPolicy(Qt::NoFocus);
        setSelectionMode(QAbstractItemView::NoSelection);
    }
    // Tab moves on to the next control instead of through the cells.
    setTabKeyNavigation(false);
    applyLayout();
    connect(&grid, &Grid::layoutReady, this, &GridView::applyLayout);
    connect(&grid, &Grid::topRowChanged, this, &GridView::showTopRow);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &GridView::onScrolled);
}

void GridView::applyLayout()
{
    const GridLayout &layout = m_grid.layout();
    for (int column = 0; column < layout.columnWidths.size(); ++column)
        setColumnWidth(column, pixels(layout.columnWidths[column]));
    // The logs keep the designed default row height (240 twips) unless the font needs more.
    const int rowHeight = layout.rowHeight > 0 ? pixels(layout.rowHeight)
                                               : qMax(pixels(240), fontMetrics().height() + 2);
    verticalHeader()->setDefaultSectionSize(rowHeight);
    verticalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setFixedHeight(layout.rowHeight > 0 ? rowHeight
                                                            : fontMetrics().height() + 6);
}

void GridDisplayModel::setRowNote(int row, const QString &note)
{
    if (note.isEmpty())
        m_notes.remove(row);
    else
        m_notes.insert(row, note);
}

QVariant GridDisplayModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    const QVariant header = QIdentityProxyModel::headerData(section, orientation, role);
    return role == Qt::DisplayRole && orientation == Qt::Horizontal
               ? QVariant(texts::shown(header.toString()))
               : header;
}

QString GridView::selectedText() const
{
    QModelIndexList cells = selectionModel()->selectedIndexes();
    std::sort(cells.begin(), cells.end());
    QString text;
    int row = -1;
    for (const QModelIndex &cell : cells) {
        if (row != -1)
            text += cell.row() == row ? QLatin1Char('\t') : QLatin1Char('\n');
        row = cell.row();
        text += cell.data(Qt::DisplayRole).toString();
    }
    return text;
}

void GridView::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy)) {
        QApplication::clipboard()->setText(selectedText());
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

// The console moved the grid's top row: the view goes there too while it follows the
// newest rows. The grid's top row is the console's own: the view never moves it.
void GridView::showTopRow(int row)
{
    if (!m_following)
        return;
    m_syncing = true;
    verticalScrollBar()->setValue(row - 1);
    m_syncing = false;
}

// The operator scrolled: above the console's top row the view holds still; back at it
// (or at the end) it follows again.
void GridView::onScrolled(int value)
{
    if (m_syncing)
        return;
    m_following = value + 1 >= m_grid.topRow() || value >= verticalScrollBar()->maximum();
    if (m_following)
        showTopRow(m_grid.topRow());
}

QString GridView::usedRowsText() const
{
    QStringList rows;
    for (int row = 1; row < m_grid.rows(); ++row) {
        QStringList cells;
        bool used = false;
        for (int column = 0; column < m_grid.columns(); ++column) {
            const QModelIndex cell = model()->index(row - 1, column);
            cells << cell.data(Qt::DisplayRole).toString();
            used = used || !m_grid.text(row, column).isEmpty();
        }
        if (used)
            rows << cells.join(QLatin1Char('\t'));
    }
    return rows.join(QLatin1Char('\n'));
}

void GridView::copy()
{
    QApplication::clipboard()->setText(selectionModel()->hasSelection() ? selectedText()
                                                                        : usedRowsText());
}

QString suggestedCsvFile(const QString &name)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    return QDir(folder).filePath(name + QLatin1Char('-') +
                                 QDate::currentDate().toString(Qt::ISODate) +
                                 QStringLiteral(".csv"));
}

bool GridView::exportCsv(const QString &file, QString *problem) const
{
    const bool byteLog = m_grid.columns() == 2;
    const bool times = !byteLog && m_rowTime;
    QStringList header;
    if (times)
        header << texts::kPcTime;
    for (int column = 0; column < m_grid.columns(); ++column)
        header << m_grid.text(0, column);
    header << (byteLog ? texts::kHexColumn : texts::kColourColumn);
    QByteArray content = csv::kBom + csv::line(header);
    for (int row = 1; row < m_grid.rows(); ++row) {
        QStringList cells;
        bool used = false;
        if (times) {
            const QDateTime at = m_rowTime(row);
            cells << (at.isValid()
                          ? at.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                          : QString());
        }
        for (int column = 0; column < m_grid.columns(); ++column) {
            const QString text = m_grid.text(row, column);
            used = used || !text.isEmpty();
            // A record's bytes as a script writes them: every byte survives the CSV.
            cells << (byteLog && column == 1 ? notation(text.toLatin1()) : text);
        }
        if (!used)
            continue;
        if (byteLog) {
            cells << hexBytes(m_grid.text(row, 1));
        } else {
            const CellColour colour = m_grid.colour(row, 2);
            cells << (colour == CellColour::Blue  ? QStringLiteral("파랑")
                      : colour == CellColour::Red ? QStringLiteral("빨강")
                                                  : QString());
        }
        content += csv::line(cells);
    }
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(content) != content.size() || !out.commit()) {
        *problem = out.errorString();
        return false;
    }
    return true;
}

} // namespace dialkite
