// The studio end to end: `vask studio` serving its page to Debian's Chromium,
// driven as a person would (ctest label "browser").
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import {
  cellDifference, copyExamples, launchBrowser, openPage, pictureStats, removeFolder, selectEffect, shownValue,
  startStudio,
} from './studio.mjs';

let browser, dir;
before(async () => {
  browser = await launchBrowser();
  dir = copyExamples();
});
after(async () => {
  await browser?.close();
  removeFolder(dir);
});

// Where a tool's palette button is in the panel picture: the palette's
// cells are 25 × 21 pixels, below the control's 18-pixel title row.
const toolAt = (column, row) => ({ x: column * 25 + 13, y: 18 + row * 21 + 11 });

async function panelBox(page) { return page.locator('#panel').boundingBox(); }

async function waitForViewerChange(page, before) {
  for (let i = 0; i < 100; i++) {
    const now = await pictureStats(page, '#viewer');
    if (cellDifference(now, before) > 2) return now;
    await page.waitForTimeout(100);
  }
  return pictureStats(page, '#viewer');
}

test('the demo: aim the spot light by dragging, set a slider and a colour, scrub the timeline', async () => {
  const studio = await startStudio(join(dir, 'demo/demo.json'));
  try {
    const page = await openPage(browser, studio);
    await selectEffect(page, 'Spot', 'VASK Spot Light');
    assert.equal(await shownValue(page, 'Left/Right'), '119');
    const viewerBefore = await pictureStats(page, '#viewer');

    // The aim tool, then a drag to the right across the preview.
    const box = await panelBox(page);
    const aim = toolAt(1, 0);
    await page.mouse.click(box.x + aim.x, box.y + aim.y);
    await page.mouse.move(box.x + 150, box.y + 60);
    await page.mouse.down();
    for (let x = 150; x <= 210; x += 6) await page.mouse.move(box.x + x, box.y + 60);
    await page.mouse.up();
    await page.waitForFunction(() => document.querySelector('#params .param[data-param="Left/Right"] input').value !== '119');
    const aimed = Number(await shownValue(page, 'Left/Right'));
    assert.ok(Math.abs(aimed - 119) > 5, `Left/Right moved from 119 to ${aimed}`);
    const viewerAimed = await waitForViewerChange(page, viewerBefore);
    assert.ok(cellDifference(viewerAimed, viewerBefore) > 2, 'the viewer shows the light aimed elsewhere');

    // A slider through its number field, and a colour.
    const hot = page.locator('#params .param[data-param="Outer Angle"] input[type=number]');
    await hot.fill('80');
    await hot.press('Enter');
    await page.waitForFunction(() => document.querySelector('#params .param[data-param="Outer Angle"] input[type=range]').value === '80');
    const widened = await waitForViewerChange(page, viewerAimed);
    assert.ok(cellDifference(widened, viewerAimed) > 2, 'a wider cone lights more of the relief');
    await page.locator('#params .param[data-param="Color"] input[type=color]').fill('#ff0000');
    const red = await waitForViewerChange(page, widened);
    assert.ok(cellDifference(red, widened) > 2, 'a red light changes the frame');

    // Scrubbing: the frame and the keyed values follow the timeline.
    await page.locator('#scrubber').fill('24');
    await page.waitForFunction(() => document.getElementById('viewer').dataset.frame === '24');
    await page.waitForFunction(() => document.querySelector('#params .param[data-param="Up/Down"] input[type=number]').value === '-57');
    assert.equal(await page.locator('#frame-label').textContent(), 'Frame 24');
    assert.equal(await page.locator('#time-label').textContent(), '1.000 s');
    assert.deepEqual(page.errors, []);
  } finally {
    await studio.stop();
  }
});

test('a File Object: import a model from the project\'s folder, save, and open the saved project again', async () => {
  const project = join(dir, 'studio-model.json');
  writeFileSync(project, JSON.stringify({
    format: 1,
    composition: { width: 320, height: 180, frame_rate: 24, frames: 4, background: '#101010' },
    layers: [
      { name: 'Model', solid: [0, 0, 0, 0], effects: [{ effect: 'HALV VASKMESHFILE1', params: { 'Left/Right': 30 } }] },
      { name: 'Camera', solid: [255, 16, 16, 16], effects: [{ effect: 'HALV VASKSCENERENDER1', params: {} }] },
    ],
  }));
  const studio = await startStudio(project);
  let page;
  try {
    page = await openPage(browser, studio);
    await selectEffect(page, 'Model', 'VASK File Object');
    const empty = await pictureStats(page, '#viewer');

    // The Import button (the Model control's first row), then the picker.
    const box = await panelBox(page);
    await page.mouse.click(box.x + 27, box.y + 18 + 9);
    await page.waitForSelector('#picker:not([hidden])');
    await page.click('#picker-list li[data-name="models"]');
    await page.click('#picker-list li[data-name="rocket.3dmf"]');
    assert.equal(await page.locator('#picker-list li[data-name="rocket.3dmf"]').count(), 1);
    await page.click('#picker-open');
    await page.waitForSelector('#modal[hidden]', { state: 'attached' });
    const loaded = await waitForViewerChange(page, empty);
    assert.ok(cellDifference(loaded, empty) > 2, 'the imported model shows in the viewer');

    // The picker offers nothing outside the project's folder.
    await page.mouse.click(box.x + 27, box.y + 18 + 9);
    await page.waitForSelector('#picker-list[data-loaded="1"]');
    assert.equal(await page.locator('#picker-list li[data-name=".."]').count(), 0);
    await page.click('#picker-cancel');
    await page.waitForSelector('#modal[hidden]', { state: 'attached' });

    await page.click('#save');
    await page.waitForFunction(() => document.getElementById('status').textContent.startsWith('Saved'));
    const saved = JSON.parse(readFileSync(project, 'utf8'));
    const fx = saved.layers[0].effects[0];
    assert.ok(fx.flat && fx.flat.length > 40, 'the File Object\'s data, with the model\'s path, is saved');
    assert.ok(Buffer.from(fx.flat, 'base64').toString('latin1').includes('rocket.3dmf'));
  } finally {
    await studio.stop();
  }

  // The saved project shows the same picture.
  const again = await startStudio(project);
  try {
    const reloaded = await openPage(browser, again);
    const first = await pictureStats(page, '#viewer');
    const second = await pictureStats(reloaded, '#viewer');
    assert.ok(cellDifference(first, second) < 3, `the reloaded frame matches (${cellDifference(first, second)})`);
  } finally {
    await again.stop();
  }
});

test('boxes and dialogs: an alert for a file that is not a model, and the About box', async () => {
  writeFileSync(join(dir, 'not-a-model.3dmf'), 'this is no 3DMF file\n');
  const studio = await startStudio(join(dir, 'file-object.json'));
  try {
    const page = await openPage(browser, studio);
    await selectEffect(page, 'Model', 'VASK File Object');
    const box = await panelBox(page);
    await page.mouse.click(box.x + 27, box.y + 18 + 9);
    await page.waitForSelector('#picker:not([hidden])');
    await page.selectOption('#picker-filter', { label: 'All (*.*)' });
    await page.dblclick('#picker-list li[data-name="not-a-model.3dmf"]');
    await page.waitForSelector('#alert:not([hidden])');
    assert.match(await page.locator('#alert-text').textContent(), /Could not use 3DMF model file/);
    await page.click('#alert-ok');
    await page.waitForSelector('#modal[hidden]', { state: 'attached' });

    await page.click('#about');
    await page.waitForSelector('#dialog:not([hidden])');
    const about = await pictureStats(page, '#dialog-picture');
    assert.ok(about.width > 200 && about.height > 200, 'the About box is drawn');
    await page.click('#dialog-picture');
    await page.waitForSelector('#modal[hidden]', { state: 'attached' });
    assert.deepEqual(page.errors, []);
  } finally {
    await studio.stop();
  }
  const { code } = await studio.exited;
  assert.equal(code, 0, 'SIGTERM stops the studio cleanly');
});
