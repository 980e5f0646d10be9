// A box's test report in a real headless browser (Debian's chromium driven by
// playwright-core): a simulated box runs a suite with `dialkite-cli test --report`, and
// the page, opened from its file, shows the verdict and every step, runs no script, and
// shows the box's own bytes as text.
//
// Exit status: 0 passed, 1 failed, 77 skipped (no browser or no playwright-core here).

import {spawnSync} from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

import {cli, launch, startSim} from './browser.mjs';

function fail(reason) {
  console.error('FAILED: ' + reason);
  process.exitCode = 1;
}

const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'dialkite-report-'));
// A box whose name is markup: the report must show it, not obey it.
const started = startSim(['--variant', '3', '--keep-running', '--name', '<b>X</b>']);
const box = started.box;
const device = await started.device;
const suite = path.join(dir, 'quick.suite');
fs.writeFileSync(suite, 'select 3\nidentify\nexpect identification version=V1.* within 2s\n' +
                        'expect tx <STX> m*<ETX> within 1s\ndetect-read\n' +
                        'expect detection NOT|HOOK|RING within 2s\n');
const report = path.join(dir, 'report.html');
const run = spawnSync(cli, ['test', suite, '--device', device, '--report', report,
                            '--operator', '김시험', '--captures', path.join(dir, 'runs'),
                            '--history', path.join(dir, 'h.sqlite'),
                            '--settings', path.join(dir, 'none.ini')], {encoding: 'utf8'});
box.kill();
if (run.status !== 0) {
  fail(`the run ended with ${run.status}: ${run.stdout}${run.stderr}`);
  process.exit(1);
}

let browser;
try {
  browser = await launch();
  const page = await browser.newPage();
  const dialogs = [];
  page.on('dialog', (d) => { dialogs.push(d.message()); d.dismiss(); });
  await page.goto('file://' + report);
  const verdict = (await page.textContent('.verdict')).trim();
  if (verdict !== '합격') fail(`the banner says '${verdict}'`);
  const steps = await page.$$eval('tr.passed', (rows) => rows.map((r) => r.cells[1].textContent));
  const wanted = ['expect identification version=V1.* within 2s',
                  'expect tx <STX> m*<ETX> within 1s', 'expect detection NOT|HOOK|RING within 2s'];
  if (JSON.stringify(steps) !== JSON.stringify(wanted))
    fail(`the steps shown: ${JSON.stringify(steps)}`);
  const name = await page.$$eval('th', (cells) => {
    const th = cells.find((c) => c.textContent === '장비명');
    return th ? th.nextElementSibling.textContent : null;
  });
  if (!name || !name.includes('<b>X</b>')) fail(`the box's name shown as '${name}'`);
  if ((await page.$$('b')).length !== 0) fail('the box\'s markup became markup');
  if (dialogs.length !== 0) fail('a dialog opened: ' + dialogs.join(', '));
  if (!process.exitCode) console.log('the report shows the banner and every step');
} catch (e) {
  fail(e.stack || String(e));
} finally {
  if (browser) await browser.close();
  fs.rmSync(dir, {recursive: true, force: true});
}
