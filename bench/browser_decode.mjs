// Times the decoder of protected pages in headless Chromium, on made-up pages
// of 1 MiB and 4 MiB and on a real documentation page of 5.6 MiB: from the accepted password to the page's text ready
// (inflated and decoded), to the author's page written (document.write done:
// the browser's parse of it, before any layout it does on its own), and to
// the load event of the written page. Next to them, the plain page served
// the same way: its parse (first byte to parsed) and its load (start of its
// navigation to load), which no decoder can beat. Then the strong form, on a
// page of 20 KiB and the same two: from Enter in its password form to the
// page written and loaded, at the page's own iteration count (on a small
// page the key derivation is nearly all of it). Prints tables of medians.
//
//   node bench/browser_decode.mjs KELVARA_CLI [RUNS]
//
// scripts/bench.sh runs it when node, Chromium and tests/browser's npm
// packages are there (scripts/install-deps.sh browser).
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';

const [cli, runArg] = process.argv.slice(2);
if (!cli) {
  console.error('usage: node bench/browser_decode.mjs KELVARA_CLI [RUNS]');
  process.exit(2);
}
const runs = Number(runArg ?? 5);
const password = 'correct horse battery';
const mib = 1024 * 1024;
const { chromium } = await import(new URL('../tests/browser/node_modules/playwright-core/index.mjs', import.meta.url));

// The head script that notes when a page has loaded.
const loadedMark = '<script>addEventListener("load", function () { window.benchLoaded = performance.now(); });</script>';

// A real documentation page, as Debian ships it, when it is there (scripts/
// install-deps.sh docs): the whole of Node.js's API in one page, with the
// head script above put at the start of its head. Its bytes and its title.
function realPage() {
  const file = '/usr/share/doc/nodejs/api/all.html';
  if (!fs.existsSync(file)) return [];
  const text = fs.readFileSync(file, 'latin1');
  const head = text.indexOf('<head>') + '<head>'.length;
  return [['Node.js all.html', Buffer.from(text.slice(0, head) + loadedMark + text.slice(head), 'latin1'), /<title>([^<]*)<\/title>/.exec(text)[1]]];
}

// A page of at least `bytes` bytes, in the shape of the other benchmarks'
// pages (paragraphs, a script every 23 lines, a comment every 31), in UTF-8,
// whose head script notes when it has loaded.
function makePage(bytes) {
  const words = ['meeting', 'garden', 'window', 'river', 'council', 'summer', 'café', 'market', 'station', 'library',
    'bridge', 'evening', 'harbour', 'école', 'ticket', 'weather', 'history', 'village', 'coffee', 'notice', 'Straße', 'member', 'season', 'concert'];
  let state = 12345;
  const next = (bound) => ((state = (state * 1664525 + 1013904223) >>> 0) >>> 8) % bound;
  const lines = ['<!DOCTYPE html>', '<html lang="en">', '<head>', '<meta charset="utf-8">', '<title>Club news</title>', loadedMark, '</head>', '<body>'];
  let size = lines.join('\r\n').length;
  for (let n = 1; size < bytes; n++) {
    let line;
    if (n % 23 === 0) line = `<script>var visits = ${n};</script>`;
    else if (n % 31 === 0) line = `<!-- note ${n}: check the dates before publishing -->`;
    else line = `<p>${Array.from({ length: 8 + next(12) }, () => words[next(words.length)]).join(' ')}.</p>`;
    lines.push(line);
    size += Buffer.byteLength(line) + 2;
  }
  lines.push('</body>', '</html>', '');
  return Buffer.from(lines.join('\r\n'));
}

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'kelvara-browser-bench-'));
const server = http.createServer((request, response) => {
  fs.readFile(path.join(work, path.basename(new URL(request.url, 'http://x').pathname)), (error, body) => {
    response.writeHead(error ? 404 : 200, { 'Content-Type': 'text/html' });
    response.end(error ? '' : body);
  });
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
const base = `http://127.0.0.1:${server.address().port}`;
const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update'] });

// One visit to a page in the strong form, its password filled in and Enter
// pressed: the moments of Enter, of the page written and of its load.
async function visitStrong(name) {
  const tab = await browser.newPage();
  await tab.addInitScript(() => {
    addEventListener('keydown', (event) => { if (event.key === 'Enter') window.benchEnter = performance.now(); }, true);
    const close = Document.prototype.close;
    Document.prototype.close = function () { window.benchWritten = performance.now(); return close.call(this); };
  });
  const errors = [];
  tab.on('pageerror', (error) => errors.push(error.message));
  await tab.goto(`${base}/${name}`, { waitUntil: 'load' });
  await tab.fill('#VetrakPassword', password);
  await tab.press('#VetrakPassword', 'Enter');
  await tab.waitForFunction(() => window.benchLoaded !== undefined, null, { timeout: 60000 });
  const [title, ...times] = await tab.evaluate(() => [document.title, window.benchEnter, window.benchWritten, window.benchLoaded]);
  await tab.close();
  if (errors.length || title !== 'Club news') throw new Error(`${name}: ${errors.join('; ') || `the page shown is "${title}"`}`);
  return times;
}

// One visit, in a tab of its own: for the protected page the moments of the
// answer to the prompt (which the tab's own prompt gives at once, with no
// dialog), of document.open and of document.close, then for either page
// the moment of its load and the plain page's parse.
async function visit(name, shown) {
  const tab = await browser.newPage();
  await tab.addInitScript((answer) => {
    window.prompt = () => { window.benchAccepted = performance.now(); return answer; };
    const open = Document.prototype.open;
    const close = Document.prototype.close;
    Document.prototype.open = function () { window.benchDecoded = performance.now(); return open.call(this); };
    Document.prototype.close = function () { window.benchWritten = performance.now(); return close.call(this); };
  }, password);
  const errors = [];
  tab.on('pageerror', (error) => errors.push(error.message));
  await tab.goto(`${base}/${name}`, { waitUntil: 'load' });
  await tab.waitForFunction(() => window.benchLoaded !== undefined, null, { timeout: 60000 });
  const [title, ...times] = await tab.evaluate(() => {
    const navigation = performance.getEntriesByType('navigation')[0];
    return [document.title, window.benchAccepted, window.benchDecoded, window.benchWritten, window.benchLoaded, navigation.domInteractive - navigation.responseStart];
  });
  await tab.close();
  if (errors.length || title !== shown) throw new Error(`${name}: ${errors.join('; ') || `the page shown is "${title}"`}`);
  return times;
}

const median = (values) => values.sort((a, b) => a - b)[values.length >> 1];
const ms = (value) => `${value.toFixed(1)} ms`;
const rows = [];
const strongRows = [];
let iterations;
try {
  const pages = [['made up', makePage(mib), 'Club news'], ['made up', makePage(4 * mib), 'Club news'], ...realPage()];
  for (const [n, [kind, plain, shown]] of pages.entries()) {
    fs.writeFileSync(path.join(work, `plain-${n}.htm`), plain);
    fs.writeFileSync(path.join(work, `page-${n}.htm`), plain);
    const run = spawnSync(cli, ['--password-stdin', '--protect', path.join(work, `page-${n}.htm`)], { input: `${password}\n` });
    if (run.status !== 0) throw new Error(`kelvara-cli --protect: ${run.stdout}${run.stderr}`);
    const decoded = [];
    const plainVisits = [];
    for (let i = 0; i < runs; i++) {
      decoded.push(await visit(`page-${n}.htm`, shown));
      plainVisits.push(await visit(`plain-${n}.htm`, shown));
    }
    const pageMib = plain.length / mib;
    const from = (at) => median(decoded.map((times) => times[at] - times[0]));
    const perMib = (value) => `${(value / pageMib).toFixed(1)}`;
    rows.push([`${kind}, ${pageMib.toFixed(2)} MiB`, `${ms(from(1))} (${perMib(from(1))})`, `${ms(from(2))} (${perMib(from(2))})`, ms(from(3)),
      `${ms(median(plainVisits.map((times) => times[4])))} (${perMib(median(plainVisits.map((times) => times[4])))})`, ms(median(plainVisits.map((times) => times[3])))]);
  }
  for (const kib of [20, 1024, 4096]) {
    const name = `strong-${kib}.htm`;
    fs.writeFileSync(path.join(work, name), makePage(kib * 1024));
    const run = spawnSync(cli, ['--password-stdin', '--protect', '--strong', path.join(work, name)], { input: `${password}\n` });
    if (run.status !== 0) throw new Error(`kelvara-cli --protect --strong: ${run.stdout}${run.stderr}`);
    iterations = /VetrakStrong\("[^"]*", (\d+)\);/.exec(fs.readFileSync(path.join(work, name), 'latin1'))[1];
    const visits = [];
    for (let i = 0; i < runs; i++) visits.push(await visitStrong(name));
    const written = median(visits.map((times) => times[1] - times[0]));
    strongRows.push([kib < 1024 ? `${kib} KiB` : `${kib / 1024} MiB`, ms(written), ms(median(visits.map((times) => times[2] - times[0]))), 'written within 1 s', written <= 1000 ? 'yes' : 'NO']);
  }
} finally {
  await browser.close();
  server.close();
  fs.rmSync(work, { recursive: true });
}

console.log(`Headless Chromium (${runs} runs each, median; in brackets ms per MiB). The protected page from the accepted password:`);
console.log('text ready (inflated, decoded), written (document.write done, the page parsed), loaded. The plain page: parsed, loaded.');
console.log();
console.log('| Page | Text ready | Written | Loaded | Plain page parsed | Plain page loaded |');
console.log('| ---: | ---: | ---: | ---: | ---: | ---: |');
for (const row of rows) console.log(`| ${row.join(' | ')} |`);
console.log();
console.log(`The strong form (${runs} runs each, median), ${Number(iterations).toLocaleString('en')} iterations: from Enter in the form to the page written, and loaded.`);
console.log();
console.log('| Page | Written | Loaded | Target | Met |');
console.log('| ---: | ---: | ---: | --- | --- |');
for (const row of strongRows) console.log(`| ${row.join(' | ')} |`);
