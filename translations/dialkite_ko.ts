<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ko_KR">
<context>
    <name>dialkite</name>
    <message>
        <source>cannot open %1: %2</source>
        <translation>%1을(를) 열 수 없습니다: %2</translation>
    </message>
    <message>
        <source>PASSED</source>
        <translation>합격</translation>
    </message>
    <message>
        <source>FAILED</source>
        <translation>불합격</translation>
    </message>
    <message>
        <source>time: %1 s</source>
        <translation>시간: %1 s</translation>
    </message>
    <message>
        <source>capture: %1</source>
        <translation>통신 기록: %1</translation>
    </message>
    <message>
        <source>report: %1</source>
        <translation>보고서: %1</translation>
    </message>
    <message>
        <source>station page: %1</source>
        <translation>스테이션 페이지: %1</translation>
    </message>
    <message>
        <source>%1 passed, %2 failed</source>
        <translation>통과 %1, 실패 %2</translation>
    </message>
    <message>
        <source>, %1 not run</source>
        <translation>, 실행 안 함 %1</translation>
    </message>
    <message>
        <source>The station page stays open until Enter.</source>
        <translation>Enter를 누를 때까지 스테이션 페이지가 열려 있습니다.</translation>
    </message>
    <message>
        <source>no command given</source>
        <translation>명령이 없습니다</translation>
    </message>
    <message>
        <source>unknown command &apos;%1&apos;; did you mean &apos;%2&apos;?</source>
        <translation>알 수 없는 명령 &apos;%1&apos;; &apos;%2&apos;을(를) 뜻했습니까?</translation>
    </message>
    <message>
        <source>unknown command &apos;%1&apos;; the commands are %2</source>
        <translation>알 수 없는 명령 &apos;%1&apos;; 명령은 %2입니다</translation>
    </message>
    <message>
        <source>trying again in %1 s</source>
        <translation>%1초 뒤에 다시 엽니다</translation>
    </message>
    <message>
        <source>unexpected argument &apos;%1&apos;</source>
        <translation>필요 없는 인자 &apos;%1&apos;</translation>
    </message>
    <message>
        <source>%1 is given twice</source>
        <translation>%1이(가) 두 번 주어졌습니다</translation>
    </message>
    <message>
        <source>%1 needs a value</source>
        <translation>%1에는 값이 필요합니다</translation>
    </message>
    <message>
        <source>%1 takes %2 to %3, not &apos;%4&apos;</source>
        <translation>%1은(는) %2부터 %3까지입니다. &apos;%4&apos;은(는) 안 됩니다</translation>
    </message>
    <message>
        <source>unknown option %1</source>
        <translation>알 수 없는 옵션 %1</translation>
    </message>
    <message>
        <source>%1; did you mean %2?</source>
        <translation>%1; %2을(를) 뜻했습니까?</translation>
    </message>
    <message>
        <source>see &apos;%1&apos;</source>
        <translation>&apos;%1&apos; 참고</translation>
    </message>
    <message>
        <source>device removed or closed by the other end</source>
        <translation>장치가 빠졌거나 상대편이 닫았습니다</translation>
    </message>
    <message>
        <source>in use by another program</source>
        <translation>다른 프로그램이 사용 중입니다</translation>
    </message>
    <message>
        <source>no such device</source>
        <translation>그런 장치가 없습니다</translation>
    </message>
    <message>
        <source>not permitted to open it</source>
        <translation>열 권한이 없습니다</translation>
    </message>
    <message>
        <source>--lang takes ko or en, not &apos;%1&apos;</source>
        <translation>--lang은(는) ko 또는 en입니다. &apos;%1&apos;은(는) 안 됩니다</translation>
    </message>
    <message>
        <source>the report %1: %2</source>
        <translation>보고서 %1: %2</translation>
    </message>
    <message>
        <source>the capture %1: %2</source>
        <translation>통신 기록 %1: %2</translation>
    </message>
    <message>
        <source>the history %1: %2</source>
        <translation>통화 기록 %1: %2</translation>
    </message>
    <message>
        <source>cannot read %1: %2</source>
        <translation>%1을(를) 읽을 수 없습니다: %2</translation>
    </message>
    <message>
        <source>the JUnit report %1: %2</source>
        <translation>JUnit 보고서 %1: %2</translation>
    </message>
    <message>
        <source>the run&apos;s record is not kept in %1</source>
        <translation>시험 기록이 남지 않았습니다: %1</translation>
    </message>
    <message>
        <source>box %1 (publisher %2): the events from %3 on are missing; %4 were stored after them</source>
        <translation>장비 %1 (발행자 %2): %3번부터의 이벤트가 빠졌습니다. 그 뒤의 %4개는 저장되었습니다</translation>
    </message>
    <message>
        <source>a new fleet key is in %1; give it to every monitor and collector of the fleet</source>
        <translation>새 fleet 키를 %1에 만들었습니다. 이 fleet의 모든 monitor와 collector에 주십시오</translation>
    </message>
    <message>
        <source>cannot copy %1: %2 (%3 events copied before)</source>
        <translation>%1을(를) 복사할 수 없습니다: %2 (그 전에 이벤트 %3개 복사함)</translation>
    </message>
    <message>
        <source>copied %1 events to %2 (%3 were there already), %4 runs</source>
        <translation>이벤트 %1개를 %2에 복사했습니다 (%3개는 이미 있었음), 시험 %4회</translation>
    </message>
    <message>
        <source>no call history at %1</source>
        <translation>%1에 통화 기록이 없습니다</translation>
    </message>
    <message>
        <source>cannot search %1: %2</source>
        <translation>%1을(를) 검색할 수 없습니다: %2</translation>
    </message>
    <message>
        <source>(answered on the page: %1)</source>
        <translation>(페이지에서 답함: %1)</translation>
    </message>
    <message>
        <source>%1 takes %2, not &apos;%3&apos;</source>
        <translation>%1은(는) %2입니다. &apos;%3&apos;은(는) 안 됩니다</translation>
    </message>
    <message>
        <source>a positive number of milliseconds</source>
        <translation>양수 밀리초</translation>
    </message>
    <message>
        <source>milliseconds (0 for never)</source>
        <translation>밀리초 (0은 끝내지 않음)</translation>
    </message>
    <message>
        <source>a rate above 0 and at most 1000 a second</source>
        <translation>초당 0보다 크고 1000 이하인 비율</translation>
    </message>
    <message>
        <source>a positive number</source>
        <translation>양수</translation>
    </message>
    <message>
        <source>a factor of 0 or more</source>
        <translation>0 이상의 배수</translation>
    </message>
    <message>
        <source>--link %1 exists and is not a link</source>
        <translation>--link %1은(는) 이미 있고 링크가 아닙니다</translation>
    </message>
    <message>
        <source>cannot make the link %1</source>
        <translation>링크 %1을(를) 만들 수 없습니다</translation>
    </message>
    <message>
        <source>box %1: event %2 came again with other content (%3 %4); both are kept and marked as a conflict</source>
        <translation>장비 %1: 이벤트 %2이(가) 다른 내용으로 다시 왔습니다 (%3 %4). 둘 다 남기고 충돌로 표시합니다</translation>
    </message>
    <message>
        <source>a PostgreSQL history is postgresql://USER@HOST[:PORT]/DB</source>
        <translation>PostgreSQL 통화 기록은 postgresql://USER@HOST[:PORT]/DB 입니다</translation>
    </message>
    <message>
        <source>a PostgreSQL history takes no option %1 (only %2)</source>
        <translation>PostgreSQL 통화 기록은 옵션 %1을(를) 받지 않습니다 (%2만 받음)</translation>
    </message>
    <message>
        <source>the option %1 of a PostgreSQL history is not one</source>
        <translation>PostgreSQL 통화 기록의 옵션 %1은(는) 올바르지 않습니다</translation>
    </message>
    <message>
        <source>the database %1 holds another program&apos;s tables and no call history; it is left as it is</source>
        <translation>데이터베이스 %1에는 다른 프로그램의 표만 있고 통화 기록이 없습니다. 그대로 둡니다</translation>
    </message>
    <message>
        <source>the history is locked: it could not be put in WAL mode</source>
        <translation>통화 기록이 잠겨 있습니다: WAL 모드로 바꿀 수 없었습니다</translation>
    </message>
    <message>
        <source>no pg_trgm here (%1): a search by part of a number reads every row</source>
        <translation>이 서버에 pg_trgm이 없습니다 (%1): 번호 일부로 찾으면 모든 행을 읽습니다</translation>
    </message>
    <message>
        <source>the database holds another program&apos;s events; this one leaves it as it is</source>
        <translation>데이터베이스에 다른 프로그램의 이벤트가 있습니다. 그대로 둡니다</translation>
    </message>
    <message>
        <source>cannot read the schema version</source>
        <translation>스키마 버전을 읽을 수 없습니다</translation>
    </message>
    <message>
        <source>the history was written by a newer program (schema %1); this one leaves it as it is</source>
        <translation>더 새로운 프로그램이 쓴 통화 기록입니다 (스키마 %1). 그대로 둡니다</translation>
    </message>
    <message>
        <source>cannot move %1 aside</source>
        <translation>%1을(를) 옆으로 옮길 수 없습니다</translation>
    </message>
    <message>
        <source>no schema %1</source>
        <translation>스키마 %1이(가) 없습니다</translation>
    </message>
    <message>
        <source>cannot make the folder %1</source>
        <translation>폴더 %1을(를) 만들 수 없습니다</translation>
    </message>
    <message>
        <source>cannot start a history at %1</source>
        <translation>%1에 통화 기록을 시작할 수 없습니다</translation>
    </message>
    <message>
        <source>cannot reach the history: %1; tried again</source>
        <translation>통화 기록에 닿을 수 없습니다: %1. 다시 시도합니다</translation>
    </message>
    <message>
        <source>cannot store in %1: %2; nothing is confirmed until it can, and it is tried again</source>
        <translation>%1에 저장할 수 없습니다: %2. 저장될 때까지 아무것도 확인하지 않고 다시 시도합니다</translation>
    </message>
    <message>
        <source>the history %1 was deleted or replaced while it was written; nothing more is confirmed from the file that went, and what was not yet told stored goes into the history at %1 now</source>
        <translation>쓰는 동안 통화 기록 %1이(가) 지워지거나 바뀌었습니다. 사라진 파일에서는 더 확인하지 않으며, 아직 저장을 알리지 않은 것은 지금 %1의 통화 기록에 넣습니다</translation>
    </message>
    <message>
        <source>the history stayed locked by another program</source>
        <translation>다른 프로그램이 통화 기록을 계속 잠그고 있습니다</translation>
    </message>
    <message>
        <source>cannot make the capture folder %1</source>
        <translation>통신 기록 폴더 %1을(를) 만들 수 없습니다</translation>
    </message>
    <message>
        <source>cannot write capture %1: %2</source>
        <translation>통신 기록 %1을(를) 쓸 수 없습니다: %2</translation>
    </message>
    <message>
        <source>the disk took only part of it</source>
        <translation>디스크에 일부만 쓰였습니다</translation>
    </message>
    <message>
        <source>the last lines were not written in time</source>
        <translation>마지막 줄들을 제때 쓰지 못했습니다</translation>
    </message>
    <message>
        <source>recording stopped: </source>
        <translation>기록 중지: </translation>
    </message>
    <message>
        <source>capture: </source>
        <translation>통신 기록: </translation>
    </message>
    <message>
        <source>the fleet key %1 cannot be read: %2</source>
        <translation>fleet 키 %1을(를) 읽을 수 없습니다: %2</translation>
    </message>
    <message>
        <source>the fleet key %1 may be read by others; make it yours alone (chmod 600 %1)</source>
        <translation>fleet 키 %1을(를) 다른 사용자가 읽을 수 있습니다. 본인만 읽게 하십시오 (chmod 600 %1)</translation>
    </message>
    <message>
        <source>the fleet key %1 holds %2 bytes; it needs at least %3 random bytes (dialkite-cli fleet-key new FILE makes one)</source>
        <translation>fleet 키 %1은(는) %2바이트입니다. 무작위 바이트가 %3개 이상 필요합니다 (dialkite-cli fleet-key new FILE로 만듭니다)</translation>
    </message>
    <message>
        <source>cannot write the fleet key %1: %2</source>
        <translation>fleet 키 %1을(를) 쓸 수 없습니다: %2</translation>
    </message>
    <message>
        <source>connected to %1</source>
        <translation>%1에 연결되었습니다</translation>
    </message>
    <message>
        <source>the broker at %1 refused the connection: %2; retrying</source>
        <translation>%1의 브로커가 연결을 거부했습니다: %2. 다시 시도합니다</translation>
    </message>
    <message>
        <source>cannot reach the broker at %1: %2; retrying</source>
        <translation>%1의 브로커에 닿을 수 없습니다: %2. 다시 시도합니다</translation>
    </message>
    <message>
        <source>lost the broker at %1; retrying, events are kept until it is back</source>
        <translation>%1의 브로커 연결이 끊겼습니다. 다시 시도하며, 돌아올 때까지 이벤트를 보관합니다</translation>
    </message>
    <message>
        <source>the broker is mqtt://[USER[:PASSWORD]@]HOST[:PORT] or mqtts://...</source>
        <translation>브로커는 mqtt://[USER[:PASSWORD]@]HOST[:PORT] 또는 mqtts://... 입니다</translation>
    </message>
    <message>
        <source>the broker&apos;s password needs a user</source>
        <translation>브로커 비밀번호에는 사용자가 필요합니다</translation>
    </message>
    <message>
        <source>the CA file %1 does not exist</source>
        <translation>CA 파일 %1이(가) 없습니다</translation>
    </message>
    <message>
        <source>no fleet key: anyone who may publish on the broker can confirm or forge events (give one with --fleet-key-file, [MQTT] KEY_FILE or DIALKITE_FLEET_KEY_FILE)</source>
        <translation>fleet 키가 없습니다: 브로커에 발행할 수 있는 누구나 이벤트를 확인하거나 위조할 수 있습니다 (--fleet-key-file, [MQTT] KEY_FILE 또는 DIALKITE_FLEET_KEY_FILE로 주십시오)</translation>
    </message>
    <message>
        <source>a box needs a name</source>
        <translation>장비에는 이름이 필요합니다</translation>
    </message>
    <message>
        <source>box name &quot;%1...&quot; is longer than 64 characters</source>
        <translation>장비 이름 &quot;%1...&quot;이(가) 64자보다 깁니다</translation>
    </message>
    <message>
        <source>box name &quot;%1&quot; may not hold +, #, / or control characters</source>
        <translation>장비 이름 &quot;%1&quot;에는 +, #, / 나 제어 문자를 쓸 수 없습니다</translation>
    </message>
    <message>
        <source>cannot use the spool %1: %2; it is left as it is, and events wait in memory until they are delivered (at most %3 a box; a program that ends loses them)</source>
        <translation>대기열 %1을(를) 쓸 수 없습니다: %2. 그대로 두고, 이벤트는 전달될 때까지 메모리에서 기다립니다 (장비당 최대 %3개, 프로그램이 끝나면 잃습니다)</translation>
    </message>
    <message>
        <source>cannot keep events in the spool %1: %2; they wait in memory and are tried again</source>
        <translation>대기열 %1에 이벤트를 보관할 수 없습니다: %2. 메모리에서 기다리며 다시 시도합니다</translation>
    </message>
    <message>
        <source>the spool %1 takes events again</source>
        <translation>대기열 %1이(가) 다시 이벤트를 받습니다</translation>
    </message>
    <message>
        <source>no collector has confirmed the events of box %1 for %2 minutes; %3 wait in the spool</source>
        <translation>%2분 동안 어떤 수집기도 장비 %1의 이벤트를 확인하지 않았습니다. %3개가 대기열에서 기다립니다</translation>
    </message>
    <message>
        <source>settings [MQTT]: %1; nothing is published</source>
        <translation>설정 [MQTT]: %1. 아무것도 발행하지 않습니다</translation>
    </message>
    <message>
        <source>the page is on http://%1:%2/</source>
        <translation>페이지 주소: http://%1:%2/</translation>
    </message>
    <message>
        <source>in use by another program (process %1)</source>
        <translation>다른 프로그램이 사용 중입니다 (프로세스 %1)</translation>
    </message>
    <message>
        <source>cannot lock it</source>
        <translation>잠글 수 없습니다</translation>
    </message>
    <message>
        <source>not an SQLite database or damaged</source>
        <translation>SQLite 데이터베이스가 아니거나 손상되었습니다</translation>
    </message>
    <message>
        <source>written by a newer program (schema %1)</source>
        <translation>더 새로운 프로그램이 썼습니다 (스키마 %1)</translation>
    </message>
    <message>
        <source>a database of another program</source>
        <translation>다른 프로그램의 데이터베이스입니다</translation>
    </message>
    <message>
        <source>the spool refused the write</source>
        <translation>대기열이 쓰기를 거부했습니다</translation>
    </message>
    <message>
        <source>the page listens on %1, beyond this PC: it needs a token ([HTTP] TOKEN or DIALKITE_HTTP_TOKEN)</source>
        <translation>페이지가 이 PC 밖(%1)에서 접속을 받습니다: 토큰이 필요합니다 ([HTTP] TOKEN 또는 DIALKITE_HTTP_TOKEN)</translation>
    </message>
    <message>
        <source>this page answers to 127.0.0.1, localhost, [::1], %1 and the names in [HTTP] HOSTS only</source>
        <translation>이 페이지는 127.0.0.1, localhost, [::1], %1 그리고 [HTTP] HOSTS의 이름으로만 답합니다</translation>
    </message>
    <message>
        <source>line %1: &apos;%2&apos; is not a telephone number</source>
        <translation>%1번째 줄: &apos;%2&apos;은(는) 전화번호가 아닙니다</translation>
    </message>
    <message>
        <source>line %1: %2 is %3&apos;s number already</source>
        <translation>%1번째 줄: %2은(는) 이미 %3의 번호입니다</translation>
    </message>
    <message>
        <source>line %1: no name</source>
        <translation>%1번째 줄: 이름이 없습니다</translation>
    </message>
    <message>
        <source>line %1: %2 has no number</source>
        <translation>%1번째 줄: %2에 번호가 없습니다</translation>
    </message>
    <message>
        <source>on-call: cannot run %1: %2 (call %3)</source>
        <translation>on-call: %1을(를) 실행할 수 없습니다: %2 (통화 %3)</translation>
    </message>
    <message>
        <source>on-call: %1 did not end within %2 s and was stopped (call %3)</source>
        <translation>on-call: %1이(가) %2초 안에 끝나지 않아 멈췄습니다 (통화 %3)</translation>
    </message>
    <message>
        <source>on-call: %1 ended with status %2 (call %3)</source>
        <translation>on-call: %1이(가) 상태 %2(으)로 끝났습니다 (통화 %3)</translation>
    </message>
    <message>
        <source>webhook: cannot reach %1: %2; kept, and tried again</source>
        <translation>webhook: %1에 닿을 수 없습니다: %2. 보관하고 다시 시도합니다</translation>
    </message>
    <message>
        <source>webhook: %1 answered %2; kept, and tried again</source>
        <translation>webhook: %1이(가) %2(으)로 답했습니다. 보관하고 다시 시도합니다</translation>
    </message>
    <message>
        <source>webhook: %1 answered %2 for call %3; it is not sent again</source>
        <translation>webhook: %1이(가) 통화 %3에 %2(으)로 답했습니다. 다시 보내지 않습니다</translation>
    </message>
    <message>
        <source>[ACTIONS] STATUS takes %1, not &apos;%2&apos;</source>
        <translation>[ACTIONS] STATUS은(는) %1입니다. &apos;%2&apos;은(는) 안 됩니다</translation>
    </message>
    <message>
        <source>[ACTIONS] CONTACTS takes known or unknown, not &apos;%1&apos;</source>
        <translation>[ACTIONS] CONTACTS은(는) known 또는 unknown입니다. &apos;%1&apos;은(는) 안 됩니다</translation>
    </message>
    <message>
        <source>cannot read the webhook&apos;s token %1: %2</source>
        <translation>webhook 토큰 %1을(를) 읽을 수 없습니다: %2</translation>
    </message>
    <message>
        <source>the webhook&apos;s token may hold only visible ASCII characters</source>
        <translation>webhook 토큰에는 보이는 ASCII 문자만 쓸 수 있습니다</translation>
    </message>
    <message>
        <source>--on-call has a quote that is not closed: %1</source>
        <translation>--on-call에 닫히지 않은 따옴표가 있습니다: %1</translation>
    </message>
    <message>
        <source>the webhook is http://HOST[:PORT]/PATH or https://..., not &apos;%1&apos;</source>
        <translation>webhook은 http://HOST[:PORT]/PATH 또는 https://... 입니다. &apos;%1&apos;은(는) 안 됩니다</translation>
    </message>
    <message>
        <source>[ACTIONS] TIMEOUT takes 1 to 600 seconds, not &apos;%1&apos;</source>
        <translation>[ACTIONS] TIMEOUT은(는) 1초부터 600초까지입니다. &apos;%1&apos;은(는) 안 됩니다</translation>
    </message>
    <message>
        <source>%1 is larger than 64 MB: not a phonebook</source>
        <translation>%1은(는) 64 MB보다 큽니다: 연락처 파일이 아닙니다</translation>
    </message>
    <message>
        <source>cannot import into the phonebook: %1</source>
        <translation>연락처로 가져올 수 없습니다: %1</translation>
    </message>
    <message>
        <source>%1 (%2): %3 added, %4 merged, %5 unchanged, %6 refused</source>
        <translation>%1 (%2): 추가 %3, 병합 %4, 그대로 %5, 거부 %6</translation>
    </message>
    <message>
        <source>cannot read the phonebook: %1</source>
        <translation>연락처를 읽을 수 없습니다: %1</translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation>%1을(를) 쓸 수 없습니다: %2</translation>
    </message>
    <message>
        <source>%1 contacts written to %2</source>
        <translation>연락처 %1개를 %2에 썼습니다</translation>
    </message>
    <message>
        <source>cannot add to the phonebook: %1</source>
        <translation>연락처에 추가할 수 없습니다: %1</translation>
    </message>
    <message>
        <source>added %1</source>
        <translation>%1을(를) 추가했습니다</translation>
    </message>
    <message>
        <source>%1: numbers added</source>
        <translation>%1: 번호를 추가했습니다</translation>
    </message>
    <message>
        <source>import and export take one FILE</source>
        <translation>import와 export는 FILE 하나를 받습니다</translation>
    </message>
    <message>
        <source>list takes no more words (--search TEXT finds some)</source>
        <translation>list는 더 받지 않습니다 (--search TEXT로 찾습니다)</translation>
    </message>
    <message>
        <source>remove takes the ID that list shows</source>
        <translation>remove는 list가 보여 주는 ID를 받습니다</translation>
    </message>
    <message>
        <source>add takes NAME and at least one NUMBER</source>
        <translation>add는 NAME과 NUMBER 하나 이상을 받습니다</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not one of import, list, add, remove, export</source>
        <translation>&apos;%1&apos;은(는) import, list, add, remove, export 중 하나가 아닙니다</translation>
    </message>
    <message>
        <source>remove takes the ID that list shows, not &apos;%1&apos;</source>
        <translation>remove는 list가 보여 주는 ID를 받습니다. &apos;%1&apos;은(는) 안 됩니다</translation>
    </message>
    <message>
        <source>there is no contact %1</source>
        <translation>연락처 %1이(가) 없습니다</translation>
    </message>
    <message>
        <source>removed contact %1</source>
        <translation>연락처 %1을(를) 지웠습니다</translation>
    </message>
    <message>
        <source>%1: delivering again</source>
        <translation>%1: 다시 전달합니다</translation>
    </message>
    <message>
        <source>%1: cannot use the spool %2: %3; calls wait in memory until they are delivered (a program that ends loses them)</source>
        <translation>%1: 대기열 %2을(를) 쓸 수 없습니다: %3. 통화는 전달될 때까지 메모리에서 기다립니다 (프로그램이 끝나면 잃습니다)</translation>
    </message>
    <message>
        <source>%1 calls were not yet in the actions&apos; spool</source>
        <translation>통화 %1개가 아직 동작 대기열에 없었습니다</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a telephone number</source>
        <translation>&apos;%1&apos;은(는) 전화번호가 아닙니다</translation>
    </message>
</context>
<context>
    <name>window</name>
    <message>
        <source>다이얼카이트 ( DIAL KITE )</source>
        <translation>다이얼카이트 ( DIAL KITE )</translation>
    </message>
    <message>
        <source>통신포트</source>
        <translation>통신포트</translation>
    </message>
    <message>
        <source>장비선택</source>
        <translation>장비선택</translation>
    </message>
    <message>
        <source>장비확인</source>
        <translation>장비확인</translation>
    </message>
    <message>
        <source>볼륨조절</source>
        <translation>볼륨조절</translation>
    </message>
    <message>
        <source>전화걸기</source>
        <translation>전화걸기</translation>
    </message>
    <message>
        <source>전화끊기</source>
        <translation>전화끊기</translation>
    </message>
    <message>
        <source>장비변경</source>
        <translation>장비변경</translation>
    </message>
    <message>
        <source>설정상태</source>
        <translation>설정상태</translation>
    </message>
    <message>
        <source>채널</source>
        <translation>채널</translation>
    </message>
    <message>
        <source>수신시각</source>
        <translation>수신시각</translation>
    </message>
    <message>
        <source>수신번호</source>
        <translation>수신번호</translation>
    </message>
    <message>
        <source>상태</source>
        <translation>상태</translation>
    </message>
    <message>
        <source>번호</source>
        <translation>번호</translation>
    </message>
    <message>
        <source>통신데이타 ( PC -&gt; 장치 )</source>
        <translation>통신데이타 ( PC -&gt; 장치 )</translation>
    </message>
    <message>
        <source>통신데이타 ( 장치 -&gt; PC )</source>
        <translation>통신데이타 ( 장치 -&gt; PC )</translation>
    </message>
    <message>
        <source>장비명</source>
        <translation>장비명</translation>
    </message>
    <message>
        <source>버  젼</source>
        <translation>버  젼</translation>
    </message>
    <message>
        <source>프로그램을 종료 하시겠습니까?</source>
        <translation>프로그램을 종료 하시겠습니까?</translation>
    </message>
    <message>
        <source>프로그램 종료</source>
        <translation>프로그램 종료</translation>
    </message>
    <message>
        <source>COM 포트를 열수가 없습니다. 포트를 확인하십시오</source>
        <translation>COM 포트를 열수가 없습니다. 포트를 확인하십시오</translation>
    </message>
    <message>
        <source>Port Error</source>
        <translation>Port Error</translation>
    </message>
    <message>
        <source>장치: </source>
        <translation>장치: </translation>
    </message>
    <message>
        <source>이유: </source>
        <translation>이유: </translation>
    </message>
    <message>
        <source>(연결할 장치가 정해지지 않음)</source>
        <translation>(연결할 장치가 정해지지 않음)</translation>
    </message>
    <message>
        <source>통신포트 연결이 끊겼습니다 (%1). 장치가 다시 연결되면 자동으로 엽니다.</source>
        <translation>통신포트 연결이 끊겼습니다 (%1). 장치가 다시 연결되면 자동으로 엽니다.</translation>
    </message>
    <message>
        <source>통신포트 연결이 끊겼습니다 (%1). 통신포트 버튼으로 다시 여십시오.</source>
        <translation>통신포트 연결이 끊겼습니다 (%1). 통신포트 버튼으로 다시 여십시오.</translation>
    </message>
    <message>
        <source>다시 연결되었습니다 (%1).</source>
        <translation>다시 연결되었습니다 (%1).</translation>
    </message>
    <message>
        <source>아직 통신포트를 고르지 않았습니다. 통신포트 창에서 장비가 연결된 포트를 고르십시오.</source>
        <translation>아직 통신포트를 고르지 않았습니다. 통신포트 창에서 장비가 연결된 포트를 고르십시오.</translation>
    </message>
    <message>
        <source>장치가 빠졌거나 상대편이 닫았습니다</source>
        <translation>장치가 빠졌거나 상대편이 닫았습니다</translation>
    </message>
    <message>
        <source>다른 프로그램이 사용 중입니다</source>
        <translation>다른 프로그램이 사용 중입니다</translation>
    </message>
    <message>
        <source>그런 장치가 없습니다</source>
        <translation>그런 장치가 없습니다</translation>
    </message>
    <message>
        <source>열 권한이 없습니다</source>
        <translation>열 권한이 없습니다</translation>
    </message>
    <message>
        <source>%1번 포트에 정해진 장치가 없습니다</source>
        <translation>%1번 포트에 정해진 장치가 없습니다</translation>
    </message>
    <message>
        <source>닫힘: </source>
        <translation>닫힘: </translation>
    </message>
    <message>
        <source>포트를 닫았습니다</source>
        <translation>포트를 닫았습니다</translation>
    </message>
    <message>
        <source>발신번호를 입력하여 주십시요</source>
        <translation>발신번호를 입력하여 주십시요</translation>
    </message>
    <message>
        <source>에러메세지</source>
        <translation>에러메세지</translation>
    </message>
    <message>
        <source>기록 중지</source>
        <translation>기록 중지</translation>
    </message>
    <message>
        <source>통신 기록을 저장할 수 없어 기록을 멈췄습니다. 장비와의 통신은 계속됩니다.</source>
        <translation>통신 기록을 저장할 수 없어 기록을 멈췄습니다. 장비와의 통신은 계속됩니다.</translation>
    </message>
    <message>
        <source>통화 기록</source>
        <translation>통화 기록</translation>
    </message>
    <message>
        <source>통화 기록 보기 (Ctrl+H)</source>
        <translation>통화 기록 보기 (Ctrl+H)</translation>
    </message>
    <message>
        <source>번호 검색</source>
        <translation>번호 검색</translation>
    </message>
    <message>
        <source>전체</source>
        <translation>전체</translation>
    </message>
    <message>
        <source>부터</source>
        <translation>부터</translation>
    </message>
    <message>
        <source>까지</source>
        <translation>까지</translation>
    </message>
    <message>
        <source>기간</source>
        <translation>기간</translation>
    </message>
    <message>
        <source>CSV로 저장</source>
        <translation>CSV로 저장</translation>
    </message>
    <message>
        <source>PC 시각</source>
        <translation>PC 시각</translation>
    </message>
    <message>
        <source>장비</source>
        <translation>장비</translation>
    </message>
    <message>
        <source>통화 기록 중지</source>
        <translation>통화 기록 중지</translation>
    </message>
    <message>
        <source>통화 기록을 저장할 수 없어 기록을 멈췄습니다. 장비와의 통신은 계속됩니다.</source>
        <translation>통화 기록을 저장할 수 없어 기록을 멈췄습니다. 장비와의 통신은 계속됩니다.</translation>
    </message>
    <message>
        <source>통화 기록 파일을 읽을 수 없어 옆으로 옮기고 새 기록을 시작했습니다.</source>
        <translation>통화 기록 파일을 읽을 수 없어 옆으로 옮기고 새 기록을 시작했습니다.</translation>
    </message>
    <message>
        <source>저장 실패</source>
        <translation>저장 실패</translation>
    </message>
    <message>
        <source>%1건</source>
        <translation>%1건</translation>
    </message>
    <message>
        <source>검색 결과 없음</source>
        <translation>검색 결과 없음</translation>
    </message>
    <message>
        <source>기간이 거꾸로입니다: 시작(%1)이 끝(%2)보다 늦습니다. 날짜를 고쳐 주십시오.</source>
        <translation>기간이 거꾸로입니다: 시작(%1)이 끝(%2)보다 늦습니다. 날짜를 고쳐 주십시오.</translation>
    </message>
    <message>
        <source>CSV로 저장했습니다 (%1건): %2</source>
        <translation>CSV로 저장했습니다 (%1건): %2</translation>
    </message>
    <message>
        <source>파랑: 장비확인을 마친 장비가 보낸 통화 · 빨강: 장비확인과 상관없이 받는 통화 · 검정: 색을 구분하지 않는 종류의 통화</source>
        <translation>파랑: 장비확인을 마친 장비가 보낸 통화 · 빨강: 장비확인과 상관없이 받는 통화 · 검정: 색을 구분하지 않는 종류의 통화</translation>
    </message>
    <message>
        <source>설정 저장 실패</source>
        <translation>설정 저장 실패</translation>
    </message>
    <message>
        <source>설정 파일에 저장하지 못했습니다. 선택한 값은 프로그램을 끝낼 때까지만 유지됩니다.</source>
        <translation>설정 파일에 저장하지 못했습니다. 선택한 값은 프로그램을 끝낼 때까지만 유지됩니다.</translation>
    </message>
    <message>
        <source>복사</source>
        <translation>복사</translation>
    </message>
    <message>
        <source>CSV로 저장...</source>
        <translation>CSV로 저장...</translation>
    </message>
    <message>
        <source>연결됨</source>
        <translation>연결됨</translation>
    </message>
    <message>
        <source>장치 없음</source>
        <translation>장치 없음</translation>
    </message>
    <message>
        <source>발견된 장치</source>
        <translation>발견된 장치</translation>
    </message>
    <message>
        <source>선택한 번호에 연결</source>
        <translation>선택한 번호에 연결</translation>
    </message>
    <message>
        <source>(발견된 USB/직렬 장치 없음)</source>
        <translation>(발견된 USB/직렬 장치 없음)</translation>
    </message>
    <message>
        <source>발신번호표시금지</source>
        <translation>발신번호표시금지</translation>
    </message>
    <message>
        <source>공중전화</source>
        <translation>공중전화</translation>
    </message>
    <message>
        <source>발신번호수집불가</source>
        <translation>발신번호수집불가</translation>
    </message>
    <message>
        <source>통신포트 설정</source>
        <translation>통신포트 설정</translation>
    </message>
    <message>
        <source>설정</source>
        <translation>설정</translation>
    </message>
    <message>
        <source>취소</source>
        <translation>취소</translation>
    </message>
    <message>
        <source>다이얼카이트 장비 변경</source>
        <translation>다이얼카이트 장비 변경</translation>
    </message>
    <message>
        <source>변경할 다이얼카이트 장비 설정</source>
        <translation>변경할 다이얼카이트 장비 설정</translation>
    </message>
    <message>
        <source>확 인</source>
        <translation>확 인</translation>
    </message>
    <message>
        <source>취 소</source>
        <translation>취 소</translation>
    </message>
    <message>
        <source>다이얼카이트 장비 설정</source>
        <translation>다이얼카이트 장비 설정</translation>
    </message>
    <message>
        <source>시험할 다이얼카이트 장비 설정</source>
        <translation>시험할 다이얼카이트 장비 설정</translation>
    </message>
    <message>
        <source>확인</source>
        <translation>확인</translation>
    </message>
    <message>
        <source>발신할 Channel을 선택하세요</source>
        <translation>발신할 Channel을 선택하세요</translation>
    </message>
    <message>
        <source>발신번호를 입력하세요.</source>
        <translation>발신번호를 입력하세요.</translation>
    </message>
    <message>
        <source>발신중지할 Channel을 선택하세요</source>
        <translation>발신중지할 Channel을 선택하세요</translation>
    </message>
    <message>
        <source>다이얼카이트 상태확인 및 설정</source>
        <translation>다이얼카이트 상태확인 및 설정</translation>
    </message>
    <message>
        <source>HOOK/RING 검출 안함</source>
        <translation>HOOK/RING 검출 안함</translation>
    </message>
    <message>
        <source>HOOK 검출 사용</source>
        <translation>HOOK 검출 사용</translation>
    </message>
    <message>
        <source>HOOK/RING 검출 사용</source>
        <translation>HOOK/RING 검출 사용</translation>
    </message>
    <message>
        <source>상태 읽어오기</source>
        <translation>상태 읽어오기</translation>
    </message>
    <message>
        <source>스피커 볼륨조절</source>
        <translation>스피커 볼륨조절</translation>
    </message>
    <message>
        <source>장비 스피커 볼륨조절</source>
        <translation>장비 스피커 볼륨조절</translation>
    </message>
    <message>
        <source>끔</source>
        <translation>끔</translation>
    </message>
    <message>
        <source>작게</source>
        <translation>작게</translation>
    </message>
    <message>
        <source>중간</source>
        <translation>중간</translation>
    </message>
    <message>
        <source>크게</source>
        <translation>크게</translation>
    </message>
    <message>
        <source>색</source>
        <translation>색</translation>
    </message>
    <message>
        <source>종류</source>
        <translation>종류</translation>
    </message>
    <message>
        <source>포트</source>
        <translation>포트</translation>
    </message>
    <message>
        <source>충돌</source>
        <translation>충돌</translation>
    </message>
    <message>
        <source>파랑</source>
        <translation>파랑</translation>
    </message>
    <message>
        <source>빨강</source>
        <translation>빨강</translation>
    </message>
    <message>
        <source>번호</source>
        <comment>call status</comment>
        <translation>번호</translation>
    </message>
    <message>
        <source>전화: %1</source>
        <translation>전화: %1</translation>
    </message>
    <message>
        <source>채널 %1</source>
        <translation>채널 %1</translation>
    </message>
    <message>
        <source>이름</source>
        <translation>이름</translation>
    </message>
    <message>
        <source>연락처에 추가 / 수정</source>
        <translation>연락처에 추가 / 수정</translation>
    </message>
</context>
</TS>
