// Firmware images for the upload tests, laid out from the container's description: section
// data, then the section table, the PCI id pairs and the 16-byte trailer with "INFO", each part
// protected by the POSIX cksum CRC (computed here bit by bit).

export function cksum(bytes) {
  let crc = 0;
  const feed = (byte) => {
    crc = (crc ^ (byte << 24)) >>> 0;
    for (let bit = 0; bit < 8; bit++) {
      crc = (crc & 0x80000000) ? ((crc << 1) ^ 0x04c11db7) >>> 0 : (crc << 1) >>> 0;
    }
  };
  for (const b of bytes) feed(b);
  for (let n = bytes.length; n !== 0; n = Math.floor(n / 256)) feed(n & 0xff);
  return (~crc) >>> 0;
}

// sections: [{data: Uint8Array (length a multiple of 4), target}], ids: [[word0, word1]].
export function buildImage(sections, ids) {
  const front = sections.reduce((n, s) => n + s.data.length, 0);
  const meta = sections.length * 16 + ids.length * 8 + 16;
  const image = new Uint8Array(front + meta);
  const view = new DataView(image.buffer);
  let at = 0;
  const table = front;
  sections.forEach((s, k) => {
    image.set(s.data, at);
    view.setUint32(table + 16 * k, at, true);
    view.setUint32(table + 16 * k + 4, s.data.length, true);
    view.setUint32(table + 16 * k + 8, s.target, true);
    view.setUint32(table + 16 * k + 12, cksum(s.data), true);
    at += s.data.length;
  });
  const idList = table + 16 * sections.length;
  ids.forEach(([a, b], k) => {
    view.setUint32(idList + 8 * k, a, true);
    view.setUint32(idList + 8 * k + 4, b, true);
  });
  const trailer = idList + 8 * ids.length;
  view.setUint32(trailer, sections.length, true);
  view.setUint32(trailer + 4, ids.length, true);
  image.set([0x49, 0x4e, 0x46, 0x4f], trailer + 8);  // "INFO"
  view.setUint32(trailer + 12, cksum(image.subarray(table, trailer + 12)), true);
  return image;
}

// Fixed-seed bytes, the same on every run.
export function patterned(length, seed) {
  const out = new Uint8Array(length);
  let x = seed >>> 0 || 1;
  for (let i = 0; i < length; i++) {
    x ^= x << 13; x >>>= 0;
    x ^= x >>> 17;
    x ^= x << 5; x >>>= 0;
    out[i] = x & 0xff;
  }
  return out;
}
