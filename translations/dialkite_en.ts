<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ko_KR">
<context>
    <name>dialkite</name>
    <message>
        <source>cannot open %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PASSED</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>FAILED</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>time: %1 s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>capture: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>report: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>station page: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 passed, %2 failed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>, %1 not run</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The station page stays open until Enter.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no command given</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>unknown command &apos;%1&apos;; did you mean &apos;%2&apos;?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>unknown command &apos;%1&apos;; the commands are %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>trying again in %1 s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>unexpected argument &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is given twice</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 needs a value</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 takes %2 to %3, not &apos;%4&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>unknown option %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1; did you mean %2?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>see &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>device removed or closed by the other end</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>in use by another program</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no such device</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not permitted to open it</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--lang takes ko or en, not &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the report %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the capture %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the history %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot read %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the JUnit report %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the run&apos;s record is not kept in %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>box %1 (publisher %2): the events from %3 on are missing; %4 were stored after them</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a new fleet key is in %1; give it to every monitor and collector of the fleet</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot copy %1: %2 (%3 events copied before)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>copied %1 events to %2 (%3 were there already), %4 runs</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no call history at %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot search %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>(answered on the page: %1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 takes %2, not &apos;%3&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a positive number of milliseconds</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>milliseconds (0 for never)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a rate above 0 and at most 1000 a second</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a positive number</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a factor of 0 or more</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--link %1 exists and is not a link</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot make the link %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>box %1: event %2 came again with other content (%3 %4); both are kept and marked as a conflict</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a PostgreSQL history is postgresql://USER@HOST[:PORT]/DB</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a PostgreSQL history takes no option %1 (only %2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the option %1 of a PostgreSQL history is not one</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the database %1 holds another program&apos;s tables and no call history; it is left as it is</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the history is locked: it could not be put in WAL mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no pg_trgm here (%1): a search by part of a number reads every row</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the database holds another program&apos;s events; this one leaves it as it is</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot read the schema version</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the history was written by a newer program (schema %1); this one leaves it as it is</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot move %1 aside</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no schema %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot make the folder %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot start a history at %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot reach the history: %1; tried again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot store in %1: %2; nothing is confirmed until it can, and it is tried again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the history %1 was deleted or replaced while it was written; nothing more is confirmed from the file that went, and what was not yet told stored goes into the history at %1 now</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the history stayed locked by another program</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot make the capture folder %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot write capture %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the disk took only part of it</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the last lines were not written in time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>recording stopped: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>capture: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the fleet key %1 cannot be read: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the fleet key %1 may be read by others; make it yours alone (chmod 600 %1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the fleet key %1 holds %2 bytes; it needs at least %3 random bytes (dialkite-cli fleet-key new FILE makes one)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot write the fleet key %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>connected to %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the broker at %1 refused the connection: %2; retrying</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot reach the broker at %1: %2; retrying</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>lost the broker at %1; retrying, events are kept until it is back</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the broker is mqtt://[USER[:PASSWORD]@]HOST[:PORT] or mqtts://...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the broker&apos;s password needs a user</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the CA file %1 does not exist</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no fleet key: anyone who may publish on the broker can confirm or forge events (give one with --fleet-key-file, [MQTT] KEY_FILE or DIALKITE_FLEET_KEY_FILE)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a box needs a name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>box name &quot;%1...&quot; is longer than 64 characters</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>box name &quot;%1&quot; may not hold +, #, / or control characters</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot use the spool %1: %2; it is left as it is, and events wait in memory until they are delivered (at most %3 a box; a program that ends loses them)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot keep events in the spool %1: %2; they wait in memory and are tried again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the spool %1 takes events again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no collector has confirmed the events of box %1 for %2 minutes; %3 wait in the spool</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>settings [MQTT]: %1; nothing is published</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the page is on http://%1:%2/</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>in use by another program (process %1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot lock it</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not an SQLite database or damaged</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>written by a newer program (schema %1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a database of another program</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the spool refused the write</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the page listens on %1, beyond this PC: it needs a token ([HTTP] TOKEN or DIALKITE_HTTP_TOKEN)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>this page answers to 127.0.0.1, localhost, [::1], %1 and the names in [HTTP] HOSTS only</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>line %1: &apos;%2&apos; is not a telephone number</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>line %1: %2 is %3&apos;s number already</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>line %1: no name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>line %1: %2 has no number</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>on-call: cannot run %1: %2 (call %3)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>on-call: %1 did not end within %2 s and was stopped (call %3)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>on-call: %1 ended with status %2 (call %3)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>webhook: cannot reach %1: %2; kept, and tried again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>webhook: %1 answered %2; kept, and tried again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>webhook: %1 answered %2 for call %3; it is not sent again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>[ACTIONS] STATUS takes %1, not &apos;%2&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>[ACTIONS] CONTACTS takes known or unknown, not &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot read the webhook&apos;s token %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the webhook&apos;s token may hold only visible ASCII characters</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--on-call has a quote that is not closed: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the webhook is http://HOST[:PORT]/PATH or https://..., not &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>[ACTIONS] TIMEOUT takes 1 to 600 seconds, not &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is larger than 64 MB: not a phonebook</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot import into the phonebook: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 (%2): %3 added, %4 merged, %5 unchanged, %6 refused</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot read the phonebook: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 contacts written to %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot add to the phonebook: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>added %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: numbers added</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>import and export take one FILE</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>list takes no more words (--search TEXT finds some)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>remove takes the ID that list shows</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>add takes NAME and at least one NUMBER</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not one of import, list, add, remove, export</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>remove takes the ID that list shows, not &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>there is no contact %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>removed contact %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: delivering again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: cannot use the spool %2: %3; calls wait in memory until they are delivered (a program that ends loses them)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 calls were not yet in the actions&apos; spool</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a telephone number</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>window</name>
    <message>
        <source>다이얼카이트 ( DIAL KITE )</source>
        <translation>Dial Kite ( DIAL KITE )</translation>
    </message>
    <message>
        <source>통신포트</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>장비선택</source>
        <translation>Select</translation>
    </message>
    <message>
        <source>장비확인</source>
        <translation>Identify</translation>
    </message>
    <message>
        <source>볼륨조절</source>
        <translation>Volume</translation>
    </message>
    <message>
        <source>전화걸기</source>
        <translation>Dial</translation>
    </message>
    <message>
        <source>전화끊기</source>
        <translation>Hang up</translation>
    </message>
    <message>
        <source>장비변경</source>
        <translation>Change</translation>
    </message>
    <message>
        <source>설정상태</source>
        <translation>Detection</translation>
    </message>
    <message>
        <source>채널</source>
        <translation>Line</translation>
    </message>
    <message>
        <source>수신시각</source>
        <translation>Time received</translation>
    </message>
    <message>
        <source>수신번호</source>
        <translation>Number received</translation>
    </message>
    <message>
        <source>상태</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>번호</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>통신데이타 ( PC -&gt; 장치 )</source>
        <translation>Data ( PC -&gt; box )</translation>
    </message>
    <message>
        <source>통신데이타 ( 장치 -&gt; PC )</source>
        <translation>Data ( box -&gt; PC )</translation>
    </message>
    <message>
        <source>장비명</source>
        <translation>Box</translation>
    </message>
    <message>
        <source>버  젼</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>프로그램을 종료 하시겠습니까?</source>
        <translation>Quit the program?</translation>
    </message>
    <message>
        <source>프로그램 종료</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>COM 포트를 열수가 없습니다. 포트를 확인하십시오</source>
        <translation>Cannot open the COM port. Please check the port.</translation>
    </message>
    <message>
        <source>Port Error</source>
        <translation>Port Error</translation>
    </message>
    <message>
        <source>장치: </source>
        <translation>Device: </translation>
    </message>
    <message>
        <source>이유: </source>
        <translation>Reason: </translation>
    </message>
    <message>
        <source>(연결할 장치가 정해지지 않음)</source>
        <translation>(no device assigned to this port)</translation>
    </message>
    <message>
        <source>통신포트 연결이 끊겼습니다 (%1). 장치가 다시 연결되면 자동으로 엽니다.</source>
        <translation>The serial port was lost (%1). It will be opened again by itself when the device is back.</translation>
    </message>
    <message>
        <source>통신포트 연결이 끊겼습니다 (%1). 통신포트 버튼으로 다시 여십시오.</source>
        <translation>The serial port was lost (%1). Open it again with the Serial port button.</translation>
    </message>
    <message>
        <source>다시 연결되었습니다 (%1).</source>
        <translation>Connected again (%1).</translation>
    </message>
    <message>
        <source>아직 통신포트를 고르지 않았습니다. 통신포트 창에서 장비가 연결된 포트를 고르십시오.</source>
        <translation>No serial port has been chosen yet. Choose the port the box is on in the Serial port window.</translation>
    </message>
    <message>
        <source>장치가 빠졌거나 상대편이 닫았습니다</source>
        <translation>the device was unplugged or closed by the other end</translation>
    </message>
    <message>
        <source>다른 프로그램이 사용 중입니다</source>
        <translation>in use by another program</translation>
    </message>
    <message>
        <source>그런 장치가 없습니다</source>
        <translation>no such device</translation>
    </message>
    <message>
        <source>열 권한이 없습니다</source>
        <translation>no permission to open it</translation>
    </message>
    <message>
        <source>%1번 포트에 정해진 장치가 없습니다</source>
        <translation>no device is assigned to port %1</translation>
    </message>
    <message>
        <source>닫힘: </source>
        <translation>Closed: </translation>
    </message>
    <message>
        <source>포트를 닫았습니다</source>
        <translation>the port was closed</translation>
    </message>
    <message>
        <source>발신번호를 입력하여 주십시요</source>
        <translation>Please enter the number to dial</translation>
    </message>
    <message>
        <source>에러메세지</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>기록 중지</source>
        <translation>Recording stopped</translation>
    </message>
    <message>
        <source>통신 기록을 저장할 수 없어 기록을 멈췄습니다. 장비와의 통신은 계속됩니다.</source>
        <translation>The capture could not be saved, so recording stopped. The console keeps serving the box.</translation>
    </message>
    <message>
        <source>통화 기록</source>
        <translation>Call history</translation>
    </message>
    <message>
        <source>통화 기록 보기 (Ctrl+H)</source>
        <translation>Call history (Ctrl+H)</translation>
    </message>
    <message>
        <source>번호 검색</source>
        <translation>Search number</translation>
    </message>
    <message>
        <source>전체</source>
        <translation>All</translation>
    </message>
    <message>
        <source>부터</source>
        <translation>from</translation>
    </message>
    <message>
        <source>까지</source>
        <translation>until</translation>
    </message>
    <message>
        <source>기간</source>
        <translation>Period</translation>
    </message>
    <message>
        <source>CSV로 저장</source>
        <translation>Save as CSV</translation>
    </message>
    <message>
        <source>PC 시각</source>
        <translation>PC time</translation>
    </message>
    <message>
        <source>장비</source>
        <translation>Box</translation>
    </message>
    <message>
        <source>통화 기록 중지</source>
        <translation>Call history stopped</translation>
    </message>
    <message>
        <source>통화 기록을 저장할 수 없어 기록을 멈췄습니다. 장비와의 통신은 계속됩니다.</source>
        <translation>The call history could not be saved, so it stopped. The console keeps serving the box.</translation>
    </message>
    <message>
        <source>통화 기록 파일을 읽을 수 없어 옆으로 옮기고 새 기록을 시작했습니다.</source>
        <translation>The call history file could not be read; it was moved aside and a new history begun.</translation>
    </message>
    <message>
        <source>저장 실패</source>
        <translation>Save failed</translation>
    </message>
    <message>
        <source>%1건</source>
        <translation>%1 calls</translation>
    </message>
    <message>
        <source>검색 결과 없음</source>
        <translation>Nothing found</translation>
    </message>
    <message>
        <source>기간이 거꾸로입니다: 시작(%1)이 끝(%2)보다 늦습니다. 날짜를 고쳐 주십시오.</source>
        <translation>The period is backwards: its start (%1) is later than its end (%2). Please correct the dates.</translation>
    </message>
    <message>
        <source>CSV로 저장했습니다 (%1건): %2</source>
        <translation>Saved as CSV (%1 calls): %2</translation>
    </message>
    <message>
        <source>파랑: 장비확인을 마친 장비가 보낸 통화 · 빨강: 장비확인과 상관없이 받는 통화 · 검정: 색을 구분하지 않는 종류의 통화</source>
        <translation>Blue: a call from a box that was identified · Red: a call received whether or not the box was identified · Black: a call of a variant without colours</translation>
    </message>
    <message>
        <source>설정 저장 실패</source>
        <translation>Settings not saved</translation>
    </message>
    <message>
        <source>설정 파일에 저장하지 못했습니다. 선택한 값은 프로그램을 끝낼 때까지만 유지됩니다.</source>
        <translation>The settings file could not be written. The choice holds until the program ends.</translation>
    </message>
    <message>
        <source>복사</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>CSV로 저장...</source>
        <translation>Save as CSV...</translation>
    </message>
    <message>
        <source>연결됨</source>
        <translation>connected</translation>
    </message>
    <message>
        <source>장치 없음</source>
        <translation>no device</translation>
    </message>
    <message>
        <source>발견된 장치</source>
        <translation>Devices found</translation>
    </message>
    <message>
        <source>선택한 번호에 연결</source>
        <translation>Assign to the chosen number</translation>
    </message>
    <message>
        <source>(발견된 USB/직렬 장치 없음)</source>
        <translation>(no USB/serial devices found)</translation>
    </message>
    <message>
        <source>발신번호표시금지</source>
        <translation>Withheld</translation>
    </message>
    <message>
        <source>공중전화</source>
        <translation>Public phone</translation>
    </message>
    <message>
        <source>발신번호수집불가</source>
        <translation>Not collected</translation>
    </message>
    <message>
        <source>통신포트 설정</source>
        <translation>Serial port</translation>
    </message>
    <message>
        <source>설정</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>취소</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>다이얼카이트 장비 변경</source>
        <translation>Change box variant</translation>
    </message>
    <message>
        <source>변경할 다이얼카이트 장비 설정</source>
        <translation>Variant to program into the box</translation>
    </message>
    <message>
        <source>확 인</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>취 소</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>다이얼카이트 장비 설정</source>
        <translation>Select box variant</translation>
    </message>
    <message>
        <source>시험할 다이얼카이트 장비 설정</source>
        <translation>Variant of the box under test</translation>
    </message>
    <message>
        <source>확인</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>발신할 Channel을 선택하세요</source>
        <translation>Choose the line to dial from</translation>
    </message>
    <message>
        <source>발신번호를 입력하세요.</source>
        <translation>Enter the number to dial.</translation>
    </message>
    <message>
        <source>발신중지할 Channel을 선택하세요</source>
        <translation>Choose the line to hang up</translation>
    </message>
    <message>
        <source>다이얼카이트 상태확인 및 설정</source>
        <translation>Hook/ring detection</translation>
    </message>
    <message>
        <source>HOOK/RING 검출 안함</source>
        <translation>No HOOK/RING detection</translation>
    </message>
    <message>
        <source>HOOK 검출 사용</source>
        <translation>HOOK detection</translation>
    </message>
    <message>
        <source>HOOK/RING 검출 사용</source>
        <translation>HOOK/RING detection</translation>
    </message>
    <message>
        <source>상태 읽어오기</source>
        <translation>Read from the box</translation>
    </message>
    <message>
        <source>스피커 볼륨조절</source>
        <translation>Speaker volume</translation>
    </message>
    <message>
        <source>장비 스피커 볼륨조절</source>
        <translation>Box speaker volume</translation>
    </message>
    <message>
        <source>끔</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>작게</source>
        <translation>Low</translation>
    </message>
    <message>
        <source>중간</source>
        <translation>Medium</translation>
    </message>
    <message>
        <source>크게</source>
        <translation>High</translation>
    </message>
    <message>
        <source>색</source>
        <translation>Colour</translation>
    </message>
    <message>
        <source>종류</source>
        <translation>Variant</translation>
    </message>
    <message>
        <source>포트</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>충돌</source>
        <translation>Conflict</translation>
    </message>
    <message>
        <source>파랑</source>
        <translation>Blue</translation>
    </message>
    <message>
        <source>빨강</source>
        <translation>Red</translation>
    </message>
    <message>
        <source>번호</source>
        <comment>call status</comment>
        <translation>Number</translation>
    </message>
    <message>
        <source>전화: %1</source>
        <translation>Call: %1</translation>
    </message>
    <message>
        <source>채널 %1</source>
        <translation>Line %1</translation>
    </message>
    <message>
        <source>이름</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>연락처에 추가 / 수정</source>
        <translation>Add to / edit contacts</translation>
    </message>
</context>
</TS>
