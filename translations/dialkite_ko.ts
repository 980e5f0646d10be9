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
</context>
</TS>
