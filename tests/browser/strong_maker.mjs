// Pages in the strong form, made as kelvara-cli --strong writes them, with
// node's own crypto and zlib, until the tool writes them itself. The fixed
// head and body are the raw texts of format/strong_decoder.cpp.
import crypto from 'node:crypto';
import fs from 'node:fs';
import zlib from 'node:zlib';

const source = (file) => fs.readFileSync(new URL(`../../format/${file}`, import.meta.url), 'utf8');
const raw = Object.fromEntries([...(source('decoder_parts.h') + source('strong_decoder.cpp')).matchAll(/(\w+) =\s*R"(\w*)\(([\s\S]*?)\)\2"/g)]
  .map(([, name, , text]) => [name, text]));
const head = raw.kHeadOpening + raw.kWritePage + raw.kHeadClosing;

const seal = (nonce, data, key, use) => {
  const cipher = crypto.createCipheriv('aes-256-gcm', key, nonce).setAAD(Buffer.from(`Kelvara strong ${use} 1`));
  return Buffer.concat([cipher.update(data), cipher.final(), cipher.getAuthTag()]);
};

// The pages ({name: bytes}) of one run with its passwords: one salt for them
// all, a slot per password in each page.
export function strongRun(pages, passwords, iterations = 600000) {
  const salt = crypto.randomBytes(16);
  const keks = passwords.map((password) => crypto.pbkdf2Sync(Buffer.from(password), salt, iterations, 32, 'sha256'));
  const call = (name, ...texts) => `${name}(${texts.map((text) => (typeof text === 'number' ? text : `"${text}"`)).join(', ')});`;
  return Object.fromEntries(Object.entries(pages).map(([name, plain]) => {
    const key = crypto.randomBytes(32);
    const lines = [call('VetrakStrong', salt.toString('base64'), iterations)];
    for (const kek of keks) {
      const nonce = crypto.randomBytes(12);
      lines.push(call('VetrakSlot', nonce.toString('base64'), seal(nonce, key, kek, 'key').toString('base64')));
    }
    const nonce = crypto.randomBytes(12);
    lines.push(call('VetrakPayload', nonce.toString('base64'), seal(nonce, zlib.deflateSync(plain), key, 'page').toString('base64')));
    lines.push(call('VetrakSealed', crypto.createHash('sha256').update(lines.join('\n')).digest('hex').toUpperCase()));
    const page = ['<!DOCTYPE html>', '<html lang="en">', '<head>', '<meta charset="utf-8">', '<title>Kelvara</title>',
      '<meta name="robots" content="noindex, nofollow">', '<meta name="viewport" content="width=device-width, initial-scale=1">',
      head, '</head>', '<body>', raw.kBody, '<script>', ...lines, '</script>', '</body>', '</html>', ''].join('\n');
    return [name, Buffer.from(page.replace(/\n/g, '\r\n'))];
  }));
}
