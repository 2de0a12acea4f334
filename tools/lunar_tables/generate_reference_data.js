// Writes the second reference (date-chinese, on astronomia) into the test
// data of ui/calendar/testdata, independent of the tables' source:
//   reference_days.txt   the lunar date of every day 1901-01-01 .. 2048-12-31,
//                        one line per run of consecutive lunar days:
//                        "YYYY-MM-DD lunar_year month leap day" starts a run in
//                        which each following day is the next lunar day.
//   reference_terms.txt  per Gregorian year 1880..2079: the year and the 24
//                        term dates as MMDD, 小寒 first.
// Then compares both references day by day and term by term and prints
// every disagreement with the moments that settle it (China Standard Time).
'use strict';

const fs = require('fs');
const path = require('path');
const { CalendarChinese } = require('date-chinese');
const { julian, solstice, moonphase, planetposition } = require('astronomia');
const vsop87Bearth = require('astronomia/data/vsop87Bearth');
const { Solar, LunarYear } = require('lunar-javascript');
const { repoRoot, dayNumber, civilFromDayNumber, civilMoment, pad, dateText, momentText, TERM_NAMES } =
    require('./common');

const earth = new planetposition.Planet(vsop87Bearth.default || vsop87Bearth);
const calendar = new CalendarChinese();
const testdata = path.join(repoRoot, 'ui', 'calendar', 'testdata');

// --- Days ---

const firstDay = dayNumber(1901, 1, 1);
const lastDay = dayNumber(2048, 12, 31);
const secondDays = new Map();
const runs = [];
let previous = null;
for (let jdn = firstDay; jdn <= lastDay; jdn++) {
  const c = civilFromDayNumber(jdn);
  calendar.fromGregorian(c.year, c.month, c.day);
  const lunar = { year: calendar.yearFromEpochCycle(), month: calendar.month, leap: calendar.leap ? 1 : 0, day: calendar.day };
  secondDays.set(jdn, lunar);
  const continues = previous && lunar.year === previous.year && lunar.month === previous.month &&
      lunar.leap === previous.leap && lunar.day === previous.day + 1;
  if (!continues) runs.push(`${dateText(c)} ${lunar.year} ${lunar.month} ${lunar.leap} ${lunar.day}`);
  previous = lunar;
}
fs.writeFileSync(path.join(testdata, 'reference_days.txt'),
    '# date-chinese ' + require('date-chinese/package.json').version + ': runs of consecutive lunar days\n' +
    runs.join('\n') + '\n');

// --- Solar terms ---

// The second reference's term moment as a local (UTC+8) Julian date.
function secondTermMoment(year, number) {
  const longitude = ((285 + 15 * (number - 1)) % 360) * Math.PI / 180;
  // Searches start from the equinox or solstice of the year passed; 小寒 and
  // 大寒 are found from the December solstice of the year before.
  const jde = solstice.longitude(number <= 5 ? year - 1 : year, earth, longitude);
  return new julian.CalendarGregorian().fromJDE(jde).toJD() + 8 / 24;
}

// The second reference's own calendar date of a term (its solarTerm()).
function secondTermDate(year, number) {
  const term = ((number + 21) % 24) + 1;  // its numbering starts at 立春
  const midnight = calendar.solarTerm(term, number <= 2 ? year - 1 : year);
  const g = new julian.CalendarGregorian().fromJDE(midnight + 0.5);
  return { year: g.year, month: g.month, day: Math.trunc(g.day) };
}

const termLines = [];
const termDisagreements = [];
const offsets = [];
for (let year = 1880; year <= 2079; year++) {
  const firstJulianDays = LunarYear.fromYear(year).getJieQiJulianDays();
  const fields = [String(year)];
  for (let number = 1; number <= 24; number++) {
    const date = secondTermDate(year, number);
    fields.push(pad(date.month) + pad(date.day));
    const first = civilMoment(firstJulianDays[number + 1]);
    const second = civilMoment(secondTermMoment(year, number));
    const offset = Math.round((second.jdn - first.jdn) * 86400 + (second.hour - first.hour) * 3600 +
        (second.minute - first.minute) * 60 + (second.second - first.second));
    offsets.push({ year, offset });
    if (date.year !== first.year || date.month !== first.month || date.day !== first.day || second.jdn !== first.jdn) {
      termDisagreements.push(`  ${TERM_NAMES[number - 1]} ${year}: first ${momentText(first)}, ` +
          `second's date ${dateText(date)}, second's moment ${momentText(second)}`);
    }
  }
  termLines.push(fields.join(' '));
}
fs.writeFileSync(path.join(testdata, 'reference_terms.txt'),
    '# date-chinese ' + require('date-chinese/package.json').version +
    ': year, then the dates (MMDD) of 小寒 .. 冬至\n' + termLines.join('\n') + '\n');

// --- Comparison ---

function newMoonMoments(jdn) {
  const c = civilFromDayNumber(jdn);
  const { ShouXingUtil } = require('lunar-javascript');
  const lunation = Math.floor((jdn + 14 - 2451551) / 29.5306);
  const first = ShouXingUtil.shuoHigh(lunation * Math.PI * 2) + 2451545;
  const jde = moonphase.newMoon(c.year + (c.month - 1) / 12 + (c.day - 1) / 365.25);
  const second = new julian.CalendarGregorian().fromJDE(jde).toJD() + 8 / 24;
  return `new moon ${momentText(civilMoment(first))} (first), ${momentText(civilMoment(second))} (second)`;
}

console.log('Days on which the references disagree (first = lunar-javascript, second = date-chinese):');
let range = null;
const flush = () => {
  if (!range) return;
  console.log(`  ${dateText(civilFromDayNumber(range.from))} .. ${dateText(civilFromDayNumber(range.to))}: ` +
      `first ${range.a}, second ${range.b}; month start ${newMoonMoments(range.monthStart)}`);
  range = null;
};
for (let jdn = firstDay; jdn <= lastDay; jdn++) {
  const c = civilFromDayNumber(jdn);
  const l = Solar.fromYmd(c.year, c.month, c.day).getLunar();
  const a = `${l.getYear()}/${l.getMonth() < 0 ? 'leap ' : ''}${Math.abs(l.getMonth())}/${l.getDay()}`;
  const s = secondDays.get(jdn);
  const b = `${s.year}/${s.leap ? 'leap ' : ''}${s.month}/${s.day}`;
  if (a === b) { flush(); continue; }
  if (range && range.to === jdn - 1) range.to = jdn; else { flush(); range = { from: jdn, to: jdn, a, b, monthStart: s.day === 1 ? jdn : jdn - l.getDay() + 1 }; }
}
flush();

console.log('\nSolar terms on which they disagree:');
termDisagreements.forEach((line) => console.log(line));

console.log('\nMoment offsets, second minus first (seconds):');
for (let from = 1880; from <= 2079; from += 40) {
  const slice = offsets.filter((o) => o.year >= from && o.year < from + 40).map((o) => o.offset);
  const mean = slice.reduce((a, b) => a + b, 0) / slice.length;
  console.log(`  ${from}..${from + 39}: min ${Math.min(...slice)}, max ${Math.max(...slice)}, mean ${mean.toFixed(1)}`);
}
