#include "pen.h"

#include <time.h>

#include "canvas.h"

static DWORD penRandomState;

void SeedPenGenerator(DWORD seed)
{
    penRandomState = seed;
}

int NextPenRandom(void)
{
    penRandomState = penRandomState * 214013u + 2531011u;
    return (int)((penRandomState >> 16) & 0x7FFF);
}

void RandomPenParameters(DWORD seed, COLORREF *colour, int *width)
{
    SeedPenGenerator(seed);
    int red = NextPenRandom() % 256;
    int green = NextPenRandom() % 256;
    int blue = NextPenRandom() % 256;
    *width = NextPenRandom() % 10;
    *colour = RGB(red, green, blue);
}

void ChangePenAtRandom(void)
{
    COLORREF colour;
    int width;
    RandomPenParameters((DWORD)time(NULL), &colour, &width);

    // Deselect the current pen before deleting it: an object must never be
    // deleted while a DC still holds it.
    SelectObject(hdcCanvas, hpenSaved);
    DeleteObject(hpenCurrent);
    // If the pen cannot be created hpenCurrent is null, selecting it changes
    // nothing and strokes go on with the saved black pen.
    hpenCurrent = CreatePen(PS_SOLID, width, colour);
    SelectObject(hdcCanvas, hpenCurrent);
}
