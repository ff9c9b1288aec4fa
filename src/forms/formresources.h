#pragma once

namespace zj {

// Registers the pictures and the icon; a static library's resources are
// otherwise dropped by the linker.
void InitFormResources();

} // namespace zj
