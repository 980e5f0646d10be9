#pragma once

// The call history window (Ctrl+H, or the caller-ID log's context menu): search by any
// part of a number, a line, a date range; newest first, coloured as in the log, rows
// fetched as they scroll into view; "CSV로 저장" writes what the search finds.

#include "outputs/history.h"

#include <QSqlQueryModel>
#include <QTimer>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLineEdit;
class QPushButton;
class QTableView;

namespace dialkite {

class HistoryModel : public QSqlQueryModel {
    Q_OBJECT
public:
    using QSqlQueryModel::QSqlQueryModel;
    QVariant data(const QModelIndex &index, int role) const override;
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

private:
    bool connectDatabase();
    void saveCsv();
    // Columns fit their content; a column that no shown row fills is hidden.
    void fitColumns();

    QString m_path;
    QString m_connection;
    HistoryModel *m_model;
    QLineEdit *m_number;
    QComboBox *m_line;
    QCheckBox *m_period;
    QDateTimeEdit *m_since;
    QDateTimeEdit *m_until;
    bool m_callsWaiting = false;
    QTableView *m_view;
    QPushButton *m_save;
    QTimer m_refresh;
};

} // namespace dialkite
