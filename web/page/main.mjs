// Loads the core (compiled once; the batch workers get the same module) and
// starts the page.
import createOrvane from './orvane.mjs';
import { Page } from './page.mjs';

async function compileCore() {
  const url = new URL('./orvane.wasm', import.meta.url);
  try {
    return await WebAssembly.compileStreaming(fetch(url));
  } catch {
    // A server that does not call the file application/wasm.
    const response = await fetch(url);
    if (!response.ok) throw new Error(`${url.pathname}: ${response.status}`);
    return WebAssembly.compile(await response.arrayBuffer());
  }
}

async function main() {
  const notice = document.getElementById('notice');
  try {
    const module = await compileCore();
    const core = await createOrvane({
      instantiateWasm(imports, done) {
        WebAssembly.instantiate(module, imports).then((instance) => done(instance));
        return {};
      },
    });
    const page = new Page(core, module);
    page.start();
    document.body.dataset.ready = 'true';
  } catch (error) {
    notice.textContent = 'WebAssembly: ' + String(error && error.message ? error.message : error);
    notice.hidden = false;
    throw error;
  }
}

main();
