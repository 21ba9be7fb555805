// The sites of a map in a link: #sites=CODE (with &step=, &full=1 and &lang=
// as a seed's link has them). CODE is one of
//
//   p + DATA   DATA is the sites' bytes in base64url: 4 bytes a site, x then
//              y, each a 16-bit big-endian number from 0 to 32767, country 1
//              first;
//   z + DATA   DATA is, compressed with raw DEFLATE (RFC 1951), in base64url:
//              4 bytes a site, its step from the site before (from 0, 0 for
//              the first), x then y, each a 16-bit big-endian two's
//              complement number; made when the plain form is long and this
//              one is shorter (grids, lines and other regular sets shrink to
//              a few hundred characters, random sites hardly at all).
//
// Base64url without padding, in its one canonical spelling. A link is data:
// every rule here is checked before anything is built, at most 10000 sites'
// bytes are ever inflated, and the sites then pass the core's own checks
// like any others.

export const mostSites = 10000;
const bytesPerSite = 4;
const mostBytes = mostSites * bytesPerSite;
// The plain form of 10000 sites, and its letter.
export const mostCodeLength = 1 + Math.ceil((mostBytes * 4) / 3);
// Plain codes up to this length stay plain (and the link short enough to read).
const compressFrom = 600;

function toBase64url(bytes) {
  let binary = '';
  for (let i = 0; i < bytes.length; i += 0x8000) binary += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
  return btoa(binary).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
}

// The bytes of canonical base64url text, or null.
function fromBase64url(text) {
  if (!/^[A-Za-z0-9_-]+$/.test(text) || text.length % 4 === 1) return null;
  const padded = text.replace(/-/g, '+').replace(/_/g, '/') + '='.repeat((4 - (text.length % 4)) % 4);
  let binary;
  try {
    binary = atob(padded);
  } catch {
    return null;
  }
  const bytes = Uint8Array.from(binary, (c) => c.charCodeAt(0));
  return toBase64url(bytes) === text ? bytes : null;
}

// The bytes through a compression or decompression stream; null when the
// stream fails or gives more than `limit` bytes.
async function throughStream(bytes, stream, limit) {
  const writer = stream.writable.getWriter();
  writer.write(bytes).catch(() => {});
  writer.close().catch(() => {});
  const reader = stream.readable.getReader();
  const chunks = [];
  let size = 0;
  try {
    for (;;) {
      const { done, value } = await reader.read();
      if (done) break;
      size += value.length;
      if (size > limit) {
        reader.cancel().catch(() => {});
        return null;
      }
      chunks.push(value);
    }
  } catch {
    return null;
  }
  const out = new Uint8Array(size);
  let at = 0;
  for (const c of chunks) {
    out.set(c, at);
    at += c.length;
  }
  return out;
}

// 16-bit big-endian numbers (two's complement) as bytes.
function wordBytes(words) {
  const bytes = new Uint8Array(words.length * 2);
  for (let i = 0; i < words.length; ++i) {
    bytes[2 * i] = (words[i] >> 8) & 0xff;
    bytes[2 * i + 1] = words[i] & 0xff;
  }
  return bytes;
}

// The code of sites given as x, y pairs (numbers 0..32767).
export async function encodeSites(flat) {
  const plain = 'p' + toBase64url(wordBytes(flat));
  if (plain.length <= compressFrom || typeof CompressionStream === 'undefined') return plain;
  const steps = flat.map((v, i) => (i < 2 ? v : v - flat[i - 2]));
  const packed = await throughStream(wordBytes(steps), new CompressionStream('deflate-raw'), Infinity);
  const zipped = packed ? 'z' + toBase64url(packed) : plain;
  return zipped.length < plain.length ? zipped : plain;
}

// The sites of a code as x, y pairs ({ sites }), or { problem } naming what
// is wrong with it (a key of the labels' link problems).
export async function decodeSites(code) {
  if (typeof code !== 'string' || code.length > mostCodeLength || !/^[pz]/.test(code)) return { problem: 'badSites' };
  let bytes = fromBase64url(code.slice(1));
  if (!bytes) return { problem: 'badSites' };
  if (code[0] === 'z') {
    if (typeof DecompressionStream === 'undefined') return { problem: 'badSites' };
    bytes = await throughStream(bytes, new DecompressionStream('deflate-raw'), mostBytes);
    if (!bytes) return { problem: 'badSites' };
  }
  if (bytes.length === 0 || bytes.length % bytesPerSite !== 0 || bytes.length > mostBytes) return { problem: 'badSites' };
  const sites = new Int32Array(bytes.length / 2);
  for (let i = 0; i < sites.length; ++i) {
    const word = (bytes[2 * i] << 8) | bytes[2 * i + 1];
    // Plain: the coordinate itself; compressed: the step from the site before.
    sites[i] = code[0] === 'p' ? word : (i < 2 ? 0 : sites[i - 2]) + (word << 16 >> 16);
    if (sites[i] < 0 || sites[i] > 32767) return { problem: 'badSites' };
  }
  return { sites };
}
