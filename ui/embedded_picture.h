#pragma once
// A picture compiled into the program, already decoded: the build turns
// each file of assets/pictures into one of these (ui/embed_pictures.cpp).

namespace pelmora::ui {

struct EmbeddedPicture {
    const char* name;  // the file's name: "black.gif", "black@2x.gif"
    int width, height, bytesPerLine;
    int format;  // a QImage::Format
    int colourCount;
    const unsigned* colours;  // QRgb, for an indexed format
    const unsigned char* bits;
};

extern const EmbeddedPicture kEmbeddedPictures[];
extern const int kEmbeddedPictureCount;

}  // namespace pelmora::ui
