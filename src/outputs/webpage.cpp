// The page, its script and its style, served by the program itself: nothing is fetched
// from anywhere else. Every text from a box or a broker goes into the page through
// textContent, never as markup.

#include "webpage.h"

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
<header><h1>다이얼카이트 현황</h1><span id="live-state" class="offline">연결 중…</span></header>
<main>
<section id="boxes-section">
<h2>장비</h2>
<table id="boxes"><thead><tr><th>장비</th><th>상태</th><th>종류</th><th>장비명</th><th>버전</th>
<th>마지막 이벤트</th><th>오늘 통화</th><th>전송 대기</th></tr></thead><tbody></tbody></table>
</section>
<section id="live-section">
<h2>실시간</h2>
<table id="live"><thead><tr><th>PC 시각</th><th>장비</th><th>이벤트</th><th>채널</th><th>수신번호</th></tr></thead>
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
<form id="search"><label>번호 <input name="number" size="14"></label>
<label>장비 <input name="box" size="10"></label>
<label>채널 <input name="line" size="3"></label>
<label>부터 <input name="since" type="date"></label>
<label>까지 <input name="until" type="date"></label>
<button type="submit">검색</button> <a id="csv" href="/api/calls?format=csv">CSV 내려받기</a></form>
<table id="calls"><thead><tr><th>PC 시각</th><th>장비</th><th>채널</th><th>수신시각</th><th>수신번호</th>
<th>상태</th><th>종류</th></tr></thead><tbody></tbody></table>
<p><button id="newer" type="button">이전</button> <span id="page"></span>
<button id="older" type="button">다음</button></p>
</section>
</main>
</body>
</html>
)HTML";

const char kSignIn[] = R"HTML(<!DOCTYPE html>
<html lang="ko">
<head><meta charset="utf-8"><title>다이얼카이트 로그인</title>
<link rel="stylesheet" href="/app.css">
<link rel="icon" href="/favicon.svg" type="image/svg+xml"></head>
<body><main><h1>다이얼카이트 현황</h1>
<!--message-->
<form method="post" action="/login"><label>접속 토큰 <input name="token" type="password" autofocus></label>
<button type="submit">로그인</button></form></main></body></html>
)HTML";

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
const PAGE = 50;
let offset = 0;

function cell(row, text, cls) {
  const td = document.createElement('td');
  td.textContent = text === undefined || text === null ? '' : String(text);
  if (cls) td.className = cls;
  row.appendChild(td);
  return td;
}

function colourOf(event) {
  return event.color === '#0000ff' ? 'blue' : event.color === '#ff0000' ? 'red' : '';
}

async function loadBoxes() {
  const response = await fetch('/api/boxes', {credentials: 'same-origin'});
  if (!response.ok) return;
  const boxes = await response.json();
  const body = document.querySelector('#boxes tbody');
  body.replaceChildren();
  for (const box of boxes) {
    const row = document.createElement('tr');
    row.dataset.box = box.box;
    cell(row, box.box);
    cell(row, box.online === true ? '온라인' : box.online === false ? '오프라인' : '-',
         box.online === false ? 'offline' : box.online === true ? 'online' : '');
    cell(row, box.variant);
    cell(row, box.name);
    cell(row, box.version);
    cell(row, box.last_event ? (KIND[box.last_event] || box.last_event) + ' ' + (box.last_time || '') : '');
    cell(row, box.calls_today);
    // Events its publisher holds, not yet stored here (unknown for a publisher that
    // does not say).
    cell(row, box.waiting === null || box.waiting === undefined ? '-' : box.waiting,
         box.waiting > 0 ? 'waiting' : '');
    body.appendChild(row);
  }
}

function showLive(event) {
  const body = document.querySelector('#live tbody');
  const row = document.createElement('tr');
  row.className = 'event ' + (event.event || '');
  cell(row, (event.pc_time || '').replace('T', ' ').slice(0, 19));
  cell(row, event.box);
  cell(row, KIND[event.event] || event.event);
  cell(row, event.line);
  const number = cell(row, event.event === 'status' ? event.state : event.number, colourOf(event));
  number.classList.add('number');
  body.insertBefore(row, body.firstChild);
  while (body.children.length > 100) body.removeChild(body.lastChild);
}

function listen() {
  const state = document.getElementById('live-state');
  const source = new EventSource('/api/events');
  source.onopen = () => { state.textContent = '실시간 연결됨'; state.className = 'online'; };
  source.onerror = () => { state.textContent = '연결 끊김, 다시 연결 중…'; state.className = 'offline'; };
  source.onmessage = (message) => {
    let event;
    try { event = JSON.parse(message.data); } catch (e) { return; }
    showLive(event);
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
    cell(row, call.time);
    const number = cell(row, call.number, colourOf(call));
    number.classList.add('number');
    if (call.conflict) {
      // Another event came with this one's id and other content: both are kept.
      number.classList.add('conflict');
      number.title = '같은 번호(id)로 다른 내용이 온 통화: 둘 다 보관됨';
      row.classList.add('conflict');
    }
    cell(row, STATUS[call.status] || call.status);
    cell(row, call.variant);
    body.appendChild(row);
  }
  document.getElementById('page').textContent =
    calls.length ? (offset + 1) + '–' + (offset + calls.length) : '없음';
  document.getElementById('older').disabled = calls.length < PAGE;
  document.getElementById('newer').disabled = offset === 0;
}

async function chart() {
  const params = query(document.getElementById('chart-form'));
  const response = await fetch('/api/chart?' + params.toString(), {credentials: 'same-origin'});
  if (!response.ok) return;
  const hours = await response.json();
  const NS = 'http://www.w3.org/2000/svg';
  const svg = document.createElementNS(NS, 'svg');
  const width = 24 * 22, height = 140;
  svg.setAttribute('viewBox', '0 0 ' + width + ' ' + (height + 20));
  svg.setAttribute('role', 'img');
  const top = Math.max(1, ...hours.map((h) => h.calls));
  hours.forEach((h, i) => {
    const bar = document.createElementNS(NS, 'rect');
    const barHeight = Math.round(h.calls / top * height);
    bar.setAttribute('x', i * 22 + 2);
    bar.setAttribute('y', height - barHeight);
    bar.setAttribute('width', 18);
    bar.setAttribute('height', barHeight);
    const title = document.createElementNS(NS, 'title');
    title.textContent = h.hour + ' ' + h.calls + '통화';
    bar.appendChild(title);
    svg.appendChild(bar);
    if (i % 3 === 0) {
      const label = document.createElementNS(NS, 'text');
      label.setAttribute('x', i * 22 + 2);
      label.setAttribute('y', height + 15);
      label.textContent = h.hour.slice(11, 13) + '시';
      svg.appendChild(label);
    }
  });
  document.getElementById('chart').replaceChildren(svg);
}

document.addEventListener('DOMContentLoaded', () => {
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
  loadBoxes();
  search();
  chart();
  recentCalls().then(listen);
  setInterval(loadBoxes, 10000);
});
)JS";

const char kStyle[] =
    R"CSS(body { font-family: "NanumGothic", "Noto Sans CJK KR", sans-serif; margin: 0;
  background: #f4f6f8; color: #1a202c; }
header { display: flex; align-items: baseline; gap: 1em; padding: 0.6em 1em; background: #1a365d;
  color: #fff; }
h1 { font-size: 1.3em; margin: 0; }
h2 { font-size: 1.05em; margin: 0.8em 0 0.4em; }
main { padding: 0 1em 1em; display: grid; grid-template-columns: 1fr 1fr; gap: 0 1.5em; }
#search-section { grid-column: 1 / span 2; }
table { border-collapse: collapse; width: 100%; background: #fff; font-size: 0.9em; }
th, td { border: 1px solid #cbd5e0; padding: 0.2em 0.5em; text-align: center; white-space: nowrap; }
th { background: #e2e8f0; }
td.blue { color: #0000ff; }
td.red { color: #ff0000; }
.online { color: #2f855a; }
.offline { color: #c53030; }
td.waiting { color: #b7791f; font-weight: bold; }
tr.conflict { background: #fefcbf; }
td.conflict::after { content: " ⚠"; color: #b7791f; }
header .online, header .offline { color: #fff; font-size: 0.85em; }
#chart svg { width: 100%; max-width: 560px; background: #fff; }
#chart rect { fill: #2b6cb0; }
#chart text { font-size: 9px; fill: #4a5568; }
form { margin: 0.3em 0; }
)CSS";

} // namespace dialkite::webpage
