// The page around the emulation: the canvas, the keyboard, the buttons and the files. The
// machine itself is the same C++ as on the desktop (quarzel.js and quarzel.wasm).
"use strict";

const canvas = document.getElementById("screen");
const status = document.getElementById("status");
const CMD = { OPEN_FILES: 103, SAVE_FILES: 105, CLOSE_SAVED: 124, CONVERT_KCS: 123, PASTE_TEXT: 127 };
const TAPE_OUT = "/quarzel/FILES/TAPE.BAS";

// KeyboardEvent.code to the set 1 scan code the layout file uses; extended keys without E0.
const SCAN = {
  Escape: 0x01, Digit1: 0x02, Digit2: 0x03, Digit3: 0x04, Digit4: 0x05, Digit5: 0x06, Digit6: 0x07,
  Digit7: 0x08, Digit8: 0x09, Digit9: 0x0a, Digit0: 0x0b, Minus: 0x0c, Equal: 0x0d, Backspace: 0x0e,
  Tab: 0x0f, KeyQ: 0x10, KeyW: 0x11, KeyE: 0x12, KeyR: 0x13, KeyT: 0x14, KeyY: 0x15, KeyU: 0x16,
  KeyI: 0x17, KeyO: 0x18, KeyP: 0x19, BracketLeft: 0x1a, BracketRight: 0x1b, Enter: 0x1c,
  ControlLeft: 0x1d, KeyA: 0x1e, KeyS: 0x1f, KeyD: 0x20, KeyF: 0x21, KeyG: 0x22, KeyH: 0x23,
  KeyJ: 0x24, KeyK: 0x25, KeyL: 0x26, Semicolon: 0x27, Quote: 0x28, Backquote: 0x29,
  ShiftLeft: 0x2a, Backslash: 0x2b, KeyZ: 0x2c, KeyX: 0x2d, KeyC: 0x2e, KeyV: 0x2f, KeyB: 0x30,
  KeyN: 0x31, KeyM: 0x32, Comma: 0x33, Period: 0x34, Slash: 0x35, ShiftRight: 0x36,
  NumpadMultiply: 0x37, AltLeft: 0x38, Space: 0x39, CapsLock: 0x3a, F1: 0x3b, F2: 0x3c, F3: 0x3d,
  F4: 0x3e, F5: 0x3f, F6: 0x40, F7: 0x41, F8: 0x42, F9: 0x43, F10: 0x44, NumLock: 0x45,
  ScrollLock: 0x46, Numpad7: 0x47, Numpad8: 0x48, Numpad9: 0x49, NumpadSubtract: 0x4a,
  Numpad4: 0x4b, Numpad5: 0x4c, Numpad6: 0x4d, NumpadAdd: 0x4e, Numpad1: 0x4f, Numpad2: 0x50,
  Numpad3: 0x51, Numpad0: 0x52, NumpadDecimal: 0x53, IntlBackslash: 0x56, F11: 0x57, F12: 0x58,
  NumpadEnter: 0x1c, ControlRight: 0x1d, NumpadDivide: 0x35, AltRight: 0x38, Home: 0x47,
  ArrowUp: 0x48, PageUp: 0x49, ArrowLeft: 0x4b, ArrowRight: 0x4d, End: 0x4f, ArrowDown: 0x50,
  PageDown: 0x51, Insert: 0x52, Delete: 0x53,
};

function say(text, error) {
  status.textContent = text;
  status.className = error ? "error" : "";
}

// The character a key gives on the desktop's layout, 0 for none; with Ctrl, the letter.
function keyCharacter(e) {
  if (e.ctrlKey && /^Key[A-Z]$/.test(e.code)) return e.code.charCodeAt(3) + 32;
  if (e.key === "Enter") return 13;
  if (e.key.length === 1 && e.key.charCodeAt(0) >= 0x20 && e.key.charCodeAt(0) < 0x7f) return e.key.charCodeAt(0);
  return 0;
}

function key(e, release) {
  const scan = SCAN[e.code];
  if (scan === undefined || (e.ctrlKey && e.code === "KeyV")) return;  // Ctrl+V pastes
  e.preventDefault();
  if (e.repeat) return;  // the ROM repeats a held key itself
  Module._web_key(scan | release, release ? 0 : keyCharacter(e), e.ctrlKey ? 1 : 0);
}

function command(id, file = "", clipboard = "") {
  Module.ccall("web_command", null, ["number", "string", "string"], [id, file, clipboard]);
  canvas.focus();
}

// A file the user picked, written into the machine's file system under its own name.
async function stored(input) {
  const file = input.files[0];
  input.value = "";
  if (!file) return null;
  const path = "/tmp/files/" + file.name.replace(/[\/\\]/g, "_");
  Module.FS.writeFile(path, new Uint8Array(await file.arrayBuffer()));
  return path;
}

function download(path, name) {
  const data = Module.FS.readFile(path);
  const a = document.createElement("a");
  a.href = URL.createObjectURL(new Blob([data], { type: "application/octet-stream" }));
  a.download = name;
  a.click();
  setTimeout(() => URL.revokeObjectURL(a.href), 10000);
}

let frameImage = null;

function draw() {
  const w = Module._web_width(), h = Module._web_height();
  if (!frameImage || frameImage.width !== w || frameImage.height !== h) frameImage = new ImageData(w, h);
  frameImage.data.set(Module.HEAPU8.subarray(Module._web_pixels(), Module._web_pixels() + w * h * 4));
  canvas.getContext("2d").putImageData(frameImage, 0, 0);
}

// The largest whole multiple of the screen that fits beside the controls, sharp at any size.
function scaleCanvas() {
  const roomX = window.innerWidth - 24, roomY = window.innerHeight - document.querySelector("header").offsetHeight - 70;
  const scale = Math.max(1, Math.min(Math.floor(roomX / canvas.width), Math.floor(roomY / canvas.height)));
  canvas.style.width = canvas.width * scale + "px";
  canvas.style.height = canvas.height * scale + "px";
}

function frame(now) {
  Module._web_frame(now);
  draw();
  requestAnimationFrame(frame);
}

var Module = {
  canvas,
  print: (text) => console.log(text),
  printErr: (text) => console.warn(text),
  showMessage: (text, caption, error) => say(caption + ": " + text, error),
  checkMenu: (id, on) => {
    for (const b of document.querySelectorAll(`[data-check="${id}"]`)) b.classList.toggle("on", !!on);
  },
  resizeScreen: (w, h) => {
    canvas.width = w;
    canvas.height = h;
    scaleCanvas();
  },
  showHelp: () => {
    const help = document.getElementById("help");
    help.textContent = new TextDecoder().decode(Module.FS.readFile("/quarzel/osi.txt"));
    help.hidden = !help.hidden;
  },
  started: false,
  machineStarted: () => {
    Module.started = true;
    Module.FS.mkdirTree("/tmp/files");
    say("Type on the keyboard with the screen in focus; the machine is a C1P with our own ROMs.");
    canvas.focus();
    requestAnimationFrame(frame);
  },
};

canvas.addEventListener("keydown", (e) => key(e, 0));
canvas.addEventListener("keyup", (e) => key(e, 0x80));
canvas.addEventListener("blur", () => Module._web_keys_let_go && Module._web_keys_let_go());
canvas.addEventListener("click", () => canvas.focus());
document.addEventListener("paste", (e) => {
  e.preventDefault();
  command(CMD.PASTE_TEXT, "", e.clipboardData.getData("text"));
});
document.getElementById("paste").addEventListener("click", async () => {
  try {
    command(CMD.PASTE_TEXT, "", await navigator.clipboard.readText());
  } catch {
    say("The browser does not let the page read the clipboard: press Ctrl+V on the screen instead.", true);
  }
});
for (const b of document.querySelectorAll("[data-command]"))
  b.addEventListener("click", () => command(Number(b.dataset.command)));
document.getElementById("speed").addEventListener("change", (e) => {
  Module._web_speed_bar(Number(e.target.value));
  canvas.focus();
});
document.getElementById("tape-in").addEventListener("change", async (e) => {
  const path = await stored(e.target);
  if (path) command(CMD.OPEN_FILES, path);
});
document.getElementById("tape-out").addEventListener("click", () => {
  command(CMD.SAVE_FILES, TAPE_OUT);
  document.getElementById("tape-save").disabled = false;
  say("The tape output goes into TAPE.BAS: SAVE in BASIC, then Download output.");
});
document.getElementById("tape-save").addEventListener("click", () => {
  command(CMD.CLOSE_SAVED);
  download(TAPE_OUT, "TAPE.BAS");
  document.getElementById("tape-save").disabled = true;
});
// A converted recording becomes the tape input at once; the desktop leaves it in FILES/KCS.BAS.
document.getElementById("wav-in").addEventListener("change", async (e) => {
  const path = await stored(e.target);
  if (!path) return;
  const decoded = "/quarzel/FILES/KCS.BAS";
  if (Module.FS.analyzePath(decoded).exists) Module.FS.unlink(decoded);
  command(CMD.CONVERT_KCS, path);
  if (Module.FS.analyzePath(decoded).exists) {
    const shown = status.textContent;
    command(CMD.OPEN_FILES, decoded);
    say(shown + " It is the tape input now: LOAD it.");
  }
});
// What the machine writes on a diskette reaches its file within two seconds of its last write.
for (const [id, drive] of [["disk-a", 0], ["disk-b", 1]]) {
  const save = document.getElementById(id + "-save");
  document.getElementById(id).addEventListener("change", async (e) => {
    const path = await stored(e.target);
    if (path && Module.ccall("web_disk", "number", ["number", "string"], [drive, path])) {
      say(`Drive ${"AB"[drive]}: ${path.slice(11)}`);
      save.dataset.path = path;
      save.disabled = false;
    }
    canvas.focus();
  });
  save.addEventListener("click", () => download(save.dataset.path, save.dataset.path.slice(11)));
}
document.getElementById("state-save").addEventListener("click", () => {
  const problem = Module.ccall("web_save_state", "string", ["string"], ["/tmp/quarzel.qst"]);
  if (problem) say(problem, true);
  else download("/tmp/quarzel.qst", "quarzel.qst");
  canvas.focus();
});
document.getElementById("state-load").addEventListener("change", async (e) => {
  const path = await stored(e.target);
  if (!path) return;
  const problem = Module.ccall("web_load_state", "string", ["string"], [path]);
  say(problem || "State loaded.", !!problem);
  canvas.focus();
});
window.addEventListener("resize", scaleCanvas);
scaleCanvas();

const engine = document.createElement("script");
engine.src = "quarzel.js";
engine.onerror = () => say("quarzel.js could not be loaded.", true);
document.body.appendChild(engine);
