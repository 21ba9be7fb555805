// The page: the window's thirteen controls and map view over the core's
// Session, and the page's own tools (step back, play, links, countries,
// placing countries by clicks, the language, the batch's workers). Every text, enable state and picture of the
// window comes from the core after each command; this only carries it to the
// screen and carries clicks and keys to the core.
import { BatchWorkers } from './batch.mjs';
import { fieldIds, focusOf, virtualKey } from './keys.mjs';
import { Labels } from './labels.mjs';
import { linkOf, readLink } from './link.mjs';
import { CanvasPlayer } from './player.mjs';
import { decodeSites, encodeSites } from './sites-link.mjs';
import { SitePlacer } from './sites.mjs';

const controlIds = Array.from({ length: 13 }, (_, i) => 1000 + i);
const idStep = 1007, idFull = 1008, idExport = 1010, idBatch = 1012, idMapRequest = 1005;
const displayMap = 0;
const settingsKey = 'orvane.settings', langKey = 'orvane.lang';

function download(name, bytes, type) {
  const url = URL.createObjectURL(new Blob([bytes], { type }));
  const a = document.createElement('a');
  a.href = url;
  a.download = name;
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60000);
}

function stored(key) {
  try { return localStorage.getItem(key); } catch { return null; }
}
function store(key, value) {
  try { localStorage.setItem(key, value); } catch { /* storage off or full: nothing kept */ }
}

export class Page {
  constructor(core, module) {
    this.core = core;
    this.session = new core.Session();
    this.labels = new Labels(core.windowTexts());
    this.workers = new BatchWorkers(module, navigator.hardwareConcurrency || 2);
    this.el = (id) => document.getElementById(id);
    this.control = (id) => this.el('c' + id);
    this.player = new CanvasPlayer(this.el('map'), core.drawingTable(), (t) => this.labels.text(t));
    this.batchRunning = false;
    this.playTimer = null;
    this.clickedAt = null;
    this.paintPending = false;
    this.shownLink = '';
    this.placer = new SitePlacer(this);
    this.sitesCode = '';     // the link code of the placed countries shown
    this.codeRound = 0;      // the placement the code is being made for
    this.linksOpened = 0;
    this.sitesFilesOpened = 0;  // for tests: files taken in (opened or refused)
  }

  start() {
    const settings = stored(settingsKey);
    if (settings !== null) this.session.loadSettingsText(settings);
    const lang = stored(langKey);
    if (lang === 'en' || lang === 'ja') this.labels.lang = lang;
    this.wire();
    this.openLink(location.hash);
    new ResizeObserver(() => this.resize()).observe(this.el('view'));
    this.resize();
  }

  // ---- The window's controls ----

  wire() {
    for (const id of controlIds) {
      const c = this.control(id);
      if (c.tagName === 'BUTTON') c.addEventListener('click', () => this.clicked(id));
    }
    for (const id of fieldIds) this.control(id).addEventListener('input', (e) => this.session.setText(id, e.target.value));
    document.addEventListener('keydown', (e) => this.keyDown(e));
    this.el('map').addEventListener('click', (e) => this.mapClicked(e));
    this.el('place').addEventListener('click', () => this.placer.toggle());
    this.el('clear-sites').addEventListener('click', () => {
      if (!this.batchRunning) this.placer.clear();
    });
    this.el('open-sites').addEventListener('click', () => {
      if (!this.batchRunning) this.el('sites-file').click();
    });
    this.el('sites-file').addEventListener('change', (e) => this.openSitesFile(e.target));
    this.el('back').addEventListener('click', () => this.stepBack());
    this.el('play').addEventListener('click', () => (this.playTimer ? this.pause() : this.play()));
    this.el('copy').addEventListener('click', () => this.copyLink());
    this.el('lang').addEventListener('click', () => this.switchLanguage());
    this.el('stop').addEventListener('click', () => this.workers.stop());
    this.el('save-log').addEventListener('click', () => this.saveRunLog());
    window.addEventListener('hashchange', () => {
      if (!this.batchRunning && location.hash !== this.shownLink) this.openLink(location.hash);
    });
    window.addEventListener('pagehide', () => this.saveSettings());
    document.addEventListener('visibilitychange', () => {
      if (document.visibilityState === 'hidden') this.saveSettings();
    });
  }

  clicked(id) {
    if (this.batchRunning) return;
    if (id === idBatch) {
      this.startBatch();
      return;
    }
    const focused = focusOf(document.activeElement) ?? 0;
    this.afterInput(focused, this.session.click(id, focused));
    if (id === idExport) {
      const file = this.session.takeExport();
      if (file) download(file.name, file.bytes, 'text/plain');
    }
  }

  keyDown(event) {
    const key = virtualKey(event);
    if (!key || this.batchRunning) return;
    const focused = focusOf(document.activeElement);
    if (focused === null) return;  // a page input keeps its keys
    // Tab moves on among the page's own tools as a browser moves it.
    if (key === 9 && focused === 0 && document.activeElement !== document.body) return;
    const inField = fieldIds.includes(focused);
    if (key === 9 || (key === 13 && inField) || (key >= 37 && key <= 40 && !inField)) event.preventDefault();
    this.afterInput(focused, this.session.keyDown(key, focused, event.shiftKey));
  }

  // Where the core put the focus, then everything the command changed.
  afterInput(before, after) {
    this.placer.fileNotice = null;
    if (after !== before) {
      if (fieldIds.includes(after)) {
        this.control(after).focus();
        this.control(after).select();
      } else if (after === 0 && document.activeElement && document.activeElement !== document.body) {
        document.activeElement.blur();
      }
    }
    this.refresh();
  }

  // Texts, enable and show states of the controls as the core has them.
  syncControls() {
    const s = this.session, labels = this.labels;
    for (const id of controlIds) {
      const c = this.control(id);
      c.hidden = !s.shown(id);
      if (c.tagName === 'BUTTON') {
        c.disabled = !s.enabled(id);
        c.textContent = labels.caption(id);
      } else if (c.tagName === 'INPUT') {
        const text = s.text(id);
        if (c.value !== text) c.value = text;
      } else {
        c.textContent = labels.text(s.text(id));
      }
    }
    for (const [id, name] of [[1002, labels.page.seedField], [1004, labels.page.nodeField], [1011, labels.page.mapCountField]]) {
      this.control(id).setAttribute('aria-label', name);
      this.control(id).placeholder = name;
    }
  }

  refresh() {
    this.placer.follow();
    this.syncControls();
    this.syncTools();
    if (this.session.takeRepaint()) this.schedulePaint();
    if (!this.batchRunning) this.saveSettings();
  }

  saveSettings() {
    if (!this.batchRunning) store(settingsKey, this.session.settingsText());
  }

  // ---- The map view ----

  resize() {
    const view = this.el('view');
    this.player.resize(Math.floor(view.clientWidth), Math.floor(view.clientHeight), window.devicePixelRatio || 1);
    this.paint();
  }

  schedulePaint() {
    if (this.paintPending) return;
    this.paintPending = true;
    requestAnimationFrame(() => {
      this.paintPending = false;
      this.paint();
    });
  }

  paint() {
    const s = this.session;
    s.paint(this.player.width, this.player.height);
    this.player.play(s.drawCalls(), s.drawTexts());
    if (s.displayMode() === displayMap) this.placer.drawPending(this.player);
    this.el('map').dataset.painted = String(Number(this.el('map').dataset.painted || 0) + 1);
  }

  // ---- The page's own tools ----

  syncTools() {
    const s = this.session, text = this.labels.page;
    const mapShown = s.displayMode() === displayMap && s.shownNodeCount() > 0;
    const steps = s.steps(), full = s.fullRun();
    this.el('step-count').textContent = mapShown ? `${text.steps} ${steps}${full ? ' +' + this.labels.caption(idFull) : ''}` : '';
    this.el('back').textContent = text.back;
    this.el('back').disabled = this.batchRunning || !mapShown || (steps === 0 && !full);
    if (this.playTimer && !s.enabled(idStep)) this.pause();
    this.el('play').textContent = this.playTimer ? text.pause : text.play;
    this.el('play').disabled = this.batchRunning || (!this.playTimer && !s.enabled(idStep));
    this.el('pace-label').textContent = text.pace + ' ';
    this.el('pace-unit').textContent = ' ' + text.perSecond;
    const placed = mapShown && s.sitesShown();
    this.shownLink = !mapShown || (placed && !this.sitesCode) ? ''
      : linkOf({ seed: s.shownSeed(), nodes: s.shownNodeCount(), sites: placed ? this.sitesCode : '', steps, full, lang: this.labels.lang });
    this.el('link').hidden = this.el('copy').hidden = !this.shownLink;
    this.el('link').href = this.shownLink || '#';
    this.el('link').textContent = text.link;
    this.el('copy').textContent = text.copyLink;
    this.el('stop').textContent = text.stop;
    this.el('stop').hidden = !this.batchRunning;
    this.el('save-log').textContent = text.saveLog;
    this.el('save-log').hidden = this.batchRunning || !this.runLog;
    this.el('lang').textContent = text.language;
    this.el('lang').lang = this.labels.lang === 'en' ? 'ja' : 'en';
    document.documentElement.lang = this.labels.lang;
    this.el('place').textContent = text.place;
    this.el('place').setAttribute('aria-pressed', String(this.placer.on));
    this.el('place').disabled = this.batchRunning;
    this.el('clear-sites').textContent = text.clearSites;
    this.el('clear-sites').hidden = !this.placer.on;
    this.el('clear-sites').disabled = this.batchRunning;
    this.el('open-sites').textContent = text.openFile;
    this.el('open-sites').hidden = !this.placer.on;
    this.el('open-sites').disabled = this.batchRunning;
    this.el('sites-status').textContent = this.placer.status();
    this.el('map').classList.toggle('placing', this.placer.on);
    this.el('trace-label').textContent = text.trace;
    this.el('trace').textContent = mapShown ? s.traceLine() : '';
    this.showCountry();
  }

  showCountry() {
    const out = this.el('country');
    if (!this.clickedAt || this.session.displayMode() !== displayMap) {
      out.textContent = '';
      return;
    }
    const c = this.session.countryAt(this.clickedAt.x, this.clickedAt.y);
    const text = this.labels.page;
    out.textContent = c ? text.country(c, text.colours[c.colour] ?? c.colour) : text.noCountry;
  }

  mapClicked(event) {
    const box = this.el('map').getBoundingClientRect();
    const at = { x: Math.round(event.clientX - box.left), y: Math.round(event.clientY - box.top) };
    if (this.batchRunning) return;
    if (this.placer.on) {
      this.placer.click(at.x, at.y);
      return;
    }
    this.clickedAt = at;
    this.showCountry();
  }

  // After countries were placed (or refused): a fresh colouring, and the
  // link's code made anew.
  afterPlacing() {
    this.pause();
    this.clickedAt = null;
    this.sitesCode = '';
    const round = ++this.codeRound;
    if (this.session.sitesShown()) {
      encodeSites(this.session.mapSites()).then((code) => {
        if (round !== this.codeRound) return;
        this.sitesCode = code;
        this.syncTools();
      });
    }
    this.refresh();
    this.schedulePaint();
  }

  // The file chosen in the file input, opened as sites; the input is
  // emptied so that the same file can be chosen again.
  async openSitesFile(input) {
    const file = input.files && input.files[0];
    input.value = '';
    if (!file || this.batchRunning) return;
    this.pause();
    await this.placer.open(file);
    document.body.dataset.sitesFilesOpened = String(++this.sitesFilesOpened);
  }

  stepBack() {
    const s = this.session;
    const steps = s.fullRun() ? s.steps() : s.steps() - 1;
    this.pause();
    if (steps >= 0 && s.replay(steps)) this.refresh();
  }

  play() {
    if (!this.session.enabled(idStep)) return;
    const tick = () => {
      if (!this.session.enabled(idStep) || this.batchRunning) {
        this.pause();
        return;
      }
      this.session.stepTimes(1);
      this.refresh();
      if (this.playTimer) this.playTimer = setTimeout(tick, 1000 / Number(this.el('pace').value));
    };
    this.playTimer = setTimeout(tick, 0);
    this.syncTools();
  }

  pause() {
    clearTimeout(this.playTimer);
    this.playTimer = null;
    this.el('play').textContent = this.labels.page.play;
    this.el('play').disabled = this.batchRunning || !this.session.enabled(idStep);
  }

  async copyLink() {
    const url = new URL(this.shownLink, location.href).href;
    let said = this.labels.page.copied;
    try {
      await navigator.clipboard.writeText(url);
    } catch {
      said = this.labels.page.copyFailed;
    }
    history.replaceState(null, '', this.shownLink);
    this.toast(said);
  }

  toast(text) {
    const t = this.el('toast');
    t.textContent = text;
    clearTimeout(this.toastTimer);
    this.toastTimer = setTimeout(() => (t.textContent = ''), 3000);
  }

  switchLanguage() {
    this.labels.lang = this.labels.lang === 'en' ? 'ja' : 'en';
    store(langKey, this.labels.lang);
    this.syncControls();
    this.syncTools();
    this.paint();
  }

  // Opens what a link asks for: the map rebuilt (from its seed or its
  // countries) and stepped to its step. A bad link says what was wrong and
  // leaves the page as it opens.
  async openLink(hash) {
    const s = this.session;
    const link = readLink(hash, (t) => this.core.nodeCountOf(t));
    if (link.lang) this.labels.lang = link.lang;
    const problems = [...link.problems];
    const stepAsLinked = (asked) => {
      const limit = s.stepLimit();
      if (asked.steps > limit) problems.push(['cappedStep', asked.stepText, limit]);
      s.stepTimes(Math.min(asked.steps, limit));
      if (asked.full && s.enabled(idFull)) s.click(idFull, 0);
    };
    if (link.map) {
      this.pause();
      s.setText(1002, link.map.seed);
      s.setText(1004, String(link.map.nodes));
      s.click(idMapRequest, 0);
      stepAsLinked(link.map);
    } else if (link.sites) {
      const decoded = await decodeSites(link.sites.code);
      if (decoded.problem) {
        problems.push([decoded.problem], ['opened']);
      } else {
        const problem = this.placer.place(decoded.sites);
        if (problem) problems.push(['sites', this.placer.problemText(problem, decoded.sites)]);
        else stepAsLinked(link.sites);
      }
    }
    const notice = this.el('notice');
    const words = this.labels.page.problems;
    notice.textContent = problems.length
      ? this.labels.page.linkProblem + problems.map(([key, ...values]) => (typeof words[key] === 'function' ? words[key](...values) : words[key])).join('; ')
      : '';
    notice.hidden = problems.length === 0;
    this.refresh();
    this.schedulePaint();
    document.body.dataset.linksOpened = String(++this.linksOpened);
  }

  // ---- The batch run on workers ----

  async startBatch() {
    this.pause();
    const run = this.session.beginBatch();
    if (run) {
      this.batchRunning = true;
      this.runLog = null;
    }
    this.refresh();
    this.schedulePaint();
    if (!run) return;
    try {
      await this.workers.run(run, (results) => {
        this.session.feedBatch(results);
        if (this.session.takeRepaint()) this.schedulePaint();
        return this.session.batchOver();
      });
    } catch (error) {
      this.el('notice').textContent = String(error.message || error);
      this.el('notice').hidden = false;
    }
    this.runLog = this.session.endBatch();
    this.batchRunning = false;
    this.refresh();
    this.schedulePaint();
  }

  saveRunLog() {
    if (this.runLog) download(this.runLog.name, this.runLog.bytes, 'text/plain;charset=utf-8');
  }
}
