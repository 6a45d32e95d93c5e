// Runs the decoder, built for WASI, on the files the page hands it: the
// system calls it makes are answered here. Input files are read in slices
// as the decoder asks for them (a worker may read a File synchronously), so
// a file of any size passes through in bounded memory; what the decoder
// writes to its standard output goes back to the page in pieces, and the
// files it writes are kept in memory until it ends.
'use strict';

const ERRNO = { SUCCESS: 0, ACCES: 2, BADF: 8, EXIST: 20, INVAL: 28, IO: 29, ISDIR: 31, NOENT: 44, NOSYS: 52, NOTDIR: 54, SPIPE: 70 };
const FILETYPE = { CHARACTER_DEVICE: 2, DIRECTORY: 3, REGULAR_FILE: 4 };
const OFLAGS = { CREAT: 1, DIRECTORY: 2, EXCL: 4, TRUNC: 8 };
// FileReaderSync costs a round trip to the browser for each slice: 16 MiB
// ones read at about twice the speed of 4 MiB ones.
const SLICE_BYTES = 16 << 20;
const FIRST_SLICE_BYTES = 1 << 20;
const OUTPUT_PIECE = 8 << 20;
const PROGRESS_EVERY_MS = 100;
const ROOT_FD = 3;

class ProgramExit {
  constructor(code) { this.code = code; }
}

// One input file, read through a window of a few MiB.
class InputFile {
  constructor(file, progress) {
    this.file = file;
    this.position = 0;
    this.windowStart = 0;
    this.window = new Uint8Array(0);
    this.progress = progress;
    this.reader = new FileReaderSync();
  }
  get size() { return this.file.size; }
  read(into) {
    let done = 0;
    while (done < into.length && this.position < this.size) {
      const offset = this.position - this.windowStart;
      if (offset < 0 || offset >= this.window.length) {
        this.windowStart = this.position;
        // A file's first bytes are read to tell what it is, and then read
        // again from the start: a small first slice costs little twice.
        const bytes = this.position === 0 ? FIRST_SLICE_BYTES : SLICE_BYTES;
        this.window = new Uint8Array(this.reader.readAsArrayBuffer(this.file.slice(this.position, this.position + bytes)));
        this.progress.read(this.window.length);
        continue;
      }
      const count = Math.min(into.length - done, this.window.length - offset);
      into.set(this.window.subarray(offset, offset + count), done);
      done += count;
      this.position += count;
    }
    return done;
  }
}

// A file the decoder writes: its pieces, in order.
class OutputFile {
  constructor() { this.pieces = []; this.size = 0; this.position = 0; }
  write(bytes) {
    if (this.position !== this.size) throw new Error('output files are written in order');
    this.pieces.push(bytes.slice());
    this.size += bytes.length;
    this.position = this.size;
    return bytes.length;
  }
}

// Standard output: sent to the page in pieces of 8 MiB, few enough that
// passing them costs little beside making them.
class StandardOutput {
  constructor() { this.buffer = new Uint8Array(OUTPUT_PIECE); this.filled = 0; }
  write(bytes) {
    let done = 0;
    while (done < bytes.length) {
      const count = Math.min(bytes.length - done, this.buffer.length - this.filled);
      this.buffer.set(bytes.subarray(done, done + count), this.filled);
      this.filled += count;
      done += count;
      if (this.filled === this.buffer.length) this.flush();
    }
    return bytes.length;
  }
  // The full buffer itself is handed over, and a new one taken: one new
  // buffer a piece either way, and no copy.
  flush() {
    if (this.filled === 0) return;
    const piece = this.filled === this.buffer.length ? this.buffer : this.buffer.slice(0, this.filled);
    postMessage({ type: 'output', bytes: piece }, [piece.buffer]);
    this.buffer = new Uint8Array(OUTPUT_PIECE);
    this.filled = 0;
  }
}

class StandardError {
  constructor() { this.text = ''; this.decoder = new TextDecoder(); }
  write(bytes) { this.text += this.decoder.decode(bytes, { stream: true }); return bytes.length; }
}

class Progress {
  constructor(total) { this.total = total; this.done = 0; this.last = 0; }
  read(bytes) {
    this.done += bytes;
    const now = Date.now();
    if (now - this.last >= PROGRESS_EVERY_MS) {
      this.last = now;
      postMessage({ type: 'progress', done: this.done, total: this.total });
    }
  }
}

// The names the decoder is given are plain file names in one folder.
function plainName(path) {
  let name = path;
  while (name.startsWith('./')) name = name.slice(2);
  if (name.startsWith('/')) name = name.slice(1);
  return name;
}

function run(module, files, args) {
  const progress = new Progress(files.reduce((sum, file) => sum + file.size, 0));
  const inputs = new Map(files.map((file) => [file.name, file]));
  const outputs = new Map();
  const stdout = new StandardOutput();
  const stderr = new StandardError();
  const descriptors = new Map([[0, null], [1, stdout], [2, stderr], [ROOT_FD, 'root']]);
  let nextDescriptor = ROOT_FD + 1;
  let memory;
  const view = () => new DataView(memory.buffer);
  const bytesAt = (pointer, length) => new Uint8Array(memory.buffer, pointer, length);
  const textAt = (pointer, length) => new TextDecoder().decode(bytesAt(pointer, length));
  const encoder = new TextEncoder();
  const argBytes = args.map((arg) => encoder.encode(arg + '\0'));

  const iovecs = (pointer, count) => {
    const data = view();
    const list = [];
    for (let i = 0; i < count; ++i) list.push(bytesAt(data.getUint32(pointer + 8 * i, true), data.getUint32(pointer + 8 * i + 4, true)));
    return list;
  };
  const writeFilestat = (pointer, type, size) => {
    const data = view();
    for (let i = 0; i < 64; i += 8) data.setBigUint64(pointer + i, 0n, true);
    data.setUint8(pointer + 16, type);
    data.setBigUint64(pointer + 24, 1n, true);
    data.setBigUint64(pointer + 32, BigInt(size), true);
  };
  const statOf = (name) => {
    if (name === '' || name === '.') return { type: FILETYPE.DIRECTORY, size: 0 };
    if (inputs.has(name)) return { type: FILETYPE.REGULAR_FILE, size: inputs.get(name).size };
    if (outputs.has(name)) return { type: FILETYPE.REGULAR_FILE, size: outputs.get(name).size };
    return null;
  };

  const wasi = {
    args_sizes_get(countPointer, sizePointer) {
      view().setUint32(countPointer, args.length, true);
      view().setUint32(sizePointer, argBytes.reduce((sum, arg) => sum + arg.length, 0), true);
      return ERRNO.SUCCESS;
    },
    args_get(pointers, buffer) {
      let at = buffer;
      argBytes.forEach((arg, i) => {
        view().setUint32(pointers + 4 * i, at, true);
        bytesAt(at, arg.length).set(arg);
        at += arg.length;
      });
      return ERRNO.SUCCESS;
    },
    environ_sizes_get(countPointer, sizePointer) {
      view().setUint32(countPointer, 0, true);
      view().setUint32(sizePointer, 0, true);
      return ERRNO.SUCCESS;
    },
    environ_get() { return ERRNO.SUCCESS; },
    clock_res_get(id, pointer) { view().setBigUint64(pointer, 1000n, true); return ERRNO.SUCCESS; },
    clock_time_get(id, precision, pointer) {
      const nanoseconds = id === 0 ? BigInt(Date.now()) * 1000000n : BigInt(Math.round(performance.now() * 1e6));
      view().setBigUint64(pointer, nanoseconds, true);
      return ERRNO.SUCCESS;
    },
    random_get(pointer, length) { crypto.getRandomValues(bytesAt(pointer, length)); return ERRNO.SUCCESS; },
    sched_yield() { return ERRNO.SUCCESS; },
    poll_oneoff() { return ERRNO.NOSYS; },
    proc_exit(code) { throw new ProgramExit(code); },
    fd_prestat_get(fd, pointer) {
      if (fd !== ROOT_FD) return ERRNO.BADF;
      view().setUint8(pointer, 0);
      view().setUint32(pointer + 4, 1, true);
      return ERRNO.SUCCESS;
    },
    fd_prestat_dir_name(fd, pointer, length) {
      if (fd !== ROOT_FD) return ERRNO.BADF;
      bytesAt(pointer, length).set(encoder.encode('/').subarray(0, length));
      return ERRNO.SUCCESS;
    },
    fd_fdstat_get(fd, pointer) {
      if (!descriptors.has(fd)) return ERRNO.BADF;
      const open = descriptors.get(fd);
      const type = open === 'root' ? FILETYPE.DIRECTORY : fd <= 2 ? FILETYPE.CHARACTER_DEVICE : FILETYPE.REGULAR_FILE;
      const data = view();
      data.setUint8(pointer, type);
      data.setUint16(pointer + 2, 0, true);
      data.setBigUint64(pointer + 8, 0xffffffffffffffffn, true);
      data.setBigUint64(pointer + 16, 0xffffffffffffffffn, true);
      return ERRNO.SUCCESS;
    },
    fd_fdstat_set_flags() { return ERRNO.SUCCESS; },
    fd_filestat_get(fd, pointer) {
      const open = descriptors.get(fd);
      if (open === undefined) return ERRNO.BADF;
      if (open === 'root') writeFilestat(pointer, FILETYPE.DIRECTORY, 0);
      else if (open === null || fd <= 2) writeFilestat(pointer, FILETYPE.CHARACTER_DEVICE, 0);
      else writeFilestat(pointer, FILETYPE.REGULAR_FILE, open.size);
      return ERRNO.SUCCESS;
    },
    path_filestat_get(fd, flags, pathPointer, pathLength, pointer) {
      const stat = statOf(plainName(textAt(pathPointer, pathLength)));
      if (!stat) return ERRNO.NOENT;
      writeFilestat(pointer, stat.type, stat.size);
      return ERRNO.SUCCESS;
    },
    path_open(fd, dirflags, pathPointer, pathLength, oflags, rightsBase, rightsInheriting, fdflags, openedPointer) {
      const name = plainName(textAt(pathPointer, pathLength));
      let open;
      if (name === '' || name === '.') {
        if (oflags & OFLAGS.CREAT) return ERRNO.ISDIR;
        open = 'root';
      } else if (inputs.has(name)) {
        if (oflags & (OFLAGS.CREAT | OFLAGS.TRUNC)) return oflags & OFLAGS.EXCL ? ERRNO.EXIST : ERRNO.ACCES;
        if (oflags & OFLAGS.DIRECTORY) return ERRNO.NOTDIR;
        open = new InputFile(inputs.get(name), progress);
      } else if (outputs.has(name)) {
        if ((oflags & OFLAGS.CREAT) && (oflags & OFLAGS.EXCL)) return ERRNO.EXIST;
        if (oflags & OFLAGS.TRUNC) outputs.set(name, new OutputFile());
        open = outputs.get(name);
        open.position = 0;
      } else if (oflags & OFLAGS.CREAT) {
        open = new OutputFile();
        outputs.set(name, open);
      } else {
        return ERRNO.NOENT;
      }
      const opened = nextDescriptor++;
      descriptors.set(opened, open);
      view().setUint32(openedPointer, opened, true);
      return ERRNO.SUCCESS;
    },
    fd_close(fd) {
      if (!descriptors.has(fd)) return ERRNO.BADF;
      if (fd > ROOT_FD) descriptors.delete(fd);
      return ERRNO.SUCCESS;
    },
    fd_read(fd, iovs, count, readPointer) {
      const open = descriptors.get(fd);
      if (!(open instanceof InputFile)) return fd === 0 ? (view().setUint32(readPointer, 0, true), ERRNO.SUCCESS) : ERRNO.BADF;
      let total = 0;
      for (const into of iovecs(iovs, count)) {
        const got = open.read(into);
        total += got;
        if (got < into.length) break;
      }
      view().setUint32(readPointer, total, true);
      return ERRNO.SUCCESS;
    },
    fd_pread() { return ERRNO.NOSYS; },
    fd_write(fd, iovs, count, writtenPointer) {
      const open = descriptors.get(fd);
      if (!open || typeof open.write !== 'function' || open instanceof InputFile) return ERRNO.BADF;
      let total = 0;
      for (const from of iovecs(iovs, count)) total += open.write(from);
      view().setUint32(writtenPointer, total, true);
      return ERRNO.SUCCESS;
    },
    fd_pwrite() { return ERRNO.NOSYS; },
    fd_seek(fd, offset, whence, resultPointer) {
      const open = descriptors.get(fd);
      if (!(open instanceof InputFile) && !(open instanceof OutputFile)) return ERRNO.SPIPE;
      const base = whence === 0 ? 0 : whence === 1 ? open.position : open.size;
      const position = base + Number(offset);
      if (position < 0) return ERRNO.INVAL;
      open.position = position;
      view().setBigUint64(resultPointer, BigInt(position), true);
      return ERRNO.SUCCESS;
    },
    fd_tell(fd, resultPointer) {
      const open = descriptors.get(fd);
      if (!(open instanceof InputFile) && !(open instanceof OutputFile)) return ERRNO.SPIPE;
      view().setBigUint64(resultPointer, BigInt(open.position), true);
      return ERRNO.SUCCESS;
    },
    fd_advise() { return ERRNO.SUCCESS; },
    fd_allocate() { return ERRNO.SUCCESS; },
    fd_datasync() { return ERRNO.SUCCESS; },
    fd_sync() { return ERRNO.SUCCESS; },
    fd_filestat_set_size() { return ERRNO.NOSYS; },
    fd_readdir(fd, buffer, length, cookie, usedPointer) { view().setUint32(usedPointer, 0, true); return ERRNO.SUCCESS; },
    path_readlink() { return ERRNO.INVAL; },
    path_rename(fd, fromPointer, fromLength, toFd, toPointer, toLength) {
      const from = plainName(textAt(fromPointer, fromLength));
      const to = plainName(textAt(toPointer, toLength));
      if (!outputs.has(from)) return inputs.has(from) ? ERRNO.ACCES : ERRNO.NOENT;
      if (inputs.has(to)) return ERRNO.ACCES;
      outputs.set(to, outputs.get(from));
      outputs.delete(from);
      return ERRNO.SUCCESS;
    },
    path_unlink_file(fd, pathPointer, pathLength) {
      const name = plainName(textAt(pathPointer, pathLength));
      if (!outputs.delete(name)) return inputs.has(name) ? ERRNO.ACCES : ERRNO.NOENT;
      return ERRNO.SUCCESS;
    },
    path_create_directory() { return ERRNO.NOSYS; },
    path_remove_directory() { return ERRNO.NOSYS; },
  };
  // The time spent answering reads and writes, for a benchmark.
  for (const name of ['fd_read', 'fd_write']) {
    const answer = wasi[name];
    wasi[name] = (...words) => {
      const started = performance.now();
      try {
        return answer(...words);
      } finally {
        timing.hostMs += performance.now() - started;
      }
    };
  }
  // Any call not answered above fails as the system lacking it would.
  const imports = new Proxy(wasi, { get: (target, name) => target[name] || (() => ERRNO.NOSYS) });

  let code = 0;
  let fault = null;
  const timing = { runMs: 0, hostMs: 0 };
  try {
    const instance = new WebAssembly.Instance(module, { wasi_snapshot_preview1: imports });
    memory = instance.exports.memory;
    const started = performance.now();
    try {
      instance.exports._start();
    } finally {
      timing.runMs = performance.now() - started;
    }
  } catch (error) {
    if (error instanceof ProgramExit) code = error.code;
    else fault = String(error && error.message ? error.message : error);
  }
  stdout.flush();
  const written = [...outputs.entries()].filter(([name]) => !name.startsWith('.'))
    .map(([name, file]) => ({ name, blob: new Blob(file.pieces) }));
  const memoryBytes = memory ? memory.buffer.byteLength : 0;
  postMessage({ type: 'done', code, stderr: stderr.text, fault, files: written, done: progress.done, total: progress.total, memoryBytes, timing });
}

onmessage = (event) => {
  const { module, files, args } = event.data;
  run(module, files, args);
};
