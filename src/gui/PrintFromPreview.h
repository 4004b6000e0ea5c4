#pragma once
// The preview's print command: the print dialog, then the chosen pages printed with the window
// disabled meanwhile.

namespace quillon {

class TPreviewForm;

void PrintFromPreview(TPreviewForm& preview);

} // namespace quillon
