// The WebAssembly build in Node against the native companion: the same trace
// after every press of step colouring, the same export files byte for byte,
// the same run logs, and the same reading of odd field texts, on maps of up
// to 10000 nodes. The core is driven through the page's binding, as the page
// drives it.
import assert from 'node:assert/strict';
import { mkdirSync, readdirSync, readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { test } from 'node:test';
import {
  companionRunLog, companionSitesRefusal, Fnv1a64, loadCore, removeFolder, runCompanion, tempFolder, withoutLastLines,
} from './support.mjs';

const core = await loadCore();
const idSeedLabel = 1000, idSeedField = 1002, idNodeField = 1004, idMapRequest = 1005, idStatus = 1006;
const idStep = 1007, idFull = 1008, idExport = 1010, idMapCountField = 1011;
const texts = core.windowTexts();

function newMap(seed, nodes) {
  const session = new core.Session();
  session.setText(idSeedField, seed);
  session.setText(idNodeField, String(nodes));
  session.click(idMapRequest, 0);
  return session;
}

// Presses step colouring while its button is enabled; calls `each` with the
// trace line after every press.
function stepToEnd(session, each) {
  while (session.enabled(idStep)) {
    session.click(idStep, 0);
    each(session.traceLine());
  }
}

test('the trace after every step equals the companion\'s', () => {
  for (const [seed, nodes] of [['1', 3], ['1', 8], ['1a2b', 300], ['ffffffff', 1000]]) {
    const expected = runCompanion(['colour', '--seed', seed, '--nodes', String(nodes), '--steps', '1000000', '--trace'])
      .trim().split('\n');
    const result = expected.pop();
    const session = newMap(seed, nodes);
    const lines = [];
    stepToEnd(session, (line) => lines.push(line));
    assert.deepEqual(lines, expected, `seed ${seed}, ${nodes} nodes`);
    // The status text of the verification the companion reports.
    const verify = /verify=(-?\d+)/.exec(result)[1];
    assert.equal(session.text(idStatus), verify === '0' ? texts.successText : texts.failureText);
    session.delete();
  }
});

test('whole step traces of large maps have the companion\'s digest', () => {
  for (const [seed, nodes] of [['5', 4000], ['deadbeef', 10000]]) {
    const expected = runCompanion(['colour', '--seed', seed, '--nodes', String(nodes), '--digest']).split('\n')[0];
    const session = newMap(seed, nodes);
    const digest = new Fnv1a64();
    let steps = 0;
    stepToEnd(session, (line) => {
      digest.addLine(line);
      ++steps;
    });
    assert.equal(`digest ${digest.hex()} steps ${steps}`, expected.replace(/ verify.*/, ''), `seed ${seed}, ${nodes} nodes`);
    session.delete();
  }
});

test('export files equal the companion\'s byte for byte, during and after colouring', () => {
  const folder = tempFolder();
  try {
    for (const [seed, nodes, steps] of [['2', 3, null], ['1a2b', 300, 7], ['1a2b', 1000, null], ['deadbeef', 10000, null]]) {
      const path = join(folder, `${seed}-${nodes}.txt`);
      const colour = steps === null ? ['--full'] : ['--steps', String(steps)];
      runCompanion(['colour', '--seed', seed, '--nodes', String(nodes), ...colour, '--export', path]);
      const session = newMap(seed, nodes);
      if (steps === null) session.click(idFull, 0);
      else session.stepTimes(steps);
      session.click(idExport, 0);
      const file = session.takeExport();
      assert.ok(file, `an export of seed ${seed}`);
      assert.equal(file.name, `${seed.padStart(8, '0')}(${nodes}).txt`);
      assert.ok(Buffer.from(file.bytes).equals(readFileSync(path)), `export of seed ${seed}, ${nodes} nodes`);
      // Written once: nothing is left to take.
      assert.equal(session.takeExport(), null);
      session.delete();
    }
  } finally {
    removeFolder(folder);
  }
});

// A batch run as the page runs it: the maps coloured by two colourers (the
// workers), the results fed in seed order in chunks.
function pageBatch(seed, nodes, maps, clockStep) {
  const session = new core.Session();
  session.setText(idSeedField, seed);
  session.setText(idNodeField, String(nodes));
  session.setText(idMapCountField, String(maps));
  const run = session.beginBatch();
  assert.ok(run);
  const workers = [new core.MapColourer(clockStep), new core.MapColourer(clockStep)];
  for (let first = 0, k = 0; first < run.maps; first += 7, ++k) {
    const count = Math.min(7, run.maps - first);
    session.feedBatch(workers[k % 2].colour((run.firstSeed + first) >>> 0, count, run.nodes));
  }
  assert.ok(session.batchOver());
  const log = session.endBatch();
  const status = session.text(idStatus);
  for (const w of workers) w.delete();
  session.delete();
  return { log, status };
}

test('run logs equal the companion\'s, times aside', () => {
  const cases = [
    // seed, nodes, maps, clock step, time lines that differ
    ['1', 1000, 30, 0, 3],
    // A clock that moves 130 ms a reading makes the engine's limit strike
    // on some maps: error lines among the others; the map and colouring
    // sums then come out the same, only the total time differs.
    ['2a', 60, 40, 130, 3],
  ];
  for (const [seed, nodes, maps, clockStep, timeLines] of cases) {
    const folder = tempFolder();
    try {
      const step = clockStep ? ['--clock-step', String(clockStep)] : [];
      runCompanion(['batch', '--seed', seed, '--nodes', String(nodes), '--maps', String(maps), '--dir', folder, '--jobs', '2', ...step]);
      const expected = companionRunLog(folder);
      const { log, status } = pageBatch(seed, nodes, maps, clockStep);
      assert.match(log.name, new RegExp(`^\\(${nodes}\\)${maps}_@\\d{10}\\.txt$`));
      const text = new TextDecoder().decode(log.bytes);
      const companionText = expected.bytes.toString('utf8');
      assert.equal(withoutLastLines(text, timeLines), withoutLastLines(companionText, timeLines));
      if (clockStep) {
        assert.match(text, /;Error\(\d+\)\r\n/);
        assert.match(text, /;最終地図\r\n/, 'some maps succeed as well');
        assert.equal(withoutLastLines(text, 0).split('\r\n').slice(-2).join('\n'),
          companionText.split('\r\n').slice(-3, -1).join('\n'), 'the same map and colouring sums');
        assert.equal(status, texts.failureText);
      } else {
        assert.equal(status, texts.successText);
      }
    } finally {
      removeFolder(folder);
    }
  }
});

test('odd field texts are read as the companion reads its options', () => {
  const seeds = ['1a', 'zz', '-1', '  0x1G', '0x', '+ff', 'ffffffffff', '１２', '1a2b<script>'];
  const counts = ['2', '-5', 'abc', '99999999', '10001', ' 7x', '+12', '', '3.9'];
  for (let i = 0; i < seeds.length; ++i) {
    const said = runCompanion(['map', '--seed', seeds[i], '--nodes', counts[i]]);
    const [, seed, nodes] = /seed=([0-9a-f]{8}) nodes=(\d+)/.exec(said);
    const session = newMap(seeds[i], counts[i]);
    assert.equal(session.text(idSeedLabel), seed, `seed text ${JSON.stringify(seeds[i])}`);
    assert.equal(session.text(idSeedField), seed);
    assert.equal(session.text(idNodeField), nodes, `count text ${JSON.stringify(counts[i])}`);
    session.delete();
  }
});

// ---- Maps of given sites, as the page places them ----

// The companion's sites of a seeded map, as a file and as x, y pairs.
function seededSitesFile(folder, seed, nodes) {
  const text = runCompanion(['sites', '--seed', seed, '--nodes', String(nodes)]);
  const path = join(folder, `${seed}-${nodes}.sites`);
  writeFileSync(path, text);
  return { path, flat: Int32Array.from(text.trim().split(/\s+/).map(Number)) };
}

test('a map of placed sites traces and exports as the companion\'s map of that sites file', () => {
  const folder = tempFolder();
  try {
    for (const [seed, nodes] of [['1', 8], ['1a2b', 300], ['5eed', 10000]]) {
      const { path, flat } = seededSitesFile(folder, seed, nodes);
      const session = new core.Session();
      assert.equal(session.placeSites(flat, 'lesson'), null);
      assert.ok(session.sitesShown());
      assert.deepEqual(session.mapSites(), flat);
      const exported = join(folder, 'e.txt');
      if (nodes <= 300) {
        const expected = runCompanion(['colour', '--sites', path, '--steps', '1000000', '--trace', '--export', exported])
          .trim().split('\n');
        assert.match(expected.pop(), /^result sites=/);
        const lines = [];
        stepToEnd(session, (line) => lines.push(line));
        assert.deepEqual(lines, expected, `seed ${seed}, ${nodes} nodes`);
      } else {
        const expected = runCompanion(['colour', '--sites', path, '--digest']).split('\n')[0];
        runCompanion(['colour', '--sites', path, '--steps', '1000000', '--export', exported]);
        const digest = new Fnv1a64();
        let steps = 0;
        stepToEnd(session, (line) => {
          digest.addLine(line);
          ++steps;
        });
        assert.equal(`digest ${digest.hex()} steps ${steps}`, expected.replace(/ verify.*/, ''));
      }
      session.click(idExport, 0);
      const file = session.takeExport();
      assert.equal(file.name, `lesson(${nodes}).txt`);
      assert.ok(Buffer.from(file.bytes).equals(readFileSync(exported)), `export of ${nodes} placed sites`);
      // Step back rebuilds the placed map, not a seeded one.
      assert.ok(session.replay(3));
      assert.equal(session.steps(), 3);
      assert.deepEqual(session.mapSites(), flat);
      session.delete();
    }
  } finally {
    removeFolder(folder);
  }
});

test('placed sites that give no map come back as the problem, with no map shown', () => {
  const session = new core.Session();
  const cases = [
    [[0, 0, 10, 10, 20, 20], { kind: 'one-line', sites: [0, 1], count: 3 }],
    [[0, 0, 10, 0, 5, 5, 10, 0], { kind: 'duplicate', sites: [1, 3], count: 4 }],
    [[1, 1, 2, 2], { kind: 'too-few', sites: [0, 1], count: 2 }],
    [[0, 19688, 1, 18018, 2, 1538, 32767, 23750, 2, 1756], { kind: 'unclear-order', sites: [0, 2, 4], count: 5 }],
    [[0, 0, 40000, 0, 5, 5], { kind: 'outside', sites: [1], count: 3 }],
  ];
  for (const [flat, problem] of cases) {
    assert.equal(session.placeSites(Int32Array.from([5, 5, 900, 40, 300, 700]), 'ok'), null);
    assert.ok(session.enabled(idStep));
    assert.deepEqual(session.placeSites(Int32Array.from(flat), 'sites'), problem);
    assert.equal(session.enabled(idStep), false);
    assert.equal(session.enabled(idExport), false);
    assert.equal(session.shownNodeCount(), 0);
    assert.equal(session.mapSites().length, 0);
    assert.equal(session.sitesShown(), false);
  }
  session.delete();
});

test('a sites file\'s bytes are read and named as the companion reads and names the file', () => {
  const folder = tempFolder();
  try {
    const text = runCompanion(['sites', '--seed', '1a2b', '--nodes', '300']);
    // The same sites in the forms the reader takes: UTF-8 with a byte-order
    // mark, CR LF and comments; UTF-16LE with its mark.
    const crlf = '# lesson 3\r\n' + text.trim().split('\n').map((l, i) => (i % 7 ? l : l.replace(' ', ', ') + '  # c')).join('\r\n');
    const forms = [
      ['seeded.sites', Buffer.from(text)],
      ['Lesson 3.txt', Buffer.concat([Buffer.from([0xef, 0xbb, 0xbf]), Buffer.from(crlf)])],
      ['a:b.v2.sites', Buffer.concat([Buffer.from([0xff, 0xfe]), Buffer.from(crlf, 'utf16le')])],
    ];
    for (const [i, [name, bytes]] of forms.entries()) {
      const path = join(folder, name);
      writeFileSync(path, bytes);
      const exportFolder = join(folder, `out${i}`);
      mkdirSync(exportFolder);
      runCompanion(['colour', '--sites', path, '--full', '--export', exportFolder]);
      const [expectedName] = readdirSync(exportFolder);
      const session = newMap('1', 12);
      assert.equal(session.openSitesFile(new Uint8Array(bytes), name), null, name);
      assert.ok(session.sitesShown());
      session.click(idFull, 0);
      session.click(idExport, 0);
      const file = session.takeExport();
      assert.equal(file.name, expectedName);
      assert.ok(Buffer.from(file.bytes).equals(readFileSync(join(exportFolder, expectedName))), name);
      session.delete();
    }
    // Refused files leave the map shown as it was, and say what the companion says.
    const refused = [
      ['bad line', '1 2\n3 4\n5 x\n'],
      ['sign', '1 2\n-3 4\n5 6\n'],
      ['utf-16 text', Buffer.concat([Buffer.from([0xff, 0xfe]), Buffer.from('1 2\n3 4\n5 6 # é\n', 'utf16le')])],
      ['too large', '\n'.repeat(core.sitesFileLimit() + 1)],
      ['one line', '# a line\n0 0\n10 10\n\n20 20\n'],
      ['twice', '0 0\n10 0\n5 5\n10 0\n'],
      ['too few', '1 1\n'],
      ['outside', '0 0\n40000 0\n5 5\n'],
      ['too many', Array.from({ length: 10001 }, (_, i) => `${i % 100} ${Math.floor(i / 100)}`).join('\n')],
    ];
    const session = newMap('1a2b', 12);
    session.click(idStep, 0);
    const shown = session.mapSites(), trace = session.traceLine();
    for (const [what, content] of refused) {
      const path = join(folder, 'refused.sites');
      writeFileSync(path, content);
      const why = session.openSitesFile(new Uint8Array(readFileSync(path)), 'refused.sites');
      assert.ok(why, what);
      const message = companionSitesRefusal(path);
      if (why.message !== undefined) {
        assert.equal(why.message, message, what);
      } else {
        // Sites that give no map: the sites the problem names stand on the lines the companion names.
        for (const line of why.lines) assert.match(message, new RegExp(`line ${line}\\b`), what);
        assert.equal(why.lines.length, why.problem.sites.length, what);
      }
      assert.deepEqual(session.mapSites(), shown, what);
      assert.equal(session.traceLine(), trace, what);
      assert.equal(session.steps(), 1, what);
      assert.equal(session.shownSeed(), '00001a2b', what);
      assert.ok(session.enabled(idStep), what);
    }
    session.delete();
  } finally {
    removeFolder(folder);
  }
});

test('a click names the map point drawn under it, and the disc there', () => {
  const session = new core.Session();
  session.paint(700, 500);
  const flat = [];
  for (const [x, y] of [[24, 24], [676, 476], [350, 250], [101, 333]]) {
    const p = session.mapPointAt(x, y);
    flat.push(p.x, p.y);
  }
  assert.deepEqual(Array.from(session.viewPoints(Int32Array.from(flat))), [24, 24, 676, 476, 350, 250, 101, 333]);
  assert.deepEqual(session.mapPointAt(0, 1000), { x: 0, y: 32767 });
  assert.equal(session.siteAt(Int32Array.from(flat), 353, 247), 2);
  assert.equal(session.siteAt(Int32Array.from(flat), 380, 250), -1);
  session.delete();
});
