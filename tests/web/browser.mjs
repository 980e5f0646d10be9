// What each browser test needs before it starts: the programs under test, Debian's
// chromium and playwright-core. Without the browser or playwright-core a test is skipped
// (exit status 77) with the reason; without the programs it fails.

import {spawn} from 'node:child_process';
import fs from 'node:fs';

export const SKIP = 77;
// The programs a test starts speak English unless it asks for Korean.
process.env.LANG = 'C.UTF-8';
delete process.env.LC_ALL;
delete process.env.LC_MESSAGES;
export const chromiumPath = process.env.DIALKITE_CHROMIUM || '/usr/bin/chromium';
export const cli = process.env.DIALKITE_CLI;
export const sim = process.env.DIALKITE_SIM;

export function skip(reason) {
  console.log('SKIPPED: ' + reason);
  process.exit(SKIP);
}

if (!cli || !sim) {
  console.error('DIALKITE_CLI and DIALKITE_SIM name the programs under test');
  process.exit(1);
}
if (!fs.existsSync(chromiumPath))
  skip(`no browser at ${chromiumPath}: install Debian's chromium (scripts/test does)`);
let loaded;
try {
  loaded = await import('playwright-core');
} catch (e) {
  skip('playwright-core is not installed: npm ci --prefix tests/web (scripts/test does)');
}
export const chromium = loaded.chromium;

// Debian's chromium, headless, as every browser test starts it.
export function launch() {
  return chromium.launch({
    executablePath: chromiumPath,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--no-first-run'],
  });
}

// A simulated box (dialkite-sim with `args`) and the promise of its pseudo-terminal's path.
export function startSim(args) {
  const box = spawn(sim, args, {stdio: ['ignore', 'pipe', 'pipe']});
  const device = new Promise((resolve, reject) => {
    let out = '';
    box.stdout.on('data', (chunk) => {
      out += chunk;
      if (out.includes('\n')) resolve(out.split('\n')[0].trim());
    });
    box.on('exit', () => reject(new Error('the simulator ended')));
  });
  return {box, device};
}
