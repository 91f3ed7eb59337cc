// System helpers shared inside the library (not exported).
#pragma once

namespace dada {

// Deletes the shared dialog fonts, the small one then the bold one, each
// only if it was made; called at process detach.
void ReleaseDialogFonts();

} // namespace dada
