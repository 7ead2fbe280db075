// Runs the Khronos glTF validator on one .gltf or .glb file, loading its external buffers and
// images from beside it. Prints the summary and every error and warning; exit code 1 when the
// validator reports an error, 2 when the file cannot be read or is not glTF at all.
import fs from 'node:fs';
import path from 'node:path';
import { createRequire } from 'node:module';

const require = createRequire(import.meta.url);
const validator = require('gltf-validator');

const file = process.argv[2];
let bytes;
try {
    bytes = new Uint8Array(fs.readFileSync(file));
} catch (error) {
    console.log(`ERROR: Failed to validate '${file}': ${error.message}`);
    process.exit(2);
}

const folder = path.dirname(path.resolve(file));
const severityNames = ['error', 'warning', 'info', 'hint'];

try {
    const report = await validator.validateBytes(bytes, {
        uri: path.basename(file),
        maxIssues: 0,   // unlimited: a summary that hides errors would pass a broken file
        writeTimestamp: false,
        externalResourceFunction: (uri) =>
            fs.promises.readFile(path.resolve(folder, decodeURIComponent(uri))).then((data) => new Uint8Array(data)),
    });
    const issues = report.issues;
    const info = report.info || {};
    console.log(`gltf-validator ${validator.version()} on '${file}'`);
    console.log(`  ${issues.numErrors} errors, ${issues.numWarnings} warnings, ${issues.numInfos} infos, ` +
                `${issues.numHints} hints`);
    console.log(`  ${info.drawCallCount ?? 0} draw calls, ${info.totalVertexCount ?? 0} vertices, ` +
                `${info.totalTriangleCount ?? 0} triangles, ${info.animationCount ?? 0} animations, ` +
                `${info.materialCount ?? 0} materials, extensions used: ${(info.extensionsUsed || []).join(', ') || 'none'}`);
    for (const message of issues.messages) {
        if (message.severity > 1) continue;
        console.log(`  ${severityNames[message.severity]} ${message.code} at ${message.pointer || '/'}: ${message.message}`);
    }
    process.exit(issues.numErrors > 0 ? 1 : 0);
} catch (error) {
    console.log(`ERROR: Failed to validate '${file}': ${error}`);
    process.exit(2);
}
