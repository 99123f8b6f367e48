// The processor's vector-register state between this program and the libraries it calls.
#pragma once

namespace hulvex {

// Marks the upper halves of the vector registers as unused (x86 with AVX: vzeroupper; elsewhere
// nothing). Some libraries return with them in use: Qt's raster painting does, and so does the
// creation of Qt's application object. Until they are cleared, this program's
// scalar double arithmetic, built for the x86-64 baseline, pays a state transition around each call
// into the vector-built maths library: a frame of a random sea took 0.5 ms instead of 0.03 ms.
// Call it after creating Qt's application object and after each call into such a library on a
// hot path.
// Cheap (one instruction); safe anywhere outside code built for AVX itself.
void ClearUpperVectorState() noexcept;

}  // namespace hulvex
