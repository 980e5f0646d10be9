#pragma once

// The call history window (Ctrl+H, or the caller-ID log's context menu): search by any
// part of a number, a line, a date range; newest first, coloured as in the log, rows
// fetched as they scroll into view; "CSV로 저장" writes what the search finds.

#include "history/reader.h"

#include <QAbstractTableModel>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace dialkite {

// The rows a search finds, fetched from its cursor a screenful at a time as the view
// scrolls to them.
class HistoryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    // The rows of `cursor` from now on (none: no history yet).
    void show(std::unique_ptr<CallCursor> cursor);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

    const CallRow *row(int row) const
    {
        return row >= 0 && row < int(m_rows.size()) ? &m_rows[size_t(row)] : nullptr;
    }

private:
    std::unique_ptr<CallCursor> m_cursor;
    std::vector<CallRow> m_rows;
    bool m_more = false;
};

class HistoryWindow : public QWidget {
    Q_OBJECT
public:
    HistoryWindow(QString path, QWidget *parent = nullptr);
    ~HistoryWindow() override;

    // Runs the search again (new calls, a changed filter).
    void refresh();
    // A refresh soon, once however many calls arrive meanwhile.
    void refreshSoon() { m_refresh.start(); }
    // New calls are stored: they show at the top, unless the operator has scrolled
    // down to read older ones (then once they are back at the top).
    void newCalls();
    // The search as the window's fields say.
    HistoryFilter filter() const;
    // Every row the search finds, as CSV in UTF-8 with a byte-order mark (spreadsheets
    // then read the Hangul right). False (and `problem`) when it could not be written.
    bool exportCsv(const QString &file, QString *problem);

    HistoryModel *model() { return m_model; }
    // "연락처에 추가 / 수정": the caller of the found row `row` named `name` in the
    // phonebook (later calls show it; those kept show the name they came with).
    bool nameCaller(int row, const QString &name, QString *problem);

private:
    void saveCsv();
    void askName(const QPoint &at);
    // Columns fit their content; a column that no shown row fills is hidden.
    void fitColumns();

    QString m_path;
    HistoryReader m_reader;
    HistoryModel *m_model;
    QLineEdit *m_number;
    QComboBox *m_line;
    QCheckBox *m_period;
    QDateTimeEdit *m_since;
    QDateTimeEdit *m_until;
    bool m_callsWaiting = false;
    QTableView *m_view;
    QPushButton *m_save;
    QLabel *m_status; // what the search found, or why it did not search
    QLabel *m_legend; // what blue and red mean
    QTimer m_refresh;
};

} // namespace dialkite
