#pragma once
// The program's pictures, drawn in code so that they scale and need no image files: the ribbon
// buttons, the tree's two folder images, the message list's pictures and header pictures, and the
// application icon.
#include <QIcon>
#include <QPixmap>

namespace gui::pictures {

// The ribbon's image strip: 0 Open, 1 Stop, 2 Save, 6 Load Snapshot, 7 Save Snapshot, 8 Help, 9 About.
QIcon ribbonImage(int index);
// Tree images: 0 a closed folder, 1 an open folder.
QIcon treeImage(int index);
// The message list's strip as far as the listing uses it: the mailbox picture and the paperclip.
QIcon listImage(int index);
// Header pictures of 12 pixels: 0 a page, 1 an exclamation mark, 2 a paperclip, 3 a flag.
QIcon headerImage(int index);
QIcon applicationIcon();
// The caption bar's information picture.
QPixmap informationPicture(int size);

}  // namespace gui::pictures
