#pragma once

// A fixed table of texts: row 0 is the header row, rows 1.. hold data. Each cell has a
// text and a colour; the grid also keeps the top visible row, which the scrolling rules
// of the logs read and move. The model side shows rows 1.. as model rows 0.. and row 0
// as the horizontal header, so any Qt view can show it.

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QStringList>

namespace dialkite {

enum class CellColour : quint8 { Default, Blue, Red };

// Sizes in twips, as the window was designed; 0 means "the view's default".
struct GridLayout {
    QList<int> columnWidths;
    int rowHeight = 0;
    QStringList headers;
};

class Grid : public QAbstractTableModel {
    Q_OBJECT
public:
    // Role under which data() returns a cell's CellColour as an int.
    static constexpr int ColourRole = Qt::UserRole + 1;

    Grid(QString name, int rows, int columns, GridLayout layout, QObject *parent = nullptr);

    const QString &name() const { return m_name; }
    int rows() const { return m_rows; }
    int columns() const { return m_columns; }

    QString text(int row, int column) const;
    void setText(int row, int column, const QString &text);
    CellColour colour(int row, int column) const;
    void setColour(int row, int column, CellColour colour);

    int topRow() const { return m_topRow; }
    void setTopRow(int row);
    void scrollDownOne() { setTopRow(m_topRow + 1); }

    // Every cell's text becomes empty, the header row included; colours stay.
    void clearTexts();
    // Texts and colours.
    void clearAll();

    // Column widths, row heights, centring and headers, as applied once at start-up.
    void applyLayout();
    void writeHeaders();
    bool layoutApplied() const { return m_layoutApplied; }
    const GridLayout &layout() const { return m_layout; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

Q_SIGNALS:
    void topRowChanged(int row);
    void layoutReady();

private:
    bool contains(int row, int column) const;
    qsizetype cell(int row, int column) const { return qsizetype(row) * m_columns + column; }

    QString m_name;
    int m_rows;
    int m_columns;
    GridLayout m_layout;
    // Only the rows up to the last one written are stored: a log of 10,000 rows costs
    // what it holds, not what it could hold (a rig keeps three logs a box that nobody
    // looks at). Rows below these read empty and default.
    QList<QString> m_texts;
    QList<CellColour> m_colours;
    int m_textRows = 0;
    int m_colourRows = 0;
    int m_topRow = 1;
    bool m_layoutApplied = false;
};

} // namespace dialkite
