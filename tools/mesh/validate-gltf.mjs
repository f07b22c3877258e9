// Checks glTF files (.glb, .gltf with its buffers beside it) with the Khronos
// glTF validator: prints each file's error, warning, info and hint counts
// and every error, and exits 1 when any file has an error.
//
//   node tools/mesh/validate-gltf.mjs FILE...
import fs from 'node:fs';
import path from 'node:path';
import validator from 'gltf-validator';

let failed = false;
for (const file of process.argv.slice(2)) {
  const full = path.resolve(file);
  let report;
  try {
    report = await validator.validateBytes(new Uint8Array(fs.readFileSync(full)), {
      uri: path.basename(full),
      externalResourceFunction: (uri) =>
        fs.promises.readFile(path.resolve(path.dirname(full), decodeURIComponent(uri))),
    });
  } catch (error) {
    console.log(`${file}: cannot be validated: ${error}`);
    failed = true;
    continue;
  }
  const i = report.issues;
  console.log(`${file}: ${i.numErrors} errors, ${i.numWarnings} warnings, ${i.numInfos} infos, ${i.numHints} hints`);
  for (const m of i.messages) {
    if (m.severity === 0) console.log(`  error ${m.code}: ${m.message} (${m.pointer ?? ''})`);
  }
  if (i.numErrors > 0) failed = true;
}
process.exit(failed ? 1 : 0);
