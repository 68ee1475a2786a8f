// The per-frame warp of the grey frame through homographyTable (backward mapping:
// output pixel -> input sample, bilinear).
#pragma once

#include "cpu/kernelPath.h"

// Fills every byte of outputFrame (frameWidth × frameHeight) from grayFrame, its rows split
// over the cores (cpu/rowPool.h), on `path` (the fastest one unless a test asks for another).
void rectifyFrame(const unsigned char* grayFrame, unsigned char*& outputFrame,
                  KernelPath path = bestKernelPath());
