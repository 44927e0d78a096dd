// Array tasks that failed, from the event log: the latest event of a task on an array says
// whether it failed; a later start or finish of the same task clears it. Reading the log costs
// the controller nothing, and it is read only when the event count has changed.
import {call} from './rpc.js';

// code -> [task, outcome]
const TASK_EVENTS = {
  4: ['rebuild', 'start'], 6: ['rebuild', 'ok'], 8: ['rebuild', 'fail'],
  9: ['verify', 'start'], 12: ['verify', 'ok'], 11: ['verify', 'fail'], 17: ['verify', 'fail'],
  13: ['init', 'start'], 16: ['init', 'ok'], 15: ['init', 'fail'],
  18: ['transform', 'start'], 21: ['transform', 'ok'], 20: ['transform', 'fail'],
  113: ['scheduled', 'fail'],
};

const FAILURE_TEXT = {
  8: 'its rebuild failed', 11: 'its verify failed', 17: 'its verify found inconsistent data',
  15: 'its initialization failed', 20: 'its transform failed', 113: 'a scheduled task could not be started',
};

const READ_MAX = 100;
// Events that come in between the count and the read push older ones out of the page read;
// a few more are read so none is missed (reading one twice changes nothing).
const OVERLAP = 5;

// A sub-array's events carry its position after the name: "Archive [2]".
function arrayName(devname) {
  return String(devname).replace(/ \[\d+\]$/, '');
}

export class TaskFailures {
  constructor() {
    this.seen = 0;
    // array name -> Map task -> event
    this.byArray = new Map();
  }

  async update(count) {
    if (count < this.seen) {
      // The log was cleared.
      this.seen = 0;
      this.byArray.clear();
    }
    const length = Math.min(READ_MAX, count - this.seen + OVERLAP);
    if (count === this.seen || length <= 0) return;
    const events = await call('GetEventLog', {start: 0, length});
    // Oldest first, so the latest event of each task decides.
    for (const event of [...events].reverse()) this.apply(event);
    this.seen = count;
  }

  apply(event) {
    const meaning = TASK_EVENTS[event.code];
    if (!meaning) return;
    const [task, outcome] = meaning;
    const name = arrayName(event.devname);
    if (!this.byArray.has(name)) this.byArray.set(name, new Map());
    const tasks = this.byArray.get(name);
    if (outcome === 'fail') {
      tasks.set(task, event);
      return;
    }
    tasks.delete(task);
    // A task that starts again was started after all.
    if (outcome === 'start') tasks.delete('scheduled');
  }

  // [{event, text}] of the array called `name`, newest first.
  of(name) {
    const tasks = this.byArray.get(name);
    if (!tasks) return [];
    return [...tasks.values()].sort((a, b) => b.time - a.time)
      .map((event) => ({event, text: FAILURE_TEXT[event.code]}));
  }
}
