// What the driver allows: RAID levels with their nested forms, cache policies per level.

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
