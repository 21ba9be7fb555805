// The batch run's maps, coloured by web workers (one per core) while the page
// stays responsive. The results go back to the core in seed order, which
// counts them and writes the run log exactly as the window's batch run does.

export class BatchWorkers {
  // module: the compiled WebAssembly module, shared by every worker.
  constructor(module, count) {
    this.module = module;
    this.count = Math.max(1, count);
    this.workers = [];
  }

  // Colours run.maps seeds from run.firstSeed; feed(results) gets each chunk's
  // results in seed order and gives true once the run wants no more.
  // Resolves when every result is fed or the run is stopped; rejects when a
  // worker fails.
  run(run, feed) {
    this.stop();
    // Chunks of about 20000 nodes' work, a few for each worker at least, so
    // the counters move several times a second.
    const chunkSize = Math.max(1, Math.min(64, Math.ceil(run.maps / (this.count * 4)), Math.ceil(20000 / run.nodes)));
    const chunks = Math.ceil(run.maps / chunkSize);
    let sent = 0, next = 0;
    const waiting = new Map();
    return new Promise((resolve, reject) => {
      this.settle = resolve;
      const send = (worker) => {
        if (sent >= chunks) return;
        const first = sent * chunkSize;
        worker.postMessage({
          chunk: sent,
          firstSeed: (run.firstSeed + first) >>> 0,
          count: Math.min(chunkSize, run.maps - first),
          nodes: run.nodes,
        });
        ++sent;
      };
      for (let i = 0; i < this.count; ++i) {
        const worker = new Worker(new URL('./worker.mjs', import.meta.url), { type: 'module' });
        worker.onmessage = (event) => {
          waiting.set(event.data.chunk, event.data.results);
          send(worker);
          let over = false;
          while (!over && waiting.has(next)) {
            over = feed(waiting.get(next));
            waiting.delete(next++);
          }
          if (over || next >= chunks) {
            this.stop();
            resolve();
          }
        };
        worker.onerror = (event) => {
          this.settle = null;
          this.stop();
          reject(new Error(event.message || 'worker failed'));
        };
        worker.postMessage({ module: this.module });
        this.workers.push(worker);
        // Two chunks in hand each, so no worker waits for the page.
        send(worker);
        send(worker);
      }
    });
  }

  // Ends the workers at once (what they were colouring is dropped) and the
  // run in hand, as if its last result had come.
  stop() {
    for (const worker of this.workers) worker.terminate();
    this.workers = [];
    const settle = this.settle;
    this.settle = null;
    if (settle) settle();
  }
}
