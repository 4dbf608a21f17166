// Validates glTF 2.0 files with the Khronos validator and prints its findings, one a line:
//   node tools/gltf_validator/validate.mjs FILE.glb|FILE.gltf ...
// Exit status 0 when no file has an error or a warning, 1 otherwise, 2 when a file cannot be read.
import { readFile } from 'node:fs/promises';
import path from 'node:path';
import validator from 'gltf-validator';

let status = 0;
for (const file of process.argv.slice(2)) {
  let bytes;
  try {
    bytes = new Uint8Array(await readFile(file));
  } catch (error) {
    console.log(`${file}: cannot be read: ${error.message}`);
    status = 2;
    continue;
  }
  const folder = path.dirname(file);
  const report = await validator.validateBytes(bytes, {
    uri: path.basename(file),
    maxIssues: 0,
    externalResourceFunction: async (uri) => new Uint8Array(await readFile(path.join(folder, decodeURIComponent(uri)))),
  });
  const issues = report.issues;
  console.log(`${file}: ${issues.numErrors} errors, ${issues.numWarnings} warnings, ${issues.numInfos} infos, ` +
              `${issues.numHints} hints`);
  const severities = ['error', 'warning', 'info', 'hint'];
  for (const message of issues.messages) {
    console.log(`  ${severities[message.severity]} ${message.code} at ${message.pointer ?? ''}: ${message.message}`);
  }
  if (issues.numErrors > 0 || issues.numWarnings > 0) status = Math.max(status, 1);
}
process.exit(status);
