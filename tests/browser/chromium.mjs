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
