// The phonebook at a shop's size: 10,000 contacts imported by dialkite-cli contacts import
// from a spreadsheet's CSV (UTF-8, and CP949 as Korean PCs save it) into a new history and
// into one that holds them already (nothing added); the goal is under 5 s each. Then the
// lookup the outputs make for every call.
//
//   build/bin/dialkite_bench --benchmark_filter=Contacts

#include "contacts/contactfile.h"
#include "history/phonebook.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace dialkite;

namespace {

constexpr int kContacts = 10000;

QList<contacts::Entry> shop()
{
    QList<contacts::Entry> entries;
    for (int i = 0; i < kContacts; ++i) {
        contacts::Entry entry;
        entry.name = QStringLiteral("거래처 %1").arg(i);
        entry.numbers << QStringLiteral("010-%1-%2")
                             .arg(1000 + i / 10, 4, 10, QLatin1Char('0'))
                             .arg(i * 7 % 10000, 4, 10, QLatin1Char('0'));
        if (i % 2 == 0)
            entry.numbers << QStringLiteral("02-%1-%2")
                                 .arg(100 + i / 100)
                                 .arg(i % 10000, 4, 10, QLatin1Char('0'));
        entry.note = QStringLiteral("단골");
        entries << entry;
    }
    return entries;
}

// The seconds one `contacts import` takes, and its output.
double importSeconds(const QString &file, const QString &db, QString *said)
{
    QElapsedTimer timer;
    timer.start();
    QProcess cli;
    cli.start(QStringLiteral(DIALKITE_CLI), {QStringLiteral("contacts"), QStringLiteral("import"),
                                             file, QStringLiteral("--db"), db});
    cli.waitForFinished(120000);
    *said = QString::fromUtf8(cli.readAllStandardOutput()).trimmed();
    return double(timer.elapsed()) / 1000.0;
}

void ContactsImport10000(benchmark::State &state, bool cp949)
{
    QTemporaryDir dir;
    QByteArray csv = contacts::writeCsv(shop());
    if (cp949) {
        QStringEncoder encoder("CP949");
        csv = encoder(QString::fromUtf8(csv.mid(3)));
    }
    const QString file = dir.filePath(QStringLiteral("shop.csv"));
    QFile out(file);
    out.open(QIODevice::WriteOnly);
    out.write(csv);
    out.close();
    int round = 0;
    for (auto _ : state) {
        const QString db = dir.filePath(QStringLiteral("calls%1.sqlite").arg(round++));
        QString said;
        const double fresh = importSeconds(file, db, &said);
        const double again = importSeconds(file, db, &said);
        state.SetIterationTime(fresh);
        state.counters["new_history_s"] = fresh;
        state.counters["again_s"] = again;
        state.SetLabel(said.toStdString());
    }
}

void Contacts_ImportUtf8(benchmark::State &state)
{
    ContactsImport10000(state, false);
}
void Contacts_ImportCp949(benchmark::State &state)
{
    ContactsImport10000(state, true);
}
BENCHMARK(Contacts_ImportUtf8)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(Contacts_ImportCp949)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// A call's name from a phonebook of 10,000 contacts, as the outputs ask it for every call.
void Contacts_NameOfACall(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("shop.csv"));
    QFile out(file);
    out.open(QIODevice::WriteOnly);
    out.write(contacts::writeCsv(shop()));
    out.close();
    const QString db = dir.filePath(QStringLiteral("calls.sqlite"));
    QString said;
    importSeconds(file, db, &said);
    Phonebook book(db);
    book.start();
    int i = 0;
    for (auto _ : state) {
        const QString number = QStringLiteral("010%1%2")
                                   .arg(1000 + (i % kContacts) / 10, 4, 10, QLatin1Char('0'))
                                   .arg((i % kContacts) * 7 % 10000, 4, 10, QLatin1Char('0'));
        benchmark::DoNotOptimize(book.nameOf(number));
        ++i;
    }
}
BENCHMARK(Contacts_NameOfACall);

} // namespace
