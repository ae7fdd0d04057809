// Protected pages opened in headless Chromium: the decoder script written into
// every protected page has to ask for the password and write back exactly the
// body that protection enciphered.
//
// Run by CTest (browser_decoder), which sets KELVARA_PROTECT_COPY to the
// helper that protects a copy of a page through the core.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

const kPromptMessage = 'Page protected by Kelvara encryption tool.';
const kPromptDefault = 'Please enter your password';

let chromium;
try {
  ({ chromium } = await import('playwright-core'));
} catch (error) {
  throw new Error(`playwright-core is missing (run scripts/install-deps.sh browser): ${error.message}`);
}

const protectCopy = process.env.KELVARA_PROTECT_COPY;
if (!protectCopy || !fs.existsSync(protectCopy)) {
  throw new Error('KELVARA_PROTECT_COPY must name the built kelvara_protect_copy helper');
}

// Pages are written with CR LF line ends, as the pages this program is for are.
const crlf = (lines) => lines.join('\r\n') + '\r\n';

// A page with what a real one carries: a head beyond its title, body
// attributes, markup, entities, scripts and comments in several shapes.
const newsletterPage = crlf([
  '<!DOCTYPE html>',
  '<html lang="en">',
  '<head>',
  '  <meta charset="windows-1252">',
  '  <title>Club newsletter</title>',
  '  <style>h1 { color: navy; }</style>',
  '</head>',
  '<body bgcolor="white" text="black">',
  '  <h1>Spring meeting</h1>',
  '  <p>The meeting is on <b>Friday, 14 March</b> at 19:30 in the small hall.</p>',
  '  <script type="text/javascript">',
  '    document.write("SCRIPT-ONE must not show");',
  '  </script>',
  '  <!-- COMMENT-ONE: the board still has to approve the budget -->',
  '  <p>Members bring 2 &amp; 3 chairs; "quotes" and \'apostrophes\' stay.</p>',
  '  <ul>',
  '    <li>Tea &lt;free&gt;</li>',
  '    <li>Cake for 1.50</li>',
  '  </ul>',
  '  <p>Before<SCRIPT>var hidden = "SCRIPT-TWO";',
  '  </Script>after, joined.</p>',
  '',
  '  <!-- COMMENT-TWO <script>var x = "SCRIPT-IN-COMMENT";</script> -->',
  '  <script>/* <!-- SCRIPT-THREE holds a comment marker --> */</script>',
  '\t<p>Indented by a tab.</p>',
  '  <p>Tabs\tand   runs   of   spaces   inside.</p>',
  '  <p>Last line: ~!@#$%^*()_+{}|:?`-=[]\\;,./</p>',
  '</body>',
  '</html>',
]);

// What the decoder has to write for it, derived by hand: the body's lines
// trimmed of spaces, blank ones and scripts and comments gone (the script that
// spans two lines joins the text around it), each written with a line break.
const newsletterWritten = [
  '<h1>Spring meeting</h1>',
  '<p>The meeting is on <b>Friday, 14 March</b> at 19:30 in the small hall.</p>',
  '<p>Members bring 2 &amp; 3 chairs; "quotes" and \'apostrophes\' stay.</p>',
  '<ul>',
  '<li>Tea &lt;free&gt;</li>',
  '<li>Cake for 1.50</li>',
  '</ul>',
  '<p>Beforeafter, joined.</p>',
  '\t<p>Indented by a tab.</p>',
  '<p>Tabs\tand   runs   of   spaces   inside.</p>',
  '<p>Last line: ~!@#$%^*()_+{}|:?`-=[]\\;,./</p>',
].map((line) => line + '\n').join('');

// High printable characters, so that with a key of bytes above 127 the sums
// wrap past 255 and the decoder's "+ 256 ... % 256" has to bring them back.
const wrapPage = crlf([
  '<html><head><title>Wrap</title></head>',
  '<body>',
  '<p>zzzz ~~~~ yyyy }}}} {{{{ xxxx</p>',
  '<p>The quick brown fox jumps over the lazy dog.</p>',
  '</body></html>',
]);
const wrapWritten = [
  '<p>zzzz ~~~~ yyyy }}}} {{{{ xxxx</p>',
  '<p>The quick brown fox jumps over the lazy dog.</p>',
].map((line) => line + '\n').join('');

let workDir;
let profileDir;
let context;

before(async () => {
  workDir = fs.mkdtempSync(path.join(os.tmpdir(), 'kelvara-browser-'));
  profileDir = fs.mkdtempSync(path.join(os.tmpdir(), 'kelvara-chromium-'));
  context = await chromium.launchPersistentContext(profileDir, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update'],
  });
});

after(async () => {
  await context?.close();
  for (const dir of [workDir, profileDir]) {
    if (dir) fs.rmSync(dir, { recursive: true, force: true });
  }
});

let pageCount = 0;

// Writes the plain page and protects a copy of it; gives the protected copy's path.
function protect(plainText, passwordBytes) {
  pageCount += 1;
  const plain = path.join(workDir, `plain-${pageCount}.htm`);
  const protectedPath = path.join(workDir, `protected-${pageCount}.htm`);
  fs.writeFileSync(plain, plainText, 'latin1');
  const run = spawnSync(protectCopy, [plain, protectedPath], { input: passwordBytes });
  assert.equal(run.status, 0, `protecting failed: ${run.stderr}`);
  const written = fs.readFileSync(protectedPath, 'latin1');
  assert.match(written, /<title>Kelvara<\/title>/, 'the copy is not a protected page');
  return protectedPath;
}

// Opens a page, answers every prompt with `answer`, and gives the prompts
// seen and what the body then shows.
async function openWithAnswer(pagePath, answer) {
  const tab = await context.newPage();
  const dialogs = [];
  // Before the navigation: a prompt that nobody handles is dismissed at once,
  // and the decoder then has no password to work with.
  tab.on('dialog', async (dialog) => {
    dialogs.push({ type: dialog.type(), message: dialog.message(), defaultValue: dialog.defaultValue() });
    await dialog.accept(answer);
  });
  try {
    await tab.goto(pathToFileURL(pagePath).href, { waitUntil: 'load' });
    const body = await tab.evaluate(() => ({
      html: document.body ? document.body.innerHTML : null,
      text: document.body ? document.body.innerText : null,
    }));
    return { dialogs, body };
  } finally {
    await tab.close();
  }
}

// How the browser renders a body into which `written` was written.
async function renderWritten(written) {
  const tab = await context.newPage();
  try {
    await tab.setContent(written);
    return await tab.evaluate(() => ({ html: document.body.innerHTML, text: document.body.innerText }));
  } finally {
    await tab.close();
  }
}

describe('a protected page in the browser', () => {
  test('asks for the password and writes back the body without its scripts and comments', async () => {
    const protectedPath = protect(newsletterPage, Buffer.from('Kelvara test 42', 'latin1'));
    const { dialogs, body } = await openWithAnswer(protectedPath, 'Kelvara test 42');

    assert.deepEqual(dialogs, [{ type: 'prompt', message: kPromptMessage, defaultValue: kPromptDefault }]);
    const expected = await renderWritten(newsletterWritten);
    assert.equal(body.html, expected.html);
    assert.equal(body.text, expected.text);
    assert.match(body.text, /Spring meeting/);
    assert.match(body.text, /Tea <free>/);
    assert.match(body.text, /Beforeafter, joined\./);
    for (const gone of ['SCRIPT-ONE', 'SCRIPT-TWO', 'SCRIPT-THREE', 'SCRIPT-IN-COMMENT', 'COMMENT-ONE', 'COMMENT-TWO']) {
      assert.ok(!body.html.includes(gone), `${gone} reached the page`);
    }
  });

  test('key bytes above 127 decode, the sums wrapping past 255', async () => {
    // The browser compares character codes, so the key bytes are the
    // password's Windows-1252 (here Latin-1) bytes.
    const password = '\u00ff\u00fe\u00e9 Gr\u00fc\u00dfe';
    const protectedPath = protect(wrapPage, Buffer.from(password, 'latin1'));
    const { body } = await openWithAnswer(protectedPath, password);

    const expected = await renderWritten(wrapWritten);
    assert.equal(body.html, expected.html);
  });

  test('a wrong answer does not give the page back', async () => {
    // Nothing in the page can tell a wrong password; the check is that the
    // right one is really needed, so the tests above prove something.
    const protectedPath = protect(newsletterPage, Buffer.from('right password', 'latin1'));
    const { dialogs, body } = await openWithAnswer(protectedPath, 'wrong password');

    assert.equal(dialogs.length, 1);
    assert.ok(!(body.text ?? '').includes('Spring meeting'), 'the page decoded with a wrong password');
  });
});
