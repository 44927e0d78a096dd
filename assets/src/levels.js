// What the driver allows: RAID levels with their nested forms, cache policies per level.
import {has, BBU} from './format.js';

export const LEVEL_CHOICES = [
  {key: 'RAID0', level: 1, min: 1},
  {key: 'RAID1', level: 2, min: 2},
  {key: 'RAID5', level: 3, min: 3},
  {key: 'RAID6', level: 4, min: 4},
  {key: 'JBOD', level: 7, min: 1},
  // Nested: a stripe over sub-arrays of the base level, `subdisks` disks each.
  {key: 'RAID10', level: 2, min: 2, nested: true},
  {key: 'RAID50', level: 3, min: 3, nested: true},
  {key: 'RAID60', level: 4, min: 4, nested: true},
];

export function driverLevels(driver) {
  return LEVEL_CHOICES.filter((c) => driver.raid_levels.includes(c.level));
}

// The driver gives one bit (1 << policy) per allowed policy for each of its levels.
export function allowedPolicies(driver, level) {
  const at = driver.raid_levels.indexOf(level);
  const mask = at >= 0 ? driver.cache_policies[at] : 0;
  const list = [0, 1, 2, 3].filter((p) => (mask & (1 << p)) !== 0);
  return list.length ? list : [0, 1, 2, 3];
}

export function maxMembers(driver, level) {
  const at = driver.raid_levels.indexOf(level);
  const limit = at >= 0 ? driver.max_mpa[at] : 0;
  return limit > 0 ? limit : 64;
}

// Why `count` member disks cannot make a `choice` array (nested: `subdisks` to a sub-array), as
// the sentence the dialog shows; null when they can.
export function memberCountProblem(driver, choice, count, subdisks) {
  if (choice.nested) {
    const per = Math.max(choice.min, subdisks);
    if (subdisks < choice.min) return choice.key + ' needs at least ' + choice.min + ' disks per sub-array.';
    if (count < 2 * per) return choice.key + ' needs at least ' + 2 * per + ' disks.';
    if (count % subdisks !== 0) return choice.key + ' needs a multiple of ' + subdisks + ' disks.';
    if (count > 64) return choice.key + ' takes at most 64 disks.';
    return null;
  }
  if (count < choice.min) return choice.key + ' needs at least ' + choice.min + ' disks.';
  const limit = maxMembers(driver, choice.level);
  if (count > limit) return choice.key + ' takes at most ' + limit + ' disks.';
  return null;
}

// Write-back keeps written data in the controller's memory for a while: without that memory, or
// without a battery unit that is ready, a power failure loses it. Returns the risk as a
// sentence, or null when the controllers have both.
export function writeBackRisk(controllers) {
  const memory = controllers.some((c) => Number(c.info.ramsize) > 0);
  const battery = controllers.some((c) => c.bbu && c.bbu.bbu_installed &&
    has(c.bbu.bbu_status, BBU.ENABLED) && !has(c.bbu.bbu_status, BBU.FAULTED));
  if (memory && battery) return null;
  const lacks = !memory && !battery ? 'has no cache memory and no battery unit'
    : !memory ? 'has no cache memory' : 'has no battery unit that is ready';
  return 'This controller ' + lacks + ': with write-back, data the host counts as written is lost ' +
         'if the power fails before it reaches the disks.';
}

export const WRITE_BACK_POLICIES = [2, 3];
