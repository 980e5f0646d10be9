#pragma once

// Every text the console shows, written once. The box's own vocabulary is Korean;
// the wording, spacing and punctuation are the product's and must not be "corrected".

#include <QCoreApplication>
#include <QString>

namespace dialkite::texts {

// Main window
inline const QString kWindowTitle =
    QStringLiteral(QT_TRANSLATE_NOOP("window", "다이얼카이트 ( DIAL KITE )"));
inline const QString kChangePort = QStringLiteral(QT_TRANSLATE_NOOP("window", "통신포트"));
inline const QString kDialkiteSelect = QStringLiteral(QT_TRANSLATE_NOOP("window", "장비선택"));
inline const QString kReadIdentification = QStringLiteral(QT_TRANSLATE_NOOP("window", "장비확인"));
inline const QString kVolume = QStringLiteral(QT_TRANSLATE_NOOP("window", "볼륨조절"));
inline const QString kDial = QStringLiteral(QT_TRANSLATE_NOOP("window", "전화걸기"));
inline const QString kHangUp = QStringLiteral(QT_TRANSLATE_NOOP("window", "전화끊기"));
inline const QString kDialkiteChange = QStringLiteral(QT_TRANSLATE_NOOP("window", "장비변경"));
inline const QString kDetection = QStringLiteral(QT_TRANSLATE_NOOP("window", "설정상태"));

// Grid headers
inline const QString kChannel = QStringLiteral(QT_TRANSLATE_NOOP("window", "채널"));
inline const QString kTimeReceived = QStringLiteral(QT_TRANSLATE_NOOP("window", "수신시각"));
inline const QString kNumberReceived = QStringLiteral(QT_TRANSLATE_NOOP("window", "수신번호"));
inline const QString kState = QStringLiteral(QT_TRANSLATE_NOOP("window", "상태"));
inline const QString kRowNumber = QStringLiteral(QT_TRANSLATE_NOOP("window", "번호"));
inline const QString kSentData =
    QStringLiteral(QT_TRANSLATE_NOOP("window", "통신데이타 ( PC -> 장치 )"));
inline const QString kReceivedData =
    QStringLiteral(QT_TRANSLATE_NOOP("window", "통신데이타 ( 장치 -> PC )"));
inline const QString kDeviceName = QStringLiteral(QT_TRANSLATE_NOOP("window", "장비명"));
inline const QString kVersion =
    QStringLiteral(QT_TRANSLATE_NOOP("window", "버  젼")); // two blanks, as on the box's papers
inline const QString kPortPanel = QStringLiteral(QT_TRANSLATE_NOOP("window", "통신포트"));
inline const QString kDetectionPanel = QStringLiteral(QT_TRANSLATE_NOOP("window", "설정상태"));

// Message boxes
inline const QString kQuitText =
    QStringLiteral(QT_TRANSLATE_NOOP("window", "프로그램을 종료 하시겠습니까?"));
inline const QString kQuitTitle = QStringLiteral(QT_TRANSLATE_NOOP("window", "프로그램 종료"));
inline const QString kPortErrorText =
    QStringLiteral(QT_TRANSLATE_NOOP("window", "COM 포트를 열수가 없습니다. 포트를 확인하십시오"));
inline const QString kPortErrorTitle = QStringLiteral(QT_TRANSLATE_NOOP("window", "Port Error"));
// The port error's details: which device, and the system's reason.
inline const QString kPortDevice = QStringLiteral(QT_TRANSLATE_NOOP("window", "장치: "));
inline const QString kPortReason = QStringLiteral(QT_TRANSLATE_NOOP("window", "이유: "));
inline const QString kPortNoDevice =
    QStringLiteral(QT_TRANSLATE_NOOP("window", "(연결할 장치가 정해지지 않음)"));
// A port that was open and went away (its adapter pulled): said first, with the reassurance.
inline const QString kPortLostText = QStringLiteral(QT_TRANSLATE_NOOP(
    "window", "통신포트 연결이 끊겼습니다 (%1). 장치가 다시 연결되면 자동으로 엽니다."));
inline const QString kPortLostNoRetryText = QStringLiteral(QT_TRANSLATE_NOOP(
    "window", "통신포트 연결이 끊겼습니다 (%1). 통신포트 버튼으로 다시 여십시오."));
inline const QString kPortBackText =
    QStringLiteral(QT_TRANSLATE_NOOP("window", "다시 연결되었습니다 (%1)."));
inline const QString kPortBackTitle = QStringLiteral(QT_TRANSLATE_NOOP("window", "통신포트"));
// A first start: no settings file, so no port chosen yet.
inline const QString kPortNotChosen = QStringLiteral(QT_TRANSLATE_NOOP(
    "window",
    "아직 통신포트를 고르지 않았습니다. 통신포트 창에서 장비가 연결된 포트를 고르십시오."));
// The link's reasons in Korean.
inline const QString kReasonRemoved =
    QStringLiteral(QT_TRANSLATE_NOOP("window", "장치가 빠졌거나 상대편이 닫았습니다"));
inline const QString kReasonInUse =
    QStringLiteral(QT_TRANSLATE_NOOP("window", "다른 프로그램이 사용 중입니다"));
inline const QString kReasonNoSuchDevice =
    QStringLiteral(QT_TRANSLATE_NOOP("window", "그런 장치가 없습니다"));
inline const QString kReasonNotPermitted =
    QStringLiteral(QT_TRANSLATE_NOOP("window", "열 권한이 없습니다"));
inline const QString kReasonNoDevice =
    QStringLiteral(QT_TRANSLATE_NOOP("window", "%1번 포트에 정해진 장치가 없습니다"));
// The port panel while no port is open: "닫힘: " and why.
inline const QString kPortClosed = QStringLiteral(QT_TRANSLATE_NOOP("window", "닫힘: "));
inline const QString kPortClosedByOperator =
    QStringLiteral(QT_TRANSLATE_NOOP("window", "포트를 닫았습니다"));
inline const QString kNoNumberText =
    QStringLiteral(QT_TRANSLATE_NOOP("window", "발신번호를 입력하여 주십시요"));
inline const QString kNoNumberTitle = QStringLiteral(QT_TRANSLATE_NOOP("window", "에러메세지"));

// The flight recorder (captures) and the call history
inline const QString kRecordingStoppedTitle =
    QStringLiteral(QT_TRANSLATE_NOOP("window", "기록 중지"));
inline const QString kRecordingStoppedText = QStringLiteral(QT_TRANSLATE_NOOP(
    "window", "통신 기록을 저장할 수 없어 기록을 멈췄습니다. 장비와의 통신은 계속됩니다."));

inline const QString kHistoryTitle = QStringLiteral(QT_TRANSLATE_NOOP("window", "통화 기록"));
inline const QString kHistoryMenu =
    QStringLiteral(QT_TRANSLATE_NOOP("window", "통화 기록 보기 (Ctrl+H)"));
inline const QString kHistoryNumber = QStringLiteral(QT_TRANSLATE_NOOP("window", "번호 검색"));
inline const QString kHistoryLine = QStringLiteral(QT_TRANSLATE_NOOP("window", "채널"));
inline const QString kHistoryAllLines = QStringLiteral(QT_TRANSLATE_NOOP("window", "전체"));
inline const QString kHistorySince = QStringLiteral(QT_TRANSLATE_NOOP("window", "부터"));
inline const QString kHistoryUntil = QStringLiteral(QT_TRANSLATE_NOOP("window", "까지"));
inline const QString kHistoryPeriod = QStringLiteral(QT_TRANSLATE_NOOP("window", "기간"));
inline const QString kSaveCsv = QStringLiteral(QT_TRANSLATE_NOOP("window", "CSV로 저장"));
inline const QString kPcTime = QStringLiteral(QT_TRANSLATE_NOOP("window", "PC 시각"));
inline const QString kBox = QStringLiteral(QT_TRANSLATE_NOOP("window", "장비"));
inline const QString kHistoryStoppedTitle =
    QStringLiteral(QT_TRANSLATE_NOOP("window", "통화 기록 중지"));
inline const QString kHistoryStoppedText = QStringLiteral(QT_TRANSLATE_NOOP(
    "window", "통화 기록을 저장할 수 없어 기록을 멈췄습니다. 장비와의 통신은 계속됩니다."));
inline const QString kHistoryMovedText = QStringLiteral(QT_TRANSLATE_NOOP(
    "window", "통화 기록 파일을 읽을 수 없어 옆으로 옮기고 새 기록을 시작했습니다."));
inline const QString kSaveFailedTitle = QStringLiteral(QT_TRANSLATE_NOOP("window", "저장 실패"));
// What a search found: "12건", or nothing.
inline const QString kHistoryCount = QStringLiteral(QT_TRANSLATE_NOOP("window", "%1건"));
inline const QString kHistoryEmpty = QStringLiteral(QT_TRANSLATE_NOOP("window", "검색 결과 없음"));
inline const QString kHistoryReversed = QStringLiteral(QT_TRANSLATE_NOOP(
    "window", "기간이 거꾸로입니다: 시작(%1)이 끝(%2)보다 늦습니다. 날짜를 고쳐 주십시오."));
inline const QString kNameCaller =
    QStringLiteral(QT_TRANSLATE_NOOP("window", "연락처에 추가 / 수정"));
inline const QString kHistorySaved =
    QStringLiteral(QT_TRANSLATE_NOOP("window", "CSV로 저장했습니다 (%1건): %2"));
// What the colours of a call mean.
inline const QString kColourLegend = QStringLiteral(QT_TRANSLATE_NOOP(
    "window", "파랑: 장비확인을 마친 장비가 보낸 통화 · 빨강: 장비확인과 상관없이 받는 통화"
              " · 검정: 색을 구분하지 않는 종류의 통화"));

// The settings file could not be written: the choice holds until the program ends.
inline const QString kSettingsNotSavedTitle =
    QStringLiteral(QT_TRANSLATE_NOOP("window", "설정 저장 실패"));
inline const QString kSettingsNotSavedText = QStringLiteral(QT_TRANSLATE_NOOP(
    "window", "설정 파일에 저장하지 못했습니다. 선택한 값은 프로그램을 끝낼 때까지만 유지됩니다."));

inline const QString kCopy = QStringLiteral(QT_TRANSLATE_NOOP("window", "복사"));
// What a saved log is called, before its date: "발신번호기록-2026-12-07.csv".
inline const QString kCallLogFile = QStringLiteral("발신번호기록");
inline const QString kSendLogFile = QStringLiteral("송신기록");
inline const QString kReceiveLogFile = QStringLiteral("수신기록");
// The CSV columns the logs add to what they show.
inline const QString kColourColumn = QStringLiteral("색");
inline const QString kHexColumn = QStringLiteral("16진수");
inline const QString kSaveLogCsv = QStringLiteral(QT_TRANSLATE_NOOP("window", "CSV로 저장..."));

// The port dialog's view of this machine's serial devices
inline const QString kPortPresent = QStringLiteral(QT_TRANSLATE_NOOP("window", "연결됨"));
inline const QString kPortAbsent = QStringLiteral(QT_TRANSLATE_NOOP("window", "장치 없음"));
inline const QString kDetectedAdapters = QStringLiteral(QT_TRANSLATE_NOOP("window", "발견된 장치"));
inline const QString kMapAdapter =
    QStringLiteral(QT_TRANSLATE_NOOP("window", "선택한 번호에 연결"));
inline const QString kNoAdapters =
    QStringLiteral(QT_TRANSLATE_NOOP("window", "(발견된 USB/직렬 장치 없음)"));

// Caller number states
inline const QString kWithheld = QStringLiteral(QT_TRANSLATE_NOOP("window", "발신번호표시금지"));
inline const QString kPublicPhone = QStringLiteral(QT_TRANSLATE_NOOP("window", "공중전화"));
inline const QString kNotCollected =
    QStringLiteral(QT_TRANSLATE_NOOP("window", "발신번호수집불가"));

// Hook/ring detection as read back from the box
inline const QString kDetectNone = QStringLiteral("NOT");
inline const QString kDetectHook = QStringLiteral("HOOK");
inline const QString kDetectRing = QStringLiteral("RING");

// Panel prefixes
inline const QString kPortPrefix = QStringLiteral("COM ");
inline const QString kVersionPrefix = QStringLiteral("Ver ");

// A text of the window in the language it was started in (`dialkite --lang en`): the
// Korean above unless the window loaded another language's messages. Everything above
// marked for translation is shown through it; what the box sends, file names and the
// columns of saved files are not.
// `sense` tells apart two meanings of one Korean word ("번호": a row's number, a call's
// status); without a translation for that sense, the word's plain one.
inline QString shown(const QString &text, const char *sense = nullptr)
{
    return QCoreApplication::translate("window", text.toUtf8().constData(), sense);
}

} // namespace dialkite::texts
