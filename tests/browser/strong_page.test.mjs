// Pages in the strong form in headless Chromium: every password of a run
// opens its pages to the author's page as the browser shows it, a wrong one
// is told, remembered keys and share links open the pages of their run
// without the form, and nothing raises a script error. kelvara-cli
// (KELVARA_CLI, set by CTest) protects the pages; they are served at
// localhost, a secure context, where Web Crypto is, through the browser's
// routing; once at a plain http name, where it is not.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { cli, copyPages, errors, here, profile as newProfile, settled, visit, work } from './chromium.mjs';

const local = 'http://localhost:8417';
const says = {
  working: 'Checking the password\u2026', wrong: 'Wrong password.', damaged: 'This page is damaged.',
  empty: 'Type the password.', link: 'The key in this link does not open this page.', forgotten: 'This device remembers no password for this site now.',
  https: 'This page opens only over a secure connection: open it at its https:// address.',
};

// Protects the folder's pages in one run with these passwords: the share
// link's key, which is the first password's.
function protect(folder, passwords) {
  const said = cli(['--strong', '--share', '--password-stdin', '--protect', path.join(work, folder)], passwords.map((password) => `${password}\n`).join(''));
  return /#kelvara=([\w-]+)\n/.exec(said)[1];
}

// One run of three passwords over four pages (strong/), another run of its
// own password (other/), the pages as their authors wrote them (original/).
const passwords = ['first password', 'zweites Paßwort €', 'третий'];
const authors = ['handbook.htm', 'patisserie.htm', 'raspisanie.htm', 'utf8-news.htm'];
copyPages(['original', 'strong'], authors);
copyPages(['other'], ['utf8-news.htm']);
const shareKey = protect('strong', passwords);
protect('other', ['another run']);
const salt = /VetrakStrong\("([^"]+)"/.exec(fs.readFileSync(path.join(work, 'strong/handbook.htm'), 'latin1'))[1];
// A page of the run changed by one character, in its payload or in a slot,
// without its seal, or with its iteration count written otherwise.
const whole = fs.readFileSync(path.join(work, 'strong/patisserie.htm'), 'latin1');
const flip = (pattern) => whole.replace(pattern, (_, lead, c) => lead + (c === 'A' ? 'B' : 'A'));
[flip(/(VetrakPayload\("[^"]*", "[^"]{40})(.)/), flip(/(VetrakSlot\("[^"]*", "[^"]{10})(.)/), whole.replace(/ *VetrakSealed\("\w+"\);\r\n/, ''), whole.replace('", 600000);', '", 6e5);')].forEach((page, i) => fs.writeFileSync(path.join(work, `damaged${i}.htm`), page, 'latin1'));
fs.writeFileSync(path.join(work, 'frame.htm'), '<!DOCTYPE html><title>Frame</title><iframe sandbox="allow-scripts" src="strong/raspisanie.htm" width="600" height="400"></iframe>');

// A browser profile of its own in which the form's notes are recorded.
const profile = (options) => newProfile(/^http:\/\/(localhost:8417|kelvara\.test)\//, options, () => {
  window.kelvaraNotes = [];
  new MutationObserver(() => {
    const note = document.getElementById('VetrakNote')?.textContent;
    if (note !== undefined && note !== (window.kelvaraNotes.at(-1) ?? '')) window.kelvaraNotes.push(note);
  }).observe(document, { subtree: true, childList: true, characterData: true });
});

// Goes to a fragment of the page in its tab, as a link on it would, and waits for the form or the page.
const jump = (tab, hash) => Promise.all([tab.waitForEvent('load'), tab.evaluate((to) => { location.hash = to; }, hash)]).then(() => settled(tab));

// A row: the page and its fragment, the passwords typed in turn (indexes
// into the run's, or a wrong or empty one), the notes seen. The decoded page must be
// the author's as the browser shows it: title, mode, language, the whole
// document as its scripts left it, scrolled to its fragment's target, and
// looking the same (the first row: the page written is the other browser
// test's to compare by looks); before the password nothing but the page was
// fetched.
test("each password of the run opens its pages as their authors made them; a wrong one is told", async () => {
  const context = await profile();
  const rows = [
    ['handbook.htm#care', [0], [says.working]],
    ['patisserie.htm', [1], [says.working]],
    ['raspisanie.htm', ['wrong', 2], [says.working, says.wrong, says.working]],
    ['utf8-news.htm', ['', 0], [says.empty, says.working]],
  ];
  const tabs = [await context.newPage(), await context.newPage()];
  for (const [row, [page, typed, notes]] of rows.entries()) {
    const screenshot = row === 0;
    const original = await visit(context, `${local}/original/${page}`, { screenshot, tab: tabs[0] });
    const decoded = await visit(context, `${local}/strong/${page}`, { passwords: typed.map((i) => passwords[i] ?? i), screenshot, tab: tabs[1] });
    assert.deepEqual(decoded.requests, [`${local}/strong/${page.replace(/#.*/, '')}`], page);
    assert.deepEqual(decoded.tries, typed.map(() => ['VetrakPassword', '']), page);
    assert.deepEqual([decoded.notes, decoded.state], [notes, original.state], page);
    assert.ok(!screenshot || decoded.screenshot.equals(original.screenshot), `${page}: the decoded page looks different from the author's`);
  }
  await context.close();
  assert.deepEqual(errors.splice(0), []);
});

// Remembering keeps the key of the run, not the password, and opens the
// run's other pages without the form, and a damaged one is told before any
// password, without losing it; a key that opens nothing is dropped, one of another run is
// offered to forget, and all are forgotten at the forgetting address, even
// from the page it opened; a share link opens its page, also when pasted
// into a tab that shows its form, and leaves neither the address bar nor the
// history.
test('remembered keys, forgetting them, and share links', async () => {
  const context = await profile();
  const remembered = await visit(context, `${local}/strong/patisserie.htm`, { passwords: [passwords[0]], remember: true });
  assert.deepEqual([remembered.state[0], remembered.kept], ['Pâtisserie du Marché – commandes', { [`kelvara:${salt}`]: Buffer.from(shareKey, 'base64url').toString('base64') }]);
  // Opened without the form, and put back in place on a reload, as the browser does with other pages.
  const again = await visit(context, `${local}/strong/handbook.htm`);
  await again.tab.evaluate(() => scrollTo(0, 300));
  await again.tab.reload({ waitUntil: 'load' });
  await settled(again.tab);
  assert.deepEqual([again.notes, again.state[2], await again.tab.evaluate(() => scrollY)], [[], 'en-GB', 300]);
  for (const page of ['damaged0.htm', 'damaged1.htm', 'damaged2.htm', 'damaged3.htm']) {
    const hurt = await visit(context, `${local}/${page}`);
    assert.deepEqual([hurt.notes, hurt.form, Object.keys(hurt.kept)], [[says.damaged], [true, false, true, true], [`kelvara:${salt}`]], page);
  }

  const other = await visit(context, `${local}/other/utf8-news.htm`);
  assert.deepEqual([other.form, other.notes], [[true, true, true, true], []]);
  await other.tab.click('#VetrakForget');
  assert.deepEqual(await other.tab.evaluate(() => [document.getElementById('VetrakForget').hidden, window.kelvaraNotes, localStorage.length]), [true, [says.forgotten], 0]);

  await visit(context, `${local}/strong/utf8-news.htm`, { passwords: [passwords[2]], remember: true });
  const forgot = await visit(context, `${local}/strong/handbook.htm`);
  await jump(forgot.tab, 'kelvara-forget');
  assert.deepEqual(await forgot.tab.evaluate(() => [window.kelvaraNotes, localStorage.length, location.href]), [[says.forgotten], 0, `${local}/strong/handbook.htm`]);

  await forgot.tab.evaluate((name) => localStorage.setItem(name, btoa('a key of another time, 32 bytes')), `kelvara:${salt}`);
  const stale = await visit(context, `${local}/strong/handbook.htm`);
  assert.deepEqual([stale.form, stale.kept], [[true, true, true, false], {}]);
  await context.close();

  const shared = await profile();
  const opened = await visit(shared, `${local}/strong/handbook.htm#kelvara=${shareKey}`);
  assert.deepEqual([opened.notes, opened.state[0], opened.address], [[], 'Field handbook — weather station', [`${local}/strong/handbook.htm`, `${local}/strong/handbook.htm`]]);
  const refused = await visit(shared, `${local}/strong/handbook.htm#kelvara=${shareKey.replace(/^./, (c) => (c === 'A' ? 'B' : 'A'))}`);
  assert.deepEqual([refused.form, refused.notes, refused.address[0]], [[true, true, true, false], [says.link], `${local}/strong/handbook.htm`]);
  await jump(refused.tab, `kelvara=${shareKey}`);
  assert.deepEqual(await refused.tab.evaluate(() => [document.title, location.href]), ['Field handbook — weather station', `${local}/strong/handbook.htm`]);
  await shared.close();
  assert.deepEqual(errors.splice(0), []);
});

// Where the page cannot be opened, the form says why; in a sandboxed frame
// (no storage) and on a phone's screen it works as anywhere.
test('plain http, a sandboxed frame, a phone', async () => {
  const context = await profile();
  const tab = await context.newPage();
  const plain = await visit(context, 'http://kelvara.test/strong/handbook.htm', { tab });
  assert.deepEqual([plain.form, plain.notes, plain.requests], [[true, false, true, false], [says.https], ['http://kelvara.test/strong/handbook.htm']]);
  const framed = await visit(context, `${local}/frame.htm`, { passwords: [passwords[2]], frame: true, tab });
  const original = await visit(context, `${local}/original/raspisanie.htm`, { tab });
  assert.deepEqual(framed.state.slice(0, 4), original.state.slice(0, 4));
  assert.deepEqual((await visit(context, `${local}/frame.htm`, { frame: true, tab })).form, [true, true, false, false]);
  await context.close();

  const phone = await profile({ viewport: { width: 320, height: 568 }, deviceScaleFactor: 2, isMobile: true, hasTouch: true });
  const { tab: small } = await visit(phone, `${local}/strong/utf8-news.htm`);
  const boxes = await small.evaluate(() => [document.documentElement.scrollWidth,
    ...['#VetrakPassword', '.VetrakRemember', '#VetrakOpen'].map((selector) => document.querySelector(selector).getBoundingClientRect()).map((box) => [box.right <= 320, box.height >= 44])]);
  assert.deepEqual(boxes, [320, [true, true], [true, true], [true, true]]);
  assert.equal((await visit(phone, `${local}/strong/utf8-news.htm`, { passwords: [passwords[0]], tap: true, tab: small })).state[0], 'Café & Bar — news');
  await phone.close();
  assert.deepEqual(errors.splice(0), []);
});

// The browser's key derivation and AES-256-GCM give the answers that the
// programs are held to.
test('Web Crypto gives the known answers', async () => {
  const context = await profile();
  const { tab } = await visit(context, `${local}/original/handbook.htm`);
  const cases = fs.readFileSync(path.join(here, '../../cipher/testdata/strong_vectors.txt'), 'utf8').split('\n').filter((line) => /^(pbkdf2|gcm) /.test(line)).map((line) => line.split(' '));
  assert.equal(cases.length, 6);
  for (const [kind, ...fields] of cases) {
    const [a, b, c, d, e, f] = fields.map((field) => (field === '-' ? '' : field.toLowerCase()));
    const got = await tab.evaluate(async ([kind, a, b, c, d]) => {
      const bytes = (hex) => new Uint8Array(hex.match(/../g)?.map((pair) => parseInt(pair, 16)) ?? []);
      const hex = (buffer) => [...new Uint8Array(buffer)].map((byte) => byte.toString(16).padStart(2, '0')).join('');
      if (kind === 'pbkdf2') {
        const base = await crypto.subtle.importKey('raw', bytes(a), 'PBKDF2', false, ['deriveBits']);
        return hex(await crypto.subtle.deriveBits({ name: 'PBKDF2', hash: 'SHA-256', salt: bytes(b), iterations: Number(c) }, base, d.length * 4));
      }
      const key = await crypto.subtle.importKey('raw', bytes(a), 'AES-GCM', false, ['encrypt']);
      return hex(await crypto.subtle.encrypt({ name: 'AES-GCM', iv: bytes(b), additionalData: bytes(c) }, key, bytes(d)));
    }, [kind, a, b, c, d]);
    assert.equal(got, kind === 'pbkdf2' ? d : e + f, `${kind} ${a.slice(0, 16)}`);
  }
  await context.close();
  assert.deepEqual(errors.splice(0), []);
});
