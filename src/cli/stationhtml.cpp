// The station's page, its script and its style: nothing is fetched from anywhere else.
// Every text from a box, a suite or the operator goes into the page through textContent,
// never as markup.

#include "stationhtml.h"

namespace dialkite::cli::stationhtml {

const char kIndex[] = R"HTML(<!DOCTYPE html>
<html lang="ko">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>다이얼카이트 시험 스테이션</title>
<link rel="stylesheet" href="/station.css">
<link rel="icon" href="/favicon.svg" type="image/svg+xml">
<script src="/station.js" defer></script>
</head>
<body>
<header><h1>다이얼카이트 시험 스테이션</h1><span id="station"></span>
<span id="counts"></span><span id="live-state" class="offline">연결 중…</span></header>
<main>
<section id="tiles" aria-label="장비"></section>
<section id="runs-section">
<h2>끝난 시험</h2>
<table id="runs"><thead><tr><th>시작</th><th>장비</th><th>스위트</th><th>시도</th><th>판정</th>
<th>시간</th><th>보고서</th></tr></thead><tbody></tbody></table>
<p id="no-runs">아직 끝난 시험이 없습니다.</p>
</section>
</main>
</body>
</html>
)HTML";

const char kScript[] = R"JS('use strict';
const STATE = {waiting: '대기', running: '시험 중', passed: '합격', failed: '불합격',
  unopened: '열 수 없음'};
const VERDICT = {passed: '합격', failed: '불합격', not_run: '실행 안 함'};

function el(tag, className, text) {
  const node = document.createElement(tag);
  if (className) node.className = className;
  if (text !== undefined) node.textContent = String(text);
  return node;
}
function seconds(ms) { return (ms / 1000).toFixed(1) + ' s'; }
function row(cells) {
  const tr = el('tr');
  for (const cell of cells) tr.append(cell instanceof Node ? cell : el('td', '', cell));
  return tr;
}

const tiles = new Map(); // box -> {node, key, elapsed, at, running}

async function answer(tile, id, text) {
  const said = tile.querySelector('.prompt-error');
  for (const button of tile.querySelectorAll('.prompt button')) button.disabled = true;
  try {
    const reply = await fetch('/api/answer', {method: 'POST',
      headers: {'Content-Type': 'application/json'}, body: JSON.stringify({id, answer: text})});
    if (!reply.ok) {
      const body = await reply.json().catch(() => ({}));
      said.textContent = '답하지 못했습니다: ' + (body.error || reply.status);
      for (const button of tile.querySelectorAll('.prompt button')) button.disabled = false;
    }
  } catch (e) {
    said.textContent = '답하지 못했습니다: 연결이 끊겼습니다';
  }
}

function fillTile(node, box) {
  node.className = 'tile ' + box.state;
  node.replaceChildren();
  const head = el('header');
  head.append(el('h2', '', box.box), el('span', 'verdict', STATE[box.state] || box.state));
  node.append(head);
  const facts = el('dl');
  const fact = (term, value, className) => {
    facts.append(el('dt', '', term));
    facts.append(el('dd', className || '', value === '' || value === undefined ? '-' : value));
  };
  fact('장비명', box.name);
  fact('버전', box.version);
  fact('종류', box.variant);
  fact('포트', box.device);
  fact('스위트', box.suite ? box.suite + (box.attempt > 1 ? ' (시도 ' + box.attempt + ')' : '') : '');
  fact('경과', seconds(box.elapsed_ms), 'elapsed');
  node.append(facts);
  if (box.state === 'running' && box.step)
    node.append(el('p', 'current', '현재 단계: 줄 ' + box.line + ': ' + box.step));
  if (box.problem) node.append(el('p', 'problem', box.problem));
  if (box.prompt) {
    const ask = el('div', 'prompt');
    ask.append(el('p', 'question', box.prompt.question));
    const choices = box.prompt.choices.length ? box.prompt.choices : [''];
    for (const choice of choices) {
      const button = el('button', '', choice === '' ? '완료' : choice);
      button.type = 'button';
      button.addEventListener('click', () => answer(node, box.prompt.id, choice));
      ask.append(button);
    }
    ask.append(el('p', 'prompt-error'));
    node.append(ask);
  }
  if (box.steps.length) {
    const table = el('table', 'steps');
    table.append(row([el('th', '', '줄'), el('th', '', '단계'), el('th', '', '판정'),
                      el('th', '', '측정 / 한도')]));
    for (const step of box.steps) {
      const measured = step.verdict === 'not_run' ? '-'
        : step.ms + ' ms' + (step.limit_ms ? ' / ' + step.limit_ms + ' ms' : '');
      const tr = row([step.line, step.text, VERDICT[step.verdict] || step.verdict, measured]);
      tr.className = step.verdict;
      table.append(tr);
      if (step.message || step.answer) {
        const note = el('td', 'message', step.message || '답: ' + step.answer);
        note.colSpan = 4;
        const more = el('tr', 'note ' + step.verdict);
        more.append(note);
        table.append(more);
      }
    }
    node.append(table);
  }
}

function render(board) {
  document.getElementById('station').textContent = board.station || '';
  const place = document.getElementById('tiles');
  const now = performance.now();
  let passed = 0, failed = 0, running = 0;
  for (const box of board.boxes) {
    passed += box.state === 'passed';
    failed += box.state === 'failed' || box.state === 'unopened';
    running += box.state === 'running';
    let tile = tiles.get(box.box);
    if (!tile) {
      tile = {node: el('article'), key: ''};
      tile.node.dataset.box = box.box;
      place.append(tile.node);
      tiles.set(box.box, tile);
    }
    const key = JSON.stringify(Object.assign({}, box, {elapsed_ms: 0}));
    if (key !== tile.key) {
      fillTile(tile.node, box);
      tile.key = key;
    }
    Object.assign(tile, {elapsed: box.elapsed_ms, at: now, running: box.state === 'running'});
  }
  document.getElementById('counts').textContent = '합격 ' + passed + ' · 불합격 ' + failed +
    ' · 시험 중 ' + running + (board.finished ? ' · 모두 끝남' : '');
  const runs = document.querySelector('#runs tbody');
  runs.replaceChildren();
  for (const run of board.runs) {
    const link = el('a', '', '보기');
    link.href = run.report;
    link.target = '_blank';
    link.rel = 'noopener';
    const cell = el('td');
    cell.append(link);
    const verdict = el('td', run.verdict, VERDICT[run.verdict]);
    runs.append(row([run.started, run.box, run.suite, run.attempt, verdict, seconds(run.ms),
                     cell]));
  }
  document.getElementById('no-runs').hidden = board.runs.length > 0;
}

setInterval(() => {
  const now = performance.now();
  for (const tile of tiles.values())
    if (tile.running)
      tile.node.querySelector('.elapsed').textContent = seconds(tile.elapsed + now - tile.at);
}, 250);

function live() {
  const state = document.getElementById('live-state');
  const feed = new EventSource('/api/events');
  feed.onopen = () => { state.textContent = '실시간'; state.className = 'online'; };
  feed.onmessage = (message) => render(JSON.parse(message.data));
  feed.onerror = () => { state.textContent = '연결 끊김'; state.className = 'offline'; };
}

fetch('/api/station').then((reply) => reply.json()).then(render).catch(() => {});
live();
)JS";

const char kStyle[] =
    R"CSS(:root { color-scheme: light dark; --bg: #f4f6f8; --fg: #1a202c; --card: #fff;
  --line: #cbd5e0; --pass: #2f855a; --fail: #c53030; --run: #2b6cb0; --wait: #718096; }
@media (prefers-color-scheme: dark) {
  :root { --bg: #171923; --fg: #e2e8f0; --card: #2d3748; --line: #4a5568; --pass: #48bb78;
    --fail: #fc8181; --run: #63b3ed; --wait: #a0aec0; }
}
body { font-family: "NanumGothic", "Noto Sans CJK KR", sans-serif; margin: 0;
  background: var(--bg); color: var(--fg); }
header { display: flex; flex-wrap: wrap; align-items: baseline; gap: 0.4em 1em;
  padding: 0.6em 1em; background: #1a365d; color: #fff; }
h1 { font-size: 1.3em; margin: 0; }
h2 { font-size: 1.05em; margin: 0; }
main { padding: 1em; }
main.sign-in { max-width: 30em; }
#tiles { display: grid; grid-template-columns: repeat(auto-fill, minmax(min(100%, 20em), 1fr));
  gap: 1em; }
.tile { background: var(--card); border: 1px solid var(--line); border-top: 0.6em solid var(--wait);
  border-radius: 0.4em; padding: 0.6em 0.8em; overflow-wrap: anywhere; }
.tile header { background: none; color: inherit; padding: 0; justify-content: space-between; }
.tile .verdict { font-weight: bold; font-size: 1.2em; color: var(--wait); }
.tile.running { border-top-color: var(--run); }
.tile.running .verdict { color: var(--run); }
.tile.passed { border-top-color: var(--pass); background: color-mix(in srgb, var(--pass) 12%, var(--card)); }
.tile.passed .verdict { color: var(--pass); }
.tile.failed, .tile.unopened { border-top-color: var(--fail);
  background: color-mix(in srgb, var(--fail) 12%, var(--card)); }
.tile.failed .verdict, .tile.unopened .verdict { color: var(--fail); }
dl { display: grid; grid-template-columns: auto 1fr; gap: 0.1em 0.8em; margin: 0.5em 0; }
dt { color: var(--wait); }
dd { margin: 0; }
.current { font-weight: bold; }
.problem { color: var(--fail); }
.prompt { border: 2px solid var(--run); border-radius: 0.4em; padding: 0.4em; margin: 0.5em 0; }
.prompt .question { font-weight: bold; margin: 0 0 0.4em; }
.prompt button { font-size: 1.1em; padding: 0.4em 1.2em; margin: 0 0.5em 0.3em 0; }
.prompt-error { color: var(--fail); margin: 0; }
table { border-collapse: collapse; width: 100%; font-size: 0.85em; }
th, td { border: 1px solid var(--line); padding: 0.15em 0.4em; text-align: left; }
tr.passed td:nth-child(3), td.passed { color: var(--pass); }
tr.failed td:nth-child(3), td.failed, tr.note.failed td { color: var(--fail); }
tr.not_run { color: var(--wait); }
table.steps td:nth-child(3), table.steps td:nth-child(4), #runs td { white-space: nowrap; }
#runs-section { margin-top: 1.5em; overflow-x: auto; }
#runs-section h2 { margin-bottom: 0.4em; }
.online { color: #9ae6b4; }
.offline { color: #feb2b2; }
)CSS";

} // namespace dialkite::cli::stationhtml
