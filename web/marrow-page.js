// marrow-page.js: the page around the WebAssembly presentation.
//
// It is the browser build's display, keyboard, sound and console library
// (the object `Marrow`, called from web_platform.cpp), and it drives the
// frame loop: after the click on the start screen it calls marrow_start()
// once and marrow_step() from every animation frame until a step returns 0.
//
// Page addresses:
//   index.html                  the presentation
//   index.html?bench            ms per frame of every timeline interval (a
//                               pass at 60 frames a second, no sound)
//   index.html?test=hashes&fps=30&frames=N
//                               the hash of every frame k / fps, k < N, as
//                               marrow-capture --hashes gives them
//   &report=/path               (test and bench) POST the results as JSON
//   ?autostart                  start without the click (needs a browser
//                               that lets sound start without a gesture)
'use strict';

(function () {
  const params = new URLSearchParams(location.search);
  const $ = (id) => document.getElementById(id);
  const screen = $('screen'), stage = $('stage'), panel = $('panel');
  const startCover = $('start'), startText = $('start-text'), problemCover = $('problem');
  const stderrLines = [];
  let moduleReady = false, running = false, failed = false;

  // The first problem is the one to show: what fails after it follows from it.
  function showProblem(text) {
    if (failed) return;
    failed = true;
    running = false;
    startCover.hidden = true;
    problemCover.hidden = false;
    problemCover.textContent = text;
    report({ error: text });
  }

  function report(result) {
    const url = params.get('report');
    if (!url) return;
    fetch(url, { method: 'POST', body: JSON.stringify(result) }).catch(() => {});
  }

  // ---- display: 320x200 frames, shown at 4:3, crisp, letterboxed --------
  const frameCanvas = document.createElement('canvas');
  frameCanvas.width = 320;
  frameCanvas.height = 200;
  const frameContext = frameCanvas.getContext('2d');
  const frameImage = frameContext.createImageData(320, 200);
  const prescaled = document.createElement('canvas');
  const prescaledContext = prescaled.getContext('2d');
  const screenContext = screen.getContext('2d');

  // The largest 4:3 box in the stage, in device pixels. 320x200 modes were
  // shown on 4:3 monitors, so pixels are 1.2 times as tall as wide.
  function layout() {
    const ratio = window.devicePixelRatio || 1;
    const w = stage.clientWidth, h = stage.clientHeight;
    let boxW = w, boxH = Math.floor(w * 3 / 4);
    if (boxH > h) { boxH = h; boxW = Math.floor(h * 4 / 3); }
    screen.style.width = boxW + 'px';
    screen.style.height = boxH + 'px';
    screen.style.left = Math.floor((w - boxW) / 2) + 'px';
    screen.style.top = Math.floor((h - boxH) / 2) + 'px';
    screen.width = Math.max(1, Math.round(boxW * ratio));
    screen.height = Math.max(1, Math.round(boxH * ratio));
    // "Sharp bilinear": an integer nearest-neighbour prescale, then a
    // linear scale to the output, so pixel edges stay sharp but even.
    prescaled.width = 320 * Math.max(1, Math.floor(screen.width / 320));
    prescaled.height = 200 * Math.max(1, Math.floor(screen.height / 200));
    redraw();
  }

  function redraw() {
    prescaledContext.imageSmoothingEnabled = false;
    prescaledContext.drawImage(frameCanvas, 0, 0, prescaled.width, prescaled.height);
    screenContext.imageSmoothingEnabled = true;
    screenContext.imageSmoothingQuality = 'high';
    screenContext.drawImage(prescaled, 0, 0, screen.width, screen.height);
  }

  window.addEventListener('resize', layout);
  document.addEventListener('fullscreenchange', layout);

  function toggleFullScreen() {
    if (document.fullscreenElement) document.exitFullscreen();
    else if (stage.requestFullscreen) stage.requestFullscreen().catch(() => {});
  }
  $('fullscreen').addEventListener('click', toggleFullScreen);

  // ---- keyboard: space and Escape go to the program, F is full screen ---
  const keys = [];
  document.addEventListener('keydown', (event) => {
    if (event.key === 'f' || event.key === 'F') { toggleFullScreen(); return; }
    if (!running) {
      if ((event.key === 'Enter' || event.key === ' ') && !startCover.hidden) { event.preventDefault(); start(); }
      return;
    }
    if (event.key === ' ') { keys.push(32); event.preventDefault(); }
    else if (event.key === 'Escape') { keys.push(27); event.preventDefault(); }
  });

  // ---- sound: Web Audio plays music/demo.mp3 and is the clock -----------
  const audio = { context: null, buffer: null, source: null, startAt: 0, ended: false, error: '' };

  function loadMusic() {
    const Context = window.AudioContext || window.webkitAudioContext;
    if (!Context) return Promise.reject(new Error('This browser has no Web Audio, which plays the soundtrack and is the presentation\'s clock.'));
    audio.context = new Context();
    return fetch('music/demo.mp3')
      .then((response) => {
        if (!response.ok) throw new Error('The soundtrack music/demo.mp3 could not be loaded (' + response.status + ' ' + response.statusText + ').');
        return response.arrayBuffer();
      })
      .then((bytes) => new Promise((resolve, reject) =>
        audio.context.decodeAudioData(bytes, resolve,
          () => reject(new Error('The browser could not decode the soundtrack music/demo.mp3.')))))
      .then((buffer) => { audio.buffer = buffer; });
  }

  // Seconds of sound the listener has heard: frames the context has
  // consumed, less the output latency the browser reports.
  function heard() {
    const c = audio.context;
    const latency = c.outputLatency || c.baseLatency || 0;
    return Math.max(0, c.currentTime - audio.startAt - latency);
  }

  // ---- the object web_platform.cpp calls ---------------------------------
  window.Marrow = {
    showFrame(rgba, width, height) {
      frameImage.data.set(Module.HEAPU8.subarray(rgba, rgba + width * height * 4));
      frameContext.putImageData(frameImage, 0, 0);
      redraw();
    },
    keyPending() { return keys.length > 0 ? 1 : 0; },
    readKey() { return keys.length ? keys.shift() : 0; },
    musicOpen(path) { return audio.buffer && path.replace(/\\/g, '/') === 'music/demo.mp3' ? 1 : 0; },
    musicPlay() {
      const source = audio.context.createBufferSource();
      source.buffer = audio.buffer;
      source.connect(audio.context.destination);
      source.onended = () => { if (audio.source === source) audio.ended = true; };
      audio.source = source;
      audio.ended = false;
      audio.startAt = audio.context.currentTime;
      source.start(audio.startAt);
    },
    musicTime() { return Math.min(Math.floor(heard() * 1000), Math.floor(audio.buffer.duration * 1000)); },
    musicLength() { return audio.buffer.length; },
    musicPosition() {
      if (audio.ended) return audio.buffer.length;
      return Math.min(audio.buffer.length, Math.floor(heard() * audio.buffer.sampleRate));
    },
    musicStop() {
      if (audio.source) { audio.source.onended = null; audio.source.stop(); }
      audio.source = null;
    },
    showLog(text) { $('log').textContent = text.replace(/\r\n/g, '\n'); },
    saveLog(text) {
      const link = document.createElement('a');
      link.href = URL.createObjectURL(new Blob([text], { type: 'text/plain' }));
      link.download = 'debug.txt';
      document.body.appendChild(link);
      link.click();
      link.remove();
      setTimeout(() => URL.revokeObjectURL(link.href), 1000);
      return 1;
    },
    logVisible() { return panel.hidden ? 0 : 1; },
  };

  $('save').addEventListener('click', () => { if (moduleReady) guarded(() => Module._marrow_save_log()); });
  $('exit').addEventListener('click', () => { panel.hidden = true; layout(); });

  // ---- the program --------------------------------------------------------
  // Runs a call into the program; exit(1) inside it (a missing or broken
  // file at start) and any crash end on the page in words.
  function guarded(call) {
    try {
      return call();
    } catch (e) {
      const said = stderrLines.join('\n').trim();
      if (e && e.name === 'ExitStatus') showProblem('The presentation stopped at start:\n' + (said || 'exit status ' + e.status) + '\n(the console panel shows how far it came)');
      else showProblem('The presentation failed: ' + (e && e.message ? e.message : e) + (said ? '\n' + said : ''));
      throw e;
    }
  }

  function frame() {
    if (!running) return;
    const more = guarded(() => Module._marrow_step());
    if (more) requestAnimationFrame(frame);
    else stopped();
  }

  function stopped() {
    running = false;
    if (failed) return;
    startText.textContent = 'click to start';
    startCover.hidden = false;
  }

  let musicReady = false;
  function start() {
    if (running || failed || !moduleReady || !musicReady) return;
    startCover.hidden = true;
    audio.context.resume().catch(() => {});
    keys.length = 0;  // keys pressed on the start screen are not the program's
    running = true;
    if (!guarded(() => Module._marrow_start())) { showProblem('The display could not be opened.'); return; }
    requestAnimationFrame(frame);
  }
  startCover.addEventListener('click', start);

  // ---- test and measurement ----------------------------------------------
  function hex8(v) { return (v >>> 0).toString(16).padStart(8, '0'); }

  function runHashes() {
    const fps = Number(params.get('fps') || 30), frames = Number(params.get('frames') || 0);
    startText.textContent = 'composing ' + frames + ' frames at ' + fps + ' a second…';
    guarded(() => Module._marrow_prepare());
    const hashes = [];
    const began = performance.now();
    function chunk() {
      const until = Math.min(frames, hashes.length + 100);
      for (let k = hashes.length; k < until; ++k) {
        guarded(() => Module._marrow_compose(k / fps));
        hashes.push(hex8(Module._marrow_hash_high()) + hex8(Module._marrow_hash_low()));
      }
      startText.textContent = hashes.length + ' / ' + frames + ' frames';
      if (hashes.length < frames) { setTimeout(chunk, 0); return; }
      startText.textContent = 'done: ' + frames + ' frames in ' + ((performance.now() - began) / 1000).toFixed(1) + ' s';
      report({ hashes: hashes, seconds: (performance.now() - began) / 1000, userAgent: navigator.userAgent });
    }
    setTimeout(chunk, 0);
  }

  // The whole presentation at 60 frames a second, as the desktop bench
  // plays it: each interval's frames are timed as they come.
  function runBench() {
    const fps = 60;
    guarded(() => Module._marrow_prepare());
    const bounds = [0];
    for (let i = 0; i < Module._marrow_threshold_count(); ++i) bounds.push(Module._marrow_threshold(i));
    bounds.push(audio.buffer ? audio.buffer.duration : 262);
    const rows = bounds.slice(0, -1).map((from, i) => ({ from, to: bounds[i + 1], frames: 0, total: 0, worst: 0 }));
    let k = 0, row = 0;
    const end = bounds[bounds.length - 1];
    function chunk() {
      const stopAt = k + 120;
      for (; k < stopAt && k / fps < end; ++k) {
        const t = k / fps;
        while (row + 1 < rows.length && t >= rows[row].to) ++row;
        const before = performance.now();
        Module._marrow_compose(t);
        const ms = performance.now() - before;
        rows[row].frames++;
        rows[row].total += ms;
        rows[row].worst = Math.max(rows[row].worst, ms);
      }
      startText.textContent = 'bench: ' + (k / fps).toFixed(1) + ' s';
      if (k / fps < end) { setTimeout(chunk, 0); return; }
      const result = rows.map((r) => ({ interval: r.from.toFixed(2) + '-' + r.to.toFixed(2), frames: r.frames,
        meanMs: r.frames ? r.total / r.frames : 0, worstMs: r.worst }));
      problemCover.hidden = false;
      problemCover.style.color = '#cfc';
      problemCover.textContent = 'ms per frame, by interval (mean / worst)\n' +
        result.map((r) => r.interval + ': ' + r.meanMs.toFixed(2) + ' / ' + r.worstMs.toFixed(2)).join('\n');
      startCover.hidden = true;
      report({ bench: result, userAgent: navigator.userAgent });
    }
    setTimeout(chunk, 0);
  }

  // ---- start-up ------------------------------------------------------------
  if (typeof WebAssembly !== 'object') {
    showProblem('This browser has no WebAssembly, which computes every frame of the presentation.');
    return;
  }
  window.addEventListener('error', (event) => {
    if (failed) return;
    const what = event.message || 'an error while loading';
    if (/marrow\.data/.test(what)) showProblem('The presentation\'s data, marrow.data, could not be loaded (' + what.replace(/^.*Error: /, '') + '). Build the page with make web.');
    else showProblem('The page could not start: ' + what);
  });
  window.addEventListener('unhandledrejection', (event) => {
    if (!failed) showProblem('The page could not start: ' + (event.reason && event.reason.message || event.reason));
  });

  let whenReady;
  const ready = new Promise((resolve) => { whenReady = resolve; });
  window.Module = {
    noInitialRun: true,
    print: (text) => { stderrLines.push(text); console.log(text); },
    printErr: (text) => { stderrLines.push(text); console.warn(text); },
    onRuntimeInitialized: () => { moduleReady = true; whenReady(); },
    onAbort: (what) => showProblem('The presentation failed: ' + what),
  };
  // The data loader reports a missing marrow.data only on the console.
  window.Module.setStatus = (text) => { if (/error/i.test(text)) showProblem('The page\'s data could not be loaded: ' + text); };

  layout();
  // Opened from disk, the browser refuses the page's own requests for its
  // data: say how to serve it rather than "Failed to fetch".
  if (location.protocol === 'file:') {
    showProblem('This page has to be served over HTTP: a browser does not let a page opened from disk ' +
                'read its own data.\nRun make web-serve and open http://localhost:8022/ ' +
                '(or serve build/web with any static web server).');
    return;
  }
  const music = loadMusic().then(() => { musicReady = true; }, (e) => {
    if (params.has('test')) return;  // the test composes without sound
    showProblem(e.message);
  });

  ready.then(() => {
    if (failed) return;
    if (params.get('test') === 'hashes') { runHashes(); return; }
    music.then(() => {
      if (failed) return;
      if (params.has('bench')) { runBench(); return; }
      startText.textContent = 'click to start';
      if (params.has('autostart')) start();
    });
  });
})();
