#pragma once

// A QTableView showing one of the console's grids as the main window was designed:
// column widths and row heights from the grid's layout (twips), centred cells, the
// grid's row 0 as the header, the first column shaded as a fixed column on the logs,
// and the top visible row kept in step with the grid both ways.

#include "console/grid.h"

#include <QDateTime>
#include <QHash>
#include <QIdentityProxyModel>
#include <QTableView>
#include <functional>

namespace dialkite {

inline constexpr int kTwipsPerPixel = 15; // 1440 twips an inch at 96 dots an inch

inline int pixels(int twips)
{
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

// Where a save dialog proposes a CSV file: "NAME-2026-12-07.csv" in the user's documents.
QString suggestedCsvFile(const QString &name);

// Shows control bytes visibly (STX as <STX>, other control bytes as <HH>) without
// changing the cell text, a record's bytes in hexadecimal as its tooltip, cell colours
// as text colours, and the fixed column in the header colour.
class GridDisplayModel : public QIdentityProxyModel {
    Q_OBJECT
public:
    GridDisplayModel(bool fixedFirstColumn, QObject *parent = nullptr);
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // A line shown first in the tooltip of a row's cells (a caller's name); "" for none.
    void setRowNote(int row, const QString &note);

private:
    bool m_fixedFirstColumn;
    QHash<int, QString> m_notes; // by the grid's row
};

class GridView : public QTableView {
    Q_OBJECT
public:
    GridView(Grid &grid, bool fixedFirstColumn, QWidget *parent = nullptr);
    Grid &grid() { return m_grid; }
    // The selected cells as text, a line a row and a tab between cells, control bytes
    // in <STX> notation: what Ctrl+C puts on the clipboard.
    QString selectedText() const;
    // Every row that holds text, as selectedText() would give them.
    QString usedRowsText() const;
    // Puts the selected cells on the clipboard, or every row that holds text when none
    // is selected (the selection stays as it was).
    void copy();
    // The used rows as CSV in UTF-8 with a byte-order mark: the caller-ID log cell by
    // cell with its colours (and the PC's time of each row, when rowTime is set), the
    // send and receive logs in byte notation with a column of hexadecimal bytes. False
    // (and `problem`) when it could not be written.
    bool exportCsv(const QString &file, QString *problem) const;
    // When each row was written, for the CSV (an invalid time for a row it does not know).
    void setRowTime(std::function<QDateTime(int row)> rowTime) { m_rowTime = std::move(rowTime); }
    // Whether the view follows the console's newest rows; false once the operator has
    // scrolled away from them, until they scroll back.
    bool following() const { return m_following; }
    // A line first in the tooltips of the grid's row `row` (the caller's name).
    void setRowNote(int row, const QString &note) { m_display->setRowNote(row, note); }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void applyLayout();
    void showTopRow(int row);
    void onScrolled(int value);

    Grid &m_grid;
    GridDisplayModel *m_display;
    bool m_syncing = false;
    bool m_following = true;
    std::function<QDateTime(int row)> m_rowTime;
};

} // namespace dialkite
