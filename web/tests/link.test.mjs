// Reading and making links: the field rules, what is refused and what is
// clamped, and that a made link reads back as the state it names.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { linkOf, readLink } from '../page/link.mjs';
import { loadCore } from './support.mjs';

const core = await loadCore();
const read = (hash) => readLink(hash, (t) => core.nodeCountOf(t));
const keys = (link) => link.problems.map(([key]) => key);

test('a good link names its map, step and language', () => {
  assert.deepEqual(read('#seed=1A2B&nodes=0300&step=120&lang=en'),
    { map: { seed: '1a2b', nodes: 300, steps: 120, stepText: '120', full: false }, sites: null, lang: 'en', problems: [] });
  assert.deepEqual(read('').map, null);
  assert.deepEqual(read('#lang=ja'), { map: null, sites: null, lang: 'ja', problems: [] });
});

test('seeds and counts the fields would not hold are refused, others clamped as the field clamps', () => {
  assert.deepEqual(keys(read('#seed=123456789&nodes=5')), ['badSeed', 'opened']);
  assert.deepEqual(keys(read('#seed=0x12&nodes=5')), ['badSeed', 'opened']);
  assert.deepEqual(keys(read('#nodes=5')), ['noSeed', 'opened']);
  assert.deepEqual(keys(read('#seed=1&nodes=1e3')), ['badNodes', 'opened']);
  const low = read('#seed=1&nodes=-5');
  assert.equal(low.map.nodes, 3);
  assert.deepEqual(keys(low), ['clampedNodes']);
  assert.equal(read('#seed=1&nodes=99999999999999999999999').map.nodes, 10000);
  const huge = read('#seed=1&nodes=5&step=99999999999999999999&full=2&x=1&lang=fr');
  assert.ok(huge.map.steps >= Number.MAX_SAFE_INTEGER);
  assert.equal(huge.map.stepText, '99999999999999999999');
  assert.deepEqual(keys(huge).sort(), ['badFull', 'badLang', 'unknown']);
  assert.deepEqual(keys(read('#seed=1&nodes=5&step=-1')), ['badStep']);
  assert.deepEqual(keys(read('#' + 'x'.repeat(2001))), ['tooLong']);
});

test('the link of a state reads back as that state', () => {
  const state = { seed: '00001a2b', nodes: 300, steps: 7, full: true, lang: 'en' };
  const link = linkOf(state);
  assert.equal(link, '#seed=00001a2b&nodes=300&step=7&full=1&lang=en');
  assert.deepEqual(read(link).map, { seed: '00001a2b', nodes: 300, steps: 7, stepText: '7', full: true });
});

// ---- Links to maps of placed countries ----

const { decodeSites, encodeSites, mostCodeLength } = await import('../page/sites-link.mjs');

function randomSites(n, seed) {
  let state = seed;
  const next = () => (state = (state * 1103515245 + 12345) >>> 0) >>> 17;  // 0..32767
  const flat = new Int32Array(2 * n);
  for (let i = 0; i < flat.length; ++i) flat[i] = next();
  return flat;
}

function grid(side, spacing) {
  const flat = [];
  for (let i = 0; i < side; ++i) for (let j = 0; j < side; ++j) flat.push(100 + i * spacing, 100 + j * spacing);
  return Int32Array.from(flat);
}

test('sites codes read back as the sites, plain while short and compressed when that is shorter', async () => {
  const few = Int32Array.from([0, 0, 32767, 32767, 1000, 30000]);
  const code = await encodeSites(few);
  assert.equal(code, 'pAAAAAH__f_8D6HUw');
  assert.deepEqual((await decodeSites(code)).sites, few);
  const random = randomSites(10000, 7);
  const randomCode = await encodeSites(random);
  assert.ok(randomCode.length <= mostCodeLength);
  assert.deepEqual((await decodeSites(randomCode)).sites, random);
  const lattice = grid(100, 300);
  const latticeCode = await encodeSites(lattice);
  assert.equal(latticeCode[0], 'z');
  assert.ok(latticeCode.length < 5000, `a grid of 10000 shrinks: ${latticeCode.length}`);
  assert.deepEqual((await decodeSites(latticeCode)).sites, lattice);
  // The longest link still reads.
  const link = read(linkOf({ sites: randomCode, steps: 3, full: false, lang: 'ja' }));
  assert.deepEqual(link, { map: null, sites: { code: randomCode, steps: 3, stepText: '3', full: false }, lang: null, problems: [] });
});

test('a sites code that breaks a rule is refused whole', async () => {
  const bad = async (code) => (await decodeSites(code)).problem;
  const packed = async (bytes) => {
    const stream = new Blob([bytes]).stream().pipeThrough(new CompressionStream('deflate-raw'));
    const out = new Uint8Array(await new Response(stream).arrayBuffer());
    return 'z' + Buffer.from(out).toString('base64url');
  };
  assert.equal(await bad('pAAAAAB'), 'badSites', 'trailing bits set: not the canonical spelling');
  assert.equal(await bad('xAAAAAH__f_8D6HUw'), 'badSites', 'no such form');
  assert.equal(await bad('pAAAAAH__f_8D6HUwA'), 'badSites', 'a length base64 never has');
  assert.equal(await bad('pAAAA'), 'badSites', 'not whole sites');
  assert.equal(await bad('pgAAAAAAAAAAAAAAA'), 'badSites', 'a coordinate above 32767');
  assert.equal(await bad('p'), 'badSites');
  assert.equal(await bad('pAA=A'), 'badSites');
  assert.equal(await bad('zAAAA'), 'badSites', 'not deflate data');
  assert.equal(await bad(await packed(new Uint8Array(40004))), 'badSites', 'more than 10000 sites once inflated');
  assert.equal(await bad(await packed(new Uint8Array(1 << 24))), 'badSites', 'a bomb is stopped at 10000 sites');
  assert.deepEqual((await decodeSites(await packed(new Uint8Array(40000)))).sites.length, 20000);
  assert.equal(await bad('p' + 'A'.repeat(mostCodeLength)), 'badSites', 'longer than 10000 sites');
  // In links: the code's letters, and never with a seed.
  assert.deepEqual(keys(read('#sites=p<img>&step=2')), ['badSites', 'opened']);
  assert.deepEqual(keys(read('#sites=pAAAAAH__f_8D6HUw&seed=1&nodes=5')), ['sitesAndSeed', 'opened']);
  assert.deepEqual(keys(read('#sites=pAAAAAH__f_8D6HUw&step=x&full=2')).sort(), ['badFull', 'badStep']);
  assert.deepEqual(keys(read('#sites=p' + 'A'.repeat(mostCodeLength + 300))), ['tooLong']);
  assert.equal(linkOf({ sites: 'pAAAAAH__f_8D6HUw', steps: 0, full: true, lang: 'en' }), '#sites=pAAAAAH__f_8D6HUw&step=0&full=1&lang=en');
});
