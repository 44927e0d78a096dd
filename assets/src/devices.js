// Reads one domain's controllers, battery units, preserved cache, arrays and disks. Every device
// record is a request to the controller's firmware, so a reader keeps what it read and asks
// again only for what may have changed.
import {call, SessionExpired} from './rpc.js';
import {ARRAY, DISK, BBU, has} from './format.js';

// Devices without a task or an event are read again at this pace all the same.
export const FULL_READ_MS = 30000;
// A SMART status is an ATA command through the controller: once a minute per disk at most, and
// only a few disks a read, so a large machine spreads them out.
export const SMART_MS = 60000;
const SMART_PER_READ = 16;

// A failure of an optional part (no battery unit, no preserved cache) reads as null.
async function optional(method, params) {
  try {
    return await call(method, params);
  } catch (e) {
    if (e instanceof SessionExpired) throw e;
    return null;
  }
}

async function readControllers(domain) {
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
async function readDevice(domain, id) {
  const vd = await call('GetVDInfo', {domain, id});
  if (vd.type === 1 && vd.array && vd.array.sub_raidlevel) {
    vd.subArrays = await Promise.all(vd.array.members.map((sub) => call('GetVDInfo', {domain, id: sub})));
  }
  return vd;
}

// A record that moves on by itself: a rebuild, verify, initialisation or transform runs on the
// array (or one of its sub-arrays), or the disk is being erased.
function changesByItself(vd) {
  if (vd.type === 1 && vd.array) {
    return [vd, ...(vd.subArrays || [])].some((a) => has(a.array.flags, ARRAY.BUSY));
  }
  return vd.disk ? has(vd.disk.flags, DISK.ERASING) : false;
}

function batteryBusy(bbu) {
  return Boolean(bbu && bbu.bbu_installed && has(bbu.bbu_status, BBU.CHARGING | BBU.DISCHARGING));
}

function wantsSmart(vd) {
  return vd.disk && has(vd.disk.flags, DISK.SMART_ON) && !has(vd.disk.flags, DISK.DISABLED);
}

// One domain's devices as last read: {driver, controllers, pcache, arrays: [VD with array],
// disks: [VD with disk, smartFailing when its SMART threshold is exceeded], smartPending}.
export class DomainReader {
  constructor(domain) {
    this.domain = domain;
    this.driver = null;
    this.controllers = [];
    this.pcache = null;
    this.lists = null;
    this.devices = new Map();
    this.smart = new Map();
    this.fullAt = 0;
    this.eventCount = null;
  }

  // `eventCount`: the service's event count now; a change means something happened somewhere.
  // `force`: read everything (after the user changed something).
  async read({eventCount, force = false, now = Date.now()} = {}) {
    const domain = this.domain;
    const [ldList, pdList] = await Promise.all([call('GetLDList', {domain}), call('GetPDList', {domain})]);
    const listsChanged = JSON.stringify([ldList, pdList]) !== JSON.stringify(this.lists);
    const full = force || this.driver === null || now - this.fullAt >= FULL_READ_MS ||
                 (eventCount !== undefined && eventCount !== this.eventCount);

    let driver = this.driver;
    let controllers = this.controllers;
    let pcache = this.pcache;
    const head = [];
    if (full) {
      head.push(call('GetDriverInfo', {domain}).then((d) => { driver = d; }));
      head.push(readControllers(domain).then((c) => { controllers = c; }));
      head.push(optional('GetPCacheSize', {domain}).then((p) => { pcache = p; }));
    } else {
      controllers = controllers.map((c) => ({...c}));
      for (const c of controllers.filter((x) => batteryBusy(x.bbu))) {
        head.push(optional('GetBBUInfo', {domain, id: c.id}).then((b) => { c.bbu = b; }));
      }
    }

    // A legacy disk is listed as a device and as a disk: it is read once.
    const ids = [...new Set([...ldList, ...pdList])];
    const again = full || listsChanged ? ids : ids.filter((id) => {
      const known = this.devices.get(id);
      return !known || changesByItself(known);
    });
    const read = await Promise.all([...head, ...again.map((id) => readDevice(domain, id))]);
    const devices = new Map(ids.map((id) => [id, this.devices.get(id)]));
    read.slice(head.length).forEach((vd, i) => devices.set(again[i], vd));

    await this.readSmart([...devices.values()], now);

    // Only a read that went through whole replaces what was known.
    Object.assign(this, {driver, controllers, pcache, devices, lists: [ldList, pdList]});
    if (full) {
      this.fullAt = now;
      if (eventCount !== undefined) this.eventCount = eventCount;
    }
    for (const id of this.smart.keys()) {
      if (!devices.has(id)) this.smart.delete(id);
    }
    return this.data();
  }

  async readSmart(vds, now) {
    const due = vds.filter((vd) => {
      if (!wantsSmart(vd)) return false;
      const known = this.smart.get(vd.id);
      return !known || now - known.at >= SMART_MS;
    }).slice(0, SMART_PER_READ);
    const results = await Promise.all(due.map((vd) => call('GetSmartInfo', {domain: this.domain, id: vd.id})
      .then((info) => info.status === false, (e) => {
        if (e instanceof SessionExpired) throw e;
        return null;
      })));
    due.forEach((vd, i) => {
      // A disk that could not be asked keeps what was last known, and waits its minute.
      const before = this.smart.get(vd.id);
      const failing = results[i] === null ? (before ? before.failing : null) : results[i];
      this.smart.set(vd.id, {failing, at: now});
    });
  }

  data() {
    const [ldList, pdList] = this.lists;
    const arrays = ldList.map((id) => this.devices.get(id)).filter((vd) => vd.type === 1);
    const disks = pdList.map((id) => {
      const vd = this.devices.get(id);
      const smart = this.smart.get(id);
      if (smart && smart.failing && wantsSmart(vd)) vd.smartFailing = true;
      else delete vd.smartFailing;
      return vd;
    });
    // Disks whose SMART status is not known yet: until then nobody can say all is well.
    const smartPending = disks.filter((vd) => wantsSmart(vd) && !this.smart.has(vd.id)).length;
    return {domain: this.domain, driver: this.driver, controllers: this.controllers, pcache: this.pcache,
            arrays, disks, smartPending};
  }
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
