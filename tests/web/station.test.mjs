// A test station in a real headless browser (Debian's chromium driven by playwright-core):
// eight simulated boxes run one suite at once under `dialkite-cli test --http`; its prompt
// is answered on each box's tile of the station page; the page then shows eight tiles with
// eight verdicts and eight runs whose reports open with their banner and every step. One
// box's name is markup, shown as text.
//
// Exit status: 0 passed, 1 failed, 77 skipped (no browser or no playwright-core here).

import {spawn} from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

import {cli, launch, startSim} from './browser.mjs';

const BOXES = 8;

function fail(reason) {
  console.error('FAILED: ' + reason);
  process.exitCode = 1;
}

const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'dialkite-station-'));
const boxes = [];
for (let i = 0; i < BOXES; ++i)
  boxes.push(startSim(['--variant', '3', '--keep-running', '--name',
                       i === 3 ? '<b>X</b>' : 'DK-C0001']));
const devices = await Promise.all(boxes.map((b) => b.device));

const suite = path.join(dir, 'station.suite');
fs.writeFileSync(suite, 'select 3\nidentify\nexpect identification within 2s\n' +
                        'prompt 소리가 났습니까? 예|아니요\n' +
                        'detect-read\nexpect detection NOT|HOOK|RING within 2s\n');
const reports = path.join(dir, 'reports');
const args = ['test', suite, '--http', '0', '--reports', reports, '--operator', '김시험',
              '--captures', path.join(dir, 'runs'), '--history', path.join(dir, 'h.sqlite'),
              '--settings', path.join(dir, 'none.ini')];
for (const device of devices) args.push('--device', device);
// Standard input stays open: the verdicts stay on the page until it ends.
const run = spawn(cli, args, {stdio: ['pipe', 'pipe', 'pipe']});
let out = '', err = '';
run.stdout.on('data', (chunk) => { out += chunk; });
run.stderr.on('data', (chunk) => { err += chunk; });
const ended = new Promise((resolve) => run.on('exit', (code) => resolve(code)));
const address = await new Promise((resolve, reject) => {
  const timer = setTimeout(() => reject(new Error('no station page: ' + out + err)), 10000);
  run.stdout.on('data', () => {
    const found = /station page: (http:\/\/\S+)/.exec(out);
    if (found) { clearTimeout(timer); resolve(found[1]); }
  });
});

let browser;
try {
  browser = await launch();
  const page = await browser.newPage();
  const dialogs = [];
  page.on('dialog', (d) => { dialogs.push(d.message()); d.dismiss(); });
  await page.goto(address);
  await page.waitForFunction((n) => document.querySelectorAll('#tiles .tile').length === n,
                             BOXES, {timeout: 10000});

  // Each box asks on its own tile; the answer is a button there.
  for (let answered = 0; answered < BOXES; ++answered) {
    const button = page.locator('.tile .prompt button', {hasText: '예'}).first();
    await button.waitFor({timeout: 10000});
    await button.click();
  }
  await page.waitForFunction(
      (n) => document.querySelectorAll('#tiles .tile.passed, #tiles .tile.failed').length === n,
      BOXES, {timeout: 20000});
  const verdicts = await page.$$eval('#tiles .tile .verdict', (v) => v.map((x) => x.textContent));
  if (verdicts.length !== BOXES || verdicts.some((v) => v !== '합격'))
    fail('the tiles say ' + JSON.stringify(verdicts));
  const measured = await page.$$eval('#tiles .tile', (tiles) => tiles.map(
      (t) => t.querySelectorAll('table.steps tr.passed:not(.note)').length));
  if (measured.some((n) => n !== 3)) fail('steps shown per tile: ' + JSON.stringify(measured));
  const names = await page.$$eval('#tiles .tile dd', (d) => d.map((x) => x.textContent));
  if (!names.includes('<b>X</b>')) fail('the markup name is not shown as text');
  if ((await page.$$('#tiles b')).length !== 0) fail('a box\'s name became markup');

  await page.waitForFunction((n) => document.querySelectorAll('#runs tbody tr').length === n,
                             BOXES, {timeout: 10000});
  const links = await page.$$eval('#runs tbody a', (a) => a.map((x) => x.href));
  for (const link of links) {
    const report = await browser.newPage();
    await report.goto(link);
    const banner = (await report.textContent('.verdict')).trim();
    const steps = await report.$$eval('tr.passed', (rows) => rows.map((r) => r.cells[1].textContent));
    if (banner !== '합격' || steps.length !== 3)
      fail(`${link}: banner '${banner}', steps ${JSON.stringify(steps)}`);
    await report.close();
  }
  if (dialogs.length !== 0) fail('a dialog opened: ' + dialogs.join(', '));
} catch (e) {
  fail(e.stack || String(e));
} finally {
  if (browser) await browser.close();
}

run.stdin.end();
const code = await Promise.race([ended, new Promise((r) => setTimeout(() => r('hung'), 10000))]);
if (code !== 0) fail(`the run ended with ${code}:\n${out}${err}`);
const written = fs.existsSync(reports) ? fs.readdirSync(reports).filter((f) => f.endsWith('.html')) : [];
if (written.length !== BOXES) fail(`${written.length} reports written: ${written}`);
// Three steps a box, the prompt one of them.
if (!out.includes(`${3 * BOXES} passed, 0 failed`)) fail('the counts: ' + out);
for (const b of boxes) b.box.kill();
if (code === 'hung') run.kill('SIGKILL');
if (!process.exitCode) console.log(`${BOXES} tiles, ${BOXES} verdicts, ${BOXES} reports`);
fs.rmSync(dir, {recursive: true, force: true});
