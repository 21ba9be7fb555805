// The page's own labels in Japanese and English, and the English forms of the
// window's texts. The window's Japanese texts themselves come from the core
// (windowTexts): this table only names them by key, so nothing here can drift
// from what the program shows.

const page = {
  ja: {
    steps: '手順',
    back: '◀ 一手戻る',
    play: '▶ 再生',
    pause: '❚❚ 一時停止',
    pace: '速さ',
    perSecond: '手/秒',
    link: 'この状態へのリンク',
    copyLink: 'リンクをコピー',
    copied: 'コピーしました',
    copyFailed: 'コピーできません: リンクを右クリックしてください',
    language: 'English',
    stop: '■ バッチ停止',
    saveLog: 'ログ保存',
    trace: 'トレース',
    place: '国を置く',
    placeHint: 'クリックで国を置き、国をクリックで取り除きます',
    clearSites: '国をすべて取り除く',
    openFile: 'ファイルを開く',
    fileRefused: (name) => `「${name}」を開けません: `,
    fileTooLarge: (mib) => `${mib} MiB を超えています (国 10000 個のファイルでもずっと小さくなります)`,
    fileUnreadable: 'ファイルを読み込めません',
    fileLineAt: (k, x, y, line) => `${line} 行目の国 ${k} (${x}, ${y})`,
    fileTooFew: (p) => `国が ${p.count} 個です。地図には 3 個以上が要ります`,
    placedCount: (n) => `置いた国 ${n}`,
    countryAt: (k, x, y) => `国 ${k} (${x}, ${y})`,
    siteProblems: {
      'too-few': (p) => `置いた国 ${p.count}: 地図には 3 つ以上が要ります`,
      'too-many': (p) => `国が ${p.count} あります。地図は 10000 までです`,
      outside: (p, at) => `${at(0)} は正方形の外です`,
      duplicate: (p, at) => `${at(1)} は ${at(0)} と同じ場所です`,
      'one-line': (p, at) => `すべての国が ${at(0)} と ${at(1)} を通る一直線上にあります。線から外れた所にも国を置いてください`,
      'unclear-order': (p, at) => `${at(0)} から見て ${at(1)} と ${at(2)} の方向が近すぎて区別できません。どれかを少し動かしてください`,
      'not-proper': (p, at) => `${at(0)} のまわりが正しい地図になりません。少し動かしてください`,
    },
    country: (c, colour) => `国 ${c.number} ・ 色 ${colour} ・ 隣国 ${c.neighbours.join(', ')}`,
    colours: { ' ': 'なし', R: 'R (赤)', G: 'G (緑)', Y: 'Y (黄)', B: 'B (青)', '*': '* (保留)' },
    noCountry: '国のない所です',
    loading: '読み込み中…',
    loadFailed: 'WebAssembly を読み込めません: ',
    seedField: '乱数コード (16進数)',
    nodeField: 'ノード数',
    mapCountField: '地図数',
    linkProblem: 'リンクの問題: ',
    problems: {
      tooLong: 'リンクが長すぎます',
      unknown: (k) => `知らない項目「${k}」は無視しました`,
      noSeed: '乱数コード (seed) がありません',
      badSeed: (v) => `乱数コード「${v}」は8桁までの16進数ではありません`,
      noNodes: 'ノード数 (nodes) がありません',
      badNodes: (v) => `ノード数「${v}」は整数ではありません`,
      clampedNodes: (v, n) => `ノード数 ${v} は 3〜10000 の外なので ${n} にしました`,
      badStep: (v) => `手順「${v}」は 0 以上の整数ではないので 0 にしました`,
      cappedStep: (v, n) => `手順 ${v} は多すぎるので ${n} までにしました`,
      badFull: (v) => `full「${v}」は 1 だけです`,
      badLang: (v) => `言語「${v}」は ja か en です`,
      opened: 'いつもの画面を開きます',
      badSites: 'リンクの国の並び (sites) が正しくありません',
      sitesAndSeed: 'sites と seed・nodes は一緒に使えません',
      sites: (text) => text,
    },
  },
  en: {
    steps: 'Step',
    back: '◀ Step back',
    play: '▶ Play',
    pause: '❚❚ Pause',
    pace: 'Pace',
    perSecond: 'steps/s',
    link: 'Link to this state',
    copyLink: 'Copy link',
    copied: 'Copied',
    copyFailed: 'Cannot copy: right-click the link instead',
    language: '日本語',
    stop: '■ Stop batch',
    saveLog: 'Save run log',
    trace: 'Trace',
    place: 'Place countries',
    placeHint: 'Click to place a country; click a country to remove it',
    clearSites: 'Remove all countries',
    openFile: 'Open a sites file',
    fileRefused: (name) => `Cannot open "${name}": `,
    fileTooLarge: (mib) => `it is larger than ${mib} MiB; the sites of a map (at most 10000) take far less`,
    fileUnreadable: 'the file cannot be read',
    fileLineAt: (k, x, y, line) => `country ${k} (${x}, ${y}) on line ${line}`,
    fileTooFew: (p) => `${p.count} sites: a map needs at least 3`,
    placedCount: (n) => `${n} placed`,
    countryAt: (k, x, y) => `country ${k} (${x}, ${y})`,
    siteProblems: {
      'too-few': (p) => `${p.count} placed: a map needs at least 3`,
      'too-many': (p) => `${p.count} countries: a map has at most 10000`,
      outside: (p, at) => `${at(0)} lies outside the square`,
      duplicate: (p, at) => `${at(1)} is at the same place as ${at(0)}`,
      'one-line': (p, at) => `all countries lie on the line through ${at(0)} and ${at(1)}: place one off it`,
      'unclear-order': (p, at) => `seen from ${at(0)}, ${at(1)} and ${at(2)} lie in directions too close to tell apart: move one a little`,
      'not-proper': (p, at) => `the map around ${at(0)} is not proper: move it a little`,
    },
    country: (c, colour) => `Country ${c.number} · colour ${colour} · neighbours ${c.neighbours.join(', ')}`,
    colours: { ' ': 'none', R: 'R (red)', G: 'G (green)', Y: 'Y (yellow)', B: 'B (blue)', '*': '* (blocked)' },
    noCountry: 'No country there',
    loading: 'Loading…',
    loadFailed: 'Cannot load the WebAssembly module: ',
    seedField: 'Seed (hexadecimal)',
    nodeField: 'Node count',
    mapCountField: 'Map count',
    linkProblem: 'Link problem: ',
    problems: {
      tooLong: 'the link is too long',
      unknown: (k) => `unknown item "${k}" ignored`,
      noSeed: 'no seed',
      badSeed: (v) => `seed "${v}" is not up to 8 hexadecimal digits`,
      noNodes: 'no node count (nodes)',
      badNodes: (v) => `node count "${v}" is not a whole number`,
      clampedNodes: (v, n) => `node count ${v} is outside 3 to 10000: ${n} used`,
      badStep: (v) => `step "${v}" is not a whole number from 0: 0 used`,
      cappedStep: (v, n) => `step ${v} is too many: stopped at ${n}`,
      badFull: (v) => `full "${v}" can only be 1`,
      badLang: (v) => `language "${v}" is ja or en`,
      opened: 'the page opens as usual',
      badSites: 'the countries in the link (sites) are not valid',
      sitesAndSeed: 'sites cannot come with seed or nodes',
      sites: (text) => text,
    },
  },
};

// English for the window's controls (by id) and its texts (by the core's key).
const englishCaptions = {
  1001: '↓FIX', 1003: '↑AUTO', 1005: 'New map', 1007: 'Colour (step)', 1008: 'Colour (all)',
  1009: 'Clear colours', 1010: 'EXPORT', 1012: 'Batch run',
};
const englishTexts = {
  successText: 'Success \\(^o^)/', failureText: 'Failure (´Д`)', runLogNotCreated: 'Run log not created',
  runLogNotWritten: 'Run log not written', exportFailed: 'EXPORT failed', batchStopped: 'Batch stopped',
  successesLabel: 'OK :', failuresLabel: 'Failed :', viewLabel: 'Orvane: four colours',
};
// Pieces of the batch page's lines, replaced where they occur.
const englishPieces = {
  nodesOpen: 'Nodes (', mapsOpen: ')   Maps (', seedRangeOpen: 'Seeds ( ', totalTime: 'Total time :  ',
  minutes: ' min ', seconds: ' s', mapTime: 'Maps : ', colourTime: 'Colouring : ',
};

export class Labels {
  constructor(windowTexts) {
    this.window = windowTexts;
    this.lang = 'ja';
    this.whole = new Map(Object.keys(englishTexts).map((k) => [windowTexts[k], englishTexts[k]]));
    this.pieces = Object.keys(englishPieces).map((k) => [windowTexts[k], englishPieces[k]]);
  }

  get page() { return page[this.lang]; }

  caption(id) {
    const ja = this.window.captions[id - 1000];
    return this.lang === 'en' && englishCaptions[id] !== undefined ? englishCaptions[id] : ja;
  }

  // A text of the window (a status text, a line of the batch page) as shown.
  text(t) {
    if (this.lang !== 'en' || !t) return t;
    if (this.whole.has(t)) return this.whole.get(t);
    let out = t;
    for (const [ja, en] of this.pieces) out = out.split(ja).join(en);
    return out;
  }
}
