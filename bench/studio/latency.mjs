// The studio's latency as a person feels it, measured in the browser:
//   pointer move on the Spot Light's Manipulator -> its updated picture shown
//   slider change -> the updated 960 x 540 preview shown
// Run after `make build` and `tools/setup.sh browser`:
//   node bench/studio/latency.mjs [moves] [slider changes]
import { copyExamples, launchBrowser, openPage, removeFolder, selectEffect, startStudio } from '../../tests/browser/studio.mjs';
import { join } from 'node:path';

const moves = Number(process.argv[2] || 120);
const changes = Number(process.argv[3] || 30);

function summary(name, values, target) {
  const v = [...values].sort((a, b) => a - b);
  const at = (q) => v[Math.min(v.length - 1, Math.floor(q * v.length))];
  const mean = v.reduce((s, x) => s + x, 0) / v.length;
  console.log(`${name.padEnd(34)} n=${String(v.length).padStart(4)}  median ${at(0.5).toFixed(1).padStart(6)} ms  ` +
    `p90 ${at(0.9).toFixed(1).padStart(6)} ms  mean ${mean.toFixed(1).padStart(6)} ms  (target < ${target} ms)`);
}

const dir = copyExamples();
const studio = await startStudio(join(dir, 'demo/demo.json'));
const browser = await launchBrowser();
try {
  const page = await openPage(browser, studio);
  await selectEffect(page, 'Spot', 'VASK Spot Light');
  const box = await page.locator('#panel').boundingBox();

  // A steady drag, one move per display frame (16 ms), as a hand makes it.
  await page.mouse.move(box.x + 120, box.y + 60);
  await page.mouse.down();
  for (let i = 0; i < moves; i++) {
    await page.mouse.move(box.x + 120 + (i % 60) * 2, box.y + 60 + Math.round(10 * Math.sin(i / 7)));
    await page.waitForTimeout(16);
  }
  await page.mouse.up();
  await page.waitForTimeout(500);
  const pointer = await page.evaluate(() => window.vaskTimings.pointer.slice());

  // Slider changes, each waited for, as someone trying values one by one.
  await page.evaluate(() => { window.vaskTimings.preview = []; });
  const field = page.locator('#params .param[data-param="Outer Angle"] input[type=number]');
  for (let i = 0; i < changes; i++) {
    const count = await page.evaluate(() => window.vaskTimings.preview.length);
    await field.fill(String(30 + (i % 40)));
    await field.press('Enter');
    await page.waitForFunction((n) => window.vaskTimings.preview.length > n, count);
  }
  const preview = await page.evaluate(() => window.vaskTimings.preview.slice());

  summary('pointer move -> control picture', pointer.slice(3), 30);  // the first moves build the draft size's layers
  summary('slider change -> 960 x 540 preview', preview, 150);
} finally {
  await browser.close();
  await studio.stop();
  removeFolder(dir);
}
