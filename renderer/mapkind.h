#pragma once

// The three kinds of map, named once for everything that draws or describes one: the renderer's
// value reads, the smooth field map, the colour scale and the programs' options. Classes that
// speak of map kinds take the names from here (CColorScale::kindTime and
// CSmoothFieldMap::kindTime are one value of this one type), so no switch translates between
// them.
struct SMapKinds {
    // Where a map's values come from: the selected sample, frequency bin or time-frequency cell.
    enum EMapKind { kindTime = 0, kindFrequency = 1, kindSpectral = 2 };
    enum { nMapKinds = 3 };
};
