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
</context>
</TS>
