#pragma once

// Every text the console shows, written once. The box's own vocabulary is Korean;
// the wording, spacing and punctuation are the product's and must not be "corrected".

#include <QString>

namespace dialkite::texts {

// Main window
inline const QString kWindowTitle = QStringLiteral("다이얼카이트 ( DIAL KITE )");
inline const QString kChangePort = QStringLiteral("통신포트");
inline const QString kDialkiteSelect = QStringLiteral("장비선택");
inline const QString kReadIdentification = QStringLiteral("장비확인");
inline const QString kVolume = QStringLiteral("볼륨조절");
inline const QString kDial = QStringLiteral("전화걸기");
inline const QString kHangUp = QStringLiteral("전화끊기");
inline const QString kDialkiteChange = QStringLiteral("장비변경");
inline const QString kDetection = QStringLiteral("설정상태");

// Grid headers
inline const QString kChannel = QStringLiteral("채널");
inline const QString kTimeReceived = QStringLiteral("수신시각");
inline const QString kNumberReceived = QStringLiteral("수신번호");
inline const QString kState = QStringLiteral("상태");
inline const QString kRowNumber = QStringLiteral("번호");
inline const QString kSentData = QStringLiteral("통신데이타 ( PC -> 장치 )");
inline const QString kReceivedData = QStringLiteral("통신데이타 ( 장치 -> PC )");
inline const QString kDeviceName = QStringLiteral("장비명");
inline const QString kVersion = QStringLiteral("버  젼"); // two blanks, as on the box's papers
inline const QString kPortPanel = QStringLiteral("통신포트");
inline const QString kDetectionPanel = QStringLiteral("설정상태");

// Message boxes
inline const QString kQuitText = QStringLiteral("프로그램을 종료 하시겠습니까?");
inline const QString kQuitTitle = QStringLiteral("프로그램 종료");
inline const QString kPortErrorText =
    QStringLiteral("COM 포트를 열수가 없습니다. 포트를 확인하십시오");
inline const QString kPortErrorTitle = QStringLiteral("Port Error");
// The port error's details: which device, and the system's reason.
inline const QString kPortDevice = QStringLiteral("장치: ");
inline const QString kPortReason = QStringLiteral("이유: ");
inline const QString kPortNoDevice = QStringLiteral("(연결할 장치가 정해지지 않음)");
// A port that was open and went away (its adapter pulled): said first, with the reassurance.
inline const QString kPortLostText =
    QStringLiteral("통신포트 연결이 끊겼습니다 (%1). 장치가 다시 연결되면 자동으로 엽니다.");
inline const QString kPortLostNoRetryText =
    QStringLiteral("통신포트 연결이 끊겼습니다 (%1). 통신포트 버튼으로 다시 여십시오.");
inline const QString kPortBackText = QStringLiteral("다시 연결되었습니다 (%1).");
inline const QString kPortBackTitle = QStringLiteral("통신포트");
// A first start: no settings file, so no port chosen yet.
inline const QString kPortNotChosen = QStringLiteral(
    "아직 통신포트를 고르지 않았습니다. 통신포트 창에서 장비가 연결된 포트를 고르십시오.");
// The link's reasons in Korean.
inline const QString kReasonRemoved = QStringLiteral("장치가 빠졌거나 상대편이 닫았습니다");
inline const QString kReasonInUse = QStringLiteral("다른 프로그램이 사용 중입니다");
inline const QString kReasonNoSuchDevice = QStringLiteral("그런 장치가 없습니다");
inline const QString kReasonNotPermitted = QStringLiteral("열 권한이 없습니다");
inline const QString kReasonNoDevice = QStringLiteral("%1번 포트에 정해진 장치가 없습니다");
// The port panel while no port is open: "닫힘: " and why.
inline const QString kPortClosed = QStringLiteral("닫힘: ");
inline const QString kPortClosedByOperator = QStringLiteral("포트를 닫았습니다");
inline const QString kNoNumberText = QStringLiteral("발신번호를 입력하여 주십시요");
inline const QString kNoNumberTitle = QStringLiteral("에러메세지");

// The flight recorder (captures) and the call history
inline const QString kRecordingStoppedTitle = QStringLiteral("기록 중지");
inline const QString kRecordingStoppedText =
    QStringLiteral("통신 기록을 저장할 수 없어 기록을 멈췄습니다. 장비와의 통신은 계속됩니다.");

inline const QString kHistoryTitle = QStringLiteral("통화 기록");
inline const QString kHistoryMenu = QStringLiteral("통화 기록 보기 (Ctrl+H)");
inline const QString kHistoryNumber = QStringLiteral("번호 검색");
inline const QString kHistoryLine = QStringLiteral("채널");
inline const QString kHistoryAllLines = QStringLiteral("전체");
inline const QString kHistorySince = QStringLiteral("부터");
inline const QString kHistoryUntil = QStringLiteral("까지");
inline const QString kHistoryPeriod = QStringLiteral("기간");
inline const QString kSaveCsv = QStringLiteral("CSV로 저장");
inline const QString kPcTime = QStringLiteral("PC 시각");
inline const QString kBox = QStringLiteral("장비");
inline const QString kHistoryStoppedTitle = QStringLiteral("통화 기록 중지");
inline const QString kHistoryStoppedText =
    QStringLiteral("통화 기록을 저장할 수 없어 기록을 멈췄습니다. 장비와의 통신은 계속됩니다.");
inline const QString kHistoryMovedText =
    QStringLiteral("통화 기록 파일을 읽을 수 없어 옆으로 옮기고 새 기록을 시작했습니다.");
inline const QString kSaveFailedTitle = QStringLiteral("저장 실패");
// What a search found: "12건", or nothing.
inline const QString kHistoryCount = QStringLiteral("%1건");
inline const QString kHistoryEmpty = QStringLiteral("검색 결과 없음");
inline const QString kHistoryReversed =
    QStringLiteral("기간이 거꾸로입니다: 시작(%1)이 끝(%2)보다 늦습니다. 날짜를 고쳐 주십시오.");
inline const QString kHistorySaved = QStringLiteral("CSV로 저장했습니다 (%1건): %2");
// What the colours of a call mean.
inline const QString kColourLegend =
    QStringLiteral("파랑: 장비확인을 마친 장비가 보낸 통화 · 빨강: 장비확인과 상관없이 받는 통화"
                   " · 검정: 색을 구분하지 않는 종류의 통화");

// The settings file could not be written: the choice holds until the program ends.
inline const QString kSettingsNotSavedTitle = QStringLiteral("설정 저장 실패");
inline const QString kSettingsNotSavedText = QStringLiteral(
    "설정 파일에 저장하지 못했습니다. 선택한 값은 프로그램을 끝낼 때까지만 유지됩니다.");

inline const QString kCopy = QStringLiteral("복사");
// What a saved log is called, before its date: "발신번호기록-2026-12-07.csv".
inline const QString kCallLogFile = QStringLiteral("발신번호기록");
inline const QString kSendLogFile = QStringLiteral("송신기록");
inline const QString kReceiveLogFile = QStringLiteral("수신기록");
// The CSV columns the logs add to what they show.
inline const QString kColourColumn = QStringLiteral("색");
inline const QString kHexColumn = QStringLiteral("16진수");
inline const QString kSaveLogCsv = QStringLiteral("CSV로 저장...");

// The port dialog's view of this machine's serial devices
inline const QString kPortPresent = QStringLiteral("연결됨");
inline const QString kPortAbsent = QStringLiteral("장치 없음");
inline const QString kDetectedAdapters = QStringLiteral("발견된 장치");
inline const QString kMapAdapter = QStringLiteral("선택한 번호에 연결");
inline const QString kNoAdapters = QStringLiteral("(발견된 USB/직렬 장치 없음)");

// Caller number states
inline const QString kWithheld = QStringLiteral("발신번호표시금지");
inline const QString kPublicPhone = QStringLiteral("공중전화");
inline const QString kNotCollected = QStringLiteral("발신번호수집불가");

// Hook/ring detection as read back from the box
inline const QString kDetectNone = QStringLiteral("NOT");
inline const QString kDetectHook = QStringLiteral("HOOK");
inline const QString kDetectRing = QStringLiteral("RING");

// Panel prefixes
inline const QString kPortPrefix = QStringLiteral("COM ");
inline const QString kVersionPrefix = QStringLiteral("Ver ");

} // namespace dialkite::texts
