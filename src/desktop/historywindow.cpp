#include "historywindow.h"

#include "console/texts.h"
#include "gridview.h"
#include "outputs/csv.h"
#include "outputs/database.h"
#include "outputs/json.h"

#include <QBrush>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QShortcut>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QVBoxLayout>

namespace dialkite {

namespace {

// The columns of the window, its CSV and `dialkite-cli history`: one set (historyTable()).
// The colour column gives the rows their colour and is not shown.
int colourColumn()
{
    const QList<HistoryColumn> &columns = historyTable();
    for (int i = 0; i < columns.size(); ++i) {
        if (QLatin1String(columns[i].field) == QLatin1String("colour"))
            return i;
    }
    return -1;
}

QString columnList()
{
    QStringList fields;
    for (const HistoryColumn &column : historyTable())
        fields << QLatin1String(column.field);
    return fields.join(QStringLiteral(", "));
}

const QLocale kKorean(QLocale::Korean, QLocale::SouthKorea);

} // namespace

QVariant HistoryModel::data(const QModelIndex &index, int role) const
{
    if (role == Qt::ForegroundRole) {
        const QString colour =
            QSqlQueryModel::data(this->index(index.row(), colourColumn())).toString();
        if (!colour.isEmpty())
            return QBrush(QColor(colour));
        return {};
    }
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    return QSqlQueryModel::data(index, role);
}

HistoryWindow::HistoryWindow(QString path, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_path(std::move(path))
    , m_connection(QStringLiteral("dialkite-history-window-%1").arg(quintptr(this), 0, 16))
    , m_model(new HistoryModel(this))
{
    setObjectName(QStringLiteral("HistoryWindow"));
    setWindowTitle(texts::kHistoryTitle);
    resize(820, 560);

    m_number = new QLineEdit(this);
    m_number->setObjectName(QStringLiteral("Number"));
    m_number->setPlaceholderText(texts::kHistoryNumber);
    m_number->setClearButtonEnabled(true);
    m_line = new QComboBox(this);
    m_line->setObjectName(QStringLiteral("Line"));
    m_line->addItem(texts::kHistoryAllLines, QString());
    for (int line = 1; line <= 16; ++line)
        m_line->addItem(QString::number(line), QString::number(line));
    // A period, typed or picked on a Korean calendar whatever the machine's language;
    // off, every date counts.
    m_period = new QCheckBox(texts::kHistoryPeriod, this);
    m_period->setObjectName(QStringLiteral("Period"));
    const auto timeEdit = [this](const char *name, const QDateTime &at) {
        auto *edit = new QDateTimeEdit(at, this);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setLocale(kKorean);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
        edit->setCalendarPopup(true);
        edit->calendarWidget()->setLocale(kKorean);
        edit->setEnabled(false);
        return edit;
    };
    const QDate today = QDate::currentDate();
    m_since = timeEdit("Since", today.startOfDay());
    m_until = timeEdit("Until", QDateTime(today, QTime(23, 59)));
    m_save = new QPushButton(texts::kSaveCsv, this);
    m_save->setObjectName(QStringLiteral("SaveCsv"));

    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("Calls"));
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->verticalHeader()->hide();
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->setWordWrap(false); // one line a row
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);

    auto *filters = new QHBoxLayout;
    filters->addWidget(m_number, 2);
    filters->addWidget(new QLabel(texts::kHistoryLine, this));
    filters->addWidget(m_line);
    filters->addWidget(m_period);
    filters->addWidget(m_since);
    filters->addWidget(new QLabel(texts::kHistorySince, this));
    filters->addWidget(m_until);
    filters->addWidget(new QLabel(texts::kHistoryUntil, this));
    filters->addWidget(m_save);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_view);

    m_refresh.setSingleShot(true);
    m_refresh.setInterval(200);
    connect(&m_refresh, &QTimer::timeout, this, &HistoryWindow::refresh);
    connect(m_number, &QLineEdit::textChanged, this, &HistoryWindow::refreshSoon);
    connect(m_line, &QComboBox::currentIndexChanged, this, &HistoryWindow::refresh);
    connect(m_period, &QCheckBox::toggled, this, [this](bool on) {
        m_since->setEnabled(on);
        m_until->setEnabled(on);
        refresh();
    });
    connect(m_since, &QDateTimeEdit::dateTimeChanged, this, &HistoryWindow::refreshSoon);
    connect(m_until, &QDateTimeEdit::dateTimeChanged, this, &HistoryWindow::refreshSoon);
    connect(m_save, &QPushButton::clicked, this, &HistoryWindow::saveCsv);
    // Back at the top after reading older calls: what came meanwhile shows.
    connect(m_view->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (value == 0 && m_callsWaiting)
            refreshSoon();
    });
    // Esc and Ctrl+W close it, as other windows of the desktop.
    for (const QKeySequence &keys :
         {QKeySequence(Qt::Key_Escape), QKeySequence(QKeySequence::Close),
          QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        auto *shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, &QWidget::close);
    }
    refresh();
}

HistoryWindow::~HistoryWindow()
{
    m_model->setQuery(QSqlQuery());
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
}

bool HistoryWindow::connectDatabase()
{
    if (QSqlDatabase::database(m_connection, false).isOpen())
        return true;
    QString problem;
    const auto location = historyLocation(m_path, &problem);
    if (!location || (!location->postgres && !QFileInfo::exists(m_path)))
        return false; // no call stored yet
    return connectHistory(*location, m_connection, true, &problem);
}

HistoryFilter HistoryWindow::filter() const
{
    HistoryFilter f;
    f.number = m_number->text();
    f.line = m_line->currentData().toString();
    if (m_period->isChecked()) {
        f.since = m_since->dateTime();
        // The last minute shown counts whole.
        f.until = m_until->dateTime().addSecs(59).addMSecs(999);
    }
    return f;
}

void HistoryWindow::newCalls()
{
    if (m_view->verticalScrollBar()->value() > 0) {
        m_callsWaiting = true;
        return;
    }
    refreshSoon();
}

void HistoryWindow::fitColumns()
{
    // What the rows fetched so far hold (the first screenfuls, newest first).
    const QList<HistoryColumn> &columns = historyTable();
    for (int column = 0; column < columns.size(); ++column) {
        bool filled = false;
        for (int row = 0; row < m_model->rowCount() && !filled; ++row)
            filled = !m_model->index(row, column).data().toString().isEmpty();
        m_view->setColumnHidden(column, column == colourColumn() || !filled);
    }
    m_view->resizeColumnsToContents();
}

void HistoryWindow::refresh()
{
    if (!connectDatabase()) {
        m_model->setQuery(QSqlQuery());
        return;
    }
    m_callsWaiting = false;
    const HistoryQuery search = historyQuery(
        filter(), columnList(), isPostgres(QSqlDatabase::database(m_connection, false)));
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(search.sql);
    for (int i = 0; i < search.values.size(); ++i)
        query.bindValue(i, search.values[i]);
    query.exec();
    m_model->setQuery(std::move(query));
    const QList<HistoryColumn> &columns = historyTable();
    for (int i = 0; i < columns.size(); ++i)
        m_model->setHeaderData(i, Qt::Horizontal, columns[i].title);
    fitColumns();
}

bool HistoryWindow::exportCsv(const QString &file, QString *problem)
{
    if (!connectDatabase()) {
        *problem = QStringLiteral("no call history at %1").arg(m_path);
        return false;
    }
    const HistoryQuery search = historyQuery(
        filter(), columnList(), isPostgres(QSqlDatabase::database(m_connection, false)));
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    query.prepare(search.sql);
    for (int i = 0; i < search.values.size(); ++i)
        query.bindValue(i, search.values[i]);
    if (!query.exec()) {
        *problem = query.lastError().text();
        return false;
    }
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        *problem = out.errorString();
        return false;
    }
    // Row by row as the search reads them: the file may hold a million calls.
    const auto write = [&out](const QByteArray &bytes) { return out.write(bytes) == bytes.size(); };
    QStringList header;
    for (const HistoryColumn &column : historyTable())
        header << column.title;
    bool ok = write(csv::kBom + csv::line(header));
    QStringList cells;
    while (ok && query.next()) {
        cells.clear();
        for (int i = 0; i < header.size(); ++i)
            cells << query.value(i).toString();
        ok = write(csv::line(cells));
    }
    if (!ok || !out.commit()) {
        *problem = out.errorString();
        return false;
    }
    return true;
}

void HistoryWindow::saveCsv()
{
    const QString file =
        QFileDialog::getSaveFileName(this, texts::kSaveCsv, suggestedCsvFile(texts::kHistoryTitle),
                                     QStringLiteral("CSV (*.csv)"));
    if (file.isEmpty())
        return;
    QString problem;
    if (!exportCsv(file, &problem))
        QMessageBox::warning(this, texts::kSaveFailedTitle, problem);
}

} // namespace dialkite
