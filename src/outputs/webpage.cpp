// The page, its script and its style, served by the program itself: nothing is fetched
// from anywhere else. Every text from a box or a broker goes into the page through
// textContent, never as markup.

#include "webpage.h"

#include <utility>

namespace dialkite::webpage {

const char kIndex[] = R"HTML(<!DOCTYPE html>
<html lang="ko">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>다이얼카이트 현황</title>
<link rel="stylesheet" href="/app.css">
<link rel="icon" href="/favicon.svg" type="image/svg+xml">
<script src="/app.js" defer></script>
</head>
<body>
<header><h1>다이얼카이트 현황</h1><span id="live-state" class="offline">연결 중…</span>
<button id="notify" type="button">알림 켜기</button></header>
<main>
<section id="boxes-section">
<h2>장비</h2>
<table id="boxes"><thead><tr><th>장비</th><th>상태</th><th class="wide">종류</th><th class="wide">장비명</th>
<th class="wide">버전</th><th>마지막 이벤트</th><th>오늘 통화</th><th class="wide">전송 대기</th></tr></thead>
<tbody></tbody></table>
</section>
<section id="live-section">
<h2>실시간</h2>
<table id="live"><thead><tr><th>PC 시각</th><th>장비</th><th>이벤트</th><th class="wide">채널</th><th>수신번호</th></tr></thead>
<tbody></tbody></table>
</section>
<section id="chart-section">
<h2>시간별 통화 (최근 24시간)</h2>
<form id="chart-form"><label>장비 <input name="box" size="10"></label>
<label>채널 <input name="line" size="3"></label><button type="submit">보기</button></form>
<div id="chart"></div>
</section>
<section id="search-section">
<h2>통화 검색</h2>
<form id="search"><label>번호/이름 <input name="number" size="14"></label>
<label>장비 <input name="box" size="10"></label>
<label>채널 <input name="line" size="3"></label>
<label>부터 <input name="since" size="10" placeholder="2026-12-01" pattern="\d{4}-\d{2}-\d{2}" inputmode="numeric"></label>
<label>까지 <input name="until" size="10" placeholder="2026-12-08" pattern="\d{4}-\d{2}-\d{2}" inputmode="numeric"></label>
<button type="submit">검색</button> <a id="csv" href="/api/calls?format=csv">CSV 내려받기</a></form>
<table id="calls"><thead><tr><th>PC 시각</th><th>장비</th><th>채널</th><th class="wide">수신시각</th><th>수신번호</th>
<th>상태</th><th class="wide">종류</th></tr></thead><tbody></tbody></table>
<p><button id="newer" type="button">이전</button> <span id="page"></span>
<button id="older" type="button">다음</button></p>
</section>
<section id="contacts-section">
<h2>연락처</h2>
<form id="contacts-search"><label>이름/번호 <input name="search" size="14"></label>
<button type="submit">찾기</button></form>
<form id="contacts-import"><label>CSV/vCard 파일 <input type="file" name="file"
accept=".csv,.vcf,.vcard,.txt,text/csv,text/vcard"></label> <button type="submit">가져오기</button></form>
<p id="contacts-result"></p>
<ul id="contacts-refused"></ul>
<table id="contacts"><thead><tr><th>이름</th><th>번호</th><th class="wide">메모</th></tr></thead>
<tbody></tbody></table>
</section>
</main>
</body>
</html>
)HTML";

namespace {

const char kSignInShape[] = R"HTML(<!DOCTYPE html>
<html lang="ko">
<head><meta charset="utf-8"><meta name="viewport" content="width=device-width, initial-scale=1">
<title>@TITLE@</title>
<link rel="stylesheet" href="@STYLE@">
<link rel="icon" href="/favicon.svg" type="image/svg+xml"></head>
<body><main class="sign-in"><h1>@HEADING@</h1>
<!--message-->
<form method="post" action="/login"><label>접속 토큰 <input name="token" type="password" autofocus></label>
<button type="submit">로그인</button></form></main></body></html>
)HTML";

} // namespace

std::string signInPage(const std::string &title, const std::string &heading,
                       const std::string &stylesheet)
{
    std::string page = kSignInShape;
    for (const auto &[marker, text] :
         {std::pair{std::string("@TITLE@"), title}, std::pair{std::string("@HEADING@"), heading},
          std::pair{std::string("@STYLE@"), stylesheet}})
        page.replace(page.find(marker), marker.size(), text);
    return page;
}

const char kWrongToken[] =
    R"HTML(<p class="offline" id="wrong-token">토큰이 맞지 않습니다.</p>)HTML";

const char kTooManyTries[] =
    R"HTML(<p class="offline" id="too-many-tries">틀린 토큰이 너무 많습니다. 1분 뒤에 다시 하십시오.</p>)HTML";

// The desktop's kite: a blue diamond with light spars, a white centre and a red tail.
const char kIcon[] = R"SVG(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 64 64">
<path d="M32 4 L54 26 L32 46 L10 26 Z" fill="#2b6cb0" stroke="#1a365d" stroke-width="2"/>
<path d="M32 4 V46 M10 26 H54" stroke="#bee3f8" stroke-width="2"/>
<path d="M32 46 C28 52 36 54 30 60" fill="none" stroke="#e53e3e" stroke-width="2"/>
<circle cx="32" cy="26" r="5" fill="#fff"/>
</svg>
)SVG";

const char kScript[] = R"JS('use strict';
const STATUS = {number: '번호', withheld: '발신번호표시금지', public_phone: '공중전화',
  not_collected: '발신번호수집불가'};
const KIND = {call: '통화', identification: '장비확인', detection: '설정상태', call_end: '통화종료',
  status: '상태'};
// Each variant's box name, from the program's own table ({"3": "DK-C", ...}).
const VARIANTS = /*VARIANTS*/{};
// A variant as people read it: its number with its box's name beside it.
function variantShown(variant) {
  return VARIANTS[variant] ? variant + ' (' + VARIANTS[variant] + ')' : variant;
}
const PAGE = 50;
let offset = 0;

function cell(row, text, cls) {
  const td = document.createElement('td');
  td.textContent = text === undefined || text === null ? '' : String(text);
  if (cls) td.className = cls;
  row.appendChild(td);
  return td;
}

// How long ago a PC time ("2026-12-08 15:33:00") was, as people say it: "3분 전".
function age(text) {
  const at = new Date(String(text || '').replace(' ', 'T'));
  if (isNaN(at)) return '';
  const s = Math.max(0, Math.round((Date.now() - at.getTime()) / 1000));
  if (s < 60) return '방금';
  if (s < 3600) return Math.floor(s / 60) + '분 전';
  if (s < 86400) return Math.floor(s / 3600) + '시간 전';
  return Math.floor(s / 86400) + '일 전';
}

// Whether the page's own feed is up: while it is down, no box's state is known here.
let feedUp = false;
let lastBoxes = [];

function colourOf(event) {
  return event.color === '#0000ff' ? 'blue' : event.color === '#ff0000' ? 'red' : '';
}

async function loadBoxes() {
  let boxes;
  try {
    const response = await fetch('/api/boxes', {credentials: 'same-origin'});
    if (!response.ok) return;
    boxes = await response.json();
  } catch (e) {
    feedUp = false; // the page's server is gone
    showBoxes(lastBoxes);
    return;
  }
  lastBoxes = boxes;
  showBoxes(boxes);
}

// A box is 온라인 only while its monitor says so; its monitor gone or silent, 오프라인; and
// while this page's own feed is down, nobody here can tell: 확인 불가.
function showBoxes(boxes) {
  const body = document.querySelector('#boxes tbody');
  body.replaceChildren();
  for (const box of boxes) {
    const row = document.createElement('tr');
    row.dataset.box = box.box;
    cell(row, box.box);
    if (!feedUp) cell(row, '확인 불가', 'unknown');
    else if (box.online === true) cell(row, '온라인', 'online');
    else cell(row, '오프라인', 'offline');
    cell(row, variantShown(box.variant), 'wide');
    cell(row, box.name, 'wide');
    cell(row, box.version, 'wide');
    const last = cell(row, box.last_event ? (KIND[box.last_event] || box.last_event) : '');
    if (box.last_time) {
      const when = document.createElement('span');
      when.className = 'age';
      when.dataset.time = box.last_time;
      when.textContent = ' ' + age(box.last_time);
      when.title = box.last_time;
      last.appendChild(when);
    }
    cell(row, box.calls_today);
    // Events its publisher holds, not yet stored here (unknown for a publisher that
    // does not say).
    cell(row, box.waiting === null || box.waiting === undefined ? '-' : box.waiting,
         'wide' + (box.waiting > 0 ? ' waiting' : ''));
    body.appendChild(row);
  }
}

// A call's number, with its caller's name first when the phonebook had one.
function who(call) {
  return call.name ? call.name + ' ' + call.number : call.number;
}

// "알림 켜기": while the tab is in the background, each new call as a notification of the
// browser, with a short tone.
let notifying = false;
function notifyCall(event) {
  if (!notifying || event.event !== 'call' || !document.hidden) return;
  const line = event.line ? '채널 ' + event.line : '';
  new Notification('전화: ' + (event.name || event.number),
                   {body: [line, event.name ? event.number : '', event.box].filter(Boolean).join(' · '),
                    tag: event.id || undefined});
  try {
    const tone = new AudioContext();
    const beep = tone.createOscillator();
    beep.frequency.value = 880;
    beep.connect(tone.destination);
    beep.start();
    beep.stop(tone.currentTime + 0.15);
    beep.onended = () => tone.close();
  } catch (e) { /* no sound here: the notification is enough */ }
}
function setUpNotify() {
  const button = document.getElementById('notify');
  if (!('Notification' in window)) { button.hidden = true; return; }
  const show = () => {
    button.textContent = notifying ? '알림 켜짐' : Notification.permission === 'denied' ? '알림 차단됨' : '알림 켜기';
  };
  button.addEventListener('click', async () => {
    if (notifying) { notifying = false; show(); return; }
    notifying = (await Notification.requestPermission()) === 'granted';
    show();
  });
  show();
}

function showLive(event) {
  const body = document.querySelector('#live tbody');
  const row = document.createElement('tr');
  row.className = 'event ' + (event.event || '');
  cell(row, (event.pc_time || '').replace('T', ' ').slice(0, 19));
  cell(row, event.box);
  cell(row, KIND[event.event] || event.event);
  cell(row, event.line, 'wide');
  const number = cell(row, event.event === 'status' ? event.state : who(event), colourOf(event));
  number.classList.add('number');
  body.insertBefore(row, body.firstChild);
  while (body.children.length > 100) body.removeChild(body.lastChild);
}

function listen() {
  const state = document.getElementById('live-state');
  const source = new EventSource('/api/events');
  source.onopen = () => {
    state.textContent = '실시간 연결됨'; state.className = 'online';
    feedUp = true;
    loadBoxes();
  };
  source.onerror = () => {
    state.textContent = '연결 끊김, 다시 연결 중…'; state.className = 'offline';
    feedUp = false;
    showBoxes(lastBoxes);
  };
  source.onmessage = (message) => {
    let event;
    try { event = JSON.parse(message.data); } catch (e) { return; }
    showLive(event);
    notifyCall(event);
    loadBoxes();
    if (event.event === 'call') chartSoon();
  };
}

// The chart again after calls, once a second at most.
let chartTimer = null;
function chartSoon() {
  if (chartTimer === null) chartTimer = setTimeout(() => { chartTimer = null; chart(); }, 1000);
}

// The newest calls already stored, under what arrives live.
async function recentCalls() {
  const response = await fetch('/api/calls?limit=20', {credentials: 'same-origin'});
  if (!response.ok) return;
  const calls = await response.json();
  for (const call of calls.reverse()) showLive(call);
}

function query(form) {
  const params = new URLSearchParams();
  for (const [key, value] of new FormData(form)) {
    if (value) params.set(key, value);
  }
  return params;
}

async function search() {
  const params = query(document.getElementById('search'));
  params.set('limit', PAGE);
  params.set('offset', offset);
  const csv = new URLSearchParams(params);
  csv.delete('limit'); csv.delete('offset'); csv.set('format', 'csv');
  document.getElementById('csv').href = '/api/calls?' + csv.toString();
  const response = await fetch('/api/calls?' + params.toString(), {credentials: 'same-origin'});
  if (!response.ok) {
    // The server names what it could not take (a date, a line, a page past the end).
    const problem = await response.json().catch(() => ({}));
    document.getElementById('page').textContent = problem.error || ('오류 ' + response.status);
    document.getElementById('older').disabled = true;
    return;
  }
  const calls = await response.json();
  const body = document.querySelector('#calls tbody');
  body.replaceChildren();
  for (const call of calls) {
    const row = document.createElement('tr');
    cell(row, call.pc_time);
    cell(row, call.box);
    cell(row, call.line);
    cell(row, call.time, 'wide');
    const number = cell(row, who(call), colourOf(call));
    number.classList.add('number');
    if (call.conflict) {
      // Another event came with this one's id and other content: both are kept.
      number.classList.add('conflict');
      number.title = '같은 번호(id)로 다른 내용이 온 통화: 둘 다 보관됨';
      row.classList.add('conflict');
    }
    cell(row, STATUS[call.status] || call.status);
    cell(row, variantShown(call.variant), 'wide');
    body.appendChild(row);
  }
  document.getElementById('page').textContent =
    calls.length ? (offset + 1) + '–' + (offset + calls.length) : '없음';
  document.getElementById('older').disabled = calls.length < PAGE;
  document.getElementById('newer').disabled = offset === 0;
}

// Calls per hour: a bar an hour, an axis with counts, every third hour labelled counting
// back from the current one (which is always labelled).
async function chart() {
  const params = query(document.getElementById('chart-form'));
  const response = await fetch('/api/chart?' + params.toString(), {credentials: 'same-origin'});
  if (!response.ok) return;
  const hours = await response.json();
  const NS = 'http://www.w3.org/2000/svg';
  const svg = document.createElementNS(NS, 'svg');
  const left = 30, step = 22, above = 10, height = 140, width = left + 24 * step + 12;
  svg.setAttribute('viewBox', '0 ' + -above + ' ' + width + ' ' + (height + 24 + above));
  svg.setAttribute('role', 'img');
  const most = Math.max(0, ...hours.map((h) => h.calls));
  const top = Math.max(1, most);
  const text = (x, y, words, anchor) => {
    const label = document.createElementNS(NS, 'text');
    label.setAttribute('x', x);
    label.setAttribute('y', y);
    if (anchor) label.setAttribute('text-anchor', anchor);
    label.textContent = words;
    svg.appendChild(label);
    return label;
  };
  // The axis: 0, half and the most calls in an hour.
  for (const count of [...new Set([0, Math.round(top / 2), top])]) {
    const y = height - Math.round(count / top * height);
    const line = document.createElementNS(NS, 'line');
    line.setAttribute('x1', left - 3);
    line.setAttribute('x2', width);
    line.setAttribute('y1', y);
    line.setAttribute('y2', y);
    line.setAttribute('class', 'grid');
    svg.appendChild(line);
    text(left - 5, y + 3, String(count), 'end').setAttribute('class', 'count');
  }
  hours.forEach((h, i) => {
    const bar = document.createElementNS(NS, 'rect');
    const barHeight = Math.round(h.calls / top * height);
    bar.setAttribute('x', left + i * step + 2);
    bar.setAttribute('y', height - barHeight);
    bar.setAttribute('width', 18);
    bar.setAttribute('height', barHeight);
    const title = document.createElementNS(NS, 'title');
    title.textContent = h.hour + ' ' + h.calls + '통화';
    bar.appendChild(title);
    svg.appendChild(bar);
    if ((hours.length - 1 - i) % 3 === 0)
      text(left + i * step + 11, height + 17, h.hour.slice(11, 13) + '시', 'middle')
        .setAttribute('class', 'hour');
  });
  document.getElementById('chart').replaceChildren(svg);
}

// The phonebook of the history: a list (found by a part of a name, a note or a number) and
// an import of a spreadsheet's CSV (UTF-8 or CP949) or vCards, read by the console itself.
async function contacts() {
  const search = document.querySelector('#contacts-search input[name=search]').value;
  const response = await fetch('/api/contacts?search=' + encodeURIComponent(search));
  if (!response.ok) return;
  const body = document.querySelector('#contacts tbody');
  body.replaceChildren();
  for (const contact of await response.json()) {
    const row = document.createElement('tr');
    cell(row, contact.name);
    cell(row, contact.numbers.join(', '), 'number');
    cell(row, contact.note, 'wide');
    body.appendChild(row);
  }
}

async function importContacts() {
  const input = document.querySelector('#contacts-import input[name=file]');
  const result = document.getElementById('contacts-result');
  const refusedList = document.getElementById('contacts-refused');
  refusedList.replaceChildren();
  if (!input.files.length) { result.textContent = '가져올 파일을 고르십시오.'; return; }
  const bytes = new Uint8Array(await input.files[0].arrayBuffer());
  let binary = '';
  for (let i = 0; i < bytes.length; i += 0x8000)
    binary += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
  result.textContent = '가져오는 중…';
  const response = await fetch('/api/contacts/import', {
    method: 'POST', headers: {'Content-Type': 'application/json'},
    body: JSON.stringify({file: btoa(binary)})});
  const answer = await response.json().catch(() => ({}));
  if (!response.ok) {
    result.textContent = '가져오지 못했습니다: ' + (answer.error || response.status);
    return;
  }
  result.textContent = `${input.files[0].name} (${answer.encoding}): 추가 ${answer.added}, ` +
    `병합 ${answer.merged}, 그대로 ${answer.unchanged}, 거부 ${answer.refused.length}`;
  for (const refusal of answer.refused) {
    const item = document.createElement('li');
    item.textContent = refusal;
    refusedList.appendChild(item);
  }
  contacts();
}

document.addEventListener('DOMContentLoaded', () => {
  document.getElementById('contacts-search').addEventListener('submit', (e) => {
    e.preventDefault(); contacts();
  });
  document.getElementById('contacts-import').addEventListener('submit', (e) => {
    e.preventDefault(); importContacts();
  });
  contacts();
  document.getElementById('search').addEventListener('submit', (e) => {
    e.preventDefault(); offset = 0; search();
  });
  document.getElementById('chart-form').addEventListener('submit', (e) => {
    e.preventDefault(); chart();
  });
  document.getElementById('older').addEventListener('click', () => { offset += PAGE; search(); });
  document.getElementById('newer').addEventListener('click', () => {
    offset = Math.max(0, offset - PAGE); search();
  });
  setUpNotify();
  loadBoxes();
  search();
  chart();
  recentCalls().then(listen);
  setInterval(loadBoxes, 10000);
  // The ages go on between updates.
  setInterval(() => {
    for (const when of document.querySelectorAll('#boxes .age'))
      when.textContent = ' ' + age(when.dataset.time);
  }, 30000);
});
)JS";

const char kStyle[] =
    R"CSS(:root { color-scheme: light dark; --bg: #f4f6f8; --fg: #1a202c; --card: #fff;
  --line: #cbd5e0; --head: #e2e8f0; --muted: #4a5568; --ok: #2f855a; --bad: #c53030;
  --blue: #0000ff; --red: #ff0000; --bar: #2b6cb0; --note: #fefcbf; }
@media (prefers-color-scheme: dark) {
  :root { --bg: #171923; --fg: #e2e8f0; --card: #1f2533; --line: #4a5568; --head: #2d3748;
    --muted: #a0aec0; --ok: #68d391; --bad: #fc8181; --blue: #90cdf4; --red: #feb2b2;
    --bar: #63b3ed; --note: #5f370e; }
}
body { font-family: "NanumGothic", "Noto Sans CJK KR", sans-serif; margin: 0;
  background: var(--bg); color: var(--fg); font-size: 16px; }
header { display: flex; flex-wrap: wrap; align-items: baseline; gap: 0.3em 1em;
  padding: 0.6em 1em; background: #1a365d; color: #fff; }
h1 { font-size: 1.3em; margin: 0; }
h2 { font-size: 1.05em; margin: 0.8em 0 0.4em; }
main { padding: 0 1em 1em; display: grid; grid-template-columns: minmax(0, 1fr) minmax(0, 1fr);
  gap: 0 1.5em; }
#search-section { grid-column: 1 / span 2; }
main.sign-in { display: block; max-width: 30em; }
table { border-collapse: collapse; width: 100%; background: var(--card); font-size: 0.9em; }
th, td { border: 1px solid var(--line); padding: 0.2em 0.5em; text-align: center; white-space: nowrap; }
th { background: var(--head); }
td.blue { color: var(--blue); }
td.red { color: var(--red); }
.online { color: var(--ok); }
.offline { color: var(--bad); }
td.unknown { color: var(--muted); }
.age { color: var(--muted); font-size: 0.9em; }
td.waiting { color: #b7791f; font-weight: bold; }
tr.conflict { background: var(--note); }
td.conflict::after { content: " ⚠"; color: #b7791f; }
header .online, header .offline { color: #fff; font-size: 0.85em; }
#chart svg { width: 100%; max-width: 620px; background: var(--card); }
#chart rect { fill: var(--bar); }
#chart text { font-size: 12px; fill: var(--muted); }
#chart line.grid { stroke: var(--line); stroke-width: 0.5; }
form { margin: 0.3em 0; display: flex; flex-wrap: wrap; gap: 0.3em 0.8em; align-items: center; }
input, button { font-size: 1em; }
input { max-width: 100%; box-sizing: border-box; }
/* A phone: one column, every table within the screen (the least needed columns hidden,
   cells wrapping), text as large as it was. */
@media (max-width: 700px) {
  main { grid-template-columns: minmax(0, 1fr); padding: 0 0.5em 1em; }
  #search-section { grid-column: auto; }
  .wide { display: none; }
  th, td { white-space: normal; padding: 0.2em 0.25em; overflow-wrap: anywhere; }
  table { font-size: 0.85em; }
  input[name=number], input[name=box] { width: 9em; }
}
)CSS";

} // namespace dialkite::webpage
