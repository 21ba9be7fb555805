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
    { map: { seed: '1a2b', nodes: 300, steps: 120, stepText: '120', full: false }, lang: 'en', problems: [] });
  assert.deepEqual(read('').map, null);
  assert.deepEqual(read('#lang=ja'), { map: null, lang: 'ja', problems: [] });
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
