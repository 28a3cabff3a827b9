// The random pen: a small linear congruential generator, reseeded from the
// clock at every pick, so that the pen depends only on the second of the click.
#pragma once

#include <windows.h>

void SeedPenGenerator(DWORD seed);

// Returns 0..32767: the state advances as state * 214013 + 2531011 (mod 2^32)
// and the result is bits 16..30 of the new state.
int NextPenRandom(void);

// Seeds the generator with seed and draws a pen from it: red, green and blue
// (each 0..255) and then the width (0..9).
void RandomPenParameters(DWORD seed, COLORREF *colour, int *width);

// Replaces the canvas's current pen with a random solid pen seeded from the
// current time in whole seconds.
void ChangePenAtRandom(void);
