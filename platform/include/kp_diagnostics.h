// Kelvane platform extensions for tests and tools: not part of Win32.
// Counts of live GDI objects by kind, and of the misuses that Windows would
// tolerate silently but that a correct program never commits.
#pragma once

#include <windows.h>

typedef struct KpGdiCounts {
    int dcs;                   // window DCs handed out by GetDC/BeginPaint and not yet given back
    int memoryDcs;             // CreateCompatibleDC results not yet deleted
    int bitmaps;               // bitmaps not yet deleted (stock bitmap excluded)
    int pens;                  // pens not yet deleted (stock pens excluded)
    int brushes;               // brushes not yet deleted (stock brushes excluded)
    int total;                 // the sum of the above
    int deletedWhileSelected;  // DeleteObject on an object still selected into a DC
    int invalidHandleUses;     // calls given a null, stale or wrong-kind handle
} KpGdiCounts;

KP_EXTERN_C void KpGetGdiCounts(KpGdiCounts *counts);
