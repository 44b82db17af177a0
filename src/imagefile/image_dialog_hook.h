// Pieces of the image dialogs' hook that the dialog functions share.
#pragma once

#include <vexa/image_file_dialog.h>

namespace vexa {

// Paints the preview area: the image shrunk to fit (never enlarged), centred, in a raised
// one-pixel frame on the button face; without an image a sunken edge.
void PaintPreview(cSurfaceObject* preview, const DialogCanvas& canvas);
// Drops the hook's link from a dialog to the context once the dialog has ended.
void ForgetDialogContext(ImageDialogContext* context);

}  // namespace vexa
