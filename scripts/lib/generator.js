// What the data generators share: npm packages at pinned versions installed
// into a folder of the build, a refusal that ends the script before anything
// is written, and the layout of the C++ tables they write.
'use strict';

const childProcess = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');

function generator(name) {
    function fail(message) {
        console.error(`${name}: ${message}`);
        process.exit(1);
    }

    function check(condition, message) {
        if (!condition) fail(message);
    }

    return {fail, check};
}

function installedVersion(installDir, name) {
    try {
        const manifest = path.join(installDir, 'node_modules', name, 'package.json');
        return JSON.parse(fs.readFileSync(manifest, 'utf8')).version;
    } catch {
        return null;
    }
}

// Installs only what is missing or at another version, so that a second run
// needs no network. Returns false when a package did not install at its pin.
function installPinned(installDir, packages) {
    const wanted = Object.entries(packages).filter(([name, version]) => installedVersion(installDir, name) !== version);
    if (wanted.length === 0) return true;
    fs.mkdirSync(installDir, {recursive: true});
    const requested = wanted.map(([name, version]) => `${name}@${version}`);
    console.log(`Installing ${requested.join(' ')} into ${path.relative(process.cwd(), installDir) || installDir}`);
    childProcess.execFileSync('npm', ['install', '--prefix', installDir, '--save-exact', '--ignore-scripts', '--no-audit',
                                      '--no-fund', '--loglevel=error', ...requested], {stdio: 'inherit'});
    return Object.entries(packages).every(([name, version]) => installedVersion(installDir, name) === version);
}

function hex(codePoint) {
    return '0x' + codePoint.toString(16).toUpperCase().padStart(4, '0');
}

// Lines of at most 120 columns, the house limit.
function wrap(items, indent) {
    const lines = [];
    let line = indent;
    for (const item of items) {
        if (line.length > indent.length && line.length + 1 + item.length > 120) {
            lines.push(line);
            line = indent;
        }
        line += (line.length > indent.length ? ' ' : '') + item;
    }
    if (line.length > indent.length) lines.push(line);
    return lines;
}

module.exports = {generator, installPinned, hex, wrap};
