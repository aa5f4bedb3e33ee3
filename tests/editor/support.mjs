// What the browser tests share: Debian's chromium through Playwright (no
// browser download, no background connections, a fresh profile each time),
// a private Xvfb, the real tessel-author in a scratch show folder with a
// scratch copy of the track source, the show window's probe, the compiled
// source read back through synctool, and a screenshot in the build folder
// when a test fails. Every wait is for a condition, never for a time.

import { spawn, execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { chromium } from 'playwright-core';

export const env = {
  author: process.env.TESSEL_AUTHOR,
  showDir: process.env.TESSEL_SHOW_DIR,
  sourceDir: process.env.TESSEL_SOURCE_DIR,
  buildDir: process.env.TESSEL_BUILD_DIR,
  trackValues: process.env.TESSEL_TRACK_VALUES,
  windowProbe: process.env.TESSEL_WINDOW_PROBE,
  synctool: process.env.TESSEL_SYNCTOOL,
};

// Chromium's flags for this machine's closed network.
const CHROMIUM_ARGS = [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
];

export async function launchBrowser() {
  // Playwright gives every launch a new empty profile folder.
  return chromium.launch({ executablePath: '/usr/bin/chromium', headless: true, args: CHROMIUM_ARGS });
}

export function scratchDir(prefix) {
  return fs.mkdtempSync(path.join(os.tmpdir(), `tessel-${prefix}-`));
}

// Lines of a child's stream, kept, with waiters for a line that matches.
class LineLog {
  constructor(stream) {
    this.lines = [];
    this.waiters = [];
    let rest = '';
    stream.on('data', (chunk) => {
      rest += chunk;
      let at;
      while ((at = rest.indexOf('\n')) >= 0) {
        const line = rest.slice(0, at);
        rest = rest.slice(at + 1);
        this.lines.push(line);
        this.waiters = this.waiters.filter((w) => !w(line));
      }
    });
  }

  // The first line (already printed or to come) that matches, or a
  // rejection when the child ends first.
  waitFor(test, child, what) {
    const found = this.lines.find(test);
    if (found !== undefined) return Promise.resolve(found);
    return new Promise((resolve, reject) => {
      this.waiters.push((line) => (test(line) ? (resolve(line), true) : false));
      child.once('exit', (code) => reject(new Error(`${what}: the program ended (${code}) first:\n${this.lines.join('\n')}`)));
    });
  }
}

// A private X server on a free display number.
export async function startXvfb() {
  const xvfb = spawn('Xvfb', ['-displayfd', '1', '-screen', '0', '1024x768x24', '-nolisten', 'tcp'], {
    stdio: ['ignore', 'pipe', 'ignore'],
  });
  const log = new LineLog(xvfb.stdout);
  const number = await log.waitFor((l) => /^\d+$/.test(l.trim()), xvfb, 'Xvfb');
  return { display: `:${number.trim()}`, stop: () => stop(xvfb) };
}

function stop(child) {
  if (child.exitCode !== null || child.signalCode !== null) return Promise.resolve();
  return new Promise((resolve) => {
    child.once('exit', resolve);
    child.kill('SIGTERM');
  });
}

// The real tessel-author on `display`, in a scratch show folder, following
// a scratch copy of `sourceText`; resolves once it printed its address.
// `shaders` is the shader folder (default: the source tree's); `args` more
// of tessel-author's options.
export async function startAuthor(display, sourceText, { shaders, args = [] } = {}) {
  const show = scratchDir('show');
  const work = scratchDir('work');
  for (const folder of ['Audio', 'Textures', 'sync'])
    fs.symlinkSync(path.join(env.showDir, folder), path.join(show, folder));
  fs.writeFileSync(path.join(show, 'Config.txt'), 'ScreenWidth = 480;\nScreenHeight = 270;\nIsFullScreen = 0;\nFSAA = 0;\n');
  const source = path.join(work, 'show.sync');
  const sections = path.join(work, 'song_sections.txt');
  fs.writeFileSync(source, sourceText);
  fs.copyFileSync(path.join(env.sourceDir, 'production/song_sections.txt'), sections);
  fs.mkdirSync(path.join(work, 'tmp'));
  const author = spawn(
    env.author,
    ['--port', '0', '--sync', source, '--sections', sections, '--shaders', shaders || path.join(env.sourceDir, 'data/Shaders'), ...args],
    {
      cwd: show,
      env: { ...process.env, DISPLAY: display, ALSOFT_DRIVERS: 'null', TMPDIR: path.join(work, 'tmp') },
      stdio: ['ignore', 'pipe', 'pipe'],
    },
  );
  const out = new LineLog(author.stdout);
  const err = new LineLog(author.stderr);
  let line;
  try {
    line = await out.waitFor((l) => l.startsWith('editor: '), author, 'tessel-author');
  } catch (error) {
    throw new Error(`${error.message}\n${err.lines.join('\n')}`);
  }
  // The overlay's text would cover the corner the tests look at: Tab hides it.
  await until(() => windowLit(display) !== null, 'the show window');
  execFileSync(env.windowProbe, [display, 'Tessel Author', 'Tab']);
  await out.waitFor((l) => l === 'overlay hidden', author, 'hiding the overlay');
  const url = line.slice('editor: '.length).trim();
  const parsed = new URL(url);
  return {
    url,
    origin: parsed.origin,
    token: parsed.searchParams.get('token'),
    source,
    sections,
    display,
    out,
    process: author,
    stop: async () => {
      await stop(author);
      fs.rmSync(show, { recursive: true, force: true });
      fs.rmSync(work, { recursive: true, force: true });
    },
  };
}

// A display, the real tessel-author on it following `sourceText` and a
// browser page of 1280 x 800 (more from `context`), all stopped when test `t` ends (then `cleanup`
// too). The page's errors are collected in `errors`; `editor(fn, arg)`
// evaluates in it.
export async function startShowAndPage(t, sourceText, { author: options, cleanup } = {}) {
  const xvfb = await startXvfb();
  const author = await startAuthor(xvfb.display, sourceText, options);
  const browser = await launchBrowser();
  const context = await browser.newContext({ viewport: { width: 1280, height: 800 } });
  const page = await context.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  t.after(async () => {
    await browser.close();
    await author.stop();
    await xvfb.stop();
    if (cleanup) cleanup();
  });
  const editor = (fn, arg) => page.evaluate(fn, arg);
  return { xvfb, author, browser, context, page, errors, editor };
}

// The fraction of the show window's lower right corner that is lit, or
// null when the window cannot be read yet.
export function windowLit(display) {
  try {
    const out = execFileSync(env.windowProbe, [display, 'Tessel Author'], { stdio: ['ignore', 'pipe', 'ignore'] });
    return Number(/lit ([\d.]+)/.exec(String(out))[1]);
  } catch (error) {
    return null;
  }
}

// Calls probe until it returns something truthy; fails after `seconds`
// (a bound on a hang, not a guess at how long it takes).
export async function until(probe, what, seconds = 30) {
  const end = Date.now() + seconds * 1000;
  for (;;) {
    const value = await probe();
    if (value) return value;
    if (Date.now() > end) throw new Error(`timed out waiting for ${what}`);
    // A short pause between looks, so polling leaves the cores to the show.
    await new Promise((resolve) => setTimeout(resolve, 20));
  }
}

// The tracks a source compiles to, {name: [{row, value, interp}]}, read
// back through synctool (compile, then dump with plain beat times).
export function compiledTracks(source, sections) {
  const out = scratchDir('compiled');
  try {
    execFileSync(env.synctool, ['compile', '--sections', sections, '-o', out, source], { stdio: 'pipe' });
    const text = String(execFileSync(env.synctool, ['dump', out], { stdio: ['ignore', 'pipe', 'pipe'] }));
    return parseDump(text);
  } finally {
    fs.rmSync(out, { recursive: true, force: true });
  }
}

// synctool dump's text: "track NAME" then "BEAT[:SIXTEENTH] VALUE [INTERP]".
export function parseDump(text) {
  const tracks = {};
  let current = null;
  for (const raw of text.split('\n')) {
    const line = raw.replace(/#.*/, '').trim();
    if (!line) continue;
    if (line.startsWith('track ')) {
      current = tracks[line.slice(6).trim()] = [];
      continue;
    }
    const [time, value, interp = 'step'] = line.split(/\s+/);
    const negative = time.startsWith('-');
    const [beat, sixteenth = '0'] = time.replace(/^-/, '').split(':');
    const row = (Number(beat) * 16 + Number(sixteenth)) * (negative ? -1 : 1);
    current.push({ row, value: Math.fround(Number(value)), interp });
  }
  return tracks;
}

// A page on a made-up origin that serves the editor's modules from the
// show folder, as the service serves them, for tests of the page's logic
// that need no service.
export async function modulePage(browser) {
  const origin = 'http://tessel.test';
  const page = await browser.newPage();
  await page.route(`${origin}/**`, (route) => {
    const name = new URL(route.request().url()).pathname.slice(1);
    const file = path.join(env.showDir, 'editor', name);
    if (name.endsWith('.js') && fs.existsSync(file))
      return route.fulfill({ body: fs.readFileSync(file), contentType: 'text/javascript' });
    return route.fulfill({ body: '<!doctype html><title>modules</title>', contentType: 'text/html' });
  });
  await page.goto(`${origin}/blank`);
  return page;
}

// Runs body(page) and, when it fails, leaves a screenshot in the build
// folder named after the test.
export async function withScreenshot(page, name, body) {
  try {
    return await body();
  } catch (error) {
    const file = path.join(env.buildDir || os.tmpdir(), `editor-failure-${name.replace(/\W+/g, '-')}.png`);
    await page.screenshot({ path: file }).catch(() => {});
    error.message += `\n(screenshot: ${file})`;
    throw error;
  }
}

// p-th percentile of a list of numbers.
export function percentile(values, p) {
  const sorted = [...values].sort((a, b) => a - b);
  if (!sorted.length) return NaN;
  return sorted[Math.min(sorted.length - 1, Math.ceil((p / 100) * sorted.length) - 1)];
}
