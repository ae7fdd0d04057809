// What both browser tests share: a scratch folder of pages, kelvara-cli
// (KELVARA_CLI, set by CTest) to protect them, and headless Chromium serving
// them from that folder through its routing, at any of `hosts`.
import { after } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';

export const here = path.dirname(new URL(import.meta.url).pathname);
export const work = fs.mkdtempSync('/tmp/kelvara-browser-');
const { chromium } = await import('playwright-core').catch((error) => assert.fail(`run scripts/install-deps.sh browser: ${error}`));
const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update'] });
after(() => browser.close().then(() => fs.rmSync(work, { recursive: true })));

// Runs kelvara-cli with these arguments and standard input; it must succeed.
export function cli(args, input) {
  const run = spawnSync(process.env.KELVARA_CLI, args, { input });
  assert.equal(run.status, 0, `kelvara-cli ${args}: ${run.stdout}${run.stderr}`);
  return run.stdout.toString();
}

// Copies pages/assets and the named pages of pages/ into each scratch folder.
export function copyPages(folders, pages = []) {
  for (const folder of folders) {
    fs.cpSync(path.join(here, 'pages/assets'), path.join(work, folder, 'assets'), { recursive: true });
    for (const page of pages) fs.copyFileSync(path.join(here, 'pages', page), path.join(work, folder, page));
  }
}

// A browser profile of its own (storage and all) that serves the scratch
// folder. The document that a decoder writes loads on its own, after the
// protected page's load, and may do so inside document.close, and
// document.open drops every listener set before it: `kelvaraWritten` says
// when it has loaded. `setup` runs in every document too.
export async function profile(hosts, options = {}, setup = () => {}) {
  const context = await browser.newContext(options);
  await context.addInitScript(() => {
    const close = Document.prototype.close;
    Document.prototype.close = function () {
      window.kelvaraWritten = 'loading';
      addEventListener('load', () => { window.kelvaraWritten = 'loaded'; });
      close.call(this);
    };
  });
  await context.addInitScript(setup);
  await context.route(hosts, (route) => fs.promises.readFile(path.join(work, new URL(route.request().url()).pathname))
    .then((body) => route.fulfill({ body, contentType: route.request().url().endsWith('.css') ? 'text/css' : 'text/html' }), () => route.fulfill({ status: 404 })));
  return context;
}

// Every script error of every page opened, by page.
export const errors = [];

// The page written and loaded (or one never protected, or the line that
// Cancel leaves), or the strong form waiting for the visitor.
export const settled = (target) => target.waitForFunction(() => {
  const form = document.getElementById('VetrakForm');
  if (form) return !form.hidden && !document.getElementById('VetrakOpen').disabled;
  return window.kelvaraWritten !== 'loading' && (document.title !== 'Kelvara' || document.body.innerHTML === 'This page is protected by Kelvara.');
}, null, { timeout: 10000 });

// Opens `url` in `tab`, or in a new tab of `context`, and answers as a
// visitor: the browser's prompts in turn with `answers` (null cancels); the
// strong form (in the page's frame, with `frame`) with each of `passwords`,
// ticking "Remember me" first with `remember`, and Enter, or a tap on Open
// with `tap`. What it saw: the prompts, the requests made before the first
// password, the focused element and the field's text before each password,
// the script errors, the form's notes and parts shown, and what the visitor
// sees at the end; with `screenshot`, how it looks; with `reload`, where a
// reload after a scroll puts the page. The tab stays open.
export async function visit(context, url, { answers = [], passwords = [], remember = false, tap = false, frame = false, screenshot = false, reload = false, tab = null } = {}) {
  tab ??= await context.newPage();
  const seen = { prompts: [], tries: [], errors: [], tab };
  const requests = [];
  const listeners = {
    pageerror: (error) => {
      seen.errors.push(error.message);
      errors.push(`${url}: ${error.message}`);
    },
    request: (request) => requests.push(request.url()),
    dialog: (dialog, answer = answers[seen.prompts.push([dialog.message(), dialog.defaultValue()]) - 1]) => (answer == null ? dialog.dismiss() : dialog.accept(answer)),
  };
  for (const [event, listener] of Object.entries(listeners)) tab.on(event, listener);
  await tab.goto(url, { waitUntil: 'load' });
  const target = frame ? tab.frames()[1] : tab;
  await settled(target);
  seen.requests = requests.slice();
  for (const password of passwords) {
    seen.tries.push(await target.evaluate(() => [document.activeElement?.id, document.getElementById('VetrakPassword')?.value]));
    await (frame ? target.fill('#VetrakPassword', password) : tab.keyboard.type(password));
    if (remember) await target.check('#VetrakRemember');
    await (tap ? target.tap('#VetrakOpen') : target.press('#VetrakPassword', 'Enter'));
    await settled(target);
  }
  Object.assign(seen, await target.evaluate(async () => {
    await Promise.all([...document.images].map((image) => image.decode().catch(() => {})));
    return {
      title: document.title, body: document.body.innerHTML, text: document.body.innerText,
      state: [document.title, document.compatMode, document.documentElement.lang, new XMLSerializer().serializeToString(document), history.length, scrollY, document.querySelector(':target')?.id, location.hash],
      notes: window.kelvaraNotes,
      form: ['Form', 'Ask', 'Keep', 'Forget'].map((part) => document.getElementById(`Vetrak${part}`)?.hidden === false),
      address: [location.href, ...(window.navigation ? navigation.entries().map((entry) => entry.url) : [])],
      kept: (() => { try { return { ...localStorage }; } catch { return null; } })(),
    };
  }));
  if (screenshot) seen.screenshot = await tab.screenshot({ fullPage: true });
  if (reload) {
    await tab.evaluate(() => scrollBy(0, -250));
    await tab.reload({ waitUntil: 'load' });
    await settled(tab);
    seen.state.push(await tab.evaluate(() => scrollY));
  }
  for (const [event, listener] of Object.entries(listeners)) tab.off(event, listener);
  return seen;
}
