// Protected pages in headless Chromium: with the right password a visitor
// must see what restoring the page gives, and no answer to the prompt may
// raise a script error. kelvara-cli (KELVARA_CLI, set by CTest) protects and
// restores the pages; the browser fetches them from a scratch folder over
// http, with no charset in the answers, so that the pages' own declarations
// decide.
import { after, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';

const here = path.dirname(new URL(import.meta.url).pathname);
const work = fs.mkdtempSync('/tmp/kelvara-browser-');
// The prompt's message and default answer, first and after a wrong password.
const promptTexts = [['Page protected by Kelvara encryption tool.', 'Please enter your password'], ['Wrong password. Page protected by Kelvara encryption tool.', '']];
const { chromium } = await import('playwright-core').catch((error) => assert.fail(`run scripts/install-deps.sh browser: ${error}`));
const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', args: ['--no-sandbox', '--disable-gpu'] });
after(() => browser.close().then(() => fs.rmSync(work, { recursive: true })));

// Runs kelvara-cli on a page of the scratch folder; the password is given as its bytes.
function cli(args, password) {
  const run = spawnSync(process.env.KELVARA_CLI, ['--password-stdin', ...args], { input: Buffer.concat([Buffer.from(password), Buffer.from('\n')]) });
  assert.equal(run.status, 0, `kelvara-cli ${args}: ${run.stdout}${run.stderr}`);
}

// Writes the plain page (text or bytes) as `name` in the scratch folder and protects it.
function protect(name, plain, password) {
  fs.writeFileSync(path.join(work, name), plain, 'latin1');
  cli(['--protect', path.join(work, name)], password);
  return name;
}

// Opens a page of the scratch folder, answering the prompts in turn (null
// cancels): the prompts seen, the script errors, what the visitor then sees;
// the tab stays open when asked to.
async function open(name, answers = [], { screenshot = false, keep = false } = {}) {
  const tab = await browser.newPage();
  const seen = { prompts: [], errors: [] };
  await tab.route('http://kelvara.test/**', (route) => fs.promises.readFile(path.join(work, new URL(route.request().url()).pathname))
    .then((body) => route.fulfill({ body, contentType: route.request().url().endsWith('.css') ? 'text/css' : 'text/html' }), () => route.fulfill({ status: 404 })));
  tab.on('pageerror', (error) => seen.errors.push(error.message));
  tab.on('dialog', (dialog, answer = answers[seen.prompts.push([dialog.message(), dialog.defaultValue()]) - 1]) => (answer == null ? dialog.dismiss() : dialog.accept(answer)));
  await tab.goto(`http://kelvara.test/${name}`, { waitUntil: 'load' });
  await tab.evaluate(() => Promise.all([...document.images].map((image) => image.decode().catch(() => {}))));
  Object.assign(seen, await tab.evaluate(() => ({ title: document.title, body: document.body.innerHTML, text: document.body.innerText })));
  if (screenshot) seen.screenshot = await tab.screenshot({ fullPage: true });
  await (keep ? (seen.tab = tab) : tab.close());
  return seen;
}

test('styled pages look the same decoded in the browser as restored', async () => {
  const pages = fs.readdirSync(path.join(here, 'pages')).filter((name) => name.endsWith('.htm'));
  assert.ok(pages.length >= 6);
  for (const folder of ['protected/assets', 'restored/assets']) fs.cpSync(path.join(here, 'pages/assets'), path.join(work, folder), { recursive: true });
  for (const [i, page] of pages.entries()) {
    // Typed into the browser, "€" is the Windows-1252 byte 0x80; kelvara-cli takes it so in UTF-8.
    protect(`protected/${page}`, fs.readFileSync(path.join(here, 'pages', page)), Buffer.from(`pass ${i} \x80`, 'latin1'));
    fs.copyFileSync(path.join(work, 'protected', page), path.join(work, 'restored', page));
    cli(['--restore', path.join(work, 'restored', page)], `pass ${i} \u20ac`);
    const restored = await open(`restored/${page}`, [], { screenshot: true });
    const decoded = await open(`protected/${page}`, [`pass ${i} \u20ac`], { screenshot: true });
    assert.deepEqual([decoded.prompts, decoded.errors, restored.errors], [[promptTexts[0]], [], []], page);
    assert.deepEqual([decoded.title, decoded.body], [restored.title, restored.body], page);
    assert.ok(decoded.screenshot.equals(restored.screenshot), `${page}: the screenshots differ`);
  }
});

// The rows of testdata/prompts.json: what the row shows, the password the
// page was protected with (as Windows-1252 bytes), whether the page is a new
// one or an older or hand-edited one without its check line, the answers to
// the prompts (null cancels; x*N is N x's), how many prompts come, and what the visitor
// sees: the page, the line that Cancel leaves, or whatever a wrong key gives.
test('every answer to the prompt', async () => {
  const plain = '<html><head><title>Members &amp; guests</title></head>\r\n<body>\r\n<p>Members area</p>\r\n</body></html>\r\n';
  for (const [name, key, kind, answers, asked, sees] of JSON.parse(fs.readFileSync(path.join(here, 'testdata/prompts.json')))) {
    const bytes = fs.readFileSync(path.join(work, protect('prompt.htm', plain, Buffer.from(key, 'latin1'))), 'latin1');
    fs.writeFileSync(path.join(work, 'prompt.htm'), kind === 'old' ? bytes.replace(/ *VetrakCheck\(".*\r\n/, '') : bytes, 'latin1');
    const seen = await open('prompt.htm', answers.map((answer) => answer?.replace(/^x\*(\d+)$/, (_, n) => 'x'.repeat(n)) ?? null));
    assert.deepEqual([seen.prompts, seen.errors], [promptTexts.slice(0, asked), []], name);
    if (sees === 'page') assert.deepEqual([seen.title, seen.text], ['Members & guests', 'Members area'], name);
    if (sees === 'cancelled') assert.deepEqual([seen.title, seen.body], ['Kelvara', 'This page is protected by Kelvara.'], name);
    if (sees === 'garbage') assert.ok(!seen.text.includes('Members'), name);
  }
});

test("the page's own SHA-256 and password check give the known answers", async () => {
  const { tab } = await open(protect('vectors.htm', '<html><head><title>t</title></head><body>b</body></html>', 'pw'), [null], { keep: true });
  const vectors = fs.readFileSync(path.join(here, '../../cipher/testdata/sha256_vectors.txt'), 'utf8').split('\n').filter((line) => /^(sha256|check) /.test(line)).map((line) => line.split(' '));
  assert.equal(vectors.length, 10);
  for (const [kind, a, b, digest, password = ''] of vectors) {
    // The typed password must give the key that the programs make of it.
    const verdict = kind === 'sha256'
      ? await tab.evaluate(([message, times]) => VetrakSha256(message.repeat(times)), [Buffer.from(a === '-' ? '' : a, 'hex').toString('latin1'), Number(b)])
      : await tab.evaluate(([salt, check, typed]) => { VetrakCheck(salt, check); return [VetrakRight(VetrakKey(typed)), VetrakRight(VetrakKey(typed + '.'))]; }, [a, digest, password]);
    assert.deepEqual(verdict, kind === 'sha256' ? digest : [true, false], `${kind} ${a.slice(0, 16)} ${password}`);
  }
});
