#include "historywindow.h"

#include "console/texts.h"
#include "gridview.h"
#include "history/columns.h"
#include "history/contacts.h"
#include "outputs/csv.h"

#include <QBrush>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

namespace dialkite {

namespace {

constexpr int kFetch = 256; // rows read at a time as the view scrolls

const QLocale kKorean(QLocale::Korean, QLocale::SouthKorea);

} // namespace

void HistoryModel::show(std::unique_ptr<CallCursor> cursor)
{
    beginResetModel();
    m_cursor = std::move(cursor);
    m_rows.clear();
    m_more = m_cursor != nullptr;
    endResetModel();
    if (canFetchMore({}))
        fetchMore({});
}

int HistoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int HistoryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(historyTable().size());
}

namespace {
// "번호" in the status column is a call that came with its number, not a row's number.
struct Sense {
    const char *source;
    const char *comment;
};
constexpr Sense kCallStatus = QT_TRANSLATE_NOOP3("window", "번호", "call status");
} // namespace

QVariant HistoryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_rows.size()))
        return {};
    const CallRow &row = m_rows[size_t(index.row())];
    switch (role) {
    case Qt::ForegroundRole:
        return row.colour.isEmpty() ? QVariant() : QVariant(QBrush(QColor(row.colour)));
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    case Qt::DisplayRole:
        return texts::shown(cellOf(historyTable()[index.column()], row, Reader::Person),
                            kCallStatus.comment);
    case Qt::EditRole:
        return cellOf(historyTable()[index.column()], row, Reader::Person);
    default:
        return {};
    }
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < historyTable().size())
        return texts::shown(historyTable()[section].title);
    return QAbstractTableModel::headerData(section, orientation, role);
}

bool HistoryModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && m_more;
}

void HistoryModel::fetchMore(const QModelIndex &parent)
{
    if (parent.isValid() || !m_cursor)
        return;
    std::vector<CallRow> more;
    CallRow row;
    while (int(more.size()) < kFetch && m_cursor->next(&row))
        more.push_back(row);
    m_more = int(more.size()) == kFetch;
    if (more.empty())
        return;
    const int first = int(m_rows.size());
    beginInsertRows({}, first, first + int(more.size()) - 1);
    std::move(more.begin(), more.end(), std::back_inserter(m_rows));
    endInsertRows();
}

HistoryWindow::HistoryWindow(QString path, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_path(std::move(path))
    , m_reader(m_path)
    , m_model(new HistoryModel(this))
{
    setObjectName(QStringLiteral("HistoryWindow"));
    setWindowTitle(texts::shown(texts::kHistoryTitle));
    resize(820, 560);

    m_number = new QLineEdit(this);
    m_number->setObjectName(QStringLiteral("Number"));
    m_number->setPlaceholderText(texts::shown(texts::kHistoryNumber));
    m_number->setClearButtonEnabled(true);
    m_line = new QComboBox(this);
    m_line->setObjectName(QStringLiteral("Line"));
    m_line->addItem(texts::shown(texts::kHistoryAllLines), QString());
    for (int line = 1; line <= 16; ++line)
        m_line->addItem(QString::number(line), QString::number(line));
    // A period, typed or picked on a Korean calendar whatever the machine's language;
    // off, every date counts.
    m_period = new QCheckBox(texts::shown(texts::kHistoryPeriod), this);
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
    m_save = new QPushButton(texts::shown(texts::kSaveCsv), this);
    m_save->setObjectName(QStringLiteral("SaveCsv"));

    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("Calls"));
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_view, &QWidget::customContextMenuRequested, this, &HistoryWindow::askName);
    m_view->verticalHeader()->hide();
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->setWordWrap(false); // one line a row
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);

    auto *filters = new QHBoxLayout;
    filters->addWidget(m_number, 2);
    filters->addWidget(new QLabel(texts::shown(texts::kHistoryLine), this));
    filters->addWidget(m_line);
    filters->addWidget(m_period);
    filters->addWidget(m_since);
    filters->addWidget(new QLabel(texts::shown(texts::kHistorySince), this));
    filters->addWidget(m_until);
    filters->addWidget(new QLabel(texts::shown(texts::kHistoryUntil), this));
    filters->addWidget(m_save);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("Status"));
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_legend = new QLabel(texts::shown(texts::kColourLegend), this);
    m_legend->setObjectName(QStringLiteral("Legend"));
    m_legend->setWordWrap(true);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_view);
    layout->addWidget(m_status);
    layout->addWidget(m_legend);

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
    m_model->show(nullptr); // the cursor goes before the reader's connection
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
    // What the rows fetched so far hold (the first screenfuls, newest first); with no rows,
    // the headers of a call's usual columns stay, above the word that nothing was found.
    const int columns = m_model->columnCount();
    const bool none = m_model->rowCount() == 0;
    for (int column = 0; column < columns; ++column) {
        bool filled = none && column != historyBoxColumn() && column != historyConflictColumn();
        for (int row = 0; row < m_model->rowCount() && !filled; ++row)
            filled = !m_model->index(row, column).data().toString().isEmpty();
        m_view->setColumnHidden(column, column == historyColourColumn() || !filled);
    }
    m_view->resizeColumnsToContents();
}

void HistoryWindow::refresh()
{
    m_callsWaiting = false;
    // A period that ends before it starts finds nothing: said where it is typed.
    const bool reversed = m_period->isChecked() && m_since->dateTime() > m_until->dateTime();
    const QString marked = QStringLiteral("QDateTimeEdit { border: 2px solid #c53030; }");
    m_since->setStyleSheet(reversed ? marked : QString());
    m_until->setStyleSheet(reversed ? marked : QString());
    if (reversed) {
        m_model->show(nullptr);
        fitColumns();
        const QString format = QStringLiteral("yyyy-MM-dd HH:mm");
        m_status->setText(
            texts::shown(texts::kHistoryReversed)
                .arg(m_since->dateTime().toString(format), m_until->dateTime().toString(format)));
        return;
    }
    QString problem;
    // No history yet (nothing stored), or one that cannot be read: no rows.
    const bool ready = m_reader.open(&problem) == HistoryReader::Status::Ready;
    m_model->show(ready ? m_reader.calls(filter(), &problem) : nullptr);
    fitColumns();
    const qint64 found = ready ? m_reader.countCalls(filter(), &problem).value_or(0) : 0;
    m_status->setText(found > 0 ? texts::shown(texts::kHistoryCount).arg(found)
                                : texts::shown(texts::kHistoryEmpty));
}

bool HistoryWindow::exportCsv(const QString &file, QString *problem)
{
    if (m_reader.open(problem) == HistoryReader::Status::Missing) {
        *problem = QStringLiteral("no call history at %1").arg(m_path);
        return false;
    }
    const auto cursor = m_reader.calls(filter(), problem);
    if (!cursor)
        return false;
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        *problem = out.errorString();
        return false;
    }
    // Row by row as the search reads them: the file may hold a million calls.
    const auto write = [&out](const QByteArray &bytes) { return out.write(bytes) == bytes.size(); };
    bool ok = write(historyCsvHeader());
    CallRow row;
    qint64 rows = 0;
    while (ok && cursor->next(&row)) {
        ok = write(csv::line(cellsOf(historyTable(), row, Reader::Person)));
        ++rows;
    }
    if (!ok || !out.commit()) {
        *problem = out.errorString();
        return false;
    }
    m_status->setText(
        texts::shown(texts::kHistorySaved).arg(rows).arg(QDir::toNativeSeparators(file)));
    return true;
}

bool HistoryWindow::nameCaller(int row, const QString &name, QString *problem)
{
    const CallRow *call = m_model->row(row);
    if (!call || (call->digits.isEmpty() && call->number.isEmpty()))
        return false;
    ContactBook book(m_path);
    return book.open(problem) &&
           book.nameNumber(call->digits.isEmpty() ? call->number : call->digits, name, problem);
}

void HistoryWindow::askName(const QPoint &at)
{
    const QModelIndex index = m_view->indexAt(at);
    const CallRow *call = m_model->row(index.row());
    if (!call || call->digits.isEmpty())
        return; // a withheld call has no number to name
    QMenu menu(this);
    QAction *edit = menu.addAction(texts::shown(texts::kNameCaller));
    if (menu.exec(m_view->viewport()->mapToGlobal(at)) != edit)
        return;
    bool ok = false;
    const QString name = QInputDialog::getText(this, texts::shown(texts::kNameCaller), call->number,
                                               QLineEdit::Normal, call->name, &ok);
    if (!ok || name.trimmed().isEmpty())
        return;
    QString problem;
    if (!nameCaller(index.row(), name, &problem))
        QMessageBox::warning(this, texts::shown(texts::kSaveFailedTitle), problem);
}

void HistoryWindow::saveCsv()
{
    const QString file = QFileDialog::getSaveFileName(this, texts::shown(texts::kSaveCsv),
                                                      suggestedCsvFile(texts::kHistoryTitle),
                                                      QStringLiteral("CSV (*.csv)"));
    if (file.isEmpty())
        return;
    QString problem;
    if (!exportCsv(file, &problem))
        QMessageBox::warning(this, texts::shown(texts::kSaveFailedTitle), problem);
}

} // namespace dialkite
