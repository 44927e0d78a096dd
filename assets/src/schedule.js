// Scheduled task times: the four kinds, their description, and the conversion between the
// stored seconds and the form's local dates and times.

export const TASK_TYPES = [[1, 'Once'], [2, 'Every N days'], [3, 'Weekly'], [4, 'Monthly']];
export const WEEKDAYS = ['Sunday', 'Monday', 'Tuesday', 'Wednesday', 'Thursday', 'Friday', 'Saturday'];

const pad = (n) => String(n).padStart(2, '0');

export function localDate(seconds) {
  const d = new Date(Number(seconds) * 1000);
  return d.getFullYear() + '-' + pad(d.getMonth() + 1) + '-' + pad(d.getDate());
}

export function localTime(seconds) {
  const d = new Date(Number(seconds) * 1000);
  return pad(d.getHours()) + ':' + pad(d.getMinutes());
}

// Seconds since 1970 of a local date ("2026-12-11") and time ("03:00").
export function toSeconds(date, time) {
  const when = new Date(date + 'T' + (time || '00:00'));
  return Math.floor(when.getTime() / 1000);
}

// The bits set in `mask`, as numbers from `from` to `to`.
export function bitsOf(mask, from, to) {
  const list = [];
  for (let b = from; b <= to; b++) if ((Number(mask) / 2 ** b) % 2 >= 1) list.push(b);
  return list;
}

export function maskOf(bits) {
  return bits.reduce((m, b) => m + 2 ** b, 0);
}

export function describe(task) {
  const at = ' at ' + localTime(task.date);
  switch (Number(task.type)) {
    case 1:
      return 'Once on ' + localDate(task.date) + at;
    case 2: {
      const n = Number(task.days) || 1;
      return (n === 1 ? 'Every day' : 'Every ' + n + ' days') + at + ', from ' + localDate(task.startdate);
    }
    case 3:
      return 'Every ' + (bitsOf(task.days, 0, 6).map((d) => WEEKDAYS[d]).join(', ') || '(no day)') + at +
             ', from ' + localDate(task.startdate);
    case 4:
      return 'On day ' + (bitsOf(task.days, 1, 31).join(', ') || '(none)') + ' of each month' + at +
             ', from ' + localDate(task.startdate);
    default:
      return 'Unknown schedule type ' + task.type;
  }
}
