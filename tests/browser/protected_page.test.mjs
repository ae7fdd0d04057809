// Protected pages in headless Chromium: with the right password a visitor
// must see the author's own page (and, on a page without the whole-page
// line, what restoring the page gives), and no answer to the prompt may
// raise a script error. kelvara-cli (KELVARA_CLI, set by CTest) protects and
// restores the pages; the browser fetches them from a scratch folder over
// http, with no charset in the answers, so that the pages' own declarations
// decide.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { cli as run, copyPages, here, profile, visit, work } from './chromium.mjs';

// The prompt's message and default answer, first and after a wrong password.
const promptTexts = [['Page protected by Kelvara encryption tool.', 'Please enter your password'], ['Wrong password. Page protected by Kelvara encryption tool.', '']];
// One profile for every tab: making one for each costs more than the page it shows.
const context = await profile('http://kelvara.test/**');

// Runs kelvara-cli on a page of the scratch folder; the password is given as its bytes.
const cli = (args, password) => run(['--password-stdin', ...args], Buffer.concat([Buffer.from(password), Buffer.from('\n')]));

// Writes the plain page (text or bytes) as `name` in the scratch folder and protects it.
function protect(name, plain, password) {
  fs.writeFileSync(path.join(work, name), plain, 'latin1');
  cli(['--protect', path.join(work, name)], password);
  return name;
}

// Opens a page of the scratch folder, over http or as a file (`served`).
const open = (name, answers, options = {}) => visit(context, options.served === 'file' ? `file://${work}/${name}` : `http://kelvara.test/${name}`, { answers, ...options });

// Every page of pages/, opened at the fragment given (and then reloaded);
// over http, where the pages' declarations decide, but as a file where the
// page declares no encoding and is UTF-8: Chromium reads such a page as UTF-8
// from a file only, the decoder wherever the protected page comes from.
// Older pages decode body by body, so a few pages of different shapes stand
// for them: `old` marks those.
const pages = [
  ['ascii-plain.htm', '', 'http', 'old'], ['cp1252-menu.htm'], ['gallery.htm'], ['onload.htm', '', 'http', 'old'], ['utf8-news.htm'],
  ['handbook.htm', '#care'], ['receitas.htm', '', 'file'], ['raspisanie.htm', '', 'http', 'old'], ['patisserie.htm'],
];

// A decoded page must be the author's page as the browser shows it: title,
// mode, language, the whole document as its scripts left it (nothing of the
// decoder in it), history, scrolled to its fragment's target and put back in
// place on a reload, the load events of the page once each (handbook.htm
// logs them). Without its whole-page line, as a page of an older version, it
// must look as restored.
test('pages look decoded as their authors made them, and without the page line as restored', async () => {
  assert.deepEqual(pages.map(([page]) => page).sort(), fs.readdirSync(path.join(here, 'pages')).filter((name) => name.endsWith('.htm')).sort());
  // A tab for each of the four, each page after the last, so their histories stay alike.
  const tabs = {};
  copyPages(['original', 'protected', 'parts', 'restored']);
  for (const folder of ['original', 'protected', 'parts', 'restored']) tabs[folder] = await context.newPage();
  for (const [i, [page, fragment = '', served = 'http', old]] of pages.entries()) {
    fs.copyFileSync(path.join(here, 'pages', page), path.join(work, 'original', page));
    // Typed into the browser, "€" is the Windows-1252 byte 0x80; kelvara-cli takes it so in UTF-8.
    protect(`protected/${page}`, fs.readFileSync(path.join(here, 'pages', page)), Buffer.from(`pass ${i} \x80`, 'latin1'));
    const protectedPage = fs.readFileSync(path.join(work, 'protected', page), 'latin1');
    assert.match(protectedPage, /\r\n {4}VetrakPage\("[A-Za-z0-9+/]+={0,2}"\);\r\n/, page);

    const reload = fragment !== '';
    const original = await open(`original/${page}${fragment}`, [], { screenshot: true, served, reload, tab: tabs.original });
    const decoded = await open(`protected/${page}${fragment}`, [`pass ${i} \u20ac`, `pass ${i} \u20ac`], { screenshot: true, served, reload, tab: tabs.protected });
    assert.deepEqual([decoded.prompts, decoded.errors, original.errors], [Array(reload ? 2 : 1).fill(promptTexts[0]), [], []], page);
    assert.deepEqual(decoded.state, original.state, page);
    assert.ok(decoded.screenshot.equals(original.screenshot), `${page}: the decoded page looks different from the author's`);
    if (!old) continue;

    // As an older version made it: no check value, no seal, no whole page.
    fs.writeFileSync(path.join(work, 'parts', page), protectedPage.replace(/ *(Vetrak(Check|Page)\("|var VetrakSeal = ").*\r\n/g, ''), 'latin1');
    fs.copyFileSync(path.join(work, 'parts', page), path.join(work, 'restored', page));
    cli(['--restore', path.join(work, 'restored', page)], `pass ${i} \u20ac`);
    const restored = await open(`restored/${page}`, [], { screenshot: true, tab: tabs.restored });
    const parts = await open(`parts/${page}`, [`pass ${i} \u20ac`], { screenshot: true, tab: tabs.parts });
    assert.deepEqual([parts.prompts, parts.errors, restored.errors], [[promptTexts[0]], [], []], page);
    assert.deepEqual([parts.title, parts.body], [restored.title, restored.body], page);
    assert.ok(parts.screenshot.equals(restored.screenshot), `${page}: without the page line it looks different from the restored page`);
  }
});

// The rows of testdata/prompts.json: what the row shows, the password the
// page was protected with (as Windows-1252 bytes), whether the page is a new
// one or an older or hand-edited one without its check and page lines, the
// answers to the prompts (null cancels; x*N is N x's), how many prompts come,
// and what the visitor sees: the page, the line that Cancel leaves, or
// whatever a wrong key gives. The page's own onload marks its title where it
// runs: once on the author's page, never on the line that Cancel leaves.
test('every answer to the prompt', async () => {
  const plain = '<html><head><title>Members &amp; guests</title></head>\r\n<body onload="document.title += \' (loaded)\'">\r\n<p>Members area</p>\r\n</body></html>\r\n';
  const tab = await context.newPage();
  for (const [name, key, kind, answers, asked, sees] of JSON.parse(fs.readFileSync(path.join(here, 'testdata/prompts.json')))) {
    const bytes = fs.readFileSync(path.join(work, protect('prompt.htm', plain, Buffer.from(key, 'latin1'))), 'latin1');
    fs.writeFileSync(path.join(work, 'prompt.htm'), kind === 'old' ? bytes.replace(/ *Vetrak(Check|Page)\(".*\r\n/g, '') : bytes, 'latin1');
    const seen = await open('prompt.htm', answers.map((answer) => answer?.replace(/^x\*(\d+)$/, (_, n) => 'x'.repeat(n)) ?? null), { tab });
    assert.deepEqual([seen.prompts, seen.errors], [promptTexts.slice(0, asked), []], name);
    if (sees === 'page') assert.deepEqual([seen.title, seen.text], ['Members & guests (loaded)', 'Members area'], name);
    if (sees === 'cancelled') assert.deepEqual([seen.title, seen.body], ['Kelvara', 'This page is protected by Kelvara.'], name);
    if (sees === 'garbage') assert.ok(!seen.text.includes('Members'), name);
  }
});

test("the page's own SHA-256, password check and declared encoding give the known answers", async () => {
  const { tab } = await open(protect('vectors.htm', '<html><head><title>t</title></head><body>b</body></html>', 'pw'), [null]);
  const vectors = fs.readFileSync(path.join(here, '../../cipher/testdata/sha256_vectors.txt'), 'utf8').split('\n').filter((line) => /^(sha256|check) /.test(line)).map((line) => line.split(' '));
  assert.equal(vectors.length, 10);
  for (const [kind, a, b, digest, password = ''] of vectors) {
    // The typed password must give the key that the programs make of it.
    const verdict = kind === 'sha256'
      ? await tab.evaluate(([message, times]) => VetrakSha256(message.repeat(times)), [Buffer.from(a === '-' ? '' : a, 'hex').toString('latin1'), Number(b)])
      : await tab.evaluate(([salt, check, typed]) => { VetrakCheck(salt, check); return [VetrakRight(VetrakKey(typed)), VetrakRight(VetrakKey(typed + '.'))]; }, [a, digest, password]);
    assert.deepEqual(verdict, kind === 'sha256' ? digest : [true, false], `${kind} ${a.slice(0, 16)} ${password}`);
  }
  // The rows of testdata/declarations.json: what the row shows, a page's first bytes, the encoding they declare.
  for (const [name, bytes, encoding] of JSON.parse(fs.readFileSync(path.join(here, 'testdata/declarations.json')))) {
    assert.equal(await tab.evaluate((text) => VetrakDeclared(text), bytes), encoding, name);
  }
});
