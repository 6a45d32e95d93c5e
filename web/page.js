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
  const AXIS_FONT = '12px system-ui, sans-serif';
  const UNIT_FONT = '11px system-ui, sans-serif';

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

  // A value the analysis works out is stored in whole 10^-decimals: divided
  // by a power of ten, as its table rounds it, not multiplied by a scale
  // that no double holds exactly.
  function valueOf(channel, stored) {
    if (channel.table !== undefined) return tableValues[channel.table][stored];
    return channel.decimals ? stored / 10 ** channel.decimals : stored * channel.scale;
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
    if (channel.decimals) return String(stored / 10 ** channel.decimals);
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
  // Damage, each kind shaded and named apart, over the second it was
  // found in; the legend above the panels uses the same colours.
  const marks = meta.marks.map(([micros, text, kind]) => ({ micros, text, kind: kind || 'damaged' }));
  const GAP_FILL = 'rgba(120, 120, 120, 0.22)';
  const MARK_FILL = { damaged: 'rgba(200, 0, 160, 0.35)', skipped: 'rgba(220, 30, 30, 0.4)',
                      stepped: 'rgba(240, 150, 0, 0.5)' };
  const MARK_NAME = { damaged: 'damage', skipped: 'skipped by salvage', stepped: 'clock stepped back' };

  // The dives, shaded in the panels that name them.
  const dives = (meta.dives || []).map(([number, start, end, maxDepth]) => ({ number, start, end, maxDepth }));
  const DIVE_FILL = 'rgba(31, 95, 168, 0.14)';

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
    // How far a bar of an envelope reaches: its bucket, or its pixel column.
    out.width = out.single ? group.bucketMicros / SECOND : span;
    out.level = 0;
    // Plain loops over the channels, and no arrays made for a point: this
    // runs for every point in view, at every redraw.
    const count = channels.length;
    // `first` and `last`: the times of the entries the point stands for; a
    // gap of the clock between those of two points breaks the line.
    let lastTime = -Infinity;
    const push = (x, lows, highs, at, first, last) => {
      const n = out.x.length;
      if (n > 0 && gapBetween(lastTime, first)) {
        // The break: halfway for points joined by lines, at the column's end
        // for steps, which hold their value until the next point.
        out.x.push(out.single && !out.steps ? (out.x[n - 1] + x) / 2 : Math.min(out.x[n - 1] + span, x));
        for (let k = 0; k < count; k++) {
          out.lo[k].push(null);
          out.hi[k].push(null);
        }
      }
      lastTime = last;
      out.x.push(x);
      for (let k = 0; k < count; k++) {
        out.lo[k].push(lows[k][at]);
        out.hi[k].push(highs[k][at]);
      }
    };
    const baseLows = channels.map((c) => base.lo[c]);
    const baseHighs = channels.map((c) => base.hi[c]);
    const pushEntry = (i) => push(base.t[i], baseLows, baseHighs, i, base.t[i], base.t[i]);
    if (out.single) {
      if (!group.buckets && from > 0) pushEntry(from - 1);
      out.inFrom = out.x.length;
      for (let i = from; i < to; i++) pushEntry(i);
      out.inTo = out.x.length;
      if (!group.buckets && to < base.t.length) pushEntry(to);
      return out;
    }
    // The coarsest level that still puts many entries in every column, so
    // that a column's envelope is its own and not an accident of where the
    // coarser ones begin.
    let level = 0;
    while (level + 1 < group.levels.length && entries / Math.pow(FAN, level + 1) > width * 8) level++;
    const at = group.levels[level];
    out.level = level;
    // An envelope of a coarser level that begins before the view may hold
    // entries within it.
    const fan = Math.pow(FAN, level);
    const start = Math.floor(from / fan);
    const end = Math.ceil(to / fan);
    let columnIndex = -1;
    let columnX = 0;
    let firstTime = 0;
    const los = channels.map((c) => at.lo[c]);
    const his = channels.map((c) => at.hi[c]);
    const times = at.t;
    // The column's least and greatest so far: a slot for each channel, in
    // the shape push reads.
    const lows = channels.map(() => new Float64Array(1));
    const highs = channels.map(() => new Float64Array(1));
    for (let i = start; i < end; i++) {
      const index = Math.max(0, Math.floor((times[i] - x0) / span));
      if (index !== columnIndex) {
        if (columnIndex >= 0) push(columnX, lows, highs, 0, firstTime, times[i - 1]);
        columnIndex = index;
        columnX = x0 + index * span;
        firstTime = times[i];
        for (let k = 0; k < count; k++) {
          lows[k][0] = los[k][i];
          highs[k][0] = his[k][i];
        }
      } else {
        for (let k = 0; k < count; k++) {
          const least = los[k][i];
          const greatest = his[k][i];
          if (least < lows[k][0]) lows[k][0] = least;
          if (greatest > highs[k][0]) highs[k][0] = greatest;
        }
      }
    }
    if (columnIndex >= 0) push(columnX, lows, highs, 0, firstTime, at.t[end - 1]);
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
  // The labels the time axis wrote last, for tests and scripts.
  let timeLabels = [];
  // The panel under the mouse, the one whose readout shows.
  let hovered = null;

  // The rows of a panel besides its plotting area: the heading, and the
  // time axis under the last one.
  const HEADING_HEIGHT = 20;
  const TIME_AXIS_HEIGHT = 56;
  const LEAST_PANEL_HEIGHT = 60;
  // A panel dragged taller than this no longer shows its whole height on
  // any screen.
  const MOST_PANEL_HEIGHT = 1200;
  // The bar under each panel that sets its height.
  const GRIP_HEIGHT = 6;
  const TIME_LABEL = 'time, UTC';

  function tracesOf(panel) {
    return panel.traces.map((trace) => ({ ...trace, described: meta.channels[trace.channel] }));
  }

  // The height of each plotting area, so that every panel and the time
  // axis fit the window's height below where the panels begin.
  function panelHeight(container) {
    const count = panels.length || meta.panels.length;
    const top = container.getBoundingClientRect().top + window.scrollY;
    const room = window.innerHeight - top - TIME_AXIS_HEIGHT - count * (HEADING_HEIGHT + GRIP_HEIGHT) - 24;
    return Math.max(LEAST_PANEL_HEIGHT, Math.floor(room / count));
  }

  function makePanel(panel, container, axisBelow) {
    const traces = tracesOf(panel);
    const group = groups[traces[0].described.group];
    const section = document.createElement('section');
    section.className = 'panel';
    const heading = document.createElement('h2');
    heading.textContent = panel.title;
    const chart = document.createElement('div');
    chart.className = 'chart';
    section.append(heading, chart);
    const readout = document.createElement('div');
    readout.className = 'readout';
    readout.hidden = true;
    const state = { panel, traces, group, section, heading, chart, readout, note: null, plot: null, drawn: null,
                    axisBelow, fixedY: null, height: defaultHeight, heightByHand: null };
    if (group.buckets) {
      state.note = document.createElement('span');
      state.note.className = 'note';
      state.note.hidden = true;
    }
    container.append(section);
    if (group.micros.length === 0) {
      chart.classList.add('empty');
      chart.textContent = panel.empty;
      return state;
    }
    state.wholeRange = wholeRange(traces, group);
    state.plot = new uPlot(chartOptions(state), emptyData(traces), chart);
    section.append(makeGrip(state));
    // uPlot's own legend switches the channels on and off; it stands in the
    // heading, beside the panel's name, and takes no height of its own.
    const legend = state.plot.root.querySelector('.u-legend');
    if (legend) heading.append(legend);
    state.level = document.createElement('span');
    state.level.className = 'level';
    heading.append(state.level);
    if (state.note) heading.append(state.note);
    state.plot.over.append(readout);
    // The readout of the panel under the mouse only: in every panel at once
    // they would cover what they tell of.
    state.plot.over.addEventListener('mouseenter', () => { hovered = state; });
    state.plot.over.addEventListener('mouseleave', () => { if (hovered === state) hovered = null; readout.hidden = true; });
    return state;
  }

  function emptyData(traces) {
    return [[], ...traces.map(() => [])];
  }

  function showsSamples(state) {
    return state.drawn !== null && state.drawn.single && !state.drawn.steps;
  }

  // A dot for each sample where there is room between them, as uPlot's
  // own rule for points has it: dots closer than that merge into the line
  // they lie on, and cost a redraw more than all the rest.
  const POINT_SIZE = 4;
  function showsPoints(state, u) {
    const drawn = state.drawn;
    return showsSamples(state) && (drawn.inTo - drawn.inFrom) * 2 * POINT_SIZE <= u.bbox.width / uPlot.pxRatio;
  }

  // Samples are points joined by lines; an envelope is a bar for each of
  // its buckets (or pixel columns) from the least to the greatest value,
  // over the time the bucket spans, so that no slope between two buckets
  // passes for a trend.
  function pathsOf(state, k) {
    const linear = uPlot.paths.linear();
    return (u, seriesIdx, idx0, idx1) => {
      if (showsSamples(state)) {
        const line = linear(u, seriesIdx, idx0, idx1);
        line.fill = null;
        return line;
      }
      const bars = new Path2D();
      const drawn = state.drawn;
      if (drawn !== null) {
        const xs = drawn.x;
        const lo = drawn.lo[k];
        const hi = drawn.hi[k];
        // Bars side by side of one thin extent, as a flat stretch of a
        // channel draws, are one rectangle: the same pixels, as their
        // outlines cover them, for a fraction of the work.
        const thin = 2 * uPlot.pxRatio;
        let run = null;
        for (let i = 0; i < xs.length; i++) {
          if (lo[i] === null) continue;
          const end = i + 1 < xs.length ? Math.min(xs[i + 1], xs[i] + drawn.width) : xs[i] + drawn.width;
          const left = u.valToPos(xs[i], 'x', true);
          const right = Math.max(left + uPlot.pxRatio, u.valToPos(end, 'x', true));
          // On an axis that grows down, the greatest value is the lower end.
          const a = u.valToPos(hi[i], 'y', true);
          const b = u.valToPos(lo[i], 'y', true);
          const top = Math.min(a, b);
          const height = Math.max(Math.max(a, b) - top, uPlot.pxRatio);
          if (run !== null && height <= thin && run.height === height && run.top === top && left <= run.right) {
            run.right = Math.max(run.right, right);
            continue;
          }
          if (run !== null) bars.rect(run.left, run.top, run.right - run.left, run.height);
          run = { left, right, top, height };
        }
        if (run !== null) bars.rect(run.left, run.top, run.right - run.left, run.height);
      }
      return { stroke: bars, fill: bars, clip: null, band: null, gaps: null, flags: 0 };
    };
  }

  function chartOptions(state) {
    const series = [{ label: 'time' }];
    state.traces.forEach((trace, k) => {
      series.push({ label: trace.name, stroke: trace.colour, fill: trace.colour + 'b0', width: 1, spanGaps: false,
                    paths: pathsOf(state, k),
                    points: { show: (u) => showsPoints(state, u), size: POINT_SIZE, fill: trace.colour,
                              stroke: trace.colour } });
    });
    const digits = Math.max(...state.traces.map((t) => t.digits));
    const axes = [
      state.axisBelow ? { scale: 'x', font: AXIS_FONT, space: timeSpace, values: timeTicks, filter: labelsInside,
                          label: TIME_LABEL, labelFont: AXIS_FONT, labelSize: 14, size: TIME_AXIS_HEIGHT - 14 }
                      // The same ticks, for the grid, without their labels: the time axis is the last panel's.
                      : { scale: 'x', font: AXIS_FONT, space: timeSpace, values: (u, splits) => splits.map(() => ''),
                          filter: labelsInside, size: 2, ticks: { show: false } },
      { scale: 'y', font: AXIS_FONT, size: 78, label: state.panel.unit, labelFont: UNIT_FONT, labelSize: 14, labelGap: 0,
        values: (u, splits) => splits.map((v) => valueTickText(v, splits, digits)) },
    ];
    return {
      width: widthOf(state.chart),
      height: chartHeight(state),
      padding: [6, 16, 0, 0],
      tzDate: (seconds) => uPlot.tzDate(new Date(seconds * 1e3), 'Etc/UTC'),
      scales: { x: { time: true, auto: false }, y: { auto: false, dir: state.panel.down ? -1 : 1 } },
      series,
      axes,
      legend: { show: true, live: false },
      cursor: {
        sync: { key: 'zolt', setSeries: false },
        // A drag mostly along the time zooms the view; one mostly up or down
        // zooms the panel's values.
        drag: { x: true, y: true, uni: 30, setScale: false },
        bind: { dblclick: () => () => { fitOrReset(); return null; } },
        points: { show: false },
        // A level line is the hovered panel's own: in the linked panels it
        // would stand at a height that means nothing there.
        y: false,
      },
      hooks: {
        // The linked panels all see the selection; only the one dragged
        // across zooms, or the view would shrink again in each of them.
        setSelect: [(u) => {
          if (u.select.width === 0 && u.select.height === 0) return;
          const dragged = dragSource === state;
          const { left, width, top, height: tall } = u.select;
          // A selection along one only spans the whole of the other.
          const alongTime = width < u.bbox.width / uPlot.pxRatio - 0.5;
          const alongValues = tall < u.bbox.height / uPlot.pxRatio - 0.5;
          u.setSelect({ left: 0, width: 0, top: 0, height: 0 }, false);
          if (!dragged) return;
          dragSource = null;
          if (alongValues && tall >= LEAST_DRAG) {
            const ends = [u.posToVal(top + tall, 'y'), u.posToVal(top, 'y')];
            state.fixedY = [Math.min(...ends), Math.max(...ends)];
            if (!alongTime) draw(state);
          }
          if (alongTime && width >= LEAST_DRAG) setView(u.posToVal(left, 'x') * SECOND, u.posToVal(left + width, 'x') * SECOND);
        }],
        setSeries: [() => draw(state)],
        setCursor: [(u) => showReadout(state, u)],
        drawClear: [(u) => { shadeGaps(u); if (state.panel.dives) state.shadedDives = shadeDives(u); }],
        draw: [(u) => drawMarks(u)],
      },
    };
  }

  // A double-click fits the values of panels zoomed on them; else it shows
  // the whole run.
  function fitOrReset() {
    const fixed = panels.filter((state) => state.fixedY !== null);
    if (fixed.length === 0) {
      resetView();
      return;
    }
    for (const state of fixed) {
      state.fixedY = null;
      draw(state);
    }
  }

  function widthOf(element) {
    return Math.max(320, Math.floor(element.getBoundingClientRect().width || document.body.clientWidth - 40));
  }

  // A value tick with the decimals its neighbours differ by, and no more
  // than the channel's own.
  function valueTickText(v, splits, digits) {
    const step = splits.length > 1 ? Math.abs(splits[1] - splits[0]) : 1;
    const needed = step > 0 ? Math.max(0, Math.ceil(-Math.log10(step) - 1e-9)) : digits;
    return v.toFixed(Math.min(Math.max(needed, 0), Math.max(digits, needed)));
  }

  // The decimals of seconds a step between ticks needs: 0.25 s needs two.
  function decimalsOf(step) {
    for (let d = 0; d < 6; d++) {
      const scaled = step * Math.pow(10, d);
      if (Math.abs(scaled - Math.round(scaled)) < 1e-6 * Math.max(1, scaled)) return d;
    }
    return 6;
  }

  // A tick's time to the precision the step between ticks needs; the date
  // under it at the first tick and wherever the day changes.
  function tickText(seconds, step, previousDay) {
    const iso = isoMicros(Math.round(seconds * SECOND));
    const day = iso.slice(0, 10);
    let time;
    if (step >= 86400) time = '';
    else if (step >= 60) time = iso.slice(11, 16);
    else if (step >= 1) time = iso.slice(11, 19);
    else time = iso.slice(11, 20 + decimalsOf(step));
    if (time === '') return day;
    return day === previousDay ? time : time + '\n' + day;
  }

  function tickTexts(splits, foundIncr) {
    let previousDay = null;
    const step = foundIncr || (splits.length > 1 ? splits[1] - splits[0] : 1);
    return splits.map((s) => {
      if (s === null) return null;
      const text = tickText(s, step, previousDay);
      previousDay = isoMicros(Math.round(s * SECOND)).slice(0, 10);
      return text;
    });
  }

  function timeTicks(u, splits, axisIdx, foundSpace, foundIncr) {
    timeLabels = tickTexts(splits, foundIncr);
    return timeLabels;
  }

  function timeText(seconds, span) {
    const text = isoMicros(seconds * SECOND);
    if (span < 2) return text.slice(11, 26);
    if (span < 120) return text.slice(11, 22);
    if (span < 2 * 86400) return text.slice(11, 19);
    return text.slice(0, 10);
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
    const left = u.bbox.left / uPlot.pxRatio;
    return splits.map((s) => {
      if (s === null) return null;
      const half = Math.max(labelWidth(timeText(s, span)), labelWidth('0000-00-00')) / 2;
      const at = left + u.valToPos(s, 'x');
      return at - half >= 0 && at + half <= u.width ? s : null;
    });
  }

  function shadeGaps(u) {
    const ctx = u.ctx;
    ctx.save();
    ctx.fillStyle = GAP_FILL;
    for (const [from, to] of gaps) {
      if (to < u.scales.x.min || from > u.scales.x.max) continue;
      const a = Math.max(u.bbox.left, u.valToPos(from, 'x', true));
      const b = Math.min(u.bbox.left + u.bbox.width, u.valToPos(to, 'x', true));
      ctx.fillRect(a, u.bbox.top, Math.max(1, b - a), u.bbox.height);
    }
    ctx.restore();
  }

  // A band over each dive in view, at least a pixel wide; how many it drew.
  function shadeDives(u) {
    const ctx = u.ctx;
    const right = u.bbox.left + u.bbox.width;
    let shaded = 0;
    ctx.save();
    ctx.fillStyle = DIVE_FILL;
    for (const dive of dives) {
      const from = dive.start / SECOND;
      const to = dive.end / SECOND;
      if (to < u.scales.x.min || from > u.scales.x.max) continue;
      const a = Math.max(u.bbox.left, u.valToPos(from, 'x', true));
      const b = Math.min(right, u.valToPos(to, 'x', true));
      ctx.fillRect(a, u.bbox.top, Math.max(uPlot.pxRatio, b - a), u.bbox.height);
      shaded++;
    }
    ctx.restore();
    return shaded;
  }

  function drawMarks(u) {
    const ctx = u.ctx;
    ctx.save();
    for (const mark of marks) {
      const x = mark.micros / SECOND;
      if (x < u.scales.x.min || x > u.scales.x.max) continue;
      ctx.fillStyle = MARK_FILL[mark.kind];
      const a = u.valToPos(x, 'x', true);
      const b = Math.max(a + 2 * uPlot.pxRatio, u.valToPos(x + 1, 'x', true));
      ctx.fillRect(a, u.bbox.top, Math.min(b, u.bbox.left + u.bbox.width) - a, u.bbox.height);
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

  function valueText(trace, value) {
    return value.toFixed(trace.digits);
  }

  // "12 s", "320 ms", "1.5 min"
  function lengthText(micros) {
    if (micros < SECOND) return +(micros / 1000).toPrecision(3) + ' ms';
    if (micros < 120 * SECOND) return +(micros / SECOND).toPrecision(4) + ' s';
    if (micros < 7200 * SECOND) return +(micros / 60 / SECOND).toFixed(1) + ' min';
    return +(micros / 3600 / SECOND).toFixed(1) + ' h';
  }

  // What lies at the cursor besides the entries: a gap, and damage.
  function troubleAt(micros, perPixel) {
    const lines = [];
    for (const [from, to] of meta.gaps) {
      if (micros >= from && micros < to) {
        lines.push('no records ' + isoMicros(from) + ' to ' + isoMicros(to) + ' (' + lengthText(to - from) + ')');
      }
    }
    for (const mark of marks) {
      if (micros >= mark.micros - perPixel * 3 && micros < mark.micros + Math.max(SECOND, perPixel * 3)) {
        lines.push(MARK_NAME[mark.kind] + ' in the second from ' + isoMicros(mark.micros) + ': ' + mark.text);
      }
    }
    return lines.slice(0, 6);
  }

  // The dive at the cursor, or one within a few pixels of it: a dive of a
  // second in a day's view is a band of one pixel.
  function diveAt(micros, perPixel) {
    const near = perPixel * 3;
    let best = null;
    for (const dive of dives) {
      if (micros < dive.start - near || micros > dive.end + near) continue;
      const off = micros < dive.start ? dive.start - micros : micros > dive.end ? micros - dive.end : 0;
      if (best === null || off < best.off) best = { dive, off };
    }
    if (best === null) return [];
    const { number, start, end, maxDepth } = best.dive;
    return ['dive ' + number + ': ' + isoMicros(start) + ' to ' + isoMicros(end) + ' (' + lengthText(end - start) +
            '), max depth ' + (maxDepth === null ? 'not known' : maxDepth + ' m')];
  }

  function readoutText(state, at, perPixel) {
    const group = state.group;
    const i = entryAt(group, at);
    const trouble = (state.panel.dives ? diveAt(at, perPixel) : []).concat(troubleAt(at, perPixel));
    if (i < 0) return { text: [isoMicros(Math.round(at)) + ' nothing recorded here', ...trouble].join('\n'), micros: null };
    const micros = group.micros[i];
    const level = group.levels[0];
    const lines = [group.buckets ? isoMicros(micros) + ' to ' + isoMicros(micros + group.bucketMicros).slice(11) +
                                   ' (' + lengthText(group.bucketMicros) + ', least to greatest)'
                                 : isoMicros(micros) + ' sample'];
    state.traces.forEach((trace, k) => {
      if (!state.plot.series[k + 1].show) return;
      const c = trace.described.index;
      const least = valueText(trace, level.lo[c][i]);
      const greatest = valueText(trace, level.hi[c][i]);
      lines.push(trace.name + ' ' + (least === greatest ? least : least + ' to ' + greatest) + ' ' + state.panel.unit);
    });
    return { text: lines.concat(trouble).join('\n'), micros };
  }

  // The readout stands beside the cursor, on the side with room for it.
  function showReadout(state, u) {
    const left = u.cursor.left;
    const readout = state.readout;
    if (left === undefined || left === null || left < 0) {
      readout.hidden = true;
      return;
    }
    const at = u.posToVal(left, 'x') * SECOND;
    const perPixel = (view[1] - view[0]) / Math.max(1, u.bbox.width / uPlot.pxRatio);
    const { text, micros } = readoutText(state, at, perPixel);
    readout.textContent = text;
    if (micros === null) delete readout.dataset.micros;
    else readout.dataset.micros = String(micros);
    readout.hidden = hovered !== state;
    const onRight = left < u.over.clientWidth / 2;
    readout.style.left = onRight ? left + 12 + 'px' : '';
    readout.style.right = onRight ? '' : u.over.clientWidth - left + 12 + 'px';
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
  // What a bar of the panel stands for: the level of the pyramid it is
  // drawn from, and the time a pixel column spans.
  function showLevel(state) {
    const drawn = state.drawn;
    const group = state.group;
    if (showsSamples(state)) {
      state.level.textContent = 'every sample';
      return;
    }
    if (drawn.single) {
      // The note beside it tells the length, and that it is the finest.
      state.level.textContent = '';
      return;
    }
    const held = group.buckets ? group.bucketMicros * Math.pow(FAN, drawn.level) : 0;
    state.level.textContent = 'bars of a pixel, ' + lengthText(Math.round(drawn.width * SECOND)) +
      (group.buckets ? ', from buckets of ' + lengthText(held) : ', from every sample');
  }

  function showCoarseness(state) {
    showLevel(state);
    if (!state.note) return;
    const coarse = state.drawn.single;
    state.note.hidden = !coarse;
    if (!coarse) return;
    const from = isoMicros(Math.floor(view[0] / 1000) * 1000).slice(0, 23);
    const to = isoMicros(Math.ceil(view[1] / 1000) * 1000).slice(0, 23);
    const finest = 'bars of ' + state.group.bucketMicros / SECOND + ' s, the finest this page holds; ';
    state.note.textContent = finest + 'for every sample of this view: decode --html=OUT.html --from=' + from +
      ' --to=' + to + ' ' + filesOfTitle();
    state.note.title = state.note.textContent;
    if (window.parent !== window) offerEverySample(state, finest, from, to);
  }

  // Shown by the page that decodes in the browser, which has the recordings
  // at hand: it makes this view's page again from them, with every sample.
  function offerEverySample(state, finest, from, to) {
    const button = document.createElement('button');
    button.type = 'button';
    button.textContent = 'open the recording to see every sample';
    button.addEventListener('click', () => window.parent.postMessage({ kind: 'every-sample', from, to }, '*'));
    state.note.textContent = finest;
    state.note.append(button);
  }

  // The range of the value scale over what the view draws of the channels
  // shown, or over the whole run where it draws nothing: uPlot leaves out
  // the axis of a scale without a range, and the panels' plotting areas
  // would no longer line up.
  function valueRange(state, drawn) {
    if (state.fixedY !== null) return state.fixedY;
    let least = Infinity;
    let greatest = -Infinity;
    state.traces.forEach((trace, k) => {
      if (!state.plot.series[k + 1].show) return;
      for (const v of drawn.lo[k]) if (v !== null && v < least) least = v;
      for (const v of drawn.hi[k]) if (v !== null && v > greatest) greatest = v;
    });
    if (!(least <= greatest)) [least, greatest] = state.wholeRange;
    // A level line stands in the middle of a narrow range, not at the top
    // of one that reaches down to zero.
    if (least === greatest) {
      const pad = Math.max(Math.abs(least) * 1e-3, Math.pow(10, -Math.max(...state.traces.map((t) => t.digits))));
      return [least - pad, greatest + pad];
    }
    return uPlot.rangeNum(least, greatest, 0.1, true);
  }

  function wholeRange(traces, group) {
    const top = group.levels[group.levels.length - 1];
    let least = Infinity;
    let greatest = -Infinity;
    for (const trace of traces) {
      for (const v of top.lo[trace.described.index]) if (v < least) least = v;
      for (const v of top.hi[trace.described.index]) if (v > greatest) greatest = v;
    }
    return least <= greatest ? [least, greatest] : [0, 1];
  }

  function draw(state) {
    if (!state.plot) return;
    const u = state.plot;
    const indices = state.traces.map((t) => t.described.index);
    const width = u.bbox.width / uPlot.pxRatio || widthOf(state.chart);
    state.drawn = viewOf(state.group, indices, view[0], view[1], width);
    const data = [state.drawn.x];
    state.traces.forEach((_, k) => data.push(state.drawn.hi[k]));
    const [min, max] = valueRange(state, state.drawn);
    u.batch(() => {
      u.setData(data, false);
      u.setScale('x', { min: view[0] / SECOND, max: view[1] / SECOND });
      u.setScale('y', { min, max });
    });
    showCoarseness(state);
  }

  function drawAll() {
    const started = performance.now();
    performance.mark('zolt-redraw-start');
    for (const state of panels) draw(state);
    drawTopAxis();
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
      defaultHeight = panelHeight(container);
      for (const state of panels) fitHeight(state);
      fitPage();
      drawAll();
    });
  }

  // ---- Heights set by hand ----

  // The height of a plotting area nobody has set: an equal share of the
  // window.
  let defaultHeight = LEAST_PANEL_HEIGHT;

  function chartHeight(state) {
    return state.height + (state.axisBelow ? TIME_AXIS_HEIGHT : 2);
  }

  // uPlot lays a new size out at its next commit; in a batch that is now,
  // so that the page's height can be read straight after.
  function resizePlot(u, width, height) {
    if (width !== u.width || height !== u.height) u.batch(() => u.setSize({ width, height }));
  }

  function fitHeight(state) {
    if (!state.plot) return;
    state.height = state.heightByHand === null ? defaultHeight : state.heightByHand;
    resizePlot(state.plot, state.plot.width, chartHeight(state));
    state.grip.setAttribute('aria-valuenow', String(state.height));
  }

  function setHeight(state, height) {
    const bounded = Math.min(MOST_PANEL_HEIGHT, Math.max(LEAST_PANEL_HEIGHT, height));
    state.heightByHand = height === null ? null : Math.round(bounded);
    fitHeight(state);
  }

  // A scroll bar that comes or goes with the page's height narrows or
  // widens the panels: they are fitted to the width left, and drawn again
  // if it changed.
  function fitPage() {
    showTopAxis();
    let narrowed = false;
    for (const state of panels) {
      if (!state.plot) continue;
      const width = widthOf(state.chart);
      narrowed = narrowed || width !== state.plot.width;
      resizePlot(state.plot, width, state.plot.height);
    }
    if (narrowed) drawAll();
  }

  // The bar on a panel's lower edge: dragged, or with the arrow keys, it
  // sets the panel's height; a double-click (or Enter) gives the panel its
  // share of the window again.
  function makeGrip(state) {
    const grip = document.createElement('div');
    grip.className = 'grip';
    grip.tabIndex = 0;
    grip.setAttribute('role', 'separator');
    grip.setAttribute('aria-orientation', 'horizontal');
    grip.setAttribute('aria-label', 'Height of ' + state.panel.title);
    grip.setAttribute('aria-valuemin', String(LEAST_PANEL_HEIGHT));
    grip.setAttribute('aria-valuemax', String(MOST_PANEL_HEIGHT));
    grip.setAttribute('aria-valuenow', String(state.height));
    grip.title = 'Drag, or Up and Down arrows, for the height of the panel; double-click (Enter) for its own';
    state.grip = grip;
    grip.addEventListener('pointerdown', (event) => {
      if (event.button !== 0) return;
      event.preventDefault();
      grip.setPointerCapture(event.pointerId);
      const startY = event.clientY;
      const startHeight = state.height;
      let frame = 0;
      let lastY = startY;
      const move = (e) => {
        lastY = e.clientY;
        if (!frame) frame = requestAnimationFrame(() => { frame = 0; setHeight(state, startHeight + lastY - startY); });
      };
      const up = (e) => {
        grip.removeEventListener('pointermove', move);
        grip.removeEventListener('pointerup', up);
        grip.removeEventListener('pointercancel', up);
        if (frame) cancelAnimationFrame(frame);
        if (e.clientY !== startY) setHeight(state, startHeight + e.clientY - startY);
        fitPage();
      };
      grip.addEventListener('pointermove', move);
      grip.addEventListener('pointerup', up);
      grip.addEventListener('pointercancel', up);
    });
    grip.addEventListener('dblclick', () => {
      setHeight(state, null);
      fitPage();
    });
    grip.addEventListener('keydown', (event) => {
      const step = event.shiftKey ? 50 : 10;
      const heights = { ArrowUp: state.height - step, ArrowDown: state.height + step, Enter: null };
      if (!(event.key in heights)) return;
      // The keys of the panels' container pan and zoom.
      event.preventDefault();
      event.stopPropagation();
      setHeight(state, heights[event.key]);
      fitPage();
    });
    return grip;
  }

  // ---- The time axis on top ----

  // Once the panels reach below the window, the time axis under the last
  // one is out of sight: a strip above the first tells the same times, and
  // stays at the top of the window as the page scrolls. A page that fits
  // the window has none, and makes none, so that the panels are the
  // page's only plots until it is needed.
  let topAxis = null;

  function makeTopAxis(reference) {
    const strip = document.createElement('div');
    strip.className = 'top-axis';
    strip.hidden = true;
    document.getElementById('panels').prepend(strip);
    const axis = { strip, plot: null, labels: [] };
    // Its times stand over the panels' plotting areas.
    const { left, width } = reference.plot.bbox;
    const right = reference.plot.width - (left + width) / uPlot.pxRatio;
    axis.plot = new uPlot({
      width: reference.plot.width,
      height: TIME_AXIS_HEIGHT,
      padding: [0, right, 0, left / uPlot.pxRatio],
      tzDate: (seconds) => uPlot.tzDate(new Date(seconds * 1e3), 'Etc/UTC'),
      scales: { x: { time: true, auto: false } },
      series: [{ label: 'time' }],
      axes: [{ side: 0, scale: 'x', font: AXIS_FONT, space: timeSpace, filter: labelsInside,
               values: (u, splits, axisIdx, foundSpace, foundIncr) => (axis.labels = tickTexts(splits, foundIncr)),
               label: TIME_LABEL, labelFont: AXIS_FONT, labelSize: 14, size: TIME_AXIS_HEIGHT - 16,
               grid: { show: false } }],
      legend: { show: false },
      cursor: { show: false },
    }, [[]], strip);
    return axis;
  }

  function drawTopAxis() {
    if (!topAxis || topAxis.strip.hidden) return;
    const u = topAxis.plot;
    const reference = panels.find((state) => state.axisBelow);
    u.batch(() => {
      if (reference && reference.plot.width !== u.width) u.setSize({ width: reference.plot.width, height: u.height });
      u.setData([[view[0] / SECOND, view[1] / SECOND]], false);
      u.setScale('x', { min: view[0] / SECOND, max: view[1] / SECOND });
    });
  }

  // Whether the page, without the strip, is taller than the window.
  function showTopAxis() {
    const shown = topAxis !== null && !topAxis.strip.hidden;
    const height = document.documentElement.scrollHeight - (shown ? topAxis.strip.offsetHeight : 0);
    const wanted = height > window.innerHeight;
    if (wanted === shown) return;
    const reference = panels.find((state) => state.axisBelow);
    if (!reference) return;
    if (topAxis === null) topAxis = makeTopAxis(reference);
    topAxis.strip.hidden = !wanted;
    drawTopAxis();
  }

  // ---- Export ----

  function download(blob, name) {
    const link = document.createElement('a');
    link.href = URL.createObjectURL(blob);
    link.download = name;
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 1000);
  }

  function viewName(extension) {
    return 'zolt-' + isoMicros(view[0]).slice(0, 23).replace(/[:]/g, '') + '.' + extension;
  }

  // The entries in view of every group, as the page holds them, one table
  // with a column for each channel (its least and greatest for buckets) and
  // a row for each entry; a group's columns are empty in the others' rows.
  function viewCsv() {
    const columns = [];
    const rows = [];
    const byGroup = meta.groups.map(() => []);
    for (const [key, described] of Object.entries(meta.channels)) byGroup[described.group].push({ key, described });
    byGroup.forEach((channels) => channels.sort((a, b) => a.described.index - b.described.index));
    groups.forEach((group, g) => {
      const first = columns.length;
      for (const { key } of byGroup[g]) {
        if (group.buckets) columns.push(key + '_min', key + '_max');
        else columns.push(key);
      }
      const [from, to] = entriesIn(group, view[0], view[1]);
      for (let i = from; i < to; i++) rows.push({ micros: group.micros[i], group, g, i, first });
    });
    rows.sort((a, b) => a.micros - b.micros || a.g - b.g);
    const lines = ['time,' + columns.join(',')];
    for (const { micros, group, g, i, first } of rows) {
      const cells = new Array(columns.length).fill('');
      let at = first;
      for (const { described } of byGroup[g]) {
        const stored = group.stored[described.index];
        cells[at++] = textOf(described, stored.least[i]);
        if (group.buckets) cells[at++] = textOf(described, stored.greatest[i]);
      }
      lines.push(isoMicros(micros) + ',' + cells.join(','));
    }
    return lines.join('\n') + '\n';
  }

  // The panels as they are drawn, one under the other, with their names.
  function viewPng() {
    const ratio = uPlot.pxRatio;
    const drawn = panels.filter((state) => state.plot);
    const width = Math.max(...drawn.map((state) => state.plot.ctx.canvas.width));
    const heading = Math.round(HEADING_HEIGHT * ratio);
    const height = drawn.reduce((sum, state) => sum + heading + state.plot.ctx.canvas.height, 0);
    const canvas = document.createElement('canvas');
    canvas.width = width;
    canvas.height = height;
    const ctx = canvas.getContext('2d');
    ctx.fillStyle = '#fff';
    ctx.fillRect(0, 0, width, height);
    ctx.font = Math.round(12 * ratio) + 'px system-ui, sans-serif';
    ctx.textBaseline = 'middle';
    let y = 0;
    for (const state of drawn) {
      let x = 4 * ratio;
      ctx.fillStyle = '#222';
      ctx.fillText(state.panel.title, x, y + heading / 2);
      x += ctx.measureText(state.panel.title).width + 16 * ratio;
      state.traces.forEach((trace, k) => {
        if (!state.plot.series[k + 1].show) return;
        ctx.fillStyle = trace.colour;
        ctx.fillText(trace.name, x, y + heading / 2);
        x += ctx.measureText(trace.name).width + 10 * ratio;
      });
      ctx.drawImage(state.plot.ctx.canvas, 0, y + heading);
      y += heading + state.plot.ctx.canvas.height;
    }
    return canvas;
  }

  function bindExport() {
    const actions = {
      csv: () => download(new Blob([viewCsv()], { type: 'text/csv' }), viewName('csv')),
      png: () => viewPng().toBlob((blob) => download(blob, viewName('png')), 'image/png'),
    };
    for (const button of document.querySelectorAll('[data-export]')) {
      button.addEventListener('click', () => actions[button.dataset.export]());
    }
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
                                                   samples: drawn.single, level: drawn.level, fan: FAN } : null;
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

  // The value axis of each panel drawn: the values at its top and bottom
  // edges, and the dives it shaded at its last draw.
  function valueAxes() {
    const out = {};
    for (const state of panels) {
      if (!state.plot) continue;
      const u = state.plot;
      out[state.panel.title] = { top: u.posToVal(0, 'y'), bottom: u.posToVal(u.bbox.height / uPlot.pxRatio, 'y'),
                                 shadedDives: state.shadedDives === undefined ? null : state.shadedDives };
    }
    return out;
  }

  // Where each panel lies on the page, for tests of the layout.
  function layout() {
    return panels.map((state) => {
      const box = state.section.getBoundingClientRect();
      return { title: state.panel.title, top: box.top + window.scrollY, bottom: box.bottom + window.scrollY };
    });
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
    defaultHeight = panelHeight(container);
    const drawnGroups = meta.panels.map((panel) => groups[meta.channels[panel.traces[0].channel].group].micros.length);
    const bottom = drawnGroups.reduce((at, count, i) => (count > 0 ? i : at), -1);
    panels = meta.panels.map((panel, i) => makePanel(panel, container, i === bottom));
    bindControls(container);
    bindExport();
    if (!fromFragment()) drawAll();
    fitPage();
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
    layout,
    valueAxes,
    timeAxis: () => ({ label: TIME_LABEL, ticks: timeLabels.slice(),
                       top: topAxis && !topAxis.strip.hidden
                         ? { label: topAxis.plot.axes[0].label, ticks: topAxis.labels.slice() } : null }),
    csv: viewCsv,
    png: () => viewPng().toDataURL('image/png'),
  };
})();
