// Small helpers shared by the generators: Julian day numbers and civil dates.
'use strict';

const path = require('path');

const repoRoot = path.resolve(__dirname, '..', '..');

// Julian day number (the integer JD at noon) of a proleptic Gregorian date.
function dayNumber(year, month, day) {
  const a = Math.floor((14 - month) / 12);
  const y = year + 4800 - a;
  const m = month + 12 * a - 3;
  return day + Math.floor((153 * m + 2) / 5) + 365 * y + Math.floor(y / 4) -
      Math.floor(y / 100) + Math.floor(y / 400) - 32045;
}

function civilFromDayNumber(jdn) {
  const a = jdn + 32044;
  const b = Math.floor((4 * a + 3) / 146097);
  const c = a - Math.floor(146097 * b / 4);
  const d = Math.floor((4 * c + 3) / 1461);
  const e = c - Math.floor(1461 * d / 4);
  const m = Math.floor((5 * e + 2) / 153);
  return {
    year: 100 * b + d - 4800 + Math.floor(m / 10),
    month: m + 3 - 12 * Math.floor(m / 10),
    day: e - Math.floor((153 * m + 2) / 5) + 1,
  };
}

// A moment given as a Julian date in local (UTC+8) time, rounded to the
// nearest second, as a civil date and time of day.
function civilMoment(localJulianDate) {
  const seconds = Math.round((localJulianDate + 0.5) * 86400);
  const jdn = Math.floor(seconds / 86400);
  const inDay = seconds - jdn * 86400;
  return Object.assign(civilFromDayNumber(jdn), {
    jdn,
    hour: Math.floor(inDay / 3600),
    minute: Math.floor((inDay % 3600) / 60),
    second: inDay % 60,
  });
}

const pad = (n, width = 2) => String(n).padStart(width, '0');
const dateText = (c) => `${c.year}-${pad(c.month)}-${pad(c.day)}`;
const momentText = (c) => `${dateText(c)} ${pad(c.hour)}:${pad(c.minute)}:${pad(c.second)}`;

const TERM_NAMES = ['小寒', '大寒', '立春', '雨水', '惊蛰', '春分', '清明', '谷雨', '立夏', '小满', '芒种', '夏至',
  '小暑', '大暑', '立秋', '处暑', '白露', '秋分', '寒露', '霜降', '立冬', '小雪', '大雪', '冬至'];

module.exports = { repoRoot, dayNumber, civilFromDayNumber, civilMoment, pad, dateText, momentText, TERM_NAMES };
