// The fleet page in a real headless browser: Debian's chromium driven by playwright-core.
// A collector with --http, fed through a real mosquitto by two monitors of simulated
// boxes; the browser signs in with the token, sees the boxes, sees a new call arrive
// within a second, searches it, downloads the CSV, sees a box go offline when its monitor
// stops, and sees a box whose name is markup shown as text; the chart has its axis and
// hours; at a phone's width (390 x 844) in dark mode the page fits and is dark; a box whose
// monitor is killed stays 오프라인 across a broker restart; with the page's own feed down,
// no box is called online.
//
// Exit status: 0 passed, 1 failed, 77 skipped (no browser or no playwright-core here),
// with the reason printed either way. DIALKITE_SCREENSHOT=FILE keeps a picture of the page.

import {spawn, spawnSync} from 'node:child_process';
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';

import {chromium, chromiumPath, cli, sim, skip} from './browser.mjs';

const mosquitto = ['/usr/sbin/mosquitto', '/usr/bin/mosquitto'].find((p) => fs.existsSync(p));
if (!mosquitto) skip('no mosquitto to carry the fleet');

const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'dialkite-page-'));
const children = [];
let browser;

function freePort() {
  return new Promise((resolve, reject) => {
    const server = net.createServer();
    server.on('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const {port} = server.address();
      server.close(() => resolve(port));
    });
  });
}

function sleep(ms) {
  return new Promise((resolve) => setTimeout(resolve, ms));
}

async function until(what, test, ms) {
  const end = Date.now() + ms;
  for (;;) {
    if (await test()) return;
    if (Date.now() > end) throw new Error(`${what}: not within ${ms} ms`);
    await sleep(50);
  }
}

// A child whose output is kept for the report of a failure.
function start(program, args, env = {}) {
  const child = spawn(program, args, {env: {...process.env, ...env}, stdio: ['pipe', 'pipe', 'pipe']});
  child.out = '';
  child.err = '';
  child.stdout.on('data', (d) => { child.out += d; });
  child.stderr.on('data', (d) => { child.err += d; });
  child.exited = new Promise((resolve) => child.on('exit', resolve));
  children.push(child);
  return child;
}

function stop(child) {
  if (child.exitCode === null && child.signalCode === null) child.kill('SIGTERM');
  return child.exited;
}

async function listening(port) {
  await until(`something listening on ${port}`, () => new Promise((resolve) => {
    const socket = net.connect(port, '127.0.0.1');
    socket.on('connect', () => { socket.destroy(); resolve(true); });
    socket.on('error', () => resolve(false));
  }), 10000);
}

// A simulated box; resolves to its pseudo-terminal's path.
async function box() {
  const child = start(sim, ['--keep-running']);
  await until('the simulator\'s port', () => child.out.includes('\n'), 10000);
  child.path = child.out.slice(0, child.out.indexOf('\n'));
  return child;
}

async function main() {
  const brokerPort = await freePort();
  const pagePort = await freePort();
  const config = path.join(dir, 'mosquitto.conf');
  fs.writeFileSync(config, `listener ${brokerPort} 127.0.0.1\nallow_anonymous true\n` +
                   (process.getuid() === 0 ? 'user root\n' : ''));
  let brokerProcess = start(mosquitto, ['-c', config]);
  await listening(brokerPort);
  const broker = `mqtt://127.0.0.1:${brokerPort}`;
  const settings = path.join(dir, 'none.ini');
  const token = 'page-test-token';

  // The phonebook of the collector's history knows one caller, by a name that is markup.
  const named = spawnSync(cli, ['contacts', 'add', '<b>김</b>사장', '+82 31-999-8888', '--db',
                                path.join(dir, 'fleet.sqlite')], {encoding: 'utf8'});
  if (named.status !== 0) throw new Error('contacts add: ' + named.stderr);
  const collector = start(cli, ['collect', '--mqtt', broker, '--history', path.join(dir, 'fleet.sqlite'),
                                '--http', String(pagePort), '--settings', settings],
                          {DIALKITE_HTTP_TOKEN: token});
  await until('the collector\'s page', () => collector.err.includes('the page is on'), 10000);

  const front = await box();
  const odd = await box();
  const hostile = '<i>기울임<i>';
  const monitors = [
    start(cli, ['monitor', '--box', `front=${front.path}`, '--identify', '--mqtt', broker, '--spool',
                path.join(dir, 'front.spool'), '--settings', settings]),
    start(cli, ['monitor', '--box', `${hostile}=${odd.path}`, '--mqtt', broker, '--spool',
                path.join(dir, 'odd.spool'), '--settings', settings]),
  ];

  browser = await chromium.launch({
    executablePath: chromiumPath,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  const context = await browser.newContext({acceptDownloads: true, locale: 'ko-KR',
                                            viewport: {width: 1280, height: 900}});
  const page = await context.newPage();
  const problems = [];
  page.on('pageerror', (e) => problems.push('page error: ' + e.message));
  page.on('console', (m) => { if (m.type() === 'error') problems.push('console: ' + m.text()); });
  page.on('dialog', (d) => { problems.push('a dialog opened: ' + d.message()); d.dismiss(); });

  // Signing in once with the token.
  const base = `http://127.0.0.1:${pagePort}/`;
  await page.goto(base);
  await page.fill('input[name=token]', 'not-the-token');
  await page.click('button[type=submit]');
  await page.waitForSelector('#wrong-token');
  if (await page.locator('#boxes').count() !== 0) throw new Error('a wrong token was let in');
  problems.length = 0; // the refusal's 401, as meant
  await page.fill('input[name=token]', token);
  await page.click('button[type=submit]');
  await page.waitForSelector('#boxes');

  // The boxes, both online; the markup in a name is text.
  const row = (name) => page.locator('#boxes tbody tr').filter({has: page.locator('td', {hasText: name})});
  await until('both boxes online on the page', async () =>
    (await page.locator('#boxes tbody tr td.online').count()) === 2, 15000);
  const hostileCell = page.locator('#boxes tbody tr td:first-child', {hasText: '기울임'});
  if (await hostileCell.textContent() !== hostile)
    throw new Error(`the hostile name shows as "${await hostileCell.textContent()}"`);
  if (await page.locator('#boxes i, #live i').count() !== 0)
    throw new Error('a box name became markup on the page');
  await until('the live feed connected', async () =>
    (await page.textContent('#live-state')) === '실시간 연결됨', 5000);

  // A new call is on the page within a second of the box sending it.
  const sent = Date.now();
  front.stdin.write('call 1 0212345678\n');
  await page.locator('#live tbody tr', {hasText: '02-1234-5678'}).waitFor({timeout: 5000});
  const took = Date.now() - sent;
  console.log(`the call was on the page ${took} ms after the box sent it`);
  // A second; a build that checks every memory access (ASan) is given more.
  const limit = Number(process.env.DIALKITE_PAGE_LIMIT_MS || 1000);
  if (took > limit) throw new Error(`the call took ${took} ms to reach the page (limit ${limit})`);
  await until('calls today counted', async () =>
    (await row('front').locator('td').nth(6).textContent()) === '1', 5000);

  // The search finds it by a fragment of its number; another fragment finds nothing.
  await page.fill('#search input[name=number]', '3456');
  await page.click('#search button[type=submit]');
  await until('the search', async () => (await page.locator('#calls tbody tr').count()) === 1 &&
    (await page.locator('#calls tbody tr td.number').textContent()) === '02-1234-5678', 5000);
  await page.fill('#search input[name=number]', '99999');
  await page.click('#search button[type=submit]');
  await until('an empty search', async () => (await page.locator('#calls tbody tr').count()) === 0, 5000);

  // The CSV of the search, as the browser downloads it.
  await page.fill('#search input[name=number]', '3456');
  await page.click('#search button[type=submit]');
  await until('the search again', async () => (await page.locator('#calls tbody tr').count()) === 1, 5000);
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#csv')]);
  const csv = fs.readFileSync(await download.path(), 'utf8');
  if (!csv.startsWith('\ufeffPC 시각,장비,채널')) throw new Error('the CSV starts: ' + csv.slice(0, 40));
  const lines = csv.trim().split('\n');
  if (lines.length !== 2 || !lines[1].includes('02-1234-5678') || !lines[1].includes('front'))
    throw new Error('the CSV holds:\n' + csv);

  // The chart: 24 hours, this hour's bar (the last) with the call, drawn again after it.
  const bars = page.locator('#chart rect');
  if (await bars.count() !== 24) throw new Error(`${await bars.count()} bars in the chart`);
  await until('the call in the chart', async () =>
    (await bars.nth(23).locator('title').textContent()).endsWith(' 1통화') &&
    Number(await bars.nth(23).getAttribute('height')) > 0, 5000);

  if (process.env.DIALKITE_SCREENSHOT)
    await page.screenshot({path: process.env.DIALKITE_SCREENSHOT, fullPage: true});

  // The chart's axis: 0 and the most calls in an hour; hours every third one, counting
  // back from the current hour, which is labelled.
  const counts = await page.$$eval('#chart text.count', (t) => t.map((x) => x.textContent));
  if (!counts.includes('0') || !counts.includes('1')) throw new Error('the axis: ' + counts);
  const labels = await page.$$eval('#chart text.hour', (t) => t.map((x) => x.textContent));
  const hour = String(new Date().getHours()).padStart(2, '0') + '시';
  if (labels.length !== 8 || labels[7] !== hour)
    throw new Error(`the hours labelled: ${labels} (now ${hour})`);
  // The variant as people read it: its number with its box's name.
  const variantCell = await row('front').locator('td').nth(2).textContent();
  if (variantCell !== '1 (DK-A)') throw new Error('the variant shows as ' + variantCell);
  // The last event's age.
  const ageText = await row('front').locator('.age').textContent();
  if (!/방금|분 전/.test(ageText)) throw new Error('the last event\'s age: ' + ageText);

  // A caller the phonebook knows: the name beside the number, as text, live and in a search
  // by a part of the name.
  front.stdin.write('call 2 0319998888\n');
  const caller = '<b>김</b>사장 031-999-8888';
  await page.locator('#live tbody tr td.number', {hasText: caller}).waitFor({timeout: 5000});
  await page.fill('#search input[name=number]', '사장');
  await page.click('#search button[type=submit]');
  await until('a search by name', async () => (await page.locator('#calls tbody tr').count()) === 1 &&
    (await page.locator('#calls tbody tr td.number').textContent()) === caller, 5000);
  if (await page.locator('#live b, #calls b').count() !== 0)
    throw new Error('a caller\'s name became markup on the page');

  // The phonebook on the page: a spreadsheet's CSV from a Korean PC (CP949) imported, its
  // refusal said with its line, the list showing every contact as text.
  const shopCsv = path.join(dir, '거래처.csv');
  fs.writeFileSync(shopCsv, Buffer.from('c0ccb8a72cb9f8c8a30a' + 'c1a4bcf6c1f82c3031302d353535352d363636360a' +
                                        '2c3031302d313131312d323232320a', 'hex'));
  await page.setInputFiles('#contacts-import input[name=file]', shopCsv);
  await page.click('#contacts-import button[type=submit]');
  await until('the import said', async () => (await page.textContent('#contacts-result')) ===
    '거래처.csv (CP949): 추가 1, 병합 0, 그대로 0, 거부 1', 5000)
    .catch(async (e) => { throw new Error(e.message + ': ' + await page.textContent('#contacts-result')); });
  if ((await page.textContent('#contacts-refused li')) !== 'line 3: no name')
    throw new Error('the refusal: ' + await page.textContent('#contacts-refused'));
  await until('the phonebook listed', async () =>
    (await page.locator('#contacts tbody tr').count()) === 2, 5000);
  const listed = await page.$$eval('#contacts tbody tr td:first-child', (t) => t.map((x) => x.textContent));
  if (!listed.includes('정수진') || !listed.includes('<b>김</b>사장') ||
      await page.locator('#contacts b').count() !== 0)
    throw new Error('the phonebook lists: ' + listed);
  // Imported on the page, the names are the console's within two seconds.
  await new Promise((resolve) => setTimeout(resolve, 2500));
  front.stdin.write('call 4 01055556666\n');
  await page.locator('#live tbody tr td.number', {hasText: '정수진 010-5555-6666'}).waitFor({timeout: 5000});

  // "알림 켜기" in a tab in the background: the next call is a notification of the browser,
  // with the caller's name.
  const background = await browser.newContext({locale: 'ko-KR', permissions: ['notifications']});
  await background.addInitScript(() => {
    window.shown = [];
    window.Notification = class {
      static permission = 'default';
      static async requestPermission() { window.Notification.permission = 'granted'; return 'granted'; }
      constructor(title, options) { window.shown.push({title, body: options.body}); }
    };
    Object.defineProperty(document, 'hidden', {get: () => true});
  });
  const away = await background.newPage();
  away.on('pageerror', (e) => problems.push('page error: ' + e.message));
  await away.goto(base);
  await away.fill('input[name=token]', token);
  await away.click('button[type=submit]');
  await away.waitForSelector('#boxes');
  await away.click('#notify');
  await until('notifications on', async () => (await away.textContent('#notify')) === '알림 켜짐', 5000);
  await until('the feed of the tab in the background', async () =>
    (await away.textContent('#live-state')) === '실시간 연결됨', 5000);
  front.stdin.write('call 3 0319998888\n');
  await until('a notification', async () => (await away.evaluate(() => window.shown.length)) === 1, 5000);
  const shown = await away.evaluate(() => window.shown[0]);
  if (shown.title !== '전화: <b>김</b>사장' || shown.body !== '채널 3 · 031-999-8888 · front')
    throw new Error('the notification: ' + JSON.stringify(shown));
  await background.close();

  // The front box's monitor stops: the page shows it offline.
  await stop(monitors[0]);
  await until('the stopped box offline', async () =>
    (await row('front').locator('td.offline').count()) === 1, 10000);

  // The other box's monitor is killed and the broker restarted: no monitor says the box is
  // online any more, and the page says 오프라인.
  monitors[1].kill('SIGKILL');
  await monitors[1].exited;
  await stop(brokerProcess);
  brokerProcess = start(mosquitto, ['-c', config]);
  await listening(brokerPort);
  await until('the killed box offline after the broker\'s restart', async () =>
    (await row('기울임').locator('td.offline').count()) === 1 &&
    (await page.locator('#boxes td.online').count()) === 0, 20000)
    .catch(async (e) => {
      throw new Error(e.message + ': ' + await page.textContent('#boxes tbody'));
    });

  // A phone, by day and at night: the page fits 390 px without scrolling sideways, its text
  // stays readable, and at night it is dark.
  for (const colorScheme of ['light', 'dark']) {
    const phone = await browser.newContext({viewport: {width: 390, height: 844}, colorScheme,
                                            locale: 'ko-KR', deviceScaleFactor: 2, isMobile: true});
    const small = await phone.newPage();
    await small.goto(base);
    await small.fill('input[name=token]', token);
    await small.click('button[type=submit]');
    await small.waitForSelector('#boxes tbody tr');
    await small.locator('#calls tbody tr').first().waitFor({timeout: 5000});
    const fit = await small.evaluate(() => ({
      width: document.documentElement.scrollWidth,
      font: Math.min(...[...document.querySelectorAll('td, th, input, label')]
        .filter((e) => e.offsetParent !== null)
        .map((e) => parseFloat(getComputedStyle(e).fontSize))),
      background: getComputedStyle(document.body).backgroundColor,
    }));
    if (fit.width > 390) throw new Error(`the ${colorScheme} phone's page is ${fit.width} px wide`);
    if (fit.font < 12) throw new Error(`the ${colorScheme} phone's smallest text is ${fit.font} px`);
    const [r, g, b] = fit.background.match(/\d+/g).map(Number);
    if ((r + g + b > 150) !== (colorScheme === 'light'))
      throw new Error(`the ${colorScheme} page's background is ${fit.background}`);
    if (process.env.DIALKITE_SCREENSHOT)
      await small.screenshot({
        path: process.env.DIALKITE_SCREENSHOT.replace(/\.png$/, `-phone-${colorScheme}.png`),
        fullPage: true});
    await phone.close();
  }

  // The collector goes: the page cannot know any box's state, and says so.
  await stop(collector);
  await until('every box unknown with the page\'s feed down', async () =>
    (await page.locator('#boxes td.unknown').count()) === 2, 10000);
  problems.length = 0; // the feed's and the board's failed requests, as meant
}

let status = 0;
try {
  await main();
  console.log('PASSED: the page in chromium');
} catch (e) {
  status = 1;
  console.error('FAILED: ' + (e && e.stack || e));
  for (const child of children)
    if (child.err) console.error(`--- ${child.spawnargs.slice(0, 2).join(' ')}:\n${child.err}`);
} finally {
  if (browser) await browser.close().catch(() => {});
  await Promise.all(children.map((child) => {
    if (child.exitCode === null && child.signalCode === null) child.kill('SIGKILL');
    return child.exited;
  }));
  fs.rmSync(dir, {recursive: true, force: true});
}
process.exit(status);
