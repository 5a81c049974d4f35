// Starts `vask studio` on a project and opens its page in Debian's Chromium
// through playwright-core: what the browser tests and the latency benchmark
// share.
import { spawn } from 'node:child_process';
import { cpSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { chromium } from 'playwright-core';

export const vask = process.env.VASK_BIN || new URL('../../build/release/bin/vask', import.meta.url).pathname;
export const examples = new URL('../../examples/', import.meta.url).pathname;
const browserPath = process.env.VASK_CHROMIUM || '/usr/bin/chromium';

// A fresh copy of the examples folder: the studio may save into it.
export function copyExamples() {
  const dir = mkdtempSync(join(tmpdir(), 'vask-studio-'));
  cpSync(examples, dir, { recursive: true });
  return dir;
}

export function removeFolder(dir) { rmSync(dir, { recursive: true, force: true }); }

// Runs `vask studio PROJECT --no-open` and resolves with {url, token, port,
// stop()} once it prints its address.
export function startStudio(project, extra = []) {
  const child = spawn(vask, ['studio', project, '--no-open', ...extra], { stdio: ['ignore', 'pipe', 'pipe'] });
  let out = '', err = '';
  child.stderr.on('data', (d) => { err += d; });
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => { child.kill('SIGKILL'); reject(new Error(`no address within 30 s; stderr: ${err}`)); }, 30000);
    child.on('exit', (code) => { clearTimeout(timer); reject(new Error(`vask studio exited with ${code}: ${err}`)); });
    let started = false;
    child.stdout.on('data', (d) => {
      out += d;
      if (started) return;
      const m = out.match(/(http:\/\/127\.0\.0\.1:(\d+)\/\?token=([0-9a-f]+))/);
      if (!m) return;
      started = true;
      clearTimeout(timer);
      child.removeAllListeners('exit');
      const exited = new Promise((done) => child.on('exit', (code, signal) => done({ code, signal })));
      resolve({
        url: m[1], port: Number(m[2]), token: m[3], stderr: () => err, exited,
        stop: async () => { if (child.exitCode === null) child.kill('SIGTERM'); return exited; },
      });
    });
  });
}

export async function launchBrowser() {
  return chromium.launch({
    executablePath: browserPath,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync'],
  });
}

// Opens the studio's page and waits until it has drawn its first frame.
export async function openPage(browser, studio, viewport = { width: 1440, height: 900 }) {
  const page = await browser.newPage({ viewport });
  const errors = [];
  page.on('pageerror', (e) => errors.push(String(e)));
  await page.goto(studio.url);
  await page.waitForSelector('body[data-ready="1"]');
  await page.waitForFunction(() => document.getElementById('viewer').dataset.frame === '0');
  page.errors = errors;
  return page;
}

// Selects an effect by its layer's name and the effect's name.
export async function selectEffect(page, layer, effect) {
  await page.click(`button.effect[data-layer="${layer}"][data-effect="${effect}"]`);
  await page.waitForFunction(() => document.getElementById('panel-box').hidden || document.getElementById('panel').naturalWidth > 0);
}

// The value shown for a parameter (its number field, select or checkbox).
export async function shownValue(page, name) {
  return page.$eval(`#params .param[data-param="${name}"]`, (row) => {
    const input = row.querySelector('input[type=number], select, input[type=checkbox], input[type=color]');
    return input.type === 'checkbox' ? input.checked : input.value;
  });
}

// Summary numbers of an <img>'s pixels, computed in the page: the mean of
// each channel and a fingerprint to compare pictures loosely.
export async function pictureStats(page, selector) {
  return page.$eval(selector, (img) => {
    const c = document.createElement('canvas');
    c.width = img.naturalWidth;
    c.height = img.naturalHeight;
    const g = c.getContext('2d');
    g.drawImage(img, 0, 0);
    const d = g.getImageData(0, 0, c.width, c.height).data;
    // 16 × 9 cells of mean brightness.
    const cells = new Array(16 * 9).fill(0), counts = new Array(16 * 9).fill(0);
    let sum = 0;
    for (let y = 0; y < c.height; y++) {
      for (let x = 0; x < c.width; x++) {
        const i = (y * c.width + x) * 4;
        const v = (d[i] + d[i + 1] + d[i + 2]) / 3;
        const cell = Math.floor(y * 9 / c.height) * 16 + Math.floor(x * 16 / c.width);
        cells[cell] += v;
        counts[cell]++;
        sum += v;
      }
    }
    return { width: c.width, height: c.height, mean: sum / (c.width * c.height), cells: cells.map((s, i) => s / counts[i]) };
  });
}

// The largest difference of mean brightness between two pictures' cells.
export function cellDifference(a, b) {
  return Math.max(...a.cells.map((v, i) => Math.abs(v - b.cells[i])));
}
