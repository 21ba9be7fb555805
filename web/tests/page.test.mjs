// The page in Debian's Chromium, served on 127.0.0.1: it loads alone and
// cleanly, paints maps, colours them, exports and runs batches with the
// companion's bytes, answers the window's keys, opens links at a step and
// steps back, and bad input never breaks it.
import assert from 'node:assert/strict';
import { mkdirSync, readdirSync, readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, test } from 'node:test';
import {
  companionRunLog, companionSitesRefusal, removeFolder, runCompanion, servePage, startChromium, tempFolder, withoutLastLines,
} from './support.mjs';
import { decodeSites, encodeSites } from '../page/sites-link.mjs';

const successText = '成功＼(^o^)／';
let server, browser;

before(async () => {
  server = await servePage();
  browser = await startChromium();
});

after(async () => {
  await browser?.close();
  server?.close();
});

// A fresh page at `path`, recording requests to other hosts, console errors,
// uncaught exceptions and dialogs.
async function openPage(path = '/', on = browser) {
  const page = await on.context.newPage();
  const problems = [];
  page.on('request', (r) => {
    const url = r.url();
    if (!url.startsWith(server.origin + '/') && !url.startsWith('blob:') && !url.startsWith('data:'))
      problems.push('request to ' + url);
  });
  page.on('console', (m) => { if (m.type() === 'error') problems.push('console: ' + m.text()); });
  page.on('pageerror', (e) => problems.push('exception: ' + e.message));
  page.on('dialog', (d) => { problems.push('dialog: ' + d.message()); d.dismiss(); });
  await page.goto(server.origin + path);
  await page.waitForSelector('body[data-ready=true]');
  return { page, problems };
}

async function closePage({ page, problems }) {
  await page.close();
  assert.deepEqual(problems, []);
}

// The trace lines of the companion after `steps` presses.
function companionTrace(seed, nodes, steps) {
  return runCompanion(['colour', '--seed', seed, '--nodes', String(nodes), '--steps', String(steps), '--trace'])
    .trim().split('\n').slice(0, -1);
}

async function newMap(page, seed, nodes) {
  await page.fill('#c1002', seed);
  await page.fill('#c1004', String(nodes));
  await page.click('#c1005');
}

// Pixels of the map view that are not white, once the next frame is painted.
function paintedPixels(page) {
  return page.evaluate(async () => {
    await new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done)));
    const canvas = document.getElementById('map');
    const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    let n = 0;
    for (let i = 0; i < data.length; i += 4) if (data[i] < 250 || data[i + 1] < 250 || data[i + 2] < 250) ++n;
    return n;
  });
}

const text = (page, selector) => page.textContent(selector);
const enabled = (page, id) => page.isEnabled('#c' + id);

async function download(page, click) {
  const [file] = await Promise.all([page.waitForEvent('download'), click()]);
  return { name: file.suggestedFilename(), bytes: readFileSync(await file.path()) };
}

test('the page loads from 127.0.0.1 alone, and its policy stops a request elsewhere', async () => {
  const opened = await openPage();
  const { page } = opened;
  assert.equal(await page.title(), 'Orvane (V1.0)');
  assert.equal(await page.getAttribute('link[rel=icon]', 'href'), 'favicon.svg');
  assert.match(await page.getAttribute('meta[http-equiv=Content-Security-Policy]', 'content'), /default-src 'self'/);
  assert.equal(await text(page, '#c1005'), '地図生成');
  assert.equal(await text(page, '#c1001'), '↓FIX\u3000');
  for (const id of [1007, 1008, 1009, 1010]) assert.equal(await enabled(page, id), false);
  assert.ok(await enabled(page, 1012));
  // Another origin on the loopback: refused by the policy before any request.
  const refused = await page.evaluate(async () => {
    let violated = '';
    document.addEventListener('securitypolicyviolation', (e) => (violated = e.violatedDirective));
    try {
      await fetch('http://127.0.0.2:9/stray');
      return 'fetched';
    } catch {
      await new Promise((r) => setTimeout(r, 100));
      return violated;
    }
  });
  assert.match(refused, /connect-src/);
  opened.problems = opened.problems.filter((p) => !p.includes('127.0.0.2'));
  await closePage(opened);
});

test('a map is painted, coloured to the success text and exported with the companion\'s bytes', async () => {
  const opened = await openPage();
  const { page } = opened;
  const blank = await paintedPixels(page);
  await newMap(page, '1a2b', 300);
  assert.equal(await text(page, '#c1000'), '00001a2b');
  assert.ok((await paintedPixels(page)) > blank + 10000, 'discs and borders painted');
  assert.equal(await enabled(page, 1007), true);
  assert.equal(await enabled(page, 1009), false);
  await page.click('#c1008');
  assert.equal(await text(page, '#c1006'), successText);
  assert.deepEqual([await enabled(page, 1007), await enabled(page, 1008), await enabled(page, 1009), await enabled(page, 1010)],
    [false, false, true, true]);
  const folder = tempFolder();
  try {
    const path = join(folder, 'export.txt');
    runCompanion(['colour', '--seed', '1a2b', '--nodes', '300', '--full', '--export', path]);
    const file = await download(page, () => page.click('#c1010'));
    assert.equal(file.name, '00001a2b(300).txt');
    assert.ok(file.bytes.equals(readFileSync(path)), 'the export file\'s bytes');
    // A click on a country names it with its neighbours, as the export lists them.
    const record = readFileSync(path, 'utf16le').split('\r\n').find((l) => /^\[.\]\s+17 /.test(l));
    const [, x, y, neighbours] = /\((\w+),(\w+)\) (.*)$/.exec(record);
    const box = await page.$eval('#map', (c) => ({ w: c.clientWidth, h: c.clientHeight }));
    const at = (v, size) => Math.round((parseInt(v, 16) * (size - 48)) / 32767) + 24;
    await page.click('#map', { position: { x: at(x, box.w), y: at(y, box.h) } });
    const said = await text(page, '#country');
    assert.match(said, /^国 17 ・ 色 [RGYB] \(/);
    assert.ok(said.endsWith('隣国 ' + neighbours.split(',').join(', ')), said);
  } finally {
    removeFolder(folder);
  }
  await closePage(opened);
});

test('the keys run the window\'s keyboard table', async () => {
  const opened = await openPage();
  const { page } = opened;
  await page.fill('#c1002', '1a2b');
  await page.fill('#c1004', '300');
  // Enter in a field gives the focus to the main window.
  await page.press('#c1004', 'Enter');
  assert.equal(await page.evaluate(() => document.activeElement === document.body), true);
  await page.keyboard.press('ArrowRight');  // no map yet: step is disabled
  assert.equal(await text(page, '#c1000'), '');
  await page.keyboard.press('ArrowUp');
  assert.equal(await text(page, '#c1000'), '00001a2b');
  for (let i = 0; i < 3; ++i) await page.keyboard.press('ArrowRight');
  assert.equal(await text(page, '#trace'), companionTrace('1a2b', 300, 3)[2]);
  await page.keyboard.press('ArrowDown');
  assert.equal(await text(page, '#c1006'), successText);
  await page.keyboard.press('ArrowLeft');
  assert.equal(await text(page, '#c1006'), '');
  assert.equal(await enabled(page, 1007), true);
  assert.equal(await text(page, '#trace'), '');
  // AUTO moves the field's text to the label and empties the field; FIX copies it back.
  await page.fill('#c1002', '00abcdef');
  await page.press('#c1002', 'Enter');
  await page.keyboard.press('a');
  assert.equal(await text(page, '#c1000'), '00abcdef');
  assert.equal(await page.inputValue('#c1002'), '');
  await page.keyboard.press('F');
  assert.equal(await page.inputValue('#c1002'), '00abcdef');
  // In a field the letters are typed, not commands.
  await page.click('#c1002');
  await page.keyboard.press('End');
  await page.keyboard.press('Backspace');
  await page.keyboard.type('a');
  assert.equal(await page.inputValue('#c1002'), '00abcdea');
  // Tab cycles the fields, selecting the whole text; Shift+Tab goes back.
  const focus = () => page.evaluate(() => {
    const e = document.activeElement;
    return [e.id, e.selectionStart === 0 && e.selectionEnd === e.value.length];
  });
  await page.keyboard.press('Tab');
  assert.deepEqual(await focus(), ['c1004', true]);
  await page.keyboard.press('Tab');
  assert.deepEqual(await focus(), ['c1011', true]);
  await page.keyboard.press('Shift+Tab');
  assert.deepEqual(await focus(), ['c1004', true]);
  await closePage(opened);
});

test('a link opens its map at its step, step back gives the previous state, and English comes by the link', async () => {
  const trace = companionTrace('1a2b', 300, 120);
  const opened = await openPage('/#seed=1a2b&nodes=300&step=120');
  const { page } = opened;
  assert.equal(await text(page, '#trace'), trace[119]);
  assert.equal(await text(page, '#step-count'), '手順 120');
  assert.equal(await page.getAttribute('#link', 'href'), '#seed=00001a2b&nodes=300&step=120');
  await page.click('#back');
  assert.equal(await text(page, '#trace'), trace[118]);
  assert.equal(await page.getAttribute('#link', 'href'), '#seed=00001a2b&nodes=300&step=119');
  await page.click('#back');
  assert.equal(await text(page, '#trace'), trace[117]);
  // A new link in the address bar opens its map.
  await page.evaluate(() => (location.hash = '#seed=1&nodes=8&step=4&lang=en'));
  await page.waitForFunction(() => document.getElementById('c1000').textContent === '00000001');
  assert.equal(await text(page, '#trace'), companionTrace('1', 8, 4)[3]);
  assert.equal(await text(page, '#c1005'), 'New map');
  await page.click('#c1008');
  assert.equal(await text(page, '#c1006'), 'Success \\(^o^)/');
  assert.equal(await page.getAttribute('#link', 'href'), '#seed=00000001&nodes=8&step=4&full=1&lang=en');
  await page.click('#lang');
  assert.equal(await text(page, '#c1005'), '地図生成');
  assert.equal(await text(page, '#c1006'), successText);
  await closePage(opened);
});

test('the field texts are remembered as the settings file remembers them', async () => {
  const first = await openPage();
  await first.page.fill('#c1002', 'beef');
  await first.page.fill('#c1004', '12');
  await first.page.fill('#c1011', '345');
  await closePage(first);
  const second = await openPage();
  assert.deepEqual([await second.page.inputValue('#c1002'), await second.page.inputValue('#c1004'),
    await second.page.inputValue('#c1011')], ['beef', '12', '345']);
  await closePage(second);
  // A stored line longer than a field's 15 characters comes in cut. (Stored
  // from a file of the site that runs no script, so no page saves over it.)
  const plain = await browser.context.newPage();
  await plain.goto(server.origin + '/favicon.svg');
  await plain.evaluate(() => localStorage.setItem('orvane.settings', '0123456789abcdefghij\r\n7\r\n\r\n'));
  await plain.close();
  const third = await openPage();
  assert.equal(await third.page.inputValue('#c1002'), '0123456789abcde');
  assert.equal(await third.page.inputValue('#c1004'), '7');
  await closePage(third);
});

test('a batch runs on workers with the companion\'s run log, times aside', async () => {
  const opened = await openPage();
  const { page } = opened;
  await page.fill('#c1002', '1');
  await page.fill('#c1004', '200');
  await page.fill('#c1011', '50');
  await page.click('#c1012');
  await page.waitForSelector('#c1012:not([hidden])', { timeout: 120000 });
  assert.equal(await text(page, '#c1006'), successText);
  const log = await download(page, () => page.click('#save-log'));
  const folder = tempFolder();
  try {
    runCompanion(['batch', '--seed', '1', '--nodes', '200', '--maps', '50', '--dir', folder]);
    const expected = companionRunLog(folder);
    assert.match(log.name, /^\(200\)50_@\d{10}\.txt$/);
    assert.equal(withoutLastLines(log.bytes.toString('utf8'), 3), withoutLastLines(expected.bytes.toString('utf8'), 3));
  } finally {
    removeFolder(folder);
  }
  await closePage(opened);
});

test('a long batch counts while the page stays responsive, and stops', async () => {
  const opened = await openPage();
  const { page } = opened;
  await page.fill('#c1002', '1');
  await page.fill('#c1004', '2000');
  await page.fill('#c1011', '1000000');
  await page.click('#c1012');
  await page.waitForSelector('#stop:not([hidden])');
  assert.equal(await page.isHidden('#c1005'), true, 'the window\'s controls are hidden');
  const paints = () => page.$eval('#map', (c) => Number(c.dataset.painted));
  const first = await paints();
  for (let i = 0; i < 20; ++i) {
    const asked = Date.now();
    await page.evaluate(() => 1);
    assert.ok(Date.now() - asked < 1000, 'the page answers at once');
    await page.waitForTimeout(100);
  }
  assert.ok((await paints()) > first + 2, 'the counters are repainted as maps finish');
  await page.click('#stop');
  await page.waitForSelector('#c1012:not([hidden])');
  assert.equal(await text(page, '#c1006'), 'バッチ中断');
  const log = await download(page, () => page.click('#save-log'));
  // As a killed run leaves it: the map in progress named, no summary.
  assert.match(log.bytes.toString('utf8'), /^(?:[0-9a-f]{8}\(2000\)\t;Error\(-?\d+\)\r\n)*[0-9a-f]{8}\(2000\)\t;最終地図(?:\r\n)?$/);
  await closePage(opened);
});

test('bad links and odd field texts never break the page', async () => {
  const cases = [
    ['#seed=xyz&nodes=300', /16進数ではありません/, null],
    ['#seed=1a2b&nodes=-5&step=-3', /3〜10000 の外.*0 以上の整数ではない/, '3'],
    ['#seed=1a2b&nodes=99999999999999999999&step=99999999999999999999', /3〜10000 の外.*多すぎる/, '10000'],
    ['#seed=<img src=x onerror=alert(1)>&nodes=<script>alert(2)</script>', /<img src=x onerror=alert\(1\)>/, null],
    ['#lang=<b>x</b>&seed=1&nodes=5&step=1&full=yes&x="><svg onload=alert(3)>', /「x」.*<b>x<\/b>.*yes/, '5'],
    ['#%E0%A4%A&seed=%00&nodes=%0A', /16進数ではありません/, null],
    ['#seed=1&' + 'nodes=5&'.repeat(400), /長すぎます/, null],
  ];
  for (const [hash, said, nodes] of cases) {
    const opened = await openPage('/' + hash);
    const { page } = opened;
    assert.match(await text(page, '#notice'), said, hash);
    assert.equal(await page.isVisible('#notice'), true);
    const injected = await page.evaluate(() => document.querySelectorAll('img, svg, iframe, object, embed, b, script:not([src])').length);
    assert.equal(injected, 0, hash);
    if (nodes) assert.equal(await page.inputValue('#c1004'), nodes, hash);
    else assert.equal(await text(page, '#c1000'), '', 'no map: the page as it opens');
    await closePage(opened);
  }
  // Odd field texts follow the field rules, as the companion reads them.
  const opened = await openPage();
  const { page } = opened;
  for (const [seed, nodes] of [['-0x1G', 'abc'], ['zz', '-5'], [' 12 ', '99999'], ['<b>1</b>', '1e3']]) {
    await newMap(page, seed, nodes);
    const [, want, count] = /seed=(\w+) nodes=(\d+)/.exec(runCompanion(['map', '--seed', seed.slice(0, 8), '--nodes', nodes.slice(0, 5)]));
    assert.equal(await text(page, '#c1000'), want, seed);
    assert.equal(await page.inputValue('#c1004'), count, nodes);
  }
  await closePage(opened);
});

test('at phone width the controls sit above the map, drawn sharp on a dense screen', async () => {
  const phone = await startChromium({ viewport: { width: 390, height: 844 }, deviceScaleFactor: 2, isMobile: true, hasTouch: true });
  try {
    const opened = await openPage('/#seed=1a2b&nodes=300&step=10', phone);
    const { page } = opened;
    const layout = await page.evaluate(() => {
      const column = document.getElementById('column').getBoundingClientRect();
      const view = document.getElementById('view').getBoundingClientRect();
      const canvas = document.getElementById('map');
      return { columnBottom: column.bottom, viewTop: view.top, viewWidth: view.width,
        canvasWidth: canvas.width, cssWidth: canvas.clientWidth, page: document.documentElement.scrollWidth };
    });
    assert.ok(layout.columnBottom <= layout.viewTop, 'controls above the map');
    assert.ok(layout.page <= 390, 'nothing wider than the screen');
    assert.ok(layout.viewWidth > 300);
    assert.equal(layout.canvasWidth, 2 * layout.cssWidth);
    assert.ok((await paintedPixels(page)) > 10000);
    await closePage(opened);
  } finally {
    await phone.close();
  }
});

// ---- Countries placed by clicks ----

// The sites of the page's link as a sites file in `folder`.
async function linkedSitesFile(page, folder) {
  const href = await page.getAttribute('#link', 'href');
  const code = new URLSearchParams(href.slice(1)).get('sites');
  const { sites } = await decodeSites(code);
  let text = '';
  for (let i = 0; i < sites.length; i += 2) text += `${sites[i]} ${sites[i + 1]}\n`;
  const path = join(folder, 'placed.txt');
  writeFileSync(path, text);
  return path;
}

const sitesTrace = (path, steps) =>
  runCompanion(['colour', '--sites', path, '--steps', String(steps), '--trace']).trim().split('\n').slice(0, -1);
const linked = (page) => page.waitForFunction(() => /^#sites=/.test(document.getElementById('link').getAttribute('href')));

test('countries placed by clicks make a map that steps, colours, exports and links as the companion has it', async () => {
  const opened = await openPage('/#lang=en');
  const { page } = opened;
  const blank = await paintedPixels(page);
  await page.click('#place');
  assert.equal(await page.getAttribute('#place', 'aria-pressed'), 'true');
  const spots = [[100, 80], [520, 120], [300, 420], [140, 360], [470, 390], [330, 230], [600, 300]];
  for (const [x, y] of spots) await page.click('#map', { position: { x, y } });
  assert.match(await text(page, '#sites-status'), /7 placed$/);
  // A click on a country takes it away.
  await page.click('#map', { position: { x: 600, y: 300 } });
  assert.equal(await enabled(page, 1007), true);
  assert.ok((await paintedPixels(page)) > blank + 1000, 'the map is painted');
  await linked(page);
  const folder = tempFolder();
  try {
    const path = await linkedSitesFile(page, folder);
    for (let i = 0; i < 3; ++i) await page.click('#c1007');
    const trace = sitesTrace(path, 3);
    assert.equal(await text(page, '#trace'), trace[2]);
    assert.match(await page.getAttribute('#link', 'href'), /^#sites=p[\w-]+&step=3&lang=en$/);
    await page.click('#back');
    assert.equal(await text(page, '#trace'), trace[1]);
    await page.click('#c1008');
    assert.equal(await text(page, '#c1006'), 'Success \\(^o^)/');
    const exported = join(folder, 'e.txt');
    runCompanion(['colour', '--sites', path, '--full', '--export', exported]);
    const file = await download(page, () => page.click('#c1010'));
    assert.equal(file.name, 'sites(6).txt');
    assert.ok(file.bytes.equals(readFileSync(exported)), 'the export file\'s bytes');
  } finally {
    removeFolder(folder);
  }
  // Another country: the colouring starts afresh.
  await page.click('#map', { position: { x: 20, y: 20 } });
  assert.match(await text(page, '#sites-status'), /7 placed$/);
  assert.equal(await text(page, '#step-count'), 'Step 0');
  assert.equal(await text(page, '#c1006'), '');
  // Out of the mode a click names a country again.
  await page.click('#place');
  await page.click('#map', { position: { x: 20, y: 20 } });
  assert.match(await text(page, '#country'), /^Country 7 · colour none · neighbours /);
  assert.equal(await text(page, '#sites-status'), '');
  await closePage(opened);
});

test('placed countries that give no map are drawn and the reason shown, in either language', async () => {
  const opened = await openPage();
  const { page } = opened;
  await page.click('#place');
  for (const x of [100, 250, 400]) await page.click('#map', { position: { x, y: 200 } });
  assert.match(await text(page, '#sites-status'), /^すべての国が 国 1 \(\d+, \d+\) と 国 2 \(\d+, \d+\) を通る一直線上にあります/);
  assert.equal(await enabled(page, 1007), false);
  assert.equal(await enabled(page, 1010), false);
  assert.equal(await page.isHidden('#link'), true);
  assert.ok((await paintedPixels(page)) > 50, 'the countries placed are drawn (on an empty map page)');
  await page.click('#lang');
  assert.match(await text(page, '#sites-status'), /^all countries lie on the line through country 1 \(/);
  await page.click('#map', { position: { x: 250, y: 350 } });
  assert.match(await text(page, '#sites-status'), /4 placed$/);
  assert.equal(await enabled(page, 1007), true);
  await page.click('#clear-sites');
  assert.equal(await text(page, '#sites-status'), '0 placed: a map needs at least 3');
  // A new map from the fields: its countries are the ones placed on from.
  await newMap(page, '1a2b', 12);
  assert.match(await text(page, '#sites-status'), /12 placed$/);
  await page.click('#map', { position: { x: 5, y: 5 } });
  assert.match(await text(page, '#sites-status'), /13 placed$/);
  await closePage(opened);
});

test('links carry placed countries, long lists compressed; bad ones are refused as text', async () => {
  const grid = [];
  for (let i = 0; i < 50; ++i) for (let j = 0; j < 50; ++j) grid.push(200 + i * 640, 200 + j * 640);
  const code = await encodeSites(Int32Array.from(grid));
  assert.equal(code[0], 'z');
  const folder = tempFolder();
  try {
    const path = join(folder, 'grid.txt');
    let text_ = '';
    for (let i = 0; i < grid.length; i += 2) text_ += `${grid[i]} ${grid[i + 1]}\n`;
    writeFileSync(path, text_);
    const exported = join(folder, 'e.txt');
    runCompanion(['colour', '--sites', path, '--full', '--export', exported]);
    const opened = await openPage(`/#sites=${code}&step=0&full=1&lang=en`);
    const { page } = opened;
    await page.waitForFunction(() => document.body.dataset.linksOpened === '1');
    assert.equal(await text(page, '#c1006'), 'Success \\(^o^)/');
    const file = await download(page, () => page.click('#c1010'));
    assert.equal(file.name, 'sites(2500).txt');
    assert.ok(file.bytes.equals(readFileSync(exported)));
    await linked(page);
    assert.equal(await page.getAttribute('#link', 'href'), `#sites=${code}&step=0&full=1&lang=en`);
    await closePage(opened);
  } finally {
    removeFolder(folder);
  }
  const cases = [
    ['#sites=<img src=x onerror=alert(1)>&step=2', /not valid/],
    ['#sites=zAAAA', /not valid/],
    ['#sites=pAAAAAAAAAAAAAAAA', /country 2 \(0, 0\) is at the same place as country 1 \(0, 0\)/],
    ['#sites=pAAAAAH__f_8D6HUw&seed=1', /cannot come with seed/],
  ];
  for (const [hash, said] of cases) {
    const opened = await openPage('/' + hash + '&lang=en');
    const { page } = opened;
    await page.waitForFunction(() => document.body.dataset.linksOpened === '1');
    assert.match(await text(page, '#notice'), said, hash);
    const injected = await page.evaluate(() => document.querySelectorAll('img, svg, iframe, object, embed, b, script:not([src])').length);
    assert.equal(injected, 0, hash);
    assert.equal(await enabled(page, 1007), false);
    await closePage(opened);
  }
});

// ---- Sites files opened in the page ----

// Gives a file to the sites file input and waits until the page has taken it.
async function openSitesFile(page, name, buffer) {
  const before = await page.evaluate(() => Number(document.body.dataset.sitesFilesOpened || 0));
  await page.setInputFiles('#sites-file', { name, mimeType: 'text/plain', buffer });
  await page.waitForFunction((n) => Number(document.body.dataset.sitesFilesOpened || 0) > n, before);
}

test('a sites file opens as the companion reads it: the same map, steps, export bytes and name', async () => {
  const folder = tempFolder();
  const opened = await openPage('/#lang=ja');  // (an earlier test may have left English chosen)
  const { page } = opened;
  try {
    // The companion's sites of a seeded map, with CR LF, a byte-order mark and a comment.
    const seeded = runCompanion(['sites', '--seed', '1a2b', '--nodes', '300']);
    const bytes = Buffer.concat([Buffer.from([0xef, 0xbb, 0xbf]), Buffer.from('# 授業 3\r\n' + seeded.replace(/\n/g, '\r\n'))]);
    const path = join(folder, 'lesson 3.sites');
    writeFileSync(path, bytes);
    const exportFolder = join(folder, 'out');
    mkdirSync(exportFolder);
    runCompanion(['colour', '--sites', path, '--full', '--export', exportFolder]);
    const [expectedName] = readdirSync(exportFolder);
    assert.equal(expectedName, 'lesson 3(300).txt');

    assert.equal(await page.isHidden('#open-sites'), true, 'only in the mode of placing countries');
    await page.click('#place');
    assert.equal(await text(page, '#open-sites'), 'ファイルを開く');
    // The button opens the file input's chooser.
    const [chooser] = await Promise.all([page.waitForEvent('filechooser'), page.click('#open-sites')]);
    assert.equal(await chooser.element().getAttribute('id'), 'sites-file');
    await chooser.setFiles({ name: 'lesson 3.sites', mimeType: 'text/plain', buffer: bytes });
    await page.waitForFunction(() => document.body.dataset.sitesFilesOpened === '1');
    assert.match(await text(page, '#sites-status'), /置いた国 300$/);
    for (let i = 0; i < 3; ++i) await page.click('#c1007');
    assert.equal(await text(page, '#trace'), sitesTrace(path, 3)[2]);
    await page.click('#back');
    assert.equal(await text(page, '#trace'), sitesTrace(path, 2)[1]);
    await page.click('#c1008');
    assert.equal(await text(page, '#c1006'), successText);
    const file = await download(page, () => page.click('#c1010'));
    assert.equal(file.name, expectedName);
    assert.ok(file.bytes.equals(readFileSync(join(exportFolder, expectedName))), 'the export file\'s bytes');
    await linked(page);
    assert.match(await page.getAttribute('#link', 'href'), /^#sites=[pz][\w-]+&step=2&full=1$/);
  } finally {
    removeFolder(folder);
  }
  await closePage(opened);
});

test('a sites file refused, too large or giving no map says why as text and keeps the map shown', async () => {
  const folder = tempFolder();
  const opened = await openPage('/#seed=1a2b&nodes=300&step=5&lang=ja');
  const { page } = opened;
  try {
    await page.click('#place');
    const state = async () => [await text(page, '#c1000'), await text(page, '#trace'), await text(page, '#step-count'),
      await page.getAttribute('#link', 'href'), await enabled(page, 1007)];
    const shown = await state();
    assert.equal(shown[0], '00001a2b');
    const limit = 4 << 20;  // the reader's cap, which the companion keeps too (checked below)
    const cases = [
      ['bad.sites', Buffer.from('1 2\n3 4\n5 x\n'), true],
      ['<img src=x onerror=alert(1)>.txt', Buffer.from('0 0\r\n10 10\r\n# more\r\n20 20\r\n'), true],
      ['big.sites', Buffer.alloc(limit + 1, 10), true],
    ];
    const said = [];
    for (const [name, bytes, companionToo] of cases) {
      await openSitesFile(page, name, bytes);
      const status = await text(page, '#sites-status');
      assert.ok(status.startsWith(`「${name}」を開けません: `), status);
      said.push(status);
      assert.deepEqual(await state(), shown, name);
      const injected = await page.evaluate(() => document.querySelectorAll('img, svg, iframe, object, embed, script:not([src])').length);
      assert.equal(injected, 0, name);
      if (companionToo) {
        const path = join(folder, 'f.sites');
        writeFileSync(path, bytes);
        companionSitesRefusal(path);  // the companion refuses it too
      }
    }
    // The reader's own words for a malformed line, as the companion says them.
    writeFileSync(join(folder, 'bad.sites'), cases[0][1]);
    assert.ok(said[0].endsWith(companionSitesRefusal(join(folder, 'bad.sites'))), said[0]);
    assert.match(said[1], /1 行目の国 1 \(0, 0\) と 2 行目の国 2 \(10, 10\) を通る一直線上/);
    assert.match(said[2], /4 MiB を超えています/);
    await page.click('#lang');
    assert.match(await text(page, '#sites-status'), /^Cannot open "big\.sites": it is larger than 4 MiB/);
    // The next command clears the notice; the map is the one shown all along.
    await page.click('#c1007');
    assert.equal(await text(page, '#trace'), companionTrace('1a2b', 300, 6)[5]);
    assert.doesNotMatch(await text(page, '#sites-status'), /Cannot open/);
  } finally {
    removeFolder(folder);
  }
  await closePage(opened);
});
