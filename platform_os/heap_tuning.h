#pragma once

namespace Platform {

// Mesa's software rasterisers allocate and free their vertex and bin storage every frame. With
// the allocator's defaults the freed memory goes back to the system at once and every frame
// faults it in again, page by page, which costs more than all the drawing the GUI asks for.
// Tells the heap to keep freed memory instead. Once per process; later calls do nothing.
void KeepFreedHeapMemory();

}  // namespace Platform
