#include "PrintFromPreview.h"

#include "PreviewForm.h"
#include "SpinEdit.h"
#include "StoredDocument.h"
#include "WydrRapForm.h"

namespace quillon {

void PrintFromPreview(TPreviewForm& preview)
{
    StoredDocument* document = preview.document();
    if (!document)
        return;
    const int count = document->pageCount();
    TWydrRapForm dialog(preview.printer(), &preview);
    // The value first: while minimum and maximum are both 1 the field takes any number.
    dialog.EditOd->setValue(1);
    dialog.EditOd->setMaximum(count);
    dialog.EditDo->setValue(count);
    dialog.EditDo->setMaximum(count);
    if (dialog.exec() != QDialog::Accepted)
        return;

    preview.setEnabled(false);
    struct Enable {
        TPreviewForm& preview;
        ~Enable()
        {
            preview.setEnabled(true);
            preview.raise();
            preview.activateWindow();
        }
    } enable{preview};
    // A range whose first page comes after its last prints nothing and says nothing; a failure
    // is shown by the printing itself.
    if (const auto range = dialog.chosenRange(preview.CurrentPage, count))
        document->printRange(*range);
}

} // namespace quillon
