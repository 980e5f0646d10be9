#include "historywindow.h"

#include "console/texts.h"
#include "outputs/csv.h"
#include "outputs/json.h"

#include <QBrush>
#include <QColor>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QVBoxLayout>

namespace dialkite {

namespace {

// What the window shows, in order; "colour" is read for the rows' colour, not shown.
const char kColumns[] = "pc_time, line, box_time, number, box, variant, device_name, colour";
constexpr int kColourColumn = 7;
const QDate kNoLimit(2000, 1, 1);

QStringList headers()
{
    return {texts::kPcTime, texts::kChannel,           texts::kTimeReceived, texts::kNumberReceived,
            texts::kBox,    QStringLiteral("Variant"), texts::kDeviceName};
}

} // namespace

QVariant HistoryModel::data(const QModelIndex &index, int role) const
{
    if (role == Qt::ForegroundRole) {
        const QString colour =
            QSqlQueryModel::data(this->index(index.row(), kColourColumn)).toString();
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
    const auto dateEdit = [this](const char *name) {
        auto *edit = new QDateEdit(this);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        edit->setMinimumDate(kNoLimit);
        edit->setSpecialValueText(texts::kHistoryNoLimit);
        edit->setDate(kNoLimit);
        return edit;
    };
    m_since = dateEdit("Since");
    m_until = dateEdit("Until");
    m_save = new QPushButton(texts::kSaveCsv, this);
    m_save->setObjectName(QStringLiteral("SaveCsv"));

    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("Calls"));
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->verticalHeader()->hide();
    m_view->horizontalHeader()->setStretchLastSection(true);

    auto *filters = new QHBoxLayout;
    filters->addWidget(m_number, 2);
    filters->addWidget(new QLabel(texts::kHistoryLine, this));
    filters->addWidget(m_line);
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
    connect(m_since, &QDateEdit::dateChanged, this, &HistoryWindow::refresh);
    connect(m_until, &QDateEdit::dateChanged, this, &HistoryWindow::refresh);
    connect(m_save, &QPushButton::clicked, this, &HistoryWindow::saveCsv);
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
    QSqlDatabase db = QSqlDatabase::contains(m_connection)
                          ? QSqlDatabase::database(m_connection, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    if (db.isOpen())
        return true;
    if (!QFileInfo::exists(m_path))
        return false; // no call stored yet
    db.setDatabaseName(m_path);
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
    return db.open();
}

HistoryFilter HistoryWindow::filter() const
{
    HistoryFilter f;
    f.number = m_number->text();
    f.line = m_line->currentData().toString();
    if (m_since->date() != kNoLimit)
        f.since = m_since->date().startOfDay();
    if (m_until->date() != kNoLimit)
        f.until = m_until->date().endOfDay();
    return f;
}

void HistoryWindow::refresh()
{
    if (!connectDatabase()) {
        m_model->setQuery(QSqlQuery());
        return;
    }
    const HistoryQuery search = historyQuery(filter(), QString::fromLatin1(kColumns));
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(search.sql);
    for (int i = 0; i < search.values.size(); ++i)
        query.bindValue(i, search.values[i]);
    query.exec();
    m_model->setQuery(std::move(query));
    const QStringList titles = headers();
    for (int i = 0; i < titles.size(); ++i)
        m_model->setHeaderData(i, Qt::Horizontal, titles[i]);
    m_view->hideColumn(kColourColumn);
}

bool HistoryWindow::exportCsv(const QString &file, QString *problem)
{
    if (!connectDatabase()) {
        *problem = QStringLiteral("no call history at %1").arg(m_path);
        return false;
    }
    const HistoryQuery search = historyQuery(filter(), QString::fromLatin1(kColumns));
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
    bool ok = write(csv::kBom + csv::line(headers() << QStringLiteral("color")));
    QStringList cells;
    while (ok && query.next()) {
        cells.clear();
        for (int i = 0; i <= kColourColumn; ++i)
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
    const QString file = QFileDialog::getSaveFileName(
        this, texts::kSaveCsv, QStringLiteral("calls.csv"), QStringLiteral("CSV (*.csv)"));
    if (file.isEmpty())
        return;
    QString problem;
    if (!exportCsv(file, &problem))
        QMessageBox::warning(this, texts::kSaveFailedTitle, problem);
}

} // namespace dialkite
