// Decodes every FIT file of a folder with the FIT SDK from the npm registry, in this one Node
// process, and prints the files per second. The files are read into memory before the clock
// starts, so only decoding is timed.
//
//   node bench/fitsdk_decode.mjs FOLDER
import { readdirSync, readFileSync } from "node:fs";
import { join, dirname } from "node:path";
import { fileURLToPath, pathToFileURL } from "node:url";

const root = join(dirname(fileURLToPath(import.meta.url)), "..");
const sdk = join(root, "third_party/npm/node_modules/@garmin/fitsdk/src/index.js");
const { Decoder, Stream } = await import(pathToFileURL(sdk).href);

const folder = process.argv[2];
const files = readdirSync(folder).filter((name) => name.endsWith(".fit"));
const contents = files.map((name) => readFileSync(join(folder, name)));

let messages = 0;
let failed = 0;
const start = process.hrtime.bigint();
for (const bytes of contents) {
  const decoder = new Decoder(Stream.fromBuffer(bytes));
  const result = decoder.read();
  if (result.errors.length > 0) failed += 1;
  messages += (result.messages.recordMesgs ?? []).length;
}
const seconds = Number(process.hrtime.bigint() - start) / 1e9;
console.log(
  `fitsdk files=${contents.length} failed=${failed} records=${messages} ` +
    `seconds=${seconds.toFixed(3)} files_per_s=${(contents.length / seconds).toFixed(1)}`,
);
