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
