// Reads one domain's controllers, battery units, preserved cache, arrays and disks.
import {call, SessionExpired} from './rpc.js';

// A failure of an optional part (no battery unit, no preserved cache) reads as null.
async function optional(method, params) {
  try {
    return await call(method, params);
  } catch (e) {
    if (e instanceof SessionExpired) throw e;
    return null;
  }
}

async function controllers(domain) {
  const count = await call('GetControllerCount', {domain});
  const list = [];
  for (let id = 0; id < count; id++) {
    const [info, bbu] = await Promise.all([
      call('GetControllerInfo', {domain, id}),
      optional('GetBBUInfo', {domain, id}),
    ]);
    list.push({id, info, bbu});
  }
  return list;
}

// Nested arrays list sub-arrays as members; they are read too, so member disks can be shown.
async function withSubArrays(domain, vd) {
  if (!vd.array || !vd.array.sub_raidlevel) return vd;
  vd.subArrays = await Promise.all(vd.array.members.map((id) => call('GetVDInfo', {domain, id})));
  return vd;
}

// {driver, controllers, pcache, arrays: [VD with array], disks: [VD with disk]}.
export async function loadDomain(domain) {
  const [driver, ctrls, pcache, ldList, pdList] = await Promise.all([
    call('GetDriverInfo', {domain}),
    controllers(domain),
    optional('GetPCacheSize', {domain}),
    call('GetLDList', {domain}),
    call('GetPDList', {domain}),
  ]);
  const lds = await Promise.all(ldList.map((id) => call('GetVDInfo', {domain, id})));
  const arrays = await Promise.all(lds.filter((vd) => vd.type === 1).map((vd) => withSubArrays(domain, vd)));
  const disks = await Promise.all(pdList.map((id) => call('GetVDInfo', {domain, id})));
  return {domain, driver, controllers: ctrls, pcache, arrays, disks};
}

// The disk ids that hold an array's data, sub-arrays resolved.
export function memberDiskIds(vd) {
  if (vd.subArrays) return vd.subArrays.flatMap((sub) => sub.array.members);
  return vd.array.members;
}

export function findArrayName(data, id) {
  for (const vd of data.arrays) {
    if (vd.id === id) return vd.array.aname;
    for (const sub of vd.subArrays || []) {
      if (sub.id === id) return vd.array.aname;
    }
  }
  return '#' + id;
}
