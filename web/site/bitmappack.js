// The bitmaps come in one file, one request for all: records of a little-endian 16-bit id, a
// 32-bit length and that many bytes of a BMP file.

// The records of `pack` (an ArrayBuffer) as { id, bytes }; a record cut short keeps what is
// there, and a header cut short ends the list.
export function unpackBitmaps(pack) {
  const view = new DataView(pack);
  const records = [];
  for (let at = 0; at + 6 <= view.byteLength;) {
    const id = view.getUint16(at, true);
    const length = Math.min(view.getUint32(at + 2, true), view.byteLength - at - 6);
    records.push({ id, bytes: new Uint8Array(pack, at + 6, length) });
    at += 6 + length;
  }
  return records;
}
