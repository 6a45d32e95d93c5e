// The page that decodes recordings in the browser: the decoder itself,
// built for WebAssembly, runs in a worker with the command line's own
// arguments, so every output is the command line's, byte for byte. Nothing
// leaves the machine: the page makes no request at all.
'use strict';

const state = { lastRun: null, module: null, files: [], worker: null, started: 0, downloads: [], pageUrl: null };
const $ = (id) => document.getElementById(id);

async function compileProgram() {
  const text = $('program').textContent.trim();
  const packed = Uint8Array.from(atob(text), (c) => c.charCodeAt(0));
  const stream = new Blob([packed]).stream().pipeThrough(new DecompressionStream('gzip'));
  return WebAssembly.compile(await new Response(stream).arrayBuffer());
}

function startWorker() {
  const source = new Blob([$('worker').textContent], { type: 'text/javascript' });
  const url = URL.createObjectURL(source);
  const worker = new Worker(url);
  URL.revokeObjectURL(url);
  return worker;
}

function bytesText(bytes) {
  const units = ['bytes', 'KiB', 'MiB', 'GiB', 'TiB'];
  let value = bytes;
  let unit = 0;
  while (value >= 1024 && unit < units.length - 1) { value /= 1024; ++unit; }
  return unit === 0 ? `${bytes} bytes` : `${value.toFixed(1)} ${units[unit]}`;
}

function secondsText(seconds) {
  if (!isFinite(seconds)) return '';
  if (seconds < 60) return `${Math.ceil(seconds)} s`;
  return `${Math.floor(seconds / 60)} min ${Math.ceil(seconds % 60)} s`;
}

// The same words as the command line takes.
function commonArguments() {
  const words = [];
  const from = $('from').value.trim();
  const to = $('to').value.trim();
  if (from) words.push(`--from=${from}`);
  if (to) words.push(`--to=${to}`);
  if ($('salvage').checked) words.push('--salvage');
  return words.concat(state.files.map((file) => file.name));
}

function showProgress(done, total) {
  const passes = total > 0 ? Math.floor(done / total) : 0;
  const within = total > 0 ? done - passes * total : 0;
  const fraction = total > 0 ? within / total : 0;
  $('progress').value = fraction;
  const elapsed = (performance.now() - state.started) / 1000;
  const rate = done / Math.max(elapsed, 1e-3);
  const left = rate > 0 ? (total - within) / rate : Infinity;
  const pass = passes > 0 ? `, pass ${passes + 1}` : '';
  $('progress-text').textContent = `${bytesText(within)} of ${bytesText(total)}${pass}; ${secondsText(left)} left`;
}

function setBusy(busy) {
  document.body.dataset.busy = busy ? '1' : '';
  for (const button of document.querySelectorAll('button[data-run]')) button.disabled = busy || state.files.length === 0;
  $('cancel').disabled = !busy;
}

// Runs the decoder with `args`; resolves with what it wrote.
function runDecoder(args) {
  return new Promise((resolve) => {
    const worker = startWorker();
    state.worker = worker;
    state.started = performance.now();
    const pieces = [];
    setBusy(true);
    $('status').textContent = `decode ${args.join(' ')}`;
    worker.onmessage = (event) => {
      const message = event.data;
      if (message.type === 'output') pieces.push(message.bytes);
      else if (message.type === 'progress') showProgress(message.done, message.total);
      else if (message.type === 'done') {
        worker.terminate();
        state.worker = null;
        setBusy(false);
        showProgress(message.total, message.total);
        // For a benchmark, and for the status line.
        state.lastRun = { args, seconds: (performance.now() - state.started) / 1000, memoryBytes: message.memoryBytes,
                          code: message.code, bytesRead: message.done, decoderSeconds: message.timing.runMs / 1000,
                          hostSeconds: message.timing.hostMs / 1000 };
        resolve({ ...message, output: new Blob(pieces), cancelled: false });
      }
    };
    worker.onerror = (event) => {
      worker.terminate();
      state.worker = null;
      setBusy(false);
      resolve({ code: -1, stderr: '', fault: event.message, files: [], output: new Blob([]), cancelled: false });
    };
    state.cancel = () => {
      worker.terminate();
      state.worker = null;
      setBusy(false);
      resolve({ code: -1, stderr: '', fault: null, files: [], output: new Blob([]), cancelled: true });
    };
    worker.postMessage({ module: state.module, files: state.files, args: ['decode', ...args] });
  });
}

function reportOutcome(result) {
  const lines = [];
  if (result.cancelled) lines.push('Cancelled.');
  if (result.fault) lines.push(`The decoder stopped: ${result.fault} (out of memory, or a fault of the decoder's).`);
  if (result.stderr) lines.push(result.stderr.trimEnd());
  if (!result.cancelled && !result.fault) {
    const run = state.lastRun;
    lines.push(`Finished with status ${result.code} in ${run.seconds.toFixed(1)} s, ` +
               `${bytesText(run.bytesRead)} read, ${bytesText(run.memoryBytes)} of memory.`);
  }
  $('messages').textContent = lines.join('\n');
  return !result.cancelled && !result.fault;
}

function baseName() {
  const first = state.files[0] ? state.files[0].name.replace(/\.[^.]*$/, '') : 'decode';
  return state.files.length > 1 ? `${first}-and-${state.files.length - 1}-more` : first;
}

function offerDownload(blob, name) {
  const url = URL.createObjectURL(blob);
  state.downloads.push(url);
  const link = document.createElement('a');
  link.href = url;
  link.download = name;
  link.textContent = `${name} (${bytesText(blob.size)})`;
  const item = document.createElement('li');
  item.append(link);
  $('downloads').append(item);
  link.click();
}

async function check() {
  const result = await runDecoder(['--info', ...commonArguments()]);
  if (!reportOutcome(result)) return;
  $('check').textContent = await result.output.text();
}

async function report() {
  const result = await runDecoder(commonArguments());
  if (!reportOutcome(result)) return;
  $('check').textContent = await result.output.text();
  offerDownload(result.output, `${baseName()}-report.txt`);
}

async function table() {
  const name = $('table').value;
  const result = await runDecoder([`--csv=${name}`, ...commonArguments()]);
  if (!reportOutcome(result)) return;
  if (result.code === 0 || result.output.size > 0) offerDownload(result.output, `${baseName()}-${name}.csv`);
}

async function plot() {
  const result = await runDecoder(['--html=page.html', ...commonArguments()]);
  if (!reportOutcome(result)) return;
  const page = result.files.find((file) => file.name === 'page.html');
  if (!page) return;
  if (state.pageUrl) URL.revokeObjectURL(state.pageUrl);
  state.pageUrl = URL.createObjectURL(new Blob([page.blob], { type: 'text/html' }));
  $('plot').src = state.pageUrl;
  $('plot').hidden = false;
  $('save-page').hidden = false;
  $('save-page').onclick = () => offerDownload(page.blob, `${baseName()}.html`);
}

function takeFiles(list) {
  const files = [...list];
  if (files.length === 0) return;
  state.files = files.sort((a, b) => a.name.localeCompare(b.name));
  const names = new Set();
  $('files').textContent = '';
  for (const file of state.files) {
    const item = document.createElement('li');
    item.textContent = `${file.name}: ${bytesText(file.size)}`;
    if (names.has(file.name)) item.textContent += ' (a second file of this name: give them distinct names)';
    names.add(file.name);
    $('files').append(item);
  }
  setBusy(false);
}

function listenForFiles() {
  $('picker').addEventListener('change', (event) => takeFiles(event.target.files));
  const zone = document.body;
  zone.addEventListener('dragover', (event) => { event.preventDefault(); document.body.dataset.dragging = '1'; });
  zone.addEventListener('dragleave', () => { document.body.dataset.dragging = ''; });
  zone.addEventListener('drop', (event) => {
    event.preventDefault();
    document.body.dataset.dragging = '';
    takeFiles(event.dataTransfer.files);
  });
}

async function start() {
  listenForFiles();
  const actions = { check, report, table, plot };
  for (const button of document.querySelectorAll('button[data-run]')) {
    button.addEventListener('click', () => actions[button.dataset.run]());
  }
  $('cancel').addEventListener('click', () => state.cancel && state.cancel());
  // The plot asks for a view it holds only as buckets: its page is made
  // again for that window, with every sample.
  window.addEventListener('message', (event) => {
    if (event.source !== $('plot').contentWindow || !event.data || event.data.kind !== 'every-sample') return;
    if (state.worker) return;
    $('from').value = event.data.from;
    $('to').value = event.data.to;
    plot();
  });
  try {
    state.module = await compileProgram();
  } catch (error) {
    $('messages').textContent = `This browser cannot run the decoder: ${error.message}`;
    return;
  }
  setBusy(false);
  document.body.dataset.ready = '1';
  performance.mark('decoder-ready');
}

window.decoderState = state;
start();
