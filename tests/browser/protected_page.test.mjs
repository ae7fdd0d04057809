// Protected pages in headless Chromium, served over plain http: with the right
// password a visitor must see what restoring the page gives, and no answer to
// the prompt may raise a script error.
//
// Run by CTest (browser_decoder), which names the built helpers in
// KELVARA_PROTECT_COPY (protects a copy of a page, the password on stdin) and
// KELVARA_CLI (restores a page in place).
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const kFirstPrompt = ['Page protected by Kelvara encryption tool.', 'Please enter your password'];
const kRetryPrompt = ['Wrong password. Page protected by Kelvara encryption tool.', ''];
const kCancelled = 'This page is protected by Kelvara.';

let chromium;
try {
  ({ chromium } = await import('playwright-core'));
} catch (error) {
  throw new Error(`playwright-core is missing (run scripts/install-deps.sh browser): ${error.message}`);
}
const { KELVARA_PROTECT_COPY: protectCopy, KELVARA_CLI: cli } = process.env;
for (const tool of [protectCopy, cli]) {
  if (!tool || !fs.existsSync(tool)) throw new Error('KELVARA_PROTECT_COPY and KELVARA_CLI must name the built tools');
}

let workDir;
let server;
let site;
let browser;
let context;

before(async () => {
  workDir = fs.mkdtempSync(path.join(os.tmpdir(), 'kelvara-browser-'));
  // No charset in the answers: the pages' own declarations decide.
  server = http.createServer((request, response) => {
    fs.readFile(path.join(workDir, decodeURIComponent(request.url)), (error, bytes) => {
      const type = request.url.endsWith('.css') ? 'text/css' : 'text/html';
      (error ? response.writeHead(404) : response.writeHead(200, { 'Content-Type': type })).end(bytes);
    });
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  site = `http://127.0.0.1:${server.address().port}`;
  browser = await chromium.launch({ executablePath: '/usr/bin/chromium', args: ['--no-sandbox', '--disable-gpu'] });
  context = await browser.newContext();
});

after(async () => {
  await browser?.close();
  server?.close();
  if (workDir) fs.rmSync(workDir, { recursive: true, force: true });
});

// Protects the plain page (its text, or its bytes) as `name` in the served
// folder; the password is given as its key bytes.
function protect(plain, name, keyBytes) {
  const target = path.join(workDir, name);
  fs.mkdirSync(path.dirname(target), { recursive: true });
  fs.writeFileSync(target + '.plain', plain, 'latin1');
  const run = spawnSync(protectCopy, [target + '.plain', target], { input: keyBytes });
  assert.equal(run.status, 0, `protecting ${name} failed: ${run.stdout}${run.stderr}`);
  return name;
}

// Opens a served page answering the prompts in turn (null cancels). Gives the
// prompts seen, the script errors, and what the visitor then sees.
async function open(name, answers = [], { screenshot = false } = {}) {
  const tab = await context.newPage();
  const prompts = [];
  const errors = [];
  tab.on('pageerror', (error) => errors.push(error.message));
  tab.on('dialog', async (dialog) => {
    prompts.push([dialog.message(), dialog.defaultValue()]);
    const answer = answers[prompts.length - 1];
    await (answer == null ? dialog.dismiss() : dialog.accept(answer));
  });
  try {
    await tab.goto(`${site}/${name}`, { waitUntil: 'load' });
    await tab.evaluate(() => Promise.all(Array.from(document.images).map((image) => image.decode().catch(() => {}))));
    const seen = await tab.evaluate(() => ({
      title: document.title,
      body: document.body.innerHTML,
      text: document.body.innerText,
      loadMs: performance.getEntriesByType('navigation')[0].loadEventEnd - performance.getEntriesByType('navigation')[0].loadEventStart,
    }));
    if (screenshot) seen.screenshot = await tab.screenshot({ fullPage: true });
    return { prompts, errors, ...seen };
  } finally {
    await tab.close();
  }
}

test('styled pages look the same decoded in the browser as restored', async () => {
  const pages = fs.readdirSync(path.join(here, 'pages')).filter((name) => name.endsWith('.htm'));
  assert.ok(pages.length >= 6);
  for (const folder of ['protected', 'restored']) {
    fs.cpSync(path.join(here, 'pages', 'assets'), path.join(workDir, folder, 'assets'), { recursive: true });
  }
  for (const [i, page] of pages.entries()) {
    // kelvara-cli takes "€" as the Windows-1252 byte 0x80.
    const password = `pass ${i} \u20ac`;
    protect(fs.readFileSync(path.join(here, 'pages', page)), `protected/${page}`, Buffer.concat([Buffer.from(`pass ${i} `), Buffer.from([0x80])]));
    fs.copyFileSync(path.join(workDir, 'protected', page), path.join(workDir, 'restored', page));
    const restore = spawnSync(cli, ['--password-stdin', path.join(workDir, 'restored', page)], { input: password + '\n' });
    assert.equal(restore.status, 0, `restoring ${page} failed: ${restore.stdout}${restore.stderr}`);

    const restored = await open(`restored/${page}`, [], { screenshot: true });
    const decoded = await open(`protected/${page}`, [password], { screenshot: true });
    assert.deepEqual(decoded.prompts, [kFirstPrompt], page);
    assert.deepEqual([decoded.errors, restored.errors], [[], []], page);
    assert.equal(decoded.title, restored.title, page);
    assert.equal(decoded.body, restored.body, page);
    assert.ok(decoded.screenshot.equals(restored.screenshot), `${page}: the screenshots differ`);
  }
});

test('every answer to the prompt', async () => {
  const plain = '<html><head><title>Members &amp; guests</title></head>\r\n<body>\r\n<p>Members area</p>\r\n</body></html>\r\n';
  const withCheck = (keyBytes, kind = 'check') => protect(plain, `prompt/${kind}-${keyBytes.toString('hex')}.htm`, keyBytes);
  // An older or hand-edited page: the same without its check line.
  const withoutCheck = (keyBytes) => {
    const file = path.join(workDir, withCheck(keyBytes, 'old'));
    fs.writeFileSync(file, fs.readFileSync(file, 'latin1').replace(/ *VetrakCheck\(".*\r\n/, ''), 'latin1');
    return path.relative(workDir, file);
  };
  const ascii = Buffer.from('Sesame 7');
  const euro = Buffer.from([0x80, 0x75, 0x72, 0x6f]);
  const first = [kFirstPrompt];
  const twice = [kFirstPrompt, kRetryPrompt];
  // sees: the page, the line that Cancel leaves, or whatever a wrong key gives.
  const rows = [
    { name: 'the right password', page: withCheck(ascii), answers: ['Sesame 7'], prompts: first, sees: 'page' },
    { name: 'a wrong one, then the right one', page: withCheck(ascii), answers: ['sesame 7', 'Sesame 7'], prompts: twice, sees: 'page' },
    { name: 'Cancel', page: withCheck(ascii), answers: [null], prompts: first, sees: 'cancelled' },
    { name: 'empty, then Cancel', page: withCheck(ascii), answers: ['', null], prompts: twice, sees: 'cancelled' },
    { name: 'very long, then Cancel', page: withCheck(ascii), answers: ['x'.repeat(100000), null], prompts: twice, sees: 'cancelled' },
    // Were "Ω" taken as "?", as an ANSI program would take it, it would match.
    { name: 'outside Windows-1252', page: withCheck(Buffer.from('?mega')), answers: ['\u03a9mega', null], prompts: twice, sees: 'cancelled' },
    { name: '"€" in the password', page: withCheck(euro), answers: ['\u20acuro'], prompts: first, sees: 'page' },
    { name: 'no check line: "€" in the password', page: withoutCheck(euro), answers: ['\u20acuro'], prompts: first, sees: 'page' },
    { name: 'no check line: a wrong one is not told', page: withoutCheck(ascii), answers: ['sesame 7'], prompts: first, sees: 'garbage' },
    { name: 'no check line: Cancel', page: withoutCheck(ascii), answers: [null], prompts: first, sees: 'cancelled' },
  ];
  for (const row of rows) {
    const seen = await open(row.page, row.answers);
    assert.deepEqual(seen.prompts, row.prompts, row.name);
    assert.deepEqual(seen.errors, [], row.name);
    if (row.sees === 'page') assert.deepEqual([seen.title, seen.text], ['Members & guests', 'Members area'], row.name);
    if (row.sees === 'cancelled') assert.deepEqual([seen.title, seen.body], ['Kelvara', kCancelled], row.name);
    if (row.sees === 'garbage') assert.ok(!seen.text.includes('Members'), row.name);
  }
});

test('the page\'s own SHA-256 and password check give the known answers', async () => {
  const name = protect('<html><head><title>t</title></head><body>b</body></html>', 'vectors.htm', Buffer.from('pw'));
  const tab = await context.newPage();
  tab.on('dialog', (dialog) => dialog.dismiss());
  try {
    await tab.goto(`${site}/${name}`, { waitUntil: 'load' });
    const lines = fs.readFileSync(path.join(here, '../../cipher/testdata/sha256_vectors.txt'), 'utf8').split('\n');
    const vectors = lines.filter((line) => /^(sha256|check) /.test(line)).map((line) => line.split(' '));
    assert.equal(vectors.length, 10);
    for (const [kind, a, b, digest, password = ''] of vectors) {
      if (kind === 'sha256') {
        const bytes = Buffer.from(a === '-' ? '' : a, 'hex').toString('latin1').repeat(Number(b));
        assert.equal(await tab.evaluate((m) => VetrakSha256(m), bytes), digest, `${a.slice(0, 16)} x ${b}`);
      } else {
        // The typed password must give the key that the programs make of it.
        const [right, wrong] = await tab.evaluate(([salt, check, typed]) => {
          VetrakCheck(salt, check);
          return [VetrakRight(VetrakKey(typed)), VetrakRight(VetrakKey(typed + '.'))];
        }, [a, digest, password]);
        assert.deepEqual([right, wrong], [true, false], password);
      }
    }
  } finally {
    await tab.close();
  }
});

test('a 1 MiB page decodes in under a second', async () => {
  const line = '<p>Zeile mit Umlauten \xe4\xf6\xfc und Zahlen 0123456789 abcdefghijklmnopqrstuvwxyz</p>';
  const body = Array.from({ length: 6300 }, (_, i) => `${line} ${i}`).join('\r\n');
  const name = protect(`<html><head><title>Big</title></head><body>\r\n${body}\r\n</body></html>`, 'big.htm', Buffer.from('a longer password 123'));
  assert.ok(fs.statSync(path.join(workDir, name)).size >= 1 << 20);
  const seen = await open(name, ['a longer password 123']);
  assert.equal(seen.body.split('<p>').length - 1, 6300);
  assert.ok(seen.body.includes('Umlauten \u00e4\u00f6\u00fc'));
  console.log(`# 1 MiB page: load handler ran ${seen.loadMs.toFixed(0)} ms (prompt round trip included)`);
  assert.ok(seen.loadMs < 1000, `${seen.loadMs} ms`);
});
