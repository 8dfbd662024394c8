// exact.h -- the core's number types, and its refusal to build where float maths is not exact
// SPDX-License-Identifier: MIT
#pragma once

#include <cfloat> // FLT_EVAL_METHOD

// GL's own names for the two types the scene stores, so the core needs no GL headers.
// They are the types GL declares, so the renderer's GL headers agree with them.
using GLfloat = float;
using GLuint = unsigned int;

// Every float operation must round to float: with x87 maths (FLT_EVAL_METHOD 2) a value kept
// in an 80-bit register rounds differently from one stored, and the camera's eye moves by a
// step on a few frames. On 32-bit x86 the build selects SSE2 maths; elsewhere this fires.
static_assert(FLT_EVAL_METHOD == 0,
              "float expressions must evaluate in their own type: build with SSE2 maths "
              "(-msse2 -mfpmath=sse on 32-bit x86)");
