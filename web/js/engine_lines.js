// The engine's reply lines, read into plain objects. height turns the engine's board
// notation ([8H], [8,H]) into cells; protocol cells (x,y) need no size.
import { parseBoardCells } from './notation.js';

function protocolCells(text) {
  return text
    .trim()
    .split(/\s+/)
    .map((pair) => {
      const [x, y] = pair.split(',').map(Number);
      return { x, y };
    });
}

// One line to {kind, ...}:
//   cells    a move, PLAY's echo or a Swap2 answer: {cells: [{x, y}, ...]}
//   swap     Swap2's SWAP
//   ok, unknown, about, error {text}
//   forbid   {cells}: black's forbidden points
//   realtime {what: 'best'|'pos'|'done'|'lose', cell} | {what: 'val', value}
//            | {what: 'pv', line: cells} | {what: 'refresh'}
//   detail   an iteration: {depth, reached, starred, value, time, nodes, cells}
//   balance  a balance iteration: {final, depth, reached, target, distance, time, nodes, cells}
//   summary  {depth, reached, time, nodes}       (show_detail: Complexity line)
//   speed    {speed (nodes per ms), value}       (show_detail: Speed line)
//   bestline {line: cells}
//   rule     {text}
//   message  {text}: any other MESSAGE line
//   other    {text}
export function parseEngineLine(line, height) {
  let m;
  if ((m = /^(\d+,\d+(?: \d+,\d+)*)$/.exec(line))) return { kind: 'cells', cells: protocolCells(m[1]) };
  if (line === 'SWAP') return { kind: 'swap' };
  if (line === 'OK') return { kind: 'ok' };
  if (line === 'UNKNOWN command') return { kind: 'unknown' };
  if (line.startsWith('name="')) return { kind: 'about', text: line };
  if ((m = /^ERROR (.*)$/.exec(line))) return { kind: 'error', text: m[1] };
  if ((m = /^FORBID ((?:\d{4})*)\.$/.exec(line))) {
    const cells = [];
    for (let i = 0; i < m[1].length; i += 4)
      cells.push({ x: Number(m[1].slice(i, i + 2)), y: Number(m[1].slice(i + 2, i + 4)) });
    return { kind: 'forbid', cells };
  }
  if ((m = /^MESSAGE REALTIME (BEST|POS|DONE|LOSE) (\d+),(\d+)$/.exec(line)))
    return { kind: 'realtime', what: m[1].toLowerCase(), cell: { x: Number(m[2]), y: Number(m[3]) } };
  if ((m = /^MESSAGE REALTIME VAL (-?\d+)$/.exec(line))) return { kind: 'realtime', what: 'val', value: Number(m[1]) };
  if ((m = /^MESSAGE REALTIME PV(.*)$/.exec(line)))
    return { kind: 'realtime', what: 'pv', line: parseBoardCells(m[1], height) };
  if (line === 'MESSAGE REALTIME REFRESH') return { kind: 'realtime', what: 'refresh' };
  if ((m = /^MESSAGE DETAIL DEPTH:(\d+)-(\d+)(\*?) VAL:(-?\d+) TIME:(\d+)ms NODE:(\d+)m (.*)$/.exec(line)))
    return {
      kind: 'detail',
      depth: Number(m[1]),
      reached: Number(m[2]),
      starred: m[3] === '*',
      value: Number(m[4]),
      time: Number(m[5]),
      nodes: Number(m[6]) * 1e6,
      cells: parseBoardCells(m[7], height),
    };
  m = /^MESSAGE DETAIL (\(BALANCE\) )?DEPTH:(\d+)-(\d+)\*? \|VAL([+-]\d+)\|:(\d+) TIME:(\d+)ms NODE:(\d+)m (.*)$/.exec(line);
  if (m)
    return {
      kind: 'balance',
      final: Boolean(m[1]),
      depth: Number(m[2]),
      reached: Number(m[3]),
      target: 0 - Number(m[4]), // written with its sign turned: |VAL-200| is the target 200
      distance: Number(m[5]),
      time: Number(m[6]),
      nodes: Number(m[7]) * 1e6,
      cells: parseBoardCells(m[8], height),
    };
  if ((m = /^MESSAGE Complexity: .*\| Depth: (\d+)-(\d+) \| Time: (\d+)ms \| Node: (\d+)m$/.exec(line)))
    return { kind: 'summary', depth: Number(m[1]), reached: Number(m[2]), time: Number(m[3]), nodes: Number(m[4]) * 1e6 };
  if ((m = /^MESSAGE Speed: (\d+) \| Evaluation: (-?\d+)/.exec(line)))
    return { kind: 'speed', speed: Number(m[1]), value: Number(m[2]) };
  if ((m = /^MESSAGE Bestline:(.*)$/.exec(line))) return { kind: 'bestline', line: parseBoardCells(m[1], height) };
  if ((m = /^MESSAGE Rule (.*)$/.exec(line))) return { kind: 'rule', text: m[1] };
  if ((m = /^MESSAGE ?(.*)$/.exec(line))) return { kind: 'message', text: m[1] };
  return { kind: 'other', text: line };
}

// Values are limited to -10000..10000; the ends are proven results.
export const PROVEN = 10000;

// A value as people read it, for the side it belongs to: "+35", "-120", "wins", "loses".
export function describeValue(value) {
  if (value >= PROVEN) return 'wins';
  if (value <= -PROVEN) return 'loses';
  return value > 0 ? `+${value}` : `${value}`;
}
