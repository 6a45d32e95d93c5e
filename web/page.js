// The interactive page of a run: unpacks the columns the decoder wrote into
// the page, keeps a pyramid of envelopes of each group, and draws, for the
// view asked for, the least and greatest value of each channel in every
// pixel column (or the samples themselves, when few lie in view) with uPlot.
// Everything it needs is in the page; it fetches nothing.
'use strict';
(function () {
  const meta = JSON.parse(document.getElementById('zolt-meta').textContent);
  const SECOND = 1e6;
  // Entries a pixel column may hold and still be drawn one by one.
  const FEW = 1;
  // How much coarser each level of the pyramid is.
  const FAN = 4;
  const PANEL_HEIGHT = 170;
  const AXIS_FONT = '12px system-ui, sans-serif';

  // ---- The columns ----

  function base64Bytes(text) {
    if (Uint8Array.fromBase64) return Uint8Array.fromBase64(text);
    const binary = atob(text);
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
    return bytes;
  }

  async function columnBytes(id) {
    const element = document.getElementById(id);
    const bytes = base64Bytes(element.textContent.trim());
    if (element.dataset.deflated !== '1') return bytes;
    const stream = new Blob([bytes]).stream().pipeThrough(new DecompressionStream('deflate-raw'));
    return new Uint8Array(await new Response(stream).arrayBuffer());
  }

  // The varints back as numbers: differences (order 1) or differences of
  // differences (order 2), folded to unsigned.
  function unpack(bytes, count, order) {
    const out = new Float64Array(count);
    let at = 0;
    let value = 0;
    let step = 0;
    for (let i = 0; i < count; i++) {
      let b = bytes[at++];
      let folded = b & 0x7f;
      let scale = 128;
      while (b & 0x80) {
        b = bytes[at++];
        folded += (b & 0x7f) * scale;
        scale *= 128;
      }
      const difference = folded % 2 === 0 ? folded / 2 : -(folded + 1) / 2;
      if (order === 1) {
        value += difference;
      } else {
        step += difference;
        value += step;
      }
      out[i] = value;
    }
    return out;
  }

  async function column(id, count, order) {
    return unpack(await columnBytes(id), count, order);
  }

  // ---- The groups, as values ----

  const tableValues = meta.tables.map((texts) => Float64Array.from(texts, Number));

  function valueOf(channel, stored) {
    return channel.table !== undefined ? tableValues[channel.table][stored] : stored * channel.scale;
  }
  // The text the tables give. A count over 2^bits is written out in full:
  // every such value has a finite decimal expansion, found a digit at a
  // time in whole numbers.
  function exactText(count, bits) {
    const unit = 2 ** bits;
    const whole = Math.floor(Math.abs(count) / unit);
    let fraction = Math.abs(count) - whole * unit;
    let digits = '';
    do {
      fraction *= 10;
      digits += Math.floor(fraction / unit);
      fraction %= unit;
    } while (fraction !== 0);
    return (count < 0 ? '-' : '') + whole + '.' + digits;
  }
  function textOf(channel, stored) {
    if (channel.table !== undefined) return meta.tables[channel.table][stored];
    return channel.bits ? exactText(stored, channel.bits) : String(stored);
  }

  // A group: its times in seconds, and for each channel the least and
  // greatest value of each entry (the same for a sample), as a pyramid whose
  // first level is the entries themselves.
  async function loadGroup(group) {
    const times = await column(group.times, group.count, 2);
    const channels = [];
    for (const described of group.channels) {
      const least = await column(described.least, group.count, 1);
      const greatest = described.greatest ? await column(described.greatest, group.count, 1) : least;
      channels.push({ least, greatest });
    }
    return { name: group.name, buckets: group.buckets, bucketMicros: group.bucketMicros, micros: times,
             stored: channels, levels: [] };
  }

  function sortedByTime(group) {
    const t = group.micros;
    for (let i = 1; i < t.length; i++) {
      if (t[i] < t[i - 1]) {
        // A clock that stepped back: the entries are drawn in time order.
        const order = Array.from(t.keys()).sort((a, b) => t[a] - t[b]);
        group.micros = Float64Array.from(order, (i) => t[i]);
        group.stored = group.stored.map((c) => ({
          least: Float64Array.from(order, (i) => c.least[i]),
          greatest: Float64Array.from(order, (i) => c.greatest[i]),
        }));
        return;
      }
    }
  }

  function buildLevels(group, channelsOf) {
    sortedByTime(group);
    const first = { t: group.micros.map((m) => m / SECOND), lo: [], hi: [] };
    group.stored.forEach((stored, index) => {
      const channel = channelsOf[index];
      first.lo.push(stored.least.map((s) => valueOf(channel, s)));
      first.hi.push(stored.greatest.map((s) => valueOf(channel, s)));
    });
    group.levels = [first];
    for (let level = first; level.t.length > 4096;) {
      const n = Math.ceil(level.t.length / FAN);
      const next = { t: new Float64Array(n), lo: [], hi: [] };
      for (let i = 0; i < n; i++) next.t[i] = level.t[i * FAN];
      level.lo.forEach((lo, c) => {
        const hi = level.hi[c];
        const nlo = new Float64Array(n);
        const nhi = new Float64Array(n);
        for (let i = 0; i < n; i++) {
          let a = Infinity;
          let b = -Infinity;
          for (let j = i * FAN, end = Math.min(j + FAN, lo.length); j < end; j++) {
            if (lo[j] < a) a = lo[j];
            if (hi[j] > b) b = hi[j];
          }
          nlo[i] = a;
          nhi[i] = b;
        }
        next.lo.push(nlo);
        next.hi.push(nhi);
      });
      group.levels.push(next);
      level = next;
    }
  }

  function lowerBound(t, x) {
    let lo = 0;
    let hi = t.length;
    while (lo < hi) {
      const mid = (lo + hi) >> 1;
      if (t[mid] < x) lo = mid + 1;
      else hi = mid;
    }
    return lo;
  }

  function upperBound(t, x) {
    let lo = 0;
    let hi = t.length;
    while (lo < hi) {
      const mid = (lo + hi) >> 1;
      if (t[mid] <= x) lo = mid + 1;
      else hi = mid;
    }
    return lo;
  }

  // ---- What a view draws ----

  const gaps = meta.gaps.map(([from, to]) => [from / SECOND, to / SECOND]);

  function gapBetween(a, b) {
    for (const [from, to] of gaps) if (from >= a && to <= b) return true;
    return false;
  }

  // The entries of a group that lie in [fromMicros, toMicros), as --from
  // and --to keep them: the samples within it, or the buckets whose span
  // meets it, so that a view narrower than a bucket still holds the bucket
  // that covers it.
  function entriesIn(group, fromMicros, toMicros) {
    const t = group.micros;
    const from = group.buckets ? upperBound(t, fromMicros - group.bucketMicros) : lowerBound(t, fromMicros);
    return [from, Math.max(from, lowerBound(t, toMicros))];
  }

  // For one group over [x0, x1] in seconds at `width` pixels: the x of each
  // pixel column that holds entries and the least and greatest value of
  // each of `channels` in it, or the entries themselves when few are in
  // view; a null between two that a gap of the clock parts. Points at
  // [inFrom, inTo) stand for entries in view; those outside it only carry
  // the line across the view (the samples either side of a view between
  // two) or the last bucket to its end.
  function viewOf(group, channels, fromMicros, toMicros, width) {
    const base = group.levels[0];
    const x0 = fromMicros / SECOND;
    const x1 = toMicros / SECOND;
    const [from, to] = entriesIn(group, fromMicros, toMicros);
    const entries = to - from;
    const out = { x: [], lo: channels.map(() => []), hi: channels.map(() => []), single: entries <= width * FEW,
                  steps: group.buckets, inFrom: 0, inTo: 0 };
    const span = (x1 - x0) / width;
    // `first` and `last`: the times of the entries the point stands for; a
    // gap of the clock between those of two points breaks the line.
    let lastTime = -Infinity;
    const push = (x, lows, highs, first, last) => {
      const n = out.x.length;
      if (n > 0 && gapBetween(lastTime, first)) {
        // The break: halfway for points joined by lines, at the column's end
        // for steps, which hold their value until the next point.
        out.x.push(out.single && !out.steps ? (out.x[n - 1] + x) / 2 : Math.min(out.x[n - 1] + span, x));
        channels.forEach((_, k) => { out.lo[k].push(null); out.hi[k].push(null); });
      }
      lastTime = last;
      out.x.push(x);
      channels.forEach((c, k) => { out.lo[k].push(lows[k]); out.hi[k].push(highs[k]); });
    };
    const pushEntry = (i) => push(base.t[i], channels.map((c) => base.lo[c][i]), channels.map((c) => base.hi[c][i]),
                                  base.t[i], base.t[i]);
    if (out.single) {
      if (!group.buckets && from > 0) pushEntry(from - 1);
      out.inFrom = out.x.length;
      for (let i = from; i < to; i++) pushEntry(i);
      out.inTo = out.x.length;
      if (group.buckets && entries > 0) {
        // A step holds until the next point: the last bucket's ends its own.
        const end = base.t[to - 1] + group.bucketMicros / SECOND;
        push(end, channels.map((c) => base.lo[c][to - 1]), channels.map((c) => base.hi[c][to - 1]), end, end);
      } else if (!group.buckets && to < base.t.length) {
        pushEntry(to);
      }
      return out;
    }
    // The coarsest level that still puts many entries in every column, so
    // that a column's envelope is its own and not an accident of where the
    // coarser ones begin.
    let level = 0;
    while (level + 1 < group.levels.length && entries / Math.pow(FAN, level + 1) > width * 8) level++;
    const at = group.levels[level];
    // An envelope of a coarser level that begins before the view may hold
    // entries within it.
    const fan = Math.pow(FAN, level);
    const start = Math.floor(from / fan);
    const end = Math.ceil(to / fan);
    let columnIndex = -1;
    let lows = null;
    let highs = null;
    let columnX = 0;
    let firstTime = 0;
    for (let i = start; i < end; i++) {
      const index = Math.max(0, Math.floor((at.t[i] - x0) / span));
      if (index !== columnIndex) {
        if (lows) push(columnX, lows, highs, firstTime, at.t[i - 1]);
        columnIndex = index;
        columnX = x0 + index * span;
        firstTime = at.t[i];
        lows = channels.map((c) => at.lo[c][i]);
        highs = channels.map((c) => at.hi[c][i]);
      } else {
        channels.forEach((c, k) => {
          if (at.lo[c][i] < lows[k]) lows[k] = at.lo[c][i];
          if (at.hi[c][i] > highs[k]) highs[k] = at.hi[c][i];
        });
      }
    }
    if (lows) push(columnX, lows, highs, firstTime, at.t[end - 1]);
    out.inTo = out.x.length;
    return out;
  }

  // ---- Times as the tables write them ----

  function isoMicros(micros) {
    const ms = Math.floor(micros / 1000);
    const rest = Math.round(micros - ms * 1000);
    return new Date(ms).toISOString().replace('Z', String(rest).padStart(3, '0') + 'Z');
  }

  function parseIso(text) {
    const match = /^(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2})(?:\.(\d{1,6}))?Z?$/.exec(text);
    if (!match) return null;
    const whole = Date.parse(match[1] + 'Z');
    if (Number.isNaN(whole)) return null;
    return whole * 1000 + Number((match[2] || '').padEnd(6, '0'));
  }

  // ---- The panels ----

  let groups = [];
  let panels = [];
  let full = [0, 1];
  let view = [0, 1];
  const redraws = [];

  function tracesOf(panel) {
    return panel.traces.map((trace) => ({ ...trace, described: meta.channels[trace.channel] }));
  }

  function makePanel(panel, container) {
    const traces = tracesOf(panel);
    const group = groups[traces[0].described.group];
    const section = document.createElement('section');
    section.className = 'panel';
    const heading = document.createElement('h2');
    heading.textContent = panel.title;
    const legend = document.createElement('span');
    legend.className = 'legend';
    for (const trace of traces) {
      const key = document.createElement('span');
      key.className = 'key';
      key.style.setProperty('--colour', trace.colour);
      key.textContent = trace.name;
      legend.append(key);
    }
    heading.append(legend);
    const readout = document.createElement('p');
    readout.className = 'readout';
    readout.textContent = '\u00a0';
    const chart = document.createElement('div');
    chart.className = 'chart';
    section.append(heading, chart, readout);
    const state = { panel, traces, group, section, chart, readout, note: null, plot: null, drawn: null };
    if (group.buckets) {
      state.note = document.createElement('p');
      state.note.className = 'note';
      section.append(state.note);
    }
    container.append(section);
    if (group.micros.length === 0) {
      chart.classList.add('empty');
      chart.textContent = panel.empty;
      return state;
    }
    state.wholeRange = wholeRanges(traces, group);
    state.plot = new uPlot(chartOptions(state), emptyData(traces), chart);
    return state;
  }

  function emptyData(traces) {
    return [[], ...traces.flatMap(() => [[], []])];
  }

  function chartOptions(state) {
    const series = [{}];
    const bands = [];
    const scaleOf = (trace) => (trace.right ? 'y2' : 'y');
    // Samples are points joined by lines; envelopes are steps, so that the
    // band between a column's least and greatest covers the column.
    const linear = uPlot.paths.linear();
    const stepped = uPlot.paths.stepped({ align: 1 });
    const paths = (u, seriesIdx, idx0, idx1) =>
      (state.drawn !== null && state.drawn.single && !state.drawn.steps ? linear : stepped)(u, seriesIdx, idx0, idx1);
    const showPoints = () => state.drawn !== null && state.drawn.single && !state.drawn.steps;
    state.traces.forEach((trace, k) => {
      for (const which of ['max', 'min']) {
        series.push({ label: trace.name + ' ' + which, stroke: trace.colour, width: 1, scale: scaleOf(trace), paths,
                      points: { show: showPoints, size: 4, fill: trace.colour } });
      }
      bands.push({ series: [1 + 2 * k, 2 + 2 * k], fill: trace.colour + '55' });
    });
    const right = state.traces.some((t) => t.right);
    // Every panel keeps room for a right-hand scale, so that their time
    // axes line up.
    const axes = [
      { font: AXIS_FONT, space: timeSpace, values: timeTicks, filter: labelsInside },
      { scale: 'y', size: 70 },
      right ? { scale: 'y2', side: 1, size: 70, grid: { show: false } }
            : { scale: 'y', side: 1, size: 70, grid: { show: false }, ticks: { show: false }, values: () => [] },
    ];
    return {
      width: widthOf(state.chart),
      height: PANEL_HEIGHT,
      tzDate: (seconds) => uPlot.tzDate(new Date(seconds * 1e3), 'Etc/UTC'),
      scales: { x: { time: true, auto: false }, y: { auto: false }, y2: { auto: false } },
      series,
      bands,
      axes,
      legend: { show: false },
      cursor: {
        sync: { key: 'zolt', setSeries: false },
        drag: { x: true, y: false, setScale: false },
        bind: { dblclick: () => () => { resetView(); return null; } },
        points: { show: false },
        // A level line is the hovered panel's own: in the linked panels it
        // would stand at a height that means nothing there.
        y: false,
      },
      hooks: {
        // The linked panels all see the selection; only the one dragged
        // across zooms, or the view would shrink again in each of them.
        setSelect: [(u) => {
          if (u.select.width === 0) return;
          const dragged = dragSource === state;
          const a = u.posToVal(u.select.left, 'x');
          const b = u.posToVal(u.select.left + u.select.width, 'x');
          const wide = u.select.width >= LEAST_DRAG;
          u.setSelect({ left: 0, width: 0, top: 0, height: 0 }, false);
          if (!dragged) return;
          dragSource = null;
          if (wide) setView(a * SECOND, b * SECOND);
        }],
        setCursor: [(u) => showReadout(state, u)],
        drawClear: [(u) => shadeGaps(u)],
        draw: [(u) => drawMarks(u)],
      },
    };
  }

  function widthOf(element) {
    return Math.max(320, Math.floor(element.getBoundingClientRect().width || document.body.clientWidth - 40));
  }

  function timeText(seconds, span) {
    const text = isoMicros(seconds * SECOND);
    if (span < 2) return text.slice(11, 26);
    if (span < 120) return text.slice(11, 22);
    if (span < 2 * 86400) return text.slice(11, 19);
    return text.slice(0, 16).replace('T', ' ');
  }

  function timeTicks(u, splits) {
    const span = u.scales.x.max - u.scales.x.min;
    return splits.map((s) => (s === null ? null : timeText(s, span)));
  }

  // Widths of labels by their shape: the digits of the axis font are all
  // of one width, so that a redraw measures hardly any text.
  const measure = document.createElement('canvas').getContext('2d');
  const widths = new Map();
  function labelWidth(text) {
    const shape = text.replace(/\d/g, '0');
    if (!widths.has(shape)) {
      measure.font = AXIS_FONT;
      widths.set(shape, measure.measureText(shape).width);
    }
    return widths.get(shape);
  }

  // Room between ticks for the widest of the labels a span writes.
  function timeSpace(u, axis, min, max) {
    return labelWidth(timeText(min, max - min)) + 24;
  }

  // A label centred on a tick near the plotting area's edge may reach past
  // the panel: such ticks go unlabelled rather than clipped.
  function labelsInside(u, splits) {
    const span = u.scales.x.max - u.scales.x.min;
    const left = u.bbox.left / devicePixelRatio;
    return splits.map((s) => {
      if (s === null) return null;
      const half = labelWidth(timeText(s, span)) / 2;
      const at = left + u.valToPos(s, 'x');
      return at - half >= 0 && at + half <= u.width ? s : null;
    });
  }

  function shadeGaps(u) {
    const ctx = u.ctx;
    ctx.save();
    ctx.fillStyle = 'rgba(150, 150, 150, 0.3)';
    for (const [from, to] of gaps) {
      if (to < u.scales.x.min || from > u.scales.x.max) continue;
      const a = Math.max(u.bbox.left, u.valToPos(from, 'x', true));
      const b = Math.min(u.bbox.left + u.bbox.width, u.valToPos(to, 'x', true));
      ctx.fillRect(a, u.bbox.top, Math.max(1, b - a), u.bbox.height);
    }
    ctx.restore();
  }

  function drawMarks(u) {
    const ctx = u.ctx;
    ctx.save();
    ctx.fillStyle = '#d00';
    for (const [micros] of meta.marks) {
      const x = micros / SECOND;
      if (x < u.scales.x.min || x > u.scales.x.max) continue;
      ctx.fillRect(u.valToPos(x, 'x', true) - 1, u.bbox.top, 2, 8 * devicePixelRatio);
    }
    ctx.restore();
  }

  // The entry of the group at `micros`: the sample nearest it, or the
  // bucket whose span holds it (-1 where none does).
  function entryAt(group, micros) {
    const t = group.micros;
    if (t.length === 0) return -1;
    if (group.buckets) {
      const i = upperBound(t, micros) - 1;
      return i >= 0 && micros < t[i] + group.bucketMicros ? i : -1;
    }
    let i = lowerBound(t, micros);
    if (i >= t.length || (i > 0 && micros - t[i - 1] < t[i] - micros)) i--;
    return i;
  }

  function showReadout(state, u) {
    const left = u.cursor.left;
    if (left === undefined || left < 0) {
      state.readout.textContent = '\u00a0';
      return;
    }
    const at = u.posToVal(left, 'x') * SECOND;
    const group = state.group;
    const i = entryAt(group, at);
    if (i < 0) {
      state.readout.textContent = isoMicros(Math.round(at)) + '  nothing recorded here';
      delete state.readout.dataset.micros;
      return;
    }
    const micros = group.micros[i];
    const parts = [];
    for (const trace of state.traces) {
      const stored = group.stored[trace.described.index];
      const least = textOf(trace.described, stored.least[i]);
      const greatest = textOf(trace.described, stored.greatest[i]);
      parts.push(trace.name + ' ' + (least === greatest ? least : least + ' to ' + greatest));
    }
    const when = group.buckets ? isoMicros(micros) + ' (' + group.bucketMicros / 1000 + ' ms, to ' +
                                 isoMicros(micros + group.bucketMicros).slice(11) + ')' : isoMicros(micros);
    state.readout.textContent = when + '  ' + parts.join('  ');
    state.readout.dataset.micros = String(micros);
  }

  // The files the page was written from, as a command line names them, or
  // FILE... where the title does not list them all.
  function filesOfTitle() {
    const names = meta.title.split(' | ')[0];
    if (/ \(\d+ files\)$/.test(names)) return 'FILE...';
    return names.split(', ').map((name) => (/^[\w.\/+-]+$/.test(name) ? name : "'" + name.replace(/'/g, "'\\''") + "'"))
      .join(' ');
  }

  // Once the view holds fewer of a group's buckets than the panel has pixel
  // columns, what it draws is as fine as this page goes: the panel says so,
  // and how to write a page of the view with every sample.
  function showCoarseness(state) {
    if (!state.note) return;
    const coarse = state.drawn.single;
    state.note.hidden = !coarse;
    if (!coarse) return;
    const from = isoMicros(Math.floor(view[0] / 1000) * 1000).slice(0, 23);
    const to = isoMicros(Math.ceil(view[1] / 1000) * 1000).slice(0, 23);
    state.note.textContent = 'Each step is the least and greatest of ' + state.group.bucketMicros / SECOND +
      ' s; finer detail is not in this page. For every sample of this view: decode --html=OUT.html --from=' + from +
      ' --to=' + to + ' ' + filesOfTitle();
  }

  // The range of each value scale over what the view draws, or over the
  // whole run where it draws nothing: uPlot leaves out the axis of a scale
  // without a range, and the panels' plotting areas would no longer line up.
  function valueRanges(state, drawn) {
    const ranges = {};
    state.traces.forEach((trace, k) => {
      const key = trace.right ? 'y2' : 'y';
      const range = ranges[key] || (ranges[key] = [Infinity, -Infinity]);
      for (const v of drawn.lo[k]) if (v !== null && v < range[0]) range[0] = v;
      for (const v of drawn.hi[k]) if (v !== null && v > range[1]) range[1] = v;
    });
    for (const key of Object.keys(ranges)) {
      let [least, greatest] = ranges[key];
      if (!(least <= greatest)) [least, greatest] = state.wholeRange[key] || [0, 1];
      ranges[key] = uPlot.rangeNum(least, greatest, 0.1, true);
    }
    return ranges;
  }

  function wholeRanges(traces, group) {
    const top = group.levels[group.levels.length - 1];
    const ranges = {};
    for (const trace of traces) {
      const key = trace.right ? 'y2' : 'y';
      const range = ranges[key] || (ranges[key] = [Infinity, -Infinity]);
      for (const v of top.lo[trace.described.index]) if (v < range[0]) range[0] = v;
      for (const v of top.hi[trace.described.index]) if (v > range[1]) range[1] = v;
    }
    for (const key of Object.keys(ranges)) if (!(ranges[key][0] <= ranges[key][1])) delete ranges[key];
    return ranges;
  }

  function draw(state) {
    if (!state.plot) return;
    const u = state.plot;
    const indices = state.traces.map((t) => t.described.index);
    const width = u.bbox.width / devicePixelRatio || widthOf(state.chart);
    state.drawn = viewOf(state.group, indices, view[0], view[1], width);
    const data = [state.drawn.x];
    state.traces.forEach((_, k) => data.push(state.drawn.hi[k], state.drawn.lo[k]));
    const ranges = valueRanges(state, state.drawn);
    u.batch(() => {
      u.setData(data, false);
      u.setScale('x', { min: view[0] / SECOND, max: view[1] / SECOND });
      for (const [key, [min, max]] of Object.entries(ranges)) u.setScale(key, { min, max });
    });
    showCoarseness(state);
  }

  function drawAll() {
    const started = performance.now();
    performance.mark('zolt-redraw-start');
    for (const state of panels) draw(state);
    performance.measure('zolt-redraw', 'zolt-redraw-start');
    redraws.push(performance.now() - started);
  }

  // ---- The view ----

  const LEAST_SPAN = 1000;  // a millisecond
  // Pixels a drag must cross to zoom: a shorter one is a click that slipped.
  const LEAST_DRAG = 5;
  // The panel a drag began in, the only one whose selection zooms.
  let dragSource = null;

  function setView(from, to, keepFragment) {
    if (!(to > from)) return;
    let span = Math.max(to - from, LEAST_SPAN);
    span = Math.min(span, full[1] - full[0]);
    let start = (from + to) / 2 - span / 2;
    start = Math.min(Math.max(start, full[0]), full[1] - span);
    view = [start, start + span];
    if (!keepFragment) {
      const fragment = '#from=' + isoMicros(view[0]) + '&to=' + isoMicros(view[1]);
      history.replaceState(null, '', fragment);
    }
    drawAll();
  }

  function resetView() {
    setView(full[0], full[1]);
  }

  function zoom(factor, centre) {
    const c = centre === undefined ? (view[0] + view[1]) / 2 : centre;
    setView(c - (c - view[0]) * factor, c + (view[1] - c) * factor);
  }

  function pan(fraction) {
    const shift = (view[1] - view[0]) * fraction;
    setView(view[0] + shift, view[1] + shift);
  }

  function fromFragment() {
    const params = new URLSearchParams(location.hash.slice(1));
    const from = params.get('from') && parseIso(params.get('from'));
    const to = params.get('to') && parseIso(params.get('to'));
    if (from === null || to === null || !(to > from)) return false;
    setView(from, to, true);
    return true;
  }

  function bindControls(container) {
    const actions = {
      reset: resetView,
      in: () => zoom(0.5),
      out: () => zoom(2),
      left: () => pan(-0.25),
      right: () => pan(0.25),
    };
    for (const button of document.querySelectorAll('[data-action]')) {
      button.addEventListener('click', () => actions[button.dataset.action]());
    }
    container.addEventListener('keydown', (event) => {
      const keys = { ArrowLeft: actions.left, ArrowRight: actions.right, '+': actions.in, '=': actions.in,
                     '-': actions.out, Home: actions.reset, Escape: actions.reset, '0': actions.reset };
      const action = keys[event.key];
      if (action) {
        event.preventDefault();
        action();
      }
    });
    for (const state of panels) {
      if (!state.plot) continue;
      const over = state.plot.over;
      over.addEventListener('wheel', (event) => {
        event.preventDefault();
        const centre = state.plot.posToVal(event.offsetX, 'x') * SECOND;
        zoom(event.deltaY < 0 ? 0.8 : 1.25, centre);
      }, { passive: false });
      // A drag with Shift held pans.
      over.addEventListener('mousedown', (event) => {
        if (!event.shiftKey) {
          dragSource = state;
          return;
        }
        event.stopPropagation();
        const startX = event.clientX;
        const startView = view.slice();
        const perPixel = (view[1] - view[0]) / over.clientWidth;
        const move = (e) => {
          const shift = (startX - e.clientX) * perPixel;
          setView(startView[0] + shift, startView[1] + shift, true);
        };
        const up = () => {
          window.removeEventListener('mousemove', move);
          window.removeEventListener('mouseup', up);
          setView(view[0], view[1]);
        };
        window.addEventListener('mousemove', move);
        window.addEventListener('mouseup', up);
      }, true);
    }
    window.addEventListener('hashchange', fromFragment);
    window.addEventListener('resize', () => {
      for (const state of panels) if (state.plot) state.plot.setSize({ width: widthOf(state.chart), height: PANEL_HEIGHT });
      drawAll();
    });
  }

  // ---- For tests and scripts ----

  function visible() {
    const out = {};
    for (const state of panels) {
      if (!state.drawn) continue;
      state.traces.forEach((trace, k) => {
        let least = Infinity;
        let greatest = -Infinity;
        const drawn = state.drawn;
        for (let i = drawn.inFrom; i < drawn.inTo; i++) {
          const lo = drawn.lo[k][i];
          const hi = drawn.hi[k][i];
          if (lo === null) continue;
          if (lo < least) least = lo;
          if (hi > greatest) greatest = hi;
        }
        out[trace.channel] = least <= greatest ? { min: least, max: greatest, points: drawn.inTo - drawn.inFrom,
                                                   samples: drawn.single } : null;
      });
    }
    return out;
  }

  function hoverAt(micros) {
    for (const state of panels) {
      if (!state.plot) continue;
      state.plot.setCursor({ left: state.plot.valToPos(micros / SECOND, 'x'), top: 10 });
    }
    return panels.map((state) => state.readout.textContent);
  }

  async function start() {
    const channelsOfGroup = meta.groups.map(() => []);
    for (const described of Object.values(meta.channels)) channelsOfGroup[described.group][described.index] = described;
    groups = await Promise.all(meta.groups.map(loadGroup));
    groups.forEach((group, g) => buildLevels(group, channelsOfGroup[g]));
    let first = Infinity;
    let last = -Infinity;
    for (const group of groups) {
      if (group.micros.length === 0) continue;
      first = Math.min(first, group.micros[0]);
      last = Math.max(last, group.micros[group.micros.length - 1] + (group.buckets ? group.bucketMicros : 0));
    }
    if (!(last > first)) {
      first = Number.isFinite(first) ? first - SECOND / 2 : 0;
      last = first + SECOND;
    }
    full = [first, last];
    view = full.slice();
    const container = document.getElementById('panels');
    panels = meta.panels.map((panel) => makePanel(panel, container));
    bindControls(container);
    if (!fromFragment()) drawAll();
    document.body.classList.add('ready');
    performance.mark('zolt-ready');
  }

  const ready = start();
  window.zoltView = {
    ready,
    visible,
    view: () => view.slice(),
    full: () => full.slice(),
    setView: (from, to) => setView(from, to),
    hoverAt,
    redraws,
  };
})();
