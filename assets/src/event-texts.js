// Event codes as sentences: the controller's events and the service's own record of user actions.

const CONTROLLER = {
  1: 'Disk "%s" was removed.',
  2: 'Disk "%s" was plugged in.',
  3: 'An error occurs on disk "%s".',
  4: 'Array "%s" rebuilding started.',
  5: 'Array "%s" rebuilding aborted.',
  6: 'Array "%s" rebuilding finished.',
  7: 'Spare disk "%s" took over.',
  8: 'Array "%s" rebuilding failed.',
  9: 'Array "%s" verify started.',
  10: 'Array "%s" verify aborted.',
  11: 'Array "%s" verify failed.',
  12: 'Array "%s" verify finished.',
  13: 'Array "%s" initialization started.',
  14: 'Array "%s" initialization aborted.',
  15: 'Array "%s" initialization failed.',
  16: 'Array "%s" initialization finished.',
  17: 'Array "%s" verify data inconsistent.',
  18: 'Array "%s" transform started.',
  19: 'Array "%s" transform aborted.',
  20: 'Array "%s" transform failed.',
  21: 'Array "%s" transform finished.',
  22: 'Disk "%s" SMART checking failed.',
  23: 'Disk "%s" SMART checking OK.',
  24: 'Failed to repair bad sector on disk "%s".',
  25: 'Successfully repaired bad sector on disk "%s".',
};

const SERVICE = {
  101: 'User "%s" logged in.',
  102: 'User "%s" logged out.',
  103: 'Disk "%s" was initialized.',
  104: 'Array "%s" was created.',
  105: 'Array "%s" was deleted.',
  106: 'Disk "%s" was added to an array.',
  107: 'Disk "%s" was made a spare.',
  108: 'Disk "%s" is no longer a spare.',
  109: 'The password was changed.',
  111: 'Array "%s" was created to transform an array.',
  112: 'A scheduled task found no array to work on.',
  113: 'A scheduled task could not be started on "%s".',
  114: 'A notification mail to "%s" could not be sent.',
};

export function eventText(event) {
  const pattern = CONTROLLER[event.code] || SERVICE[event.code];
  if (!pattern) return 'Event code ' + event.code + (event.devname ? ' on "' + event.devname + '"' : '') + '.';
  return pattern.replace('%s', event.devname);
}

export const SEVERITY = {
  1: {name: 'Information', icon: 'info-circle', kind: 'info'},
  2: {name: 'Warning', icon: 'exclamation-triangle', kind: 'warn'},
  3: {name: 'Error', icon: 'times-circle', kind: 'bad'},
};
