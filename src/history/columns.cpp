#include "columns.h"

#include "console/variant.h"
#include "outputs/csv.h"

namespace dialkite {

const QList<HistoryColumn> &historyTable()
{
    static const QList<HistoryColumn> columns = {
        {QStringLiteral(QT_TRANSLATE_NOOP("window", "PC 시각")), "pc_time",
         [](const CallRow &r) { return r.pcTime; }},
        {QStringLiteral(QT_TRANSLATE_NOOP("window", "장비")), "box",
         [](const CallRow &r) { return r.box; }},
        {QStringLiteral(QT_TRANSLATE_NOOP("window", "채널")), "line",
         [](const CallRow &r) { return r.line; }},
        {QStringLiteral(QT_TRANSLATE_NOOP("window", "수신시각")), "time",
         [](const CallRow &r) { return r.boxTime; }},
        {QStringLiteral(QT_TRANSLATE_NOOP("window", "수신번호")), "number",
         [](const CallRow &r) { return r.number; }},
        {QStringLiteral(QT_TRANSLATE_NOOP("window", "이름")), "name",
         [](const CallRow &r) { return r.name; }},
        {QStringLiteral(QT_TRANSLATE_NOOP("window", "상태")), "status",
         [](const CallRow &r) { return r.status; }, statusShown},
        {QStringLiteral(QT_TRANSLATE_NOOP("window", "색")), "color",
         [](const CallRow &r) { return r.colour; }, colourShown},
        {QStringLiteral(QT_TRANSLATE_NOOP("window", "종류")), "variant",
         [](const CallRow &r) { return r.variant; }, variantShown},
        {QStringLiteral(QT_TRANSLATE_NOOP("window", "장비명")), "device",
         [](const CallRow &r) { return r.deviceName; }},
        {QStringLiteral(QT_TRANSLATE_NOOP("window", "포트")), "port",
         [](const CallRow &r) { return (r.port + QLatin1Char(' ') + r.device).trimmed(); }},
        {QStringLiteral(QT_TRANSLATE_NOOP("window", "충돌")), "conflict",
         [](const CallRow &r) {
             return r.conflict ? QStringLiteral(QT_TRANSLATE_NOOP("window", "충돌")) : QString();
         }},
    };
    return columns;
}

namespace {

int columnOf(const char *key)
{
    const QList<HistoryColumn> &columns = historyTable();
    for (int i = 0; i < columns.size(); ++i) {
        if (qstrcmp(columns[i].key, key) == 0)
            return i;
    }
    return -1;
}

} // namespace

int historyColourColumn()
{
    static const int column = columnOf("color");
    return column;
}

int historyBoxColumn()
{
    static const int column = columnOf("box");
    return column;
}

int historyConflictColumn()
{
    static const int column = columnOf("conflict");
    return column;
}

const QList<RunColumn> &runColumns()
{
    static const QList<RunColumn> columns = {
        {QStringLiteral("번호"), "run", [](const RunRow &r) { return QString::number(r.id); }},
        {QStringLiteral("PC 시각"), "pc_time", [](const RunRow &r) { return r.pcTime; }},
        {QStringLiteral("시험"), "suite", [](const RunRow &r) { return r.suite; }},
        {QStringLiteral("시도"), "attempt",
         [](const RunRow &r) { return QString::number(r.attempt); }},
        {QStringLiteral("판정"), "verdict", [](const RunRow &r) { return r.verdict; },
         verdictShown},
        {QStringLiteral("통과"), "passed",
         [](const RunRow &r) { return QString::number(r.passed); }},
        {QStringLiteral("실패"), "failed",
         [](const RunRow &r) { return QString::number(r.failed); }},
        {QStringLiteral("시간(ms)"), "duration_ms",
         [](const RunRow &r) { return QString::number(r.durationMs); }},
        {QStringLiteral("장비명"), "box_name", [](const RunRow &r) { return r.boxName; }},
        {QStringLiteral("버전"), "box_version", [](const RunRow &r) { return r.boxVersion; }},
        {QStringLiteral("종류"), "variant", [](const RunRow &r) { return r.variant; },
         variantShown},
        {QStringLiteral("포트"), "device", [](const RunRow &r) { return r.device; }},
        {QStringLiteral("통신 기록"), "capture", [](const RunRow &r) { return r.capture; }},
    };
    return columns;
}

QString verdictShown(const QString &verdict)
{
    if (verdict == u"passed")
        return QStringLiteral("합격");
    if (verdict == u"failed")
        return QStringLiteral("불합격");
    if (verdict == u"not_run")
        return QStringLiteral("실행 안 함");
    return verdict;
}

QString statusShown(const QString &status)
{
    if (status == u"number")
        return QStringLiteral(QT_TRANSLATE_NOOP("window", "번호"));
    if (status == u"withheld")
        return QStringLiteral(QT_TRANSLATE_NOOP("window", "발신번호표시금지"));
    if (status == u"public_phone")
        return QStringLiteral(QT_TRANSLATE_NOOP("window", "공중전화"));
    if (status == u"not_collected")
        return QStringLiteral(QT_TRANSLATE_NOOP("window", "발신번호수집불가"));
    return status;
}

QString colourShown(const QString &colour)
{
    if (colour.compare(u"#0000ff", Qt::CaseInsensitive) == 0)
        return QStringLiteral(QT_TRANSLATE_NOOP("window", "파랑"));
    if (colour.compare(u"#ff0000", Qt::CaseInsensitive) == 0)
        return QStringLiteral(QT_TRANSLATE_NOOP("window", "빨강"));
    return colour;
}

QString variantShown(const QString &variant)
{
    bool number = false;
    const int code = variant.toInt(&number);
    const VariantInfo *info = number ? variantTable().find(VariantId(code)) : nullptr;
    return info ? QStringLiteral("%1 (%2)").arg(variant, info->deviceName) : variant;
}

const QList<StepColumn> &stepColumns()
{
    static const QList<StepColumn> columns = {
        {QStringLiteral("줄"), "line", [](const RunStep &r) { return QString::number(r.line); }},
        {QStringLiteral("단계"), "step", [](const RunStep &r) { return r.step; }},
        {QStringLiteral("판정"), "verdict", [](const RunStep &r) { return r.verdict; },
         verdictShown},
        {QStringLiteral("측정(ms)"), "measured_ms",
         [](const RunStep &r) { return QString::number(r.measuredMs); }},
        {QStringLiteral("한도(ms)"), "limit_ms",
         [](const RunStep &r) { return r.limitMs ? QString::number(r.limitMs) : QString(); }},
        {QStringLiteral("답"), "answer", [](const RunStep &r) { return r.answer; }},
        {QStringLiteral("메시지"), "message", [](const RunStep &r) { return r.message; }},
    };
    return columns;
}

QByteArray historyCsvHeader()
{
    return csv::kBom + csv::line(titlesOf(historyTable()));
}

} // namespace dialkite
