// Links to one map at one step: #seed=1a2b&nodes=300&step=120 (and &full=1
// after a full colouring, &lang=en for English), or for a map of placed
// countries #sites=CODE&step=120 (sites-link.mjs tells the code). A link is
// data: it is read with URLSearchParams, checked by the rules of the window's
// fields, and its texts reach the page only as field values and text content.
import { mostCodeLength } from './sites-link.mjs';

const mostLinkLength = 2000;
const mostSitesLinkLength = mostCodeLength + 200;
const known = new Set(['seed', 'nodes', 'step', 'full', 'lang', 'sites']);

// The step and full items, into `into` (a link's map or sites).
function readStep(params, link, into) {
  let steps = 0;
  const step = params.get('step');
  if (step !== null) {
    if (/^[0-9]{1,40}$/.test(step)) steps = step.length > 15 ? Number.MAX_SAFE_INTEGER : Number(step);
    else link.problems.push(['badStep', step.slice(0, 40)]);
  }
  const full = params.get('full');
  if (full !== null && full !== '1') link.problems.push(['badFull', full.slice(0, 40)]);
  Object.assign(into, { steps, stepText: step ?? '0', full: full === '1' });
}

// What a link asks for. `map` is null when it names no map of a seed (or a
// bad one), `sites` when it names no map of placed countries: then it holds
// the sites' code (still to be decoded) and the step. `problems` lists what
// was wrong, each as [key, ...values] of the labels' problem texts.
// nodeCountOf is the field's clamp, from the core.
export function readLink(hash, nodeCountOf) {
  const text = hash.startsWith('#') ? hash.slice(1) : hash;
  const link = { map: null, sites: null, lang: null, problems: [] };
  if (!text) return link;
  if (text.length > (/(^|&)sites=/.test(text) ? mostSitesLinkLength : mostLinkLength)) {
    link.problems.push(['tooLong']);
    return link;
  }
  const params = new URLSearchParams(text);
  for (const key of new Set(params.keys()))
    if (!known.has(key)) link.problems.push(['unknown', key.slice(0, 40)]);

  const lang = params.get('lang');
  if (lang !== null) {
    if (lang === 'en' || lang === 'ja') link.lang = lang;
    else link.problems.push(['badLang', lang.slice(0, 40)]);
  }
  if (params.has('sites')) {
    const code = params.get('sites');
    if (params.has('seed') || params.has('nodes')) link.problems.push(['sitesAndSeed']);
    else if (!/^[pz][A-Za-z0-9_-]+$/.test(code) || code.length > mostCodeLength) link.problems.push(['badSites']);
    if (link.problems.some(([k]) => k === 'sitesAndSeed' || k === 'badSites')) {
      link.problems.push(['opened']);
      return link;
    }
    link.sites = { code };
    readStep(params, link, link.sites);
    return link;
  }
  if (!['seed', 'nodes', 'step', 'full'].some((k) => params.has(k))) return link;

  const seed = params.get('seed');
  const nodes = params.get('nodes');
  if (seed === null) link.problems.push(['noSeed']);
  else if (!/^[0-9a-fA-F]{1,8}$/.test(seed)) link.problems.push(['badSeed', seed.slice(0, 40)]);
  if (nodes === null) link.problems.push(['noNodes']);
  else if (!/^[+-]?[0-9]{1,40}$/.test(nodes)) link.problems.push(['badNodes', nodes.slice(0, 40)]);
  if (link.problems.some(([k]) => ['noSeed', 'badSeed', 'noNodes', 'badNodes'].includes(k))) {
    link.problems.push(['opened']);
    return link;
  }
  // The count field's own rule: below 3 gives 3, above 10000 gives 10000.
  const count = nodeCountOf(nodes);
  if (String(count) !== nodes.replace(/^\+/, '').replace(/^0+(?=\d)/, ''))
    link.problems.push(['clampedNodes', nodes, count]);

  link.map = { seed: seed.toLowerCase(), nodes: count };
  readStep(params, link, link.map);
  return link;
}

// The link of what the page shows: a seeded map (seed, nodes) or a map of
// placed countries (sites: their code).
export function linkOf(state) {
  const params = new URLSearchParams();
  if (state.sites) {
    params.set('sites', state.sites);
  } else {
    params.set('seed', state.seed);
    params.set('nodes', String(state.nodes));
  }
  params.set('step', String(state.steps));
  if (state.full) params.set('full', '1');
  if (state.lang === 'en') params.set('lang', 'en');
  return '#' + params.toString();
}
