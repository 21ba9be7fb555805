// What the web tests share: where the built page and the native companion
// are, the core loaded into Node, the companion run, the page served on
// 127.0.0.1 and Chromium started with a fresh profile.
import { execFileSync, spawn, spawnSync } from 'node:child_process';
import { mkdtempSync, readdirSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

const root = resolve(dirname(fileURLToPath(import.meta.url)), '..', '..');
export const site = process.env.ORVANE_SITE || join(root, 'build', 'wasm', 'web', 'site');
export const companion = process.env.ORVANE_CLI || join(root, 'build', 'default', 'cli', 'orvane-cli');
export const chromiumPath = process.env.ORVANE_CHROMIUM || '/usr/bin/chromium';

// The core as the page loads it, compiled from the built file.
export async function loadCore() {
  const { default: createOrvane } = await import(join(site, 'orvane.mjs'));
  const module = await WebAssembly.compile(readFileSync(join(site, 'orvane.wasm')));
  return createOrvane({
    instantiateWasm(imports, done) {
      WebAssembly.instantiate(module, imports).then((instance) => done(instance));
      return {};
    },
  });
}

// The companion's standard output.
export function runCompanion(args) {
  return execFileSync(companion, args, { encoding: 'utf8', maxBuffer: 1 << 30 });
}

// Why the companion refuses the sites file at `path` (its exit status must be
// 2): its message after "orvane-cli: cannot read the sites file 'PATH': " or
// "orvane-cli: PATH: ".
export function companionSitesRefusal(path) {
  const run = spawnSync(companion, ['map', '--sites', path], { encoding: 'utf8' });
  if (run.status !== 2) throw new Error(`the companion took ${path} (status ${run.status})`);
  const said = run.stderr.trim();
  for (const prefix of [`orvane-cli: cannot read the sites file '${path}': `, `orvane-cli: ${path}: `])
    if (said.startsWith(prefix)) return said.slice(prefix.length);
  throw new Error('unexpected message: ' + said);
}

export function tempFolder() {
  return mkdtempSync(join(tmpdir(), 'orvane-web-'));
}

export function removeFolder(path) {
  rmSync(path, { recursive: true, force: true });
}

// The one run log a companion batch left under `folder`: its name and bytes.
export function companionRunLog(folder) {
  const logs = readdirSync(folder).filter((d) => d.startsWith('Log_'));
  const files = readdirSync(join(folder, logs[0]));
  return { name: files[0], bytes: readFileSync(join(folder, logs[0], files[0])) };
}

// A run log's text without its last `lines` lines (the time lines).
export function withoutLastLines(text, lines) {
  const parts = text.split('\r\n');
  return parts.slice(0, parts.length - 1 - lines).join('\r\n');
}

// The companion's --digest of a trace: FNV-1a, 64 bits, over the UTF-8 bytes
// of each line followed by '\n', as 16 hexadecimal digits. It starts from the
// companion's own basis, 1469598103934665603 (runs/trace.h), which the
// recorded digests use.
export class Fnv1a64 {
  constructor() {
    this.hi = 0x14650fb0;
    this.lo = 0x739d0383;
    this.encoder = new TextEncoder();
  }

  addLine(text) {
    const bytes = this.encoder.encode(text + '\n');
    let hi = this.hi, lo = this.lo;
    for (let i = 0; i < bytes.length; ++i) {
      lo = (lo ^ bytes[i]) >>> 0;
      // times 2^40 + 0x1b3
      const low = lo * 0x1b3;
      const carry = Math.floor(low / 4294967296);
      hi = (hi * 0x1b3 + carry + (lo & 0xffffff) * 256) % 4294967296;
      lo = low % 4294967296;
    }
    this.hi = hi;
    this.lo = lo;
  }

  hex() {
    return this.hi.toString(16).padStart(8, '0') + this.lo.toString(16).padStart(8, '0');
  }
}

// The built page on 127.0.0.1, by Python's standard server, on a free port.
export async function servePage() {
  const server = spawn('python3', ['-u', '-m', 'http.server', '0', '--bind', '127.0.0.1', '--directory', site], {
    stdio: ['ignore', 'pipe', 'pipe'],
  });
  const origin = await new Promise((resolveOrigin, reject) => {
    let said = '';
    const timer = setTimeout(() => reject(new Error('the server did not start: ' + said)), 20000);
    server.stdout.on('data', (chunk) => {
      said += chunk;
      const port = /port (\d+)/.exec(said);
      if (port) {
        clearTimeout(timer);
        resolveOrigin(`http://127.0.0.1:${port[1]}`);
      }
    });
    server.on('exit', (code) => reject(new Error(`the server ended (${code}): ${said}`)));
  });
  server.stderr.resume();
  return { origin, close: () => server.kill() };
}

export const chromiumFlags = [
  '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
  '--disable-component-update', '--disable-sync',
];

// Debian's Chromium, headless, with a profile of its own.
export async function startChromium(options = {}) {
  const { chromium } = await import('playwright-core');
  const profile = tempFolder();
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: chromiumPath,
    headless: true,
    args: chromiumFlags,
    acceptDownloads: true,
    viewport: { width: 1000, height: 700 },
    ...options,
  });
  return {
    context,
    async close() {
      await context.close();
      removeFolder(profile);
    },
  };
}
