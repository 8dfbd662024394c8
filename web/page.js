// page.js -- the page around the city: the address, the clock, keys and touch, the WebGL
// context's loss, the offline copy, and a line for whatever goes wrong
// SPDX-License-Identifier: MIT
"use strict";
// The address: ?seed=S for a city to share; frames=N, press=F:up,F:down and dump=xxh3 run
// N frames as gridcity-replay --seed S --frames N --press ... does and show the dump's XXH3 hash,
// as its --trace writes it for that frame.
// Arrow keys and touch reach the city only when it runs free: a run the address fixes is the
// address's.
const page = { dump: false, frames: false, free: false, lost: false, started: false,
               problem: "", drawn: 0 };
const waiting = "the browser took the WebGL context away; the city waits for it to come back";

// Control characters shown as their pictures (NUL as U+2400), so that none cuts a value short
// on its way to C and the option parser refuses them as the tool refuses any stray character.
function visible(s) {
  return s.replace(/[\x00-\x1f\x7f-\x9f]/g, (c) => {
    const n = c.charCodeAt(0);
    return String.fromCharCode(n < 0x20 ? 0x2400 + n : n === 0x7f ? 0x2421 : 0xfffd);
  });
}

// The options as the tool spells them; after a fault here, only the seed.
function readaddress() {
  const args = [];
  for (let [k, v] of new URLSearchParams(location.search)) {
    k = visible(k);
    v = visible(v);
    if (k === "seed" || k === "frames") {
      args.push("--" + k + "=" + v);
      if (k === "frames") page.frames = true;
    } else if (k === "press") {
      for (const p of v.split(",")) args.push("--press=" + p);
    } else if (k === "dump") {
      if (v === "xxh3") page.dump = true;
      else page.problem ||= "dump '" + v + "' is not known (dump=xxh3)";
    } else {
      page.problem ||= "'" + k + "' is not known (seed, frames, press, dump)";
    }
  }
  return page.problem ? args.filter((a) => a.startsWith("--seed=")) : args;
}

function say(id, text) { document.getElementById(id).textContent = text; }

function showseed() {
  const seed = Module._gc_seed() >>> 0;
  const span = document.getElementById("seed");
  span.textContent = "gridcity, seed " + seed + " \u00b7 ";
  const a = document.createElement("a");
  a.href = location.origin + location.pathname + "?seed=" + seed;
  a.textContent = "link to this city";
  span.appendChild(a);
}

// The city's clock: 60 steps a second of the page's time, whatever the display's rate, so a
// frame may run several steps or none. At most maxsteps in one animation frame, and the time
// past them dropped: a machine that draws fewer than 15 frames a second sees the city slow
// down rather than jump, and a tab that comes back from hiding goes on where it stopped.
const steptime = 1000 / 60; // ms
const maxsteps = 4;
const clock = { last: -1, owed: 0 };

function due(t) {
  if (clock.last < 0 || page.lost) {
    clock.last = t;
    clock.owed = 0;
    return 0;
  }
  clock.owed += t - clock.last;
  clock.last = t;
  // Rounded, not cut: a display at the city's own rate gets one step a frame despite jitter.
  let n = Math.floor(clock.owed / steptime + 0.5);
  if (n > maxsteps) n = maxsteps, clock.owed = 0;
  else clock.owed -= n * steptime;
  return n;
}
document.addEventListener("visibilitychange", () => { clock.last = -1; });

function start() {
  for (const a of readaddress())
    if (!Module.ccall("gc_arg", "number", ["string"], [a])) break;
  const running = Module._gc_start();
  page.started = true;
  const why = (running && page.problem) || Module.ccall("gc_problem", "string", [], []);
  page.problem = why; // for the line once a lost context is back
  if (running === 2) page.lost = true; // its loss may not have been announced yet
  say("message", page.lost ? waiting : why);
  if (!running) { say("seed", "gridcity"); return; } // no WebGL: nothing to draw with
  showseed();
  if (why) page.dump = page.frames = false; // a bad address gets its seed's city, running
  if (page.dump) {
    // A slice of frames per task, so that a long run leaves the page responsive.
    const slice = () => {
      const left = Module._gc_run(500) >>> 0;
      if (left > 0) {
        say("progress", "frame " + (Module._gc_frames() >>> 0) + ", " + left + " to go");
        setTimeout(slice, 0);
      } else {
        say("progress", "");
        say("dump-xxh3", Module.ccall("gc_dumphash", "string", [], []));
      }
    };
    slice();
    return;
  }
  page.free = !page.frames;
  const frame = (t) => {
    const n = due(t);
    if (n) page.drawn++;
    if (Module._gc_frame(n, page.frames)) requestAnimationFrame(frame);
  };
  requestAnimationFrame(frame);
}

// A browser may refuse (no user gesture, a frame that forbids it): the page then stays as it is.
function fullscreen() {
  const d = document.documentElement;
  if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
  else if (d.requestFullscreen) d.requestFullscreen().catch(() => {});
}

function camera(up) {
  if (page.free && !page.lost) Module._gc_key(up ? 1 : 0);
}

addEventListener("keydown", (e) => {
  if (e.ctrlKey || e.metaKey || e.altKey) return;
  if (e.key === "ArrowUp" || e.key === "ArrowDown") {
    camera(e.key === "ArrowUp");
    e.preventDefault();
  } else if ((e.key === "f" || e.key === "F") && !e.repeat) {
    fullscreen();
  }
});

// Touch, pen and mouse alike: a tap or an upward swipe is Up, a downward swipe Down; two taps
// close together toggle full screen, which a mouse does by its own double click.
const swipe = 40, still = 16, twotaps = 400; // CSS pixels, CSS pixels, ms
const pointer = { id: -1, x: 0, y: 0, type: "", tapped: -Infinity };
addEventListener("pointerdown", (e) => {
  if (!e.isPrimary || e.button !== 0 || e.target.closest?.("a")) return;
  Object.assign(pointer, { id: e.pointerId, x: e.clientX, y: e.clientY, type: e.pointerType });
});
addEventListener("pointercancel", () => { pointer.id = -1; });
addEventListener("pointerup", (e) => {
  if (e.pointerId !== pointer.id) return;
  pointer.id = -1;
  const dx = e.clientX - pointer.x, dy = e.clientY - pointer.y;
  if (Math.abs(dy) >= swipe && Math.abs(dy) > Math.abs(dx)) {
    camera(dy < 0);
  } else if (Math.hypot(dx, dy) < still) {
    camera(true);
    if (e.pointerType === "mouse") return;
    if (e.timeStamp - pointer.tapped < twotaps) {
      pointer.tapped = -Infinity;
      fullscreen();
    } else {
      pointer.tapped = e.timeStamp;
    }
  }
});
addEventListener("dblclick", () => { if (pointer.type === "mouse") fullscreen(); });

// A lost context pauses the city (its clock too); a restored one gets every GL object again.
const canvas = document.getElementById("canvas");
canvas.addEventListener("webglcontextlost", (e) => {
  e.preventDefault(); // without it the browser never gives the context back
  page.lost = true;
  say("message", waiting);
});
canvas.addEventListener("webglcontextrestored", () => {
  // Before the city starts there is nothing to make again: gc_start makes it all.
  const why = page.started ? Module.ccall("gc_restore", "string", [], []) : "";
  say("message", why || page.problem);
  page.lost = !!why;
});

// Why gridcity.wasm did not come, by name, rather than the runtime's generic abort.
function loadwasm(imports, done) {
  fetch("gridcity.wasm")
    .then((r) => {
      if (!r.ok) throw new Error("HTTP " + r.status + " " + r.statusText);
      return r.arrayBuffer();
    })
    .then((bytes) => WebAssembly.instantiate(bytes, imports))
    .then((w) => done(w.instance, w.module))
    .catch((e) => say("message", "gridcity.wasm could not be loaded: " + e.message));
  return {};
}

var Module = {
  canvas: canvas,
  instantiateWasm: loadwasm,
  onRuntimeInitialized: start,
  onAbort: (what) => say("message", "gridcity stopped: " + what),
};

if (location.protocol === "file:") {
  // Browsers fetch no .wasm for a file: page.
  const dir = decodeURIComponent(location.pathname.replace(/[^/]*$/, ""));
  say("seed", "gridcity");
  say("message", "the page must come from a web server, not a file: run python3 -m http.server " +
      "-d " + dir + " and open http://localhost:8000/");
} else {
  const js = document.createElement("script");
  js.src = "gridcity.js";
  js.onerror = () => say("message", "gridcity.js could not be loaded");
  document.body.appendChild(js);
  // The offline copy and the installed app; browsers allow service workers only on localhost
  // and https, and elsewhere the page runs without them.
  if (window.isSecureContext && navigator.serviceWorker)
    navigator.serviceWorker.register("sw.js").catch(() => {});
}
