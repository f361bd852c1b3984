// The viewer control's dispatch table as the page knows it before the container
// sends the control's own, and the coercion of script values to its types.

export const DEFAULT_CLSID = '{D340FA1C-4A07-4590-BFFB-FA14857D23DF}';

// In DISPID order: [dispid, name, argument types, result type].
export const MEMBERS = [
  [-552, 'AboutBox', [], 'void'],
  [1, 'SetFiles', ['string'], 'void'],
  [2, 'SetPreviewFolder', ['string'], 'void'],
  [3, 'FlipRight', [], 'void'],
  [4, 'FlipLeft', [], 'void'],
  [5, 'FlipRight2', [], 'void'],
  [6, 'FlipLeft2', [], 'void'],
  [7, 'FlipRightClose', [], 'void'],
  [8, 'FlipLeftClose', [], 'void'],
  [9, 'FlipAuto', [], 'void'],
  [10, 'ZoomDown', [], 'void'],
  [11, 'ScaleUp', [], 'void'],
  [12, 'ScaleDown', [], 'void'],
  [13, 'CompleteOpenPage', [], 'void'],
  [14, 'UnCompleteOpenPage', [], 'void'],
  [15, 'SingleOpenPage', [], 'void'],
  [16, 'Search', ['string'], 'void'],
  [17, 'Refresh', [], 'void'],
  [18, 'SetAllSelectedFlag', ['bool'], 'void'],
  [19, 'eValueInit', ['string', 'string', 'bool', 'string', 'string', 'string'], 'long'],
  [20, 'eValueSetFiles', ['string', 'string', 'string', 'string', 'string'], 'long'],
  [21, 'eValueGetSelectedFiles', [], 'string'],
  [22, 'GetToolBarVisible', [], 'bool'],
  [23, 'SetToolBarVisible', ['bool'], 'void'],
  [24, 'SetUp', ['string', 'string', 'bool', 'string', 'string', 'string', 'bool'], 'long'],
  [25, 'ShowFiles', ['string', 'string'], 'long'],
  [26, 'GetSelectedFiles', [], 'string'],
  [27, 'SetFolderFiles', ['string', 'string'], 'void'],
  [28, 'SetFolder', ['string', 'bool'], 'void'],
  [29, 'DeleteSelectedFiles', [], 'void'],
  [30, 'GetDirTreeVisible', [], 'bool'],
  [31, 'SetDirTreeVisible', ['bool', 'string', 'string'], 'void'],
  [32, 'OpenPages', ['string'], 'void'],
  [33, 'ShowWorkWindow', ['string', 'string'], 'long'],
  [34, 'AddFilesToWorkWindow', ['string', 'string'], 'long'],
  [35, 'GetWorkWindowCount', [], 'long'],
  [36, 'ExistSameFileInWorkWindow', ['string'], 'bool'],
  [37, 'ZoomUpFirstObject', [], 'void'],
  [38, 'TextSearchNext', ['string'], 'void'],
  [39, 'TextSearchPrev', ['string'], 'void'],
  [40, 'TextSearchCancel', [], 'void'],
  [41, 'SetFileList', ['string', 'string'], 'void'],
  [42, 'ClearMemory', [], 'void']
];

export function coerce(type, value) {
  switch (type) {
    case 'string': return value === undefined || value === null ? '' : String(value);
    case 'long': return Math.trunc(Number(value)) | 0;
    case 'bool': return !!value;
    default: return value === undefined ? null : value;
  }
}

// The argument types of `name`, from the control's own table when it gave
// one; `kind` 'put' asks for a property's writing.
export function typesOf(name, members, kind) {
  const lower = String(name).toLowerCase();
  const wanted = (m) => (kind === 'put') === (m.kind === 'put');
  if (Array.isArray(members)) {
    for (const m of members) {
      if (m && typeof m.name === 'string' && m.name.toLowerCase() === lower && Array.isArray(m.args) && wanted(m))
        return m.args;
    }
    return null;
  }
  for (const m of MEMBERS)
    if (m[1].toLowerCase() === lower) return m[2];
  return null;
}

// The scripting methods on `cls.prototype`, by name, in DISPID order; each
// goes through invoke(name, args).
export function defineMethods(cls) {
  for (const [, name] of MEMBERS) {
    Object.defineProperty(cls.prototype, name, {
      configurable: true, writable: true, enumerable: false,
      // A named function, so that stack traces and name say the method.
      value: { [name](...args) { return this.invoke(name, args); } }[name]
    });
  }
  cls.members = MEMBERS.map((m) => ({ id: m[0], name: m[1], args: m[2].slice(), result: m[3] }));
  cls.defaultClsid = DEFAULT_CLSID;
}
