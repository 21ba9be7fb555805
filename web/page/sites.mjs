// Placing countries by clicks: in this mode a click on the map adds a
// country there (the k-th placed is country k), a click on a country removes
// it, and the map of the countries placed is built at once through the core's
// checks. Sites that give no map (fewer than three, all on one line, ...)
// are kept here, drawn as small rings, and the reason is shown until the
// next click makes a map of them. A sites file opened here is read by the
// core's own reader, the one the companion uses; a file it refuses, or whose
// sites give no map, leaves the map shown as it was and says why.

const siteName = 'sites';  // the export file of a map of placed countries: sites(N).txt

export class SitePlacer {
  // page: the page (its session, labels, player and elements).
  constructor(page) {
    this.page = page;
    this.on = false;
    this.pending = null;  // x, y pairs the core refused: no map is shown for them
    this.problem = null;
    this.fileNotice = null;  // why the last sites file opened gave no map, by the labels
  }

  get session() { return this.page.session; }

  // The countries being placed: those of the map shown (seeded or placed),
  // or those the core refused last.
  sites() {
    return this.pending ? Array.from(this.pending) : Array.from(this.session.mapSites());
  }

  // A map built another way (a new map, a link) takes the place of refused sites.
  follow() {
    if (this.session.shownNodeCount() > 0) {
      this.pending = null;
      this.problem = null;
    }
  }

  toggle() {
    this.on = !this.on;
    this.fileNotice = null;
    this.page.refresh();
  }

  // A click at (x, y) of the view.
  click(x, y) {
    const list = this.sites();
    const at = this.session.siteAt(Int32Array.from(list), x, y);
    if (at >= 0) {
      list.splice(2 * at, 2);
    } else {
      const p = this.session.mapPointAt(x, y);
      list.push(p.x, p.y);
    }
    this.place(list);
  }

  clear() {
    this.place([]);
  }

  // Opens a sites file (a File): its size checked before anything is read,
  // its bytes read and built by the core, named after the file. Returns
  // whether a map of it is shown.
  async open(file) {
    const limit = this.page.core.sitesFileLimit();
    let refused = null;  // the reason in the page's language at the time it is shown
    if (file.size > limit) {
      refused = (text) => text.fileTooLarge(limit / 1048576);
    } else {
      let bytes = null;
      try {
        bytes = new Uint8Array(await file.arrayBuffer());
      } catch {
        refused = (text) => text.fileUnreadable;
      }
      if (bytes && this.page.batchRunning) return false;  // a batch began while the file was read
      if (bytes) {
        const why = this.session.openSitesFile(bytes, file.name);
        if (why) refused = why.problem ? (text) => this.fileProblemText(text, why) : () => why.message;
      }
    }
    if (refused) {
      this.fileNotice = (text) => text.fileRefused(file.name) + refused(text);
      this.page.refresh();
      return false;
    }
    this.pending = null;
    this.problem = null;
    this.fileNotice = null;
    this.page.afterPlacing();
    return true;
  }

  // Sites of a file that give no map, named as countries with their lines.
  fileProblemText(text, { problem, sites, lines }) {
    if (problem.kind === 'too-few') return text.fileTooFew(problem);
    const at = (k) => {
      const i = problem.sites[k];
      return text.fileLineAt(i + 1, sites[2 * i], sites[2 * i + 1], lines[k]);
    };
    const words = text.siteProblems[problem.kind];
    return words ? words(problem, at) : problem.kind;
  }

  // Builds the map of `list` (x, y pairs); returns the core's problem or null.
  place(list) {
    this.fileNotice = null;
    const flat = Int32Array.from(list);
    const problem = this.session.placeSites(flat, siteName);
    this.pending = problem ? flat : null;
    this.problem = problem;
    this.page.afterPlacing();
    return problem;
  }

  // What the status line says: the count, or why there is no map.
  status() {
    const text = this.page.labels.page;
    if (this.fileNotice) return this.fileNotice(text);
    if (!this.problem) return this.on ? `${text.placeHint} · ${text.placedCount(this.sites().length / 2)}` : '';
    return this.problemText(this.problem, this.sites());
  }

  // A problem of the core in the page's language, its sites named as countries.
  problemText(problem, flat) {
    const text = this.page.labels.page;
    const at = (k) => {
      const i = problem.sites[k];
      return text.countryAt(i + 1, flat[2 * i], flat[2 * i + 1]);
    };
    const words = text.siteProblems[problem.kind];
    return words ? words(problem, at) : problem.kind;
  }

  // Small rings where refused sites stand, over the painted view.
  drawPending(player) {
    if (!this.pending || this.pending.length === 0) return;
    const points = this.session.viewPoints(this.pending);
    const ctx = player.ctx;
    ctx.setTransform(player.ratio, 0, 0, player.ratio, 0, 0);
    ctx.lineWidth = 1.5;
    ctx.strokeStyle = '#000000';
    ctx.fillStyle = '#ffffff';
    for (let i = 0; i < points.length; i += 2) {
      ctx.beginPath();
      ctx.arc(points[i] + 0.5, points[i + 1] + 0.5, 4, 0, 2 * Math.PI);
      ctx.fill();
      ctx.stroke();
    }
  }
}
