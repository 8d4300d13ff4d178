// The page in headless Chromium, driven as a person would: keys typed on the screen, a tape
// file through the file input, a state saved and loaded back. It reads the emulated screen
// memory and the canvas's pixels, and prints the speed the page holds.
// Usage: node tests/web/browser_test.js FOLDER (the built page); needs puppeteer-core 24, Debian's
// chromium and firefox-esr.
"use strict";

const fs = require("fs");
const http = require("http");
const os = require("os");
const path = require("path");
const puppeteer = require("puppeteer-core");
const { spawnSync } = require("child_process");

const folder = path.resolve(process.argv[2] || "build-web");
const source = path.resolve(__dirname, "../..");
const TYPES = { ".html": "text/html", ".js": "text/javascript", ".wasm": "application/wasm", ".data": "application/octet-stream" };
let failures = 0, passes = 0;

function check(ok, what) {
  if (ok) passes++;
  else failures++;
  console.log(`${ok ? "ok  " : "FAIL"} ${what}`);
}

// A static file server for the folder on a free loopback port.
function serve() {
  const server = http.createServer((req, res) => {
    const file = path.join(folder, decodeURIComponent(new URL(req.url, "http://x").pathname).replace(/\/$/, "/index.html"));
    if (!file.startsWith(folder) || !fs.existsSync(file)) {
      res.writeHead(404);
      return res.end();
    }
    res.writeHead(200, { "Content-Type": TYPES[path.extname(file)] || "application/octet-stream" });
    fs.createReadStream(file).pipe(res);
  });
  return new Promise((resolve) => server.listen(0, "127.0.0.1", () => resolve(server)));
}

// Glyph `code` of the game font as eight rows of eight lit (true) or dark pixels.
function glyph(code) {
  const lines = fs.readFileSync(path.join(source, "roms/font_game.txt"), "utf8").split("\n");
  const at = lines.findIndex((l) => l.toUpperCase().startsWith("= " + code.toString(16).toUpperCase().padStart(2, "0") + " "));
  return lines.slice(at + 1, at + 9).map((row) => [...row].map((c) => c === "#"));
}

async function screenText(page) {
  return page.evaluate(() => {
    if (!window.Module || !Module.started) return "";
    let text = "";
    for (let row = 0; row < 32; row++) {
      let line = "";
      for (let col = 0; col < 32; col++) {
        const b = Module._web_peek(0xd000 + row * 32 + col);
        line += b >= 0x20 && b < 0x7f ? String.fromCharCode(b) : ".";
      }
      text += line.trimEnd() + "\n";
    }
    return text;
  });
}

async function until(page, text, seconds = 20) {
  const end = Date.now() + seconds * 1000;
  while (Date.now() < end) {
    if ((await screenText(page)).includes(text)) return true;
    await new Promise((r) => setTimeout(r, 100));
  }
  console.log(await screenText(page));
  return false;
}

// A line typed on the screen and RETURN.
async function enter(page, text) {
  await page.keyboard.type(text);
  await page.keyboard.press("Enter");
}

// LOAD from the tape input until `last` shows, a key to end it, then RUN until `output` shows.
async function loadAndRun(page, last, output, what) {
  await page.focus("#screen");
  await enter(page, "LOAD");
  check(await until(page, last), `LOAD reads ${what}`);
  await page.keyboard.type(" ");
  await enter(page, "RUN");
  check(await until(page, output), `${what} runs`);
}

// Waits until the status line under the screen mentions `text`; what it then says.
async function statusWith(page, text) {
  await page.waitForFunction((t) => document.getElementById("status").textContent.includes(t), { timeout: 20000 }, text).catch(() => {});
  return page.$eval("#status", (e) => e.textContent);
}

// Cycles per second of emulated time over `seconds` of real time.
async function cyclesPerSecond(page, seconds) {
  const start = await page.evaluate(() => [Module._web_cycles(), performance.now()]);
  await new Promise((r) => setTimeout(r, seconds * 1000));
  const end = await page.evaluate(() => [Module._web_cycles(), performance.now()]);
  return ((end[0] - start[0]) * 1000) / (end[1] - start[1]);
}

// Debian's Chromium through the DevTools protocol, Firefox ESR through WebDriver BiDi.
const BROWSERS = [
  {
    name: "Chromium",
    options: {
      executablePath: "/usr/bin/chromium",
      args: ["--no-sandbox", "--disable-gpu", "--disable-background-timer-throttling", "--disable-renderer-backgrounding"],
    },
  },
  { name: "Firefox", options: { browser: "firefox", executablePath: "/usr/bin/firefox-esr" } },
];

async function main() {
  const server = await serve();
  try {
    for (const b of BROWSERS) {
      console.log(`-- ${b.name}`);
      await session(`http://127.0.0.1:${server.address().port}/`, b);
    }
  } finally {
    server.close();
  }
  console.log(`${passes} passed, ${failures} failed`);
  process.exit(failures ? 1 : 0);
}

async function session(url, which) {
  const browser = await puppeteer.launch({ headless: true, ...which.options });
  const work = fs.mkdtempSync(path.join(os.tmpdir(), "quarzel-web-"));
  const shot = (name) => path.join(folder, "..", "build-web-test", `${which.name.toLowerCase()}-${name}.png`);
  try {
    const page = await browser.newPage();
    await page.setViewport({ width: 1024, height: 768 });
    page.on("pageerror", (e) => check(false, "no error in the page: " + e.message));
    await page.goto(url);
    check(await until(page, "D/C/W/M ?"), "our monitor's prompt on the screen");
    await page.focus("#screen");

    await page.keyboard.press("KeyC");
    await page.keyboard.press("Enter");
    await page.keyboard.press("Enter");
    check(await until(page, "BYTES FREE"), "BASIC started after C and RETURN twice");
    await enter(page, "PRINT 2+3");
    check(await until(page, "PRINT 2+3\n 5\n"), "PRINT 2+3 answers 5 in the screen memory");

    // The "5" on the canvas, pixel by pixel, where the 32x32 screen draws its cell.
    const row = (await screenText(page)).split("\n").indexOf(" 5");
    const pixels = await page.evaluate((row) => {
      const c = document.getElementById("screen");
      return Array.from(c.getContext("2d").getImageData(24 + 8, 16 + 8 * row, 8, 8).data);
    }, row);
    const five = glyph(0x35);
    let same = true;
    for (let y = 0; y < 8; y++)
      for (let x = 0; x < 8; x++) {
        const lit = pixels[(y * 8 + x) * 4] > 128;
        if (lit !== five[y][x]) same = false;
      }
    check(row > 0 && same, "the canvas shows the 5 as the font draws it");
    await page.screenshot({ path: shot("after-print") });

    // A listing through the tape input, LOADed and RUN.
    const tape = path.join(work, "hello.bas");
    fs.writeFileSync(tape, '10 PRINT "TAPE";6*7\r20 END\r');
    await (await page.$("#tape-in")).uploadFile(tape);
    await loadAndRun(page, "20 END\n", "TAPE 42", "the tape file");

    // A recording made by the desktop's encoder, converted by the page's decoder and LOADed.
    const listing = path.join(work, "wav.bas"), wav = path.join(work, "wav.wav");
    fs.writeFileSync(listing, '10 PRINT "WAVE";3*7\r');
    check(spawnSync(path.join(source, "build/KCS.com"), ["-W", "-D", "-S", "-L1", listing, wav]).status === 0, "KCS.com -W encodes a listing");
    await enter(page, "NEW");
    await (await page.$("#wav-in")).uploadFile(wav);
    const said = await statusWith(page, "KCS");
    check(/KCS.BAS: \d+ bytes, 0 damaged/.test(said), "the recording is decoded: " + said);
    await loadAndRun(page, '10 PRINT "WAVE";3*7\n', "WAVE 21", "the decoded recording");
    await enter(page, "NEW");
    await enter(page, '10 PRINT "TAPE";6*7');
    await enter(page, "20 END");

    // A state saved, the program taken away, and the state loaded through the file input.
    // Chromium's download lands in the folder; Firefox's is taken from the page's own files.
    const saved = path.join(work, "quarzel.qst");
    if (which.name === "Chromium") {
      const cdp = await page.createCDPSession();
      await cdp.send("Browser.setDownloadBehavior", { behavior: "allow", downloadPath: work });
    }
    await page.click("#state-save");
    if (which.name !== "Chromium")
      fs.writeFileSync(saved, Buffer.from(await page.evaluate(() => Array.from(Module.FS.readFile("/tmp/quarzel.qst")))));
    for (let i = 0; i < 100 && !fs.existsSync(saved); i++) await new Promise((r) => setTimeout(r, 100));
    check(fs.existsSync(saved) && fs.statSync(saved).size > 65536, "Save state gives the whole machine");
    await enter(page, "NEW");
    await (await page.$("#state-load")).uploadFile(saved);
    await statusWith(page, "State");
    await page.focus("#screen");
    await enter(page, "LIST");
    check(await until(page, 'LIST\n10 PRINT "TAPE";6*7\n20 END\n'), "the loaded state has the program back");

    // The speed, measured and printed: a benchmark, not a pass or fail.
    const real = await cyclesPerSecond(page, 3);
    await page.select("#speed", "400");
    const warp = await cyclesPerSecond(page, 3);
    console.log(`${which.name} speed at 100 %: ${(real / 1e6).toFixed(3)} MHz (${((real / 1e6) * 100).toFixed(1)} % of the machine)`);
    console.log(`${which.name} warp: ${(warp / 1e6).toFixed(1)} MHz (${(warp / 1e6).toFixed(1)} times real time)`);
    await page.select("#speed", "100");
    await page.screenshot({ path: shot("after-run") });
  } finally {
    await browser.close();
    fs.rmSync(work, { recursive: true, force: true });
  }
}

main().catch((e) => {
  console.error(e);
  process.exit(1);
});
