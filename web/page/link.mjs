// Links to one map at one step: #seed=1a2b&nodes=300&step=120 (and &full=1
// after a full colouring, &lang=en for English). A link is data: it is read
// with URLSearchParams, checked by the rules of the window's fields, and its
// texts reach the page only as field values and text content.

const mostLinkLength = 2000;
const known = new Set(['seed', 'nodes', 'step', 'full', 'lang']);

// What a link asks for. `map` is null when it names no map (or a bad one);
// `problems` lists what was wrong, each as [key, ...values] of the labels'
// problem texts. nodeCountOf is the field's clamp, from the core.
export function readLink(hash, nodeCountOf) {
  const text = hash.startsWith('#') ? hash.slice(1) : hash;
  const link = { map: null, lang: null, problems: [] };
  if (!text) return link;
  if (text.length > mostLinkLength) {
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

  let steps = 0;
  const step = params.get('step');
  if (step !== null) {
    if (/^[0-9]{1,40}$/.test(step)) steps = step.length > 15 ? Number.MAX_SAFE_INTEGER : Number(step);
    else link.problems.push(['badStep', step.slice(0, 40)]);
  }
  const full = params.get('full');
  if (full !== null && full !== '1') link.problems.push(['badFull', full.slice(0, 40)]);
  link.map = { seed: seed.toLowerCase(), nodes: count, steps, stepText: step ?? '0', full: full === '1' };
  return link;
}

// The link of what the page shows.
export function linkOf(state) {
  const params = new URLSearchParams();
  params.set('seed', state.seed);
  params.set('nodes', String(state.nodes));
  params.set('step', String(state.steps));
  if (state.full) params.set('full', '1');
  if (state.lang === 'en') params.set('lang', 'en');
  return '#' + params.toString();
}
