// How the controller's numbers and bits read to a person.

export const SECTOR = 512;

// Sizes in decimal units, as disk makers label them.
export function bytes(n) {
  const units = ['B', 'KB', 'MB', 'GB', 'TB', 'PB'];
  let value = Number(n);
  let unit = 0;
  while (value >= 1000 && unit < units.length - 1) {
    value /= 1000;
    unit += 1;
  }
  return (unit === 0 ? String(value) : value.toFixed(2)) + ' ' + units[unit];
}

export function sectors(n) {
  return bytes(Number(n) * SECTOR);
}

// Memory in binary units, as memory is made: 2147483648 -> "2 GiB", 1536 MiB -> "1.50 GiB".
export function memory(n) {
  const units = ['B', 'KiB', 'MiB', 'GiB', 'TiB'];
  let value = Number(n);
  let unit = 0;
  while (value >= 1024 && unit < units.length - 1) {
    value /= 1024;
    unit += 1;
  }
  return (Number.isInteger(value) ? String(value) : value.toFixed(2)) + ' ' + units[unit];
}

export function rangeHint(min, max, unit) {
  return 'From ' + min + ' to ' + max + (unit ? ' ' + unit : '') + '.';
}

// A form field's text as a whole number from `min` to `max`. Anything else throws an Error
// that names the field, its range and its unit, and carries the field as `input`.
export function wholeNumber(label, input, min, max, unit) {
  const text = input.value.trim();
  const n = Number(text);
  if (text !== '' && Number.isInteger(n) && n >= min && n <= max) {
    input.removeAttribute('aria-invalid');
    return n;
  }
  input.setAttribute('aria-invalid', 'true');
  const error = new Error(label + ' must be a whole number from ' + min + ' to ' + max + (unit ? ' ' + unit : '') + '.');
  error.input = input;
  throw error;
}

const LEVELS = {1: 'RAID0', 2: 'RAID1', 3: 'RAID5', 4: 'RAID6', 7: 'JBOD'};

// A nested array is a stripe (RAID0) over sub-arrays of sub_raidlevel.
export function levelName(raidlevel, subLevel) {
  if (subLevel) {
    const nested = {2: 'RAID10', 3: 'RAID50', 4: 'RAID60'}[subLevel];
    if (nested) return nested;
  }
  return LEVELS[raidlevel] || 'level ' + raidlevel;
}

export const CACHE_POLICIES = {0: 'No cache', 1: 'Write-through', 2: 'Write-back',
                               3: 'Forced write-back'};

export function cachePolicyName(p) {
  return CACHE_POLICIES[p] || 'policy ' + p;
}

export const ARRAY = {
  DISABLED: 0x1, NEED_REBUILD: 0x2, REBUILDING: 0x4, CRITICAL: 0x8, VERIFYING: 0x100,
  FG_INIT: 0x200, TRANSFORMING: 0x400, NEED_TRANSFORM: 0x800, UNINITIALIZED: 0x1000,
  BUSY: 0x704,
};

export const DISK = {
  DISABLED: 0x1, LOCKED: 0x8, TARGET_LEVEL: 0x20, ENCLOSURE: 0x80, SSD: 0x800,
  RA_SUPPORTED: 0x1000, RA_ON: 0x2000, WC_SUPPORTED: 0x4000, WC_ON: 0x8000,
  UNINITIALIZED: 0x10000, LEGACY: 0x20000, ERASING: 0x80000, QD_SUPPORTED: 0x100000,
  QD_ON: 0x200000, SMART_ON: 0x800000, SPARE: 0x80000000,
};

export function has(flags, bit) {
  // Flags are 32-bit unsigned; JavaScript's & works on signed 32-bit values.
  return ((Number(flags) & bit) >>> 0) !== 0;
}

// The state of an array and the task that is running on it, if any:
// {text, kind: 'ok'|'warn'|'bad'|'busy', task: name or null, percent: 0..100 or null}.
export function arrayState(array) {
  const f = array.flags;
  const progress = (value) => Math.min(100, Number(value) / 100);
  let task = null;
  let percent = null;
  if (has(f, ARRAY.VERIFYING)) task = 'Verifying';
  else if (has(f, ARRAY.FG_INIT)) task = 'Initializing';
  else if (has(f, ARRAY.REBUILDING)) task = has(f, ARRAY.UNINITIALIZED) ? 'Initializing' : 'Rebuilding';
  if (task) percent = progress(array.rebuilt_percent);
  else if (has(f, ARRAY.TRANSFORMING)) {
    task = 'Transforming';
    percent = progress(array.transform_percent);
  }

  if (has(f, ARRAY.DISABLED)) return {text: 'Disabled', kind: 'bad', task, percent};
  if (has(f, ARRAY.CRITICAL)) return {text: 'Critical', kind: 'bad', task, percent};
  if (task) return {text: task, kind: 'busy', task, percent};
  if (has(f, ARRAY.NEED_REBUILD)) return {text: 'Needs rebuild', kind: 'warn', task, percent};
  if (has(f, ARRAY.NEED_TRANSFORM)) return {text: 'Transform pending', kind: 'warn', task, percent};
  if (has(f, ARRAY.UNINITIALIZED)) return {text: 'Not initialized', kind: 'warn', task, percent};
  return {text: 'Normal', kind: 'ok', task, percent};
}

// "[c/E e/s]"-style location: controller, enclosure or port, target, counted from 1.
export function diskLocation(disk) {
  const c = disk.controller + 1;
  if (has(disk.flags, DISK.ENCLOSURE)) return c + '/E' + (disk.port + 1) + '/' + (disk.target + 1);
  if (has(disk.flags, DISK.TARGET_LEVEL)) return c + '/' + (disk.port + 1) + '/' + (disk.target + 1);
  return c + '/' + (disk.port + 1);
}

export function diskState(disk) {
  const f = disk.flags;
  if (has(f, DISK.DISABLED)) return {text: 'Failed', kind: 'bad'};
  if (has(f, DISK.ERASING)) return {text: 'Erasing', kind: 'busy'};
  if (has(f, DISK.LOCKED)) return {text: 'Locked', kind: 'warn'};
  if (has(f, DISK.UNINITIALIZED)) return {text: 'Not initialized', kind: 'warn'};
  if (has(f, DISK.LEGACY)) return {text: 'Legacy', kind: 'ok'};
  return {text: 'Online', kind: 'ok'};
}

export function diskParents(disk) {
  return (disk.parents || []).filter((p) => p !== null && p !== undefined && p !== 0);
}

export function diskRole(disk) {
  if (has(disk.flags, DISK.SPARE)) return 'Spare';
  if (diskParents(disk).length > 0) return 'Member';
  if (has(disk.flags, DISK.LEGACY)) return 'Legacy';
  if (has(disk.flags, DISK.DISABLED | DISK.LOCKED | DISK.UNINITIALIZED | DISK.ERASING)) return 'Unusable';
  return 'Free';
}

export function isFreeDisk(disk) {
  const f = disk.flags;
  return !has(f, DISK.SPARE) && diskParents(disk).length === 0 &&
         !has(f, DISK.DISABLED | DISK.LOCKED | DISK.UNINITIALIZED | DISK.LEGACY | DISK.ERASING);
}

export function diskLabel(disk) {
  return '[' + diskLocation(disk) + '] ' + disk.model + ' ' + disk.serial;
}

export const BBU = {ENABLED: 0x1, CHARGING: 0x2, DISCHARGING: 0x4, FAULTED: 0x8};

export function bbuState(status) {
  if (has(status, BBU.FAULTED)) return {text: 'Faulted', kind: 'bad'};
  if (has(status, BBU.DISCHARGING)) return {text: 'Discharge test running', kind: 'busy'};
  if (has(status, BBU.CHARGING)) return {text: 'Charging', kind: 'busy'};
  if (has(status, BBU.ENABLED)) return {text: 'Ready', kind: 'ok'};
  return {text: 'Disabled', kind: 'warn'};
}

export function celsius(hundredths) {
  return (Number(hundredths) / 100).toFixed(1) + ' °C';
}

export function volts(mv) {
  return (Number(mv) / 1000).toFixed(3) + ' V';
}

export function dateTime(seconds) {
  const d = new Date(Number(seconds) * 1000);
  const pad = (n) => String(n).padStart(2, '0');
  return d.getFullYear() + '-' + pad(d.getMonth() + 1) + '-' + pad(d.getDate()) + ' ' +
         pad(d.getHours()) + ':' + pad(d.getMinutes()) + ':' + pad(d.getSeconds());
}
