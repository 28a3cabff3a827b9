// Kelvane Paint's page: a small desktop on which the program's windows
// appear with a Windows 10 frame (caption with title, minimize, maximize and
// close buttons; a border that resizes), a taskbar, and the program's start
// and end. The browser host (platform/host/web/web_host.cpp) decides about
// the windows; this page shows them and queues what the user does to them.
//
// Sizes are in logical pixels, the program's pixels: CSS pixels on an
// ordinary display. On a scaled one each logical pixel is shown as a block
// of round(devicePixelRatio) device pixels, so the picture stays crisp; where
// the ratio is not a whole number (1.5) a logical pixel is then a little
// larger (or smaller) than a CSS pixel, and the screen is measured in them.
(function () {
  'use strict';

  // The frame's metrics, as the program's layer has them (it says at each
  // window's creation): the border on each side and the caption's height.
  let BORDER = 8;
  let CAPTION = 23;
  let TOP = CAPTION + BORDER;
  const TASKBAR = 32;
  const MIN_CLIENT_WIDTH = 120; // the smallest window Windows lets a user drag
  const MIN_CLIENT_HEIGHT = 0;

  // Event records for the host: RECORD ints each (see web_host.cpp).
  const RECORD = 9;
  const POINTER = 1, MINIMIZE = 2, MAXIMIZE = 3, RESTORE = 4, RESIZE = 5, CLOSE = 6,
    DESKTOP_CHANGED = 7;
  const SAMPLE = 0, LEAVE = 1, CANCEL = 2;
  const HIDDEN = 0, NORMAL = 1, MINIMIZED = 2, MAXIMIZED = 3;

  const desktop = document.getElementById('desktop');
  const taskbar = document.getElementById('taskbar');
  const status = document.getElementById('status');
  const statusText = document.getElementById('status-text');
  const again = document.getElementById('again');

  let scale = 1;  // device pixels per logical pixel, a whole number
  let unit = 1;   // CSS pixels per logical pixel
  let windows = new Map();
  let events = [];
  let waker = null;
  let running = false;
  let cascade = 0;

  // What the tests read back (window.kelvane).
  const probe = {
    started: 0,        // performance.now() when the program was started
    firstFrame: null,  // performance.now() of the first frame showing painted pixels
    exitCode: null,
    presents: [],      // [x, y, width, height] of the latest putImageData calls
    presentCount: 0,
    pointerEvents: 0,  // pointer events over client areas
    samples: 0,        // pointer samples they carried (coalesced moves included)
  };

  function px(n) {
    return n * unit + 'px';
  }

  function measure() {
    const ratio = window.devicePixelRatio || 1;
    scale = Math.max(1, Math.round(ratio));
    unit = scale / ratio;
  }

  function desktopSize() {
    return [Math.floor(window.innerWidth / unit),
      Math.max(Math.floor(window.innerHeight / unit) - TASKBAR, 0)];
  }

  // ---- The host's side ------------------------------------------------------

  function queue(kind, id, a, b, c, d, e, f, g) {
    events.push(kind, id, a | 0, b | 0, c | 0, d | 0, e | 0, f | 0, g | 0);
    if (waker) {
      const wake = waker;
      waker = null;
      queueMicrotask(() => resume(wake));
    }
  }

  function resume(wake) {
    try {
      wake();
    } catch (e) {
      // The program ending inside the resumed code unwinds to here.
      if (!(e && (e.name === 'ExitStatus' || e === 'unwind'))) throw e;
    }
  }

  const host = {
    screenSize() {
      return [Math.floor(screen.width / unit), Math.floor(screen.height / unit)];
    },

    // What a maximized window fills: the desktop above the taskbar.
    workAreaSize() {
      return desktopSize();
    },

    createWindow(id, title, clientWidth, clientHeight, border, caption) {
      BORDER = border;
      CAPTION = caption;
      TOP = CAPTION + BORDER;
      windows.set(id, makeWindow(id, title, clientWidth, clientHeight));
      document.title = title;
    },

    destroyWindow(id) {
      const win = windows.get(id);
      if (!win) return;
      win.element.remove();
      win.task.remove();
      windows.delete(id);
    },

    showWindow(id, state, clientWidth, clientHeight) {
      const win = windows.get(id);
      if (!win) return;
      win.state = state;
      win.width = clientWidth;
      win.height = clientHeight;
      layout(win);
    },

    reserveCanvas(id, width, height) {
      const win = windows.get(id);
      if (!win) return;
      win.canvas.width = width;
      win.canvas.height = height;
      win.canvas.style.width = px(width);
      win.canvas.style.height = px(height);
    },

    putPixels(id, bytes, x, y, width, height) {
      const win = windows.get(id);
      if (!win) return;
      win.context.putImageData(new ImageData(bytes, width, height), x, y);
      probe.presents.push([x, y, width, height]);
      if (probe.presents.length > 4096) probe.presents.splice(0, 2048);
      probe.presentCount++;
      if (probe.firstFrame === null) {
        probe.firstFrame = 0;
        requestAnimationFrame(() => { probe.firstFrame = performance.now(); });
      }
    },

    takeEvents(heap, index, capacity) {
      const count = Math.min(capacity, events.length / RECORD);
      if (count > 0) heap.set(events.splice(0, count * RECORD), index);
      return count;
    },

    sleep(wakeUp) {
      if (events.length > 0) wakeUp();
      else waker = wakeUp;
    },
  };

  // ---- Windows ----------------------------------------------------------------

  function element(tag, className, parent) {
    const e = document.createElement(tag);
    if (className) e.className = className;
    if (parent) parent.appendChild(e);
    return e;
  }

  function makeWindow(id, title, clientWidth, clientHeight) {
    const win = {
      id, title, state: HIDDEN, width: clientWidth, height: clientHeight,
      x: 24 + cascade * 26, y: 16 + cascade * 26,
    };
    cascade = (cascade + 1) % 8;
    win.element = element('div', 'window', desktop);
    win.element.hidden = true;
    win.frame = element('div', 'frame', win.element);
    win.caption = element('div', 'caption', win.element);
    const icon = element('img', 'icon', win.caption);
    icon.src = 'kelvane-paint.svg';
    icon.alt = '';
    win.titleText = element('span', 'title', win.caption);
    win.titleText.textContent = title;
    win.buttons = {};
    for (const [name, label, text] of [['minimize', 'Minimize', '\u2500'],
      ['maximize', 'Maximize', '\u25a1'], ['close', 'Close', '\u2715']]) {
      const b = element('button', 'caption-button ' + name, win.caption);
      b.title = label;
      b.setAttribute('aria-label', label);
      b.textContent = text;
      win.buttons[name] = b;
    }
    win.client = element('div', 'client', win.element);
    win.canvas = element('canvas', '', win.client);
    win.context = win.canvas.getContext('2d', { alpha: false, willReadFrequently: true });
    win.edges = {};
    for (const edge of ['n', 's', 'w', 'e', 'nw', 'ne', 'sw', 'se']) {
      win.edges[edge] = element('div', 'edge ' + edge, win.element);
      resizeByDragging(win, win.edges[edge], edge);
    }
    win.task = element('button', 'task', taskbar);
    win.task.textContent = title;

    win.buttons.minimize.addEventListener('click', () => queue(MINIMIZE, id));
    win.buttons.maximize.addEventListener('click',
      () => queue(win.state === MAXIMIZED ? RESTORE : MAXIMIZE, id));
    win.buttons.close.addEventListener('click', () => queue(CLOSE, id));
    win.task.addEventListener('click',
      () => queue(win.state === MINIMIZED ? RESTORE : MINIMIZE, id));
    win.caption.addEventListener('dblclick', (e) => {
      if (e.target.closest('button')) return;
      queue(win.state === MAXIMIZED ? RESTORE : MAXIMIZE, id);
    });
    moveByDragging(win);
    listenToPointer(win);
    return win;
  }

  function place(e, x, y, w, h) {
    e.style.left = px(x);
    e.style.top = px(y);
    e.style.width = px(Math.max(w, 0));
    e.style.height = px(Math.max(h, 0));
  }

  function layout(win) {
    const w = win.width, h = win.height;
    const shown = win.state === NORMAL || win.state === MAXIMIZED;
    win.element.hidden = !shown;
    win.task.hidden = win.state === HIDDEN;
    win.task.classList.toggle('active', shown);
    if (!shown) return;
    const maximized = win.state === MAXIMIZED;
    // A maximized window's frame lies just outside the desktop, as on Windows.
    const x = maximized ? -BORDER : win.x, y = maximized ? -BORDER : win.y;
    place(win.element, x, y, w + 2 * BORDER, h + TOP + BORDER);
    // The visible window: a one-pixel line around caption and client.
    place(win.frame, BORDER - 1, 0, w + 2, h + TOP + 1);
    place(win.caption, BORDER, 1, w, TOP - 1);
    place(win.client, BORDER, TOP, w, h);
    win.canvas.style.width = px(win.canvas.width);
    win.canvas.style.height = px(win.canvas.height);
    const W = w + 2 * BORDER, H = h + TOP + BORDER, C = BORDER;
    const edges = { n: [C, 0, W - 2 * C, 4], s: [C, H - C, W - 2 * C, C], w: [0, C, C, H - 2 * C],
      e: [W - C, C, C, H - 2 * C], nw: [0, 0, C, C], ne: [W - C, 0, C, C], sw: [0, H - C, C, C],
      se: [W - C, H - C, C, C] };
    for (const [name, box] of Object.entries(edges)) {
      win.edges[name].hidden = maximized;
      place(win.edges[name], ...box);
    }
    win.buttons.maximize.textContent = maximized ? '\u2750' : '\u25a1';
    win.buttons.maximize.title = maximized ? 'Restore Down' : 'Maximize';
    for (const b of Object.values(win.buttons)) {
      b.style.width = px(46);
      b.style.height = px(TOP - 1);
      b.style.fontSize = px(10);
    }
    win.titleText.style.fontSize = px(12);
    win.titleText.style.lineHeight = px(TOP - 1);
    win.caption.querySelector('.icon').style.width = px(16);
    win.caption.querySelector('.icon').style.margin = '0 ' + px(6) + ' 0 ' + px(8);
  }

  function relayoutAll() {
    measure();
    taskbar.style.height = px(TASKBAR);
    for (const b of taskbar.children) b.style.fontSize = px(12);
    for (const win of windows.values()) {
      layout(win);
      if (win.state === MAXIMIZED) queue(DESKTOP_CHANGED, win.id);
    }
  }

  // The caption moves the window; the page keeps its position.
  function moveByDragging(win) {
    let start = null;
    win.caption.addEventListener('pointerdown', (e) => {
      if (e.button !== 0 || e.target.closest('button') || win.state !== NORMAL) return;
      start = { x: e.clientX, y: e.clientY, wx: win.x, wy: win.y };
      win.caption.setPointerCapture(e.pointerId);
    });
    win.caption.addEventListener('pointermove', (e) => {
      if (!start) return;
      win.x = start.wx + Math.round((e.clientX - start.x) / unit);
      win.y = Math.max(start.wy + Math.round((e.clientY - start.y) / unit), -BORDER);
      layout(win);
    });
    const end = () => { start = null; };
    win.caption.addEventListener('pointerup', end);
    win.caption.addEventListener('pointercancel', end);
  }

  // The border resizes the window: the host hears the client size wanted;
  // the window takes it when the host shows it.
  function resizeByDragging(win, edge, sides) {
    let start = null;
    edge.addEventListener('pointerdown', (e) => {
      if (e.button !== 0 || win.state !== NORMAL) return;
      start = { x: e.clientX, y: e.clientY, w: win.width, h: win.height, wx: win.x, wy: win.y };
      edge.setPointerCapture(e.pointerId);
      e.preventDefault();
    });
    edge.addEventListener('pointermove', (e) => {
      if (!start) return;
      const dx = Math.round((e.clientX - start.x) / unit);
      const dy = Math.round((e.clientY - start.y) / unit);
      let w = start.w, h = start.h;
      if (sides.includes('e')) w = start.w + dx;
      if (sides.includes('s')) h = start.h + dy;
      if (sides.includes('w')) w = start.w - dx;
      if (sides.includes('n')) h = start.h - dy;
      w = Math.max(w, MIN_CLIENT_WIDTH);
      h = Math.max(h, MIN_CLIENT_HEIGHT);
      if (sides.includes('w')) win.x = start.wx + start.w - w;
      if (sides.includes('n')) win.y = start.wy + start.h - h;
      queue(RESIZE, win.id, w, h);
    });
    const end = () => { start = null; };
    edge.addEventListener('pointerup', end);
    edge.addEventListener('pointercancel', end);
  }

  // ---- Input over the client area -------------------------------------------

  function listenToPointer(win) {
    const client = win.client;

    function record(e, sample, button) {
      const r = client.getBoundingClientRect();
      const kind = e.pointerType === 'touch' ? 1 : e.pointerType === 'pen' ? 2 : 0;
      const flags = (sample.buttons & 31) | (sample.shiftKey ? 256 : 0) |
        (sample.ctrlKey ? 512 : 0);
      // The logical pixel under the sample; the small allowance keeps a
      // pixel's own edge, computed through a fractional scale, inside it.
      const x = Math.floor((sample.clientX - r.left) / unit + 1e-3);
      const y = Math.floor((sample.clientY - r.top) / unit + 1e-3);
      queue(POINTER, win.id, SAMPLE, kind, x, y, flags, Math.round(sample.timeStamp), button);
      probe.samples++;
    }

    client.addEventListener('pointerdown', (e) => {
      if (!e.isPrimary) return;
      // Touch and pen capture the pointer by themselves; the window never
      // does, so leaving the client area stops the moves, as on Windows.
      if (client.hasPointerCapture(e.pointerId)) client.releasePointerCapture(e.pointerId);
      probe.pointerEvents++;
      record(e, e, e.button);
    });
    client.addEventListener('pointermove', (e) => {
      if (!e.isPrimary) return;
      probe.pointerEvents++;
      // Every sample the browser merged into this event, in order; a button
      // pressed or released with the move belongs to the last one.
      const samples = e.getCoalescedEvents ? e.getCoalescedEvents() : [];
      if (samples.length === 0) {
        record(e, e, e.button);
        return;
      }
      for (let i = 0; i < samples.length; i++)
        record(e, samples[i], i === samples.length - 1 ? e.button : -1);
    });
    client.addEventListener('pointerup', (e) => {
      if (!e.isPrimary) return;
      probe.pointerEvents++;
      record(e, e, e.button);
    });
    client.addEventListener('pointercancel', (e) => {
      if (e.isPrimary) queue(POINTER, win.id, CANCEL);
    });
    client.addEventListener('pointerleave', (e) => {
      if (e.isPrimary) queue(POINTER, win.id, LEAVE);
    });
    // The window has no use for the browser's own reactions to the mouse:
    // no context menu, no back and forward with the extra buttons, no
    // selection or dragging.
    for (const type of ['contextmenu', 'auxclick', 'mousedown', 'mouseup', 'dragstart'])
      client.addEventListener(type, (e) => e.preventDefault());
  }

  // ---- The program --------------------------------------------------------------

  function ended(text) {
    running = false;
    waker = null;
    events = [];
    for (const id of [...windows.keys()]) host.destroyWindow(id);
    statusText.textContent = text;
    status.hidden = false;
    again.focus();
  }

  function start() {
    if (running) return;
    running = true;
    status.hidden = true;
    events = [];
    probe.started = performance.now();
    probe.firstFrame = null;
    probe.exitCode = null;
    /* global KelvanePaint */
    KelvanePaint({
      kpPage: host,
      noExitRuntime: false,
      print: () => {},
      printErr: (text) => console.warn(text),
      onExit: (code) => {
        probe.exitCode = code;
        ended('Kelvane Paint ended with exit code ' + code + '.');
      },
      onAbort: (what) => ended('Kelvane Paint stopped: ' + what),
    });
  }

  again.addEventListener('click', start);
  window.addEventListener('resize', relayoutAll);
  (function watchScale() {
    // A change of zoom or of display changes the device pixel ratio.
    matchMedia('(resolution: ' + window.devicePixelRatio + 'dppx)').addEventListener(
      'change', () => { relayoutAll(); watchScale(); }, { once: true });
  })();

  // ---- For tests -------------------------------------------------------------------

  window.kelvane = {
    probe,
    running: () => running,
    windowIds: () => [...windows.keys()],
    // The client area's place on the page, in CSS pixels, and its state.
    window(id) {
      const win = windows.get(id);
      if (!win) return null;
      const box = (e) => {
        const r = e.getBoundingClientRect();
        return [r.left, r.top, r.width, r.height];
      };
      return {
        title: win.title, state: win.state, width: win.width, height: win.height,
        client: box(win.client), canvas: [win.canvas.width, win.canvas.height],
        window: box(win.element), minimize: box(win.buttons.minimize),
        maximize: box(win.buttons.maximize), close: box(win.buttons.close),
        caption: box(win.caption), task: box(win.task),
        edges: Object.fromEntries(Object.entries(win.edges).map(([k, e]) => [k, box(e)])),
        unit, scale,
      };
    },
    // The canvas pixels of a client rectangle, as base64 of the bytes B, G,
    // R, 0 for each pixel: little-endian 0x00RRGGBB words.
    grab(id, x, y, width, height) {
      const win = windows.get(id);
      if (!win || width <= 0 || height <= 0) return '';
      const data = win.context.getImageData(x, y, width, height).data;
      const words = new Uint8Array(data.length);
      for (let i = 0; i < data.length; i += 4) {
        words[i] = data[i + 2];
        words[i + 1] = data[i + 1];
        words[i + 2] = data[i];
      }
      let text = '';
      for (let i = 0; i < words.length; i += 0x8000)
        text += String.fromCharCode.apply(null, words.subarray(i, i + 0x8000));
      return btoa(text);
    },
  };

  relayoutAll();
  start();
})();
