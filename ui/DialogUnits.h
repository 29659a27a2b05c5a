#pragma once

class QWidget;

namespace mervane {

// The window's form gives every position and size in dialog units, as dialog templates do: a
// horizontal unit is a quarter of the dialog font's average character width, a vertical unit an
// eighth of its height. The window therefore keeps its proportions with whatever font and
// resolution it gets.
//
// Converts the geometry that the form set on `dialog` and its direct children to pixels, once,
// and fixes the dialog's size. A drop-down list's height in the form is that of its open list;
// the closed box gets the height it needs. A label or check box whose text would be cut off is
// widened into free space to its right, never over another control; when that is not enough,
// the whole window is drawn a little wider.
void layoutInDialogUnits(QWidget& dialog);

}  // namespace mervane
