#pragma once
// The nineteen images of the keyboard. A white key is a lower, wide part
// that answers as soon as a button goes down and an upper strip between the
// black keys that answers a completed click; a black key is one image.
#include "ui/layout.h"

namespace pelmora::ui {

enum class Answers { OnMouseDown, OnClick };

struct KeyImage {
    const char* name;
    int note;
    Answers answers;
    layout::Place place;
    const char* picture;
};

inline constexpr KeyImage kKeyImages[] = {
    {"Image2", 1, Answers::OnMouseDown, {3720, 1680, 345, 630}, "white-lower-cf.gif"},
    {"Image3", 8, Answers::OnMouseDown, {3960, 480, 225, 1200}, "black.gif"},
    {"Image4", 2, Answers::OnMouseDown, {4080, 1680, 345, 630}, "white-lower-dga.gif"},
    {"Image5", 9, Answers::OnMouseDown, {4320, 480, 225, 1200}, "black.gif"},
    {"Image6", 3, Answers::OnMouseDown, {4440, 1680, 345, 630}, "white-lower-eb.gif"},
    {"Image7", 4, Answers::OnMouseDown, {4800, 1680, 345, 630}, "white-lower-cf.gif"},
    {"Image8", 10, Answers::OnMouseDown, {5040, 480, 225, 1200}, "black.gif"},
    {"Image9", 5, Answers::OnMouseDown, {5160, 1680, 345, 630}, "white-lower-dga.gif"},
    {"Image10", 11, Answers::OnMouseDown, {5400, 480, 225, 1200}, "black.gif"},
    {"Image11", 6, Answers::OnMouseDown, {5520, 1680, 345, 630}, "white-lower-dga.gif"},
    {"Image12", 12, Answers::OnMouseDown, {5760, 480, 225, 1200}, "black.gif"},
    {"Image13", 7, Answers::OnMouseDown, {5880, 1680, 345, 630}, "white-lower-eb.gif"},
    {"Image14", 1, Answers::OnClick, {3720, 480, 210, 1230}, "white-upper-cf.gif"},
    {"Image15", 2, Answers::OnClick, {4200, 480, 105, 1230}, "white-upper-dga.gif"},
    {"Image16", 3, Answers::OnClick, {4560, 480, 225, 1230}, "white-upper-eb.gif"},
    {"Image17", 4, Answers::OnClick, {4800, 480, 210, 1230}, "white-upper-cf.gif"},
    {"Image18", 5, Answers::OnClick, {5280, 480, 105, 1230}, "white-upper-dga.gif"},
    {"Image19", 6, Answers::OnClick, {5640, 480, 105, 1230}, "white-upper-dga.gif"},
    {"Image20", 7, Answers::OnClick, {6000, 480, 225, 1230}, "white-upper-eb.gif"},
};

}  // namespace pelmora::ui
