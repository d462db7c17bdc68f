// The designer page in a real headless Chromium (Debian's), driven by
// playwright-core: a person's session from opening a document to a run,
// against one `veldrane design` started for the whole file.
//
// Environment: VELDRANE_CLI (the built command), VELDRANE_MAKE_SAMPLE (the
// sample database maker), CHROMIUM, BROWSER_MODULES (where npm installed
// playwright-core), VELDRANE_SOURCE_DIR, VELDRANE_SCREENSHOT (where the
// picture for the README goes).

import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { createRequire } from 'node:module';
import { spawn, execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

const require = createRequire(path.join(process.env.BROWSER_MODULES, 'package.json'));
const { chromium } = require('playwright-core');

const cli = process.env.VELDRANE_CLI;
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'veldrane-designer-'));
const home = path.join(work, 'home');
const registry = path.join(work, 'connections.cnn');
const doc = path.join(work, 'customers.xml');
let server, address, context, page;

// The command runs on a copy of the build's library folder (found through
// LD_LIBRARY_PATH before the build's own), so that texts it translates for
// the first time are recorded in the copy's translation database, not in
// the one the build ships.
const libraryCopy = fs.mkdtempSync(path.join(os.tmpdir(), 'veldrane-lib-'));
const libraryFolder = path.join(path.dirname(cli), '..', 'lib');
for (const name of fs.readdirSync(libraryFolder)) {
  const from = path.join(libraryFolder, name);
  if (fs.statSync(from).isFile()) fs.copyFileSync(from, path.join(libraryCopy, name));
}
const childEnv = { ...process.env, LD_LIBRARY_PATH: libraryCopy };

// Starts `veldrane design` and waits for the address it prints.
function startDesigner() {
  return new Promise((resolve, reject) => {
    const child = spawn(cli, ['--home', home, '--connections', registry, 'design', doc, '--no-browser'], { stdio: ['ignore', 'pipe', 'pipe'], env: childEnv });
    let out = '';
    const timer = setTimeout(() => reject(new Error(`no address printed: ${out}`)), 20000);
    child.stdout.on('data', (d) => {
      out += d;
      const m = out.match(/Open (http:\/\/127\.0\.0\.1:\d+\/\?token=[0-9a-f]+)/);
      if (m) { clearTimeout(timer); resolve({ child, address: m[1] }); }
    });
    child.stderr.on('data', (d) => { out += d; });
    child.on('exit', (code) => reject(new Error(`veldrane design ended (${code}): ${out}`)));
  });
}

before(async () => {
  fs.mkdirSync(home);
  execFileSync(process.env.VELDRANE_MAKE_SAMPLE, ['--customers', '400', '--orders', '10', path.join(work, 'data')],
               { env: childEnv });
  fs.copyFileSync(path.join(process.env.VELDRANE_SOURCE_DIR, 'examples/customers_upsert.xml'), doc);
  execFileSync(cli, ['--home', home, '--connections', registry, 'connections', 'add', 'warehouse', 'Provider=SQLite;Data Source=data/warehouse.db']);
  ({ child: server, address } = await startDesigner());
  context = await chromium.launchPersistentContext(path.join(work, 'profile'), {
    executablePath: process.env.CHROMIUM,
    headless: true,
    viewport: { width: 1500, height: 1000 },
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync'],
  });
  page = context.pages()[0] || await context.newPage();
});

after(async () => {
  await context?.close();
  server?.kill('SIGTERM');
  fs.rmSync(work, { recursive: true, force: true });
  fs.rmSync(libraryCopy, { recursive: true, force: true });
});

// The page marks its body while requests are on their way or not yet drawn.
const idle = () => page.waitForFunction(() => document.body.dataset.busy === '0');
const stepCount = () => page.locator('#canvas g.step').count();
const linkCount = () => page.locator('#canvas g.link-group').count();

async function dragBetween(from, to) {
  const a = await from.boundingBox();
  const b = await to.boundingBox();
  await page.mouse.move(a.x + a.width / 2, a.y + a.height / 2);
  await page.mouse.down();
  await page.mouse.move(b.x + b.width / 2, b.y + b.height / 2, { steps: 8 });
  await page.mouse.up();
}

test('a request without the token is refused', async () => {
  const bare = address.replace(/\?token=.*/, '');
  const state = await fetch(`${bare}api/state`);
  assert.equal(state.status, 403);
  const response = await page.goto(bare);
  assert.equal(response.status(), 403);
  assert.match(await page.textContent('body'), /token/);
});

test('open, add a TARGET step, link it, map two fields, save', async () => {
  await page.goto(address);
  await page.waitForSelector('#canvas g.step');
  assert.equal(await stepCount(), 4);
  assert.equal(await linkCount(), 3);
  assert.equal(await page.isHidden('#dirty-mark'), true);
  assert.equal(await page.isHidden('#output'), true);

  // Place a TARGET step below the existing one.
  await page.click('#palette-steps button[data-type="4"]');
  const target = page.locator('#canvas g.step[data-type="storage"]').first();
  const box = await target.boundingBox();
  await page.mouse.click(box.x + box.width / 2, box.y + box.height / 2 + 170);
  await page.waitForFunction(() => document.querySelectorAll('#canvas g.step').length === 5);
  await idle();
  assert.equal(await page.isVisible('#dirty-mark'), true);
  const added = page.locator('#canvas g.step[data-type="storage"]').nth(1);
  assert.equal(await added.getAttribute('id'), 'step5');
  assert.equal(await page.inputValue('#panel-step input[name="caption"]'), 'TARGET2');

  // Link the first TARGET to it; the line is the library's, routed between
  // the facing sides.
  await page.click('#tool-link');
  await dragBetween(target, added);
  await page.waitForFunction(() => document.querySelectorAll('#canvas g.link-group').length === 4);
  await idle();
  await page.click('#tool-link');

  // Map two fields: the connection from the registry, the table, its columns
  // read from the database, two values picked from the SOURCE step's fields.
  await added.click();
  await idle();
  await page.selectOption('#panel-step select[name="connName"]', 'warehouse');
  await idle();
  assert.match(await page.inputValue('#panel-step input[name="connString"]'), /warehouse\.db/);
  await page.selectOption('#panel-step select[name="shpOperation"]', 'Insert');
  await idle();
  await page.fill('#panel-step input[name="target"]', 'CLIENTS');
  await page.press('#panel-step input[name="target"]', 'Tab');
  await idle();
  await page.click('text=Read columns from the database');
  await idle();
  await page.selectOption('tr[data-column="CUSTNO"] select.value-pick', 'SOURCE([CUSTNO])');
  await idle();
  await page.selectOption('tr[data-column="NAME"] select.value-pick', 'SOURCE([NAME])');
  await idle();
  assert.equal(await page.inputValue('tr[data-column="NAME"] input.value-text'), 'SOURCE([NAME])');

  await page.click('#btn-save');
  await page.waitForSelector('#dirty-mark', { state: 'hidden' });

  const saved = fs.readFileSync(doc, 'utf8');
  const nodes = [...saved.matchAll(/<node [^>]*>.*?<\/node>|<node [^>]*\/>/gs)].map((m) => m[0]);
  assert.equal(nodes.length, 5);
  const node5 = nodes[4];
  assert.match(node5, /^<node type="storage" x="\d+" y="\d+" caption="TARGET2">/);
  assert.match(node5, /<connname>warehouse<\/connname><connstring>Provider=SQLite;Data Source=data\/warehouse.db;?<\/connstring><operation>Insert<\/operation>/);
  assert.match(node5, /<storagetarget type="table">CLIENTS<\/storagetarget>/);
  assert.match(node5, /<field name="CUSTNO"[^>]*><f_value>SOURCE\(\[CUSTNO\]\)<\/f_value><f_lookup\/><\/field>/);
  assert.match(node5, /<field name="NAME"[^>]*><f_value>SOURCE\(\[NAME\]\)<\/f_value><f_lookup\/><\/field>/);
  assert.match(node5, /<previous caption="">3<\/previous>/);
  assert.match(nodes[2], /<next caption="">5<\/next>/);
});

test('a refused link shows the library\'s message', async () => {
  await page.click('#tool-link');
  const added = page.locator('#step5');
  const a = await added.boundingBox();
  await page.mouse.move(a.x + a.width / 2, a.y + a.height / 2);
  await page.mouse.down();
  await page.mouse.move(a.x + a.width / 2, a.y + a.height + 200, { steps: 5 });
  await page.mouse.up();
  await page.waitForSelector('#message:not([hidden])');
  assert.equal(await page.textContent('#message'), 'Cannot make a link!!!!');
  assert.equal(await linkCount(), 4);
  await page.click('#tool-link');
});

test('a dragged step takes its links along', async () => {
  // The link from TARGET into TARGET2 runs straight down while one stands
  // below the other; once TARGET2 is to the right, it joins facing sides.
  const line = () => page.evaluate(() => {
    const l = document.querySelector('#link4 line.link');
    return ['x1', 'y1', 'x2', 'y2'].map((a) => Number(l.getAttribute(a)));
  });
  const target = await page.evaluate(() => (({ x, y, width, height }) => ({ x, y, width, height }))(document.querySelector('#step3 .shape').getBBox()));
  const [, y1] = await line();
  // Positions read back from the drawing's boxes carry float noise.
  const near = (a, b) => assert.ok(Math.abs(a - b) < 0.5, `${a} is not ${b}`);
  near(y1, target.y + target.height);                   // TARGET's bottom side
  const step = page.locator('#step5');
  const a = await step.boundingBox();
  await page.mouse.move(a.x + a.width / 2, a.y + a.height / 2);
  await page.mouse.down();
  await page.mouse.move(a.x + a.width / 2 + 250, a.y + a.height / 2, { steps: 10 });
  await page.mouse.up();
  await idle();
  const [nx1, ny1, nx2, ny2] = await line();
  const moved = await page.evaluate(() => (({ x, y, width, height }) => ({ x, y, width, height }))(document.querySelector('#step5 .shape').getBBox()));
  near(nx1, target.x + target.width);                    // TARGET's right side
  near(ny1, target.y + target.height / 2);
  near(nx2, moved.x);                                    // TARGET2's left side
  near(ny2, moved.y + moved.height / 2);
  assert.equal(await page.isVisible('#dirty-mark'), true);
});

test('a formula check points at the faulty line', async () => {
  await page.click('#tab-formulas');
  await page.fill('#panel-formulas input[name="newFormula"]', 'Greeting');
  await page.click('#panel-formulas button:text("Add")');
  await idle();
  await page.waitForSelector('#panel-formulas textarea[name="formulaText"]');
  await page.fill('#panel-formulas textarea[name="formulaText"]', 'Function Main()\n  Main = "Hello " &\nEnd Function\n');
  await page.click('#panel-formulas button:text("Check")');
  await page.waitForSelector('.check-result.bad');
  assert.match(await page.textContent('.check-result'), /^Line 2: /);
  // The formula mapped into TARGET is kept while the mapping uses it.
  await page.click('#panel-formulas button:text("ClientName")');
  await page.click('#panel-formulas button:text("Delete")');
  await page.waitForSelector('#message:not([hidden])');
  assert.match(await page.textContent('#message'), /used by a mapping/);
  await page.click('#tab-step');
});

test('a run shows its progress and its counters', async () => {
  await page.click('#btn-run');
  await page.waitForSelector('#output progress');
  await page.waitForSelector('.run-status.ok', { timeout: 60000 });
  assert.match(await page.textContent('.run-status'), /Finished: 400 of 400 records/);
  assert.equal(await page.getAttribute('#output progress', 'value'), '400');
  const inserts = await page.textContent('table.counters tr[data-kind="Insert"]');
  const updates = await page.textContent('table.counters tr[data-kind="Update"]');
  // UpdateInsert into the empty CLIENTS table: every customer is inserted.
  assert.match(inserts.replace(/\s+/g, ' '), /Insert\s*400\s*0\s*400/);
  assert.match(updates.replace(/\s+/g, ' '), /Update\s*0\s*0\s*0/);
  await page.waitForSelector('#output table.history');
  await page.locator('#step5').click();
  if (process.env.VELDRANE_SCREENSHOT) await page.screenshot({ path: process.env.VELDRANE_SCREENSHOT });
});
