// A batch worker: its own instance of the core colours the seeds it is sent
// (each map built and fully coloured as the batch run colours it, timed by
// this worker's clock) and sends the results back.
import createOrvane from './orvane.mjs';

let ready = null;

self.onmessage = async (event) => {
  const message = event.data;
  if (message.module) {
    ready = createOrvane({
      instantiateWasm(imports, done) {
        WebAssembly.instantiate(message.module, imports).then((instance) => done(instance));
        return {};
      },
    }).then((core) => new core.MapColourer(0));
    return;
  }
  const colourer = await ready;
  const results = colourer.colour(message.firstSeed, message.count, message.nodes);
  self.postMessage({ chunk: message.chunk, results }, [results.buffer]);
};
