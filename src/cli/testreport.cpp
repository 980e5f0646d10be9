#include "testreport.h"

#include "console/notation.h"
#include "history/columns.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

namespace dialkite::cli {

namespace {

// Text for the page: controls made visible, markup's characters escaped.
QString text(const QString &value)
{
    return visibleControls(value).toHtmlEscaped();
}

QString row(const QString &title, const QString &value)
{
    return QStringLiteral("<tr><th>%1</th><td>%2</td></tr>\n").arg(title, text(value));
}

const char kStyle[] = R"CSS(
body { font-family: sans-serif; margin: 2em; color: #111; }
h1 { font-size: 1.4em; }
.verdict { font-size: 2.2em; font-weight: bold; padding: 0.3em 0.6em; color: #fff;
  display: inline-block; border-radius: 0.2em; }
.passed { background: #1f7a1f; } .failed { background: #b3261e; }
table { border-collapse: collapse; margin: 1em 0; }
th, td { border: 1px solid #999; padding: 0.25em 0.6em; text-align: left; vertical-align: top; }
tr.failed td { background: #fde8e7; } tr.not_run td { color: #777; }
.digest { font-family: monospace; word-break: break-all; }
@media print { body { margin: 0; } .verdict { border: 2px solid #000; } }
)CSS";

} // namespace

QByteArray fileSha256(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return {};
    return hash.result().toHex();
}

QByteArray reportHtml(const TestReport &report)
{
    const QString verdict = report.passed ? QStringLiteral("합격") : QStringLiteral("불합격");
    QString html =
        QStringLiteral(
            "<!DOCTYPE html>\n<html lang=\"ko\">\n<head>\n<meta charset=\"utf-8\">\n"
            "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none';"
            " style-src 'unsafe-inline'\">\n<title>시험 보고서 %1</title>\n<style>%2</style>\n"
            "</head>\n<body>\n<h1>장비 시험 보고서</h1>\n"
            "<p class=\"verdict %3\">%4</p>\n<table>\n")
            .arg(text(report.boxName), QString::fromLatin1(kStyle),
                 report.passed ? QStringLiteral("passed") : QStringLiteral("failed"), verdict);
    const auto when = [](const QDateTime &at) {
        return at.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    };
    html += row(QStringLiteral("장비명"), report.boxName);
    html += row(QStringLiteral("버전"), report.boxVersion);
    html += row(QStringLiteral("종류"), report.variant);
    html += row(QStringLiteral("포트"), report.device);
    html += row(QStringLiteral("시험"), report.suite);
    html += row(QStringLiteral("시도"), QString::number(report.attempt));
    html += row(QStringLiteral("시험자"), report.operatorName);
    html += row(QStringLiteral("시험 장소"), report.station);
    html += row(QStringLiteral("시작"), when(report.started));
    html += row(QStringLiteral("끝"), when(report.ended));
    html += QStringLiteral("</table>\n<h2>단계</h2>\n<table>\n<tr><th>줄</th><th>단계</th>"
                           "<th>판정</th><th>측정(ms)</th><th>한도(ms)</th><th>메시지</th>"
                           "<th>답</th></tr>\n");
    for (const RunStep &step : report.steps)
        html += QStringLiteral("<tr class=\"%1\"><td>%2</td><td>%3</td><td>%4</td><td>%5</td>"
                               "<td>%6</td><td>%7</td><td>%8</td></tr>\n")
                    .arg(step.verdict == u"failed"    ? QStringLiteral("failed")
                         : step.verdict == u"not_run" ? QStringLiteral("not_run")
                                                      : QStringLiteral("passed"))
                    .arg(step.line)
                    .arg(text(step.step), text(verdictShown(step.verdict)),
                         step.verdict == u"not_run" ? QString() : QString::number(step.measuredMs),
                         step.limitMs ? QString::number(step.limitMs) : QString(),
                         text(step.message), text(step.answer));
    html += QStringLiteral("</table>\n<h2>통신 기록</h2>\n<table>\n");
    html += row(QStringLiteral("파일"), QFileInfo(report.capture).fileName());
    html += QStringLiteral("<tr><th>SHA-256</th><td class=\"digest\">%1</td></tr>\n")
                .arg(report.captureSha256.isEmpty() ? QStringLiteral("(읽을 수 없음)")
                                                    : QString::fromLatin1(report.captureSha256));
    html += QStringLiteral("</table>\n</body>\n</html>\n");
    return html.toUtf8();
}

} // namespace dialkite::cli
